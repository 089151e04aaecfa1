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
  std::string stdoutPath = "";    // when set, standard output goes there
  bool stdoutAppends = false;     // ... opened for appending, as ">>" does
  bool stdoutToTerminal = false;  // a pseudo-terminal; |out| is what it got
  bool stdoutToDeadPipe = false;  // a pipe whose reader has already gone
  long fileSizeLimit = -1;        // RLIMIT_FSIZE in bytes
  // Called with the child's process id once it runs, before it is waited
  // for: to act on it from outside, as a user would.
  std::function<void(int pid)> whileRunning = {};
};

// For ProcessOptions::whileRunning: sends |sig| to the child as soon as a
// file of 1 MiB or more is found in |folder| (a copy well under way); when
// none is within a minute, sends SIGKILL instead.
std::function<void(int pid)> signalWhenAFileGrowsIn(const std::string& folder,
                                                    int sig);

// Whether a child's files can be given a size limit (fileSizeLimit).
bool systemHasFileSizeLimits();

// Whether a child can be sent the signals a user stops a program with
// (SIGINT, SIGTERM, SIGHUP), as signalWhenAFileGrowsIn does.
bool systemHasStopSignals();

// Runs |binary| in |workingDir| with |options| and waits for it. The child
// starts as from a user's shell: every signal at its default action.
ProcessResult runProcess(const std::string& binary,
                         const std::string& workingDir,
                         const ProcessOptions& options = {});

}  // namespace fixture

#endif  // EXTRACTGAMEFILE_TESTS_PROCESS_H_
