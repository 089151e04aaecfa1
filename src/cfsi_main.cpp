// cfsi: lists, extracts, verifies and repacks cfsi archives with the engine
// extractGameFile uses.
#include <csignal>

#include "cfsi_cli.h"
#include "report.h"
#include "standard_streams.h"

int main(int argc, char** argv) {
  holdStandardDescriptors();
  // A reader that goes away must not stop an extraction or a pack half-way;
  // the commands notice the failed writes themselves.
  std::signal(SIGPIPE, SIG_IGN);
  setProgramName("cfsi");
  return runCfsi(argc, argv);
}
