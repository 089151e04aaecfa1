#include "process.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <stdexcept>
#include <thread>

#include "scratch.h"

namespace fixture {

namespace {

// A user's shell starts a program with every signal at its default action
// and none blocked, whatever this test process inherited or set up.
void resetSignals() {
  for (int sig = 1; sig < NSIG; ++sig) ::signal(sig, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

}  // namespace

bool systemHasFileSizeLimits() { return true; }

ProcessResult runProcess(const std::string& binary,
                         const std::string& workingDir,
                         const ProcessOptions& options) {
  // Output goes to files, not pipes, so a talkative child can never block
  // on a pipe nobody is reading yet.
  ScratchDir capture;
  const std::string outPath =
      options.stdoutPath.empty() ? capture.at("stdout") : options.stdoutPath;
  const std::string errPath = capture.at("stderr");

  std::vector<std::string> argv{binary};
  argv.insert(argv.end(), options.args.begin(), options.args.end());
  std::vector<char*> cargv;
  for (std::string& arg : argv) cargv.push_back(&arg[0]);
  cargv.push_back(nullptr);

  int deadPipe[2] = {-1, -1};
  if (options.stdoutToDeadPipe) {
    if (::pipe(deadPipe) != 0) throw std::runtime_error("pipe failed");
    ::close(deadPipe[0]);  // nobody will ever read
  }

  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int in = ::open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || in < 0 || ::chdir(workingDir.c_str()) != 0)
      ::_exit(127);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    for (const int fd : {in, out, err})
      if (fd > 2) ::close(fd);
    if (options.closeStdout) ::close(1);
    if (deadPipe[1] >= 0) {
      ::dup2(deadPipe[1], 1);
      ::close(deadPipe[1]);
    }
    resetSignals();
    if (options.fileSizeLimit >= 0) {
      const rlimit limit{static_cast<rlim_t>(options.fileSizeLimit),
                         static_cast<rlim_t>(options.fileSizeLimit)};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ::execv(binary.c_str(), cargv.data());
    ::_exit(127);
  }
  if (deadPipe[1] >= 0) ::close(deadPipe[1]);
  int status = 0;
  if (options.whileRunning) options.whileRunning(pid);
  if (options.signal != 0) {
    std::this_thread::sleep_for(
        std::chrono::milliseconds(options.signalAfterMs));
    ::kill(pid, options.signal);  // a child that has ended is still ours
  }
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error("waitpid failed");
  }
  ProcessResult result;
  if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  if (options.stdoutPath.empty() && !options.stdoutToDeadPipe)
    result.out = readFile(outPath);
  result.err = readFile(errPath);
  return result;
}

}  // namespace fixture
