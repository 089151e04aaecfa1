// Running a program as a child process, the way a user would, and capturing
// what it printed and how it ended.
#ifndef EXTRACTGAMEFILE_TESTS_PROCESS_H_
#define EXTRACTGAMEFILE_TESTS_PROCESS_H_

#include <string>
#include <vector>

namespace fixture {

struct ProcessResult {
  int exitStatus = -1;  // -1 when the child ended by a signal
  int signal = 0;       // the signal that ended it, or 0
  std::string out;      // everything written to standard output
  std::string err;      // everything written to standard error
};

struct ProcessOptions {
  std::vector<std::string> args;  // after argv[0]
  bool closeStdout = false;       // start with descriptor 1 closed
  std::string stdoutPath = "";    // when set, standard output goes there
  bool stdoutAppends = false;     // ... opened for appending, as ">>" does
  bool stdoutToTerminal = false;  // a pseudo-terminal; |out| is what it got
  bool stdoutToDeadPipe = false;  // a pipe whose reader has already gone
  long fileSizeLimit = -1;        // RLIMIT_FSIZE in bytes
};

// Whether a child's files can be given a size limit (fileSizeLimit).
bool systemHasFileSizeLimits();

// Runs |binary| in |workingDir| with |options| and waits for it. The child
// starts as from a user's shell: every signal at its default action.
ProcessResult runProcess(const std::string& binary,
                         const std::string& workingDir,
                         const ProcessOptions& options = {});

}  // namespace fixture

#endif  // EXTRACTGAMEFILE_TESTS_PROCESS_H_
