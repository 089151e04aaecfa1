// cfsi: lists, extracts, verifies and repacks cfsi archives with the engine
// extractGameFile uses.
#include <string>
#include <vector>

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
  std::vector<std::string> arguments =
      platform::commandLineArguments(argc, argv);
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(&argument[0]);
  pointers.push_back(nullptr);
  return runCfsi(static_cast<int>(arguments.size()), pointers.data());
}
