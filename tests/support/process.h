// Running a program as a child process, the way a user would, and capturing
// what it printed and how it ended.
#ifndef EXTRACTGAMEFILE_TESTS_PROCESS_H_
#define EXTRACTGAMEFILE_TESTS_PROCESS_H_

#include <functional>
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
  std::string stdoutPath;         // when set, standard output goes there
  bool stdoutToDeadPipe = false;  // a pipe whose reader has already gone
  long fileSizeLimit = -1;        // RLIMIT_FSIZE in bytes
  // When set, sent to the child |signalAfterMs| milliseconds after it
  // started (unless it has ended by then).
  int signal = 0;
  int signalAfterMs = 0;
  // When set, called with the child's process id once it has started, and
  // before the wait for its end.
  std::function<void(int pid)> whileRunning;
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
