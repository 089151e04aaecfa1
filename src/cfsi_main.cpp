// cfsi: lists, extracts, verifies and repacks cfsi archives with the engine
// extractGameFile uses.
#include "cfsi_cli.h"
#include "platform.h"
#include "report.h"

int main(int argc, char** argv) {
  platform::holdStandardDescriptors();
  // A reader that goes away, or a file-size limit, must not stop an
  // extraction or a pack half-way; the commands notice the failed writes
  // themselves.
  platform::reportWriteFailuresAsErrors();
  // Stopped by a user, an extraction leaves no file half-written.
  platform::removeFilesInProgressOnStop();
  setProgramName("cfsi");
  return runCfsi(argc, argv);
}
