// cfsi: lists, extracts, verifies and repacks cfsi archives with the engine
// extractGameFile uses.
#include "cfsi_cli.h"
#include "platform.h"
#include "report.h"

int main(int argc, char** argv) {
  platform::holdStandardDescriptors();
  platform::ignoreBrokenPipes();
  setProgramName("cfsi");
  return runCfsi(argc, argv);
}
