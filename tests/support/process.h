// Running a program as a child process, the way a user would, and capturing
// what it printed and how it ended.
#ifndef EXTRACTGAMEFILE_TESTS_PROCESS_H_
#define EXTRACTGAMEFILE_TESTS_PROCESS_H_

#include <cstddef>
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

// The same, once |count| of the files |paths| have reached 1 MiB each.
std::function<void(int pid)> signalWhenFilesGrow(
    const std::vector<std::string>& paths, std::size_t count, int sig);

// Whether a child's standard output can be a terminal (stdoutToTerminal).
bool systemHasPseudoTerminals();

// Whether a child's files can be given a size limit (fileSizeLimit).
bool systemHasFileSizeLimits();

// Whether a child can be sent the signals a user stops a program with
// (SIGINT, SIGTERM, SIGHUP), as signalWhenAFileGrowsIn does.
bool systemHasStopSignals();

// A stop signal that no other name covers: SIGHUP, where the system has
// one, or 0.
extern const int kHangUpSignal;

// A pipe for a child's standard output (ProcessOptions::stdoutPath) whose
// buffer is already full, so that the child's first write waits until
// release(): a test acts while the run is held there.
class FullPipe {
 public:
  FullPipe();  // throws when the system has such pipes and makes none
  ~FullPipe();
  FullPipe(const FullPipe&) = delete;
  FullPipe& operator=(const FullPipe&) = delete;

  // Whether this system lets a test see a child wait on a pipe; when false,
  // nothing else here may be used.
  static bool available();

  std::string path() const;
  // Returns once the child |pid| waits to write to the pipe: true, or false
  // after about 20 s without that happening.
  bool waitUntilWriterBlocks(int pid) const;
  // Takes out exactly what filled the pipe, so the child goes on and every
  // byte it writes stays for output().
  void release();
  // Everything the child wrote, once it has ended.
  std::string output();

 private:
  int readEnd_ = -1;
  int writeEnd_ = -1;
  std::size_t filled_ = 0;
};

// Runs |binary| in |workingDir| with |options| and waits for it. The child
// starts as from a user's shell: every signal at its default action.
ProcessResult runProcess(const std::string& binary,
                         const std::string& workingDir,
                         const ProcessOptions& options = {});

}  // namespace fixture

#endif  // EXTRACTGAMEFILE_TESTS_PROCESS_H_
