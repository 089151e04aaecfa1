// Running the cfsi program built beside the tests, as a user would.
#ifndef EXTRACTGAMEFILE_TESTS_CFSI_PROCESS_H_
#define EXTRACTGAMEFILE_TESTS_CFSI_PROCESS_H_

#include <string>
#include <vector>

#include "process.h"

namespace fixture {

// Runs cfsi with |args| in |workDir|; |options.args| is replaced by |args|.
// Only test programs that define CFSI_BINARY may include this.
inline ProcessResult runCfsiProcess(const std::string& workDir,
                                    const std::vector<std::string>& args,
                                    ProcessOptions options = {}) {
  options.args = args;
  return runProcess(CFSI_BINARY, workDir, options);
}

}  // namespace fixture

#endif  // EXTRACTGAMEFILE_TESTS_CFSI_PROCESS_H_
