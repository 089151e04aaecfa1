#include "process.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

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

// Opens a pseudo-terminal: returns its controlling side and sets |device|
// to the path of the side a program writes to.
int openTerminal(std::string* device) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
    throw std::runtime_error("no pseudo-terminal");
  *device = ::ptsname(master);
  return master;
}

// What the terminal's writer has written so far, without waiting.
std::string drainTerminal(int master) {
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
  std::string got;
  char buffer[4096];
  for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
    got.append(buffer, static_cast<std::size_t>(n));
  return got;
}

}  // namespace

bool systemHasFileSizeLimits() { return true; }

bool systemHasPseudoTerminals() { return true; }

bool systemHasStopSignals() { return true; }

const int kHangUpSignal = SIGHUP;

FullPipe::FullPipe() {
  int ends[2];
  if (::pipe(ends) != 0) throw std::runtime_error("no pipe");
  readEnd_ = ends[0];
  writeEnd_ = ends[1];
  const int flags = ::fcntl(writeEnd_, F_GETFL);
  ::fcntl(writeEnd_, F_SETFL, flags | O_NONBLOCK);
  const std::string fill(4096, 'f');
  for (ssize_t put; (put = ::write(writeEnd_, fill.data(), fill.size())) > 0;)
    filled_ += static_cast<std::size_t>(put);
  ::fcntl(writeEnd_, F_SETFL, flags);
}

FullPipe::~FullPipe() {
  if (readEnd_ >= 0) ::close(readEnd_);
  if (writeEnd_ >= 0) ::close(writeEnd_);
}

bool FullPipe::available() { return ::access("/proc/self/wchan", R_OK) == 0; }

std::string FullPipe::path() const {
  return "/proc/self/fd/" + std::to_string(writeEnd_);
}

bool FullPipe::waitUntilWriterBlocks(int pid) const {
  for (int waited = 0; waited < 20000; ++waited) {
    std::ifstream wchan("/proc/" + std::to_string(pid) + "/wchan");
    std::string where;
    std::getline(wchan, where);
    if (where.find("pipe_write") != std::string::npos) return true;
    ::usleep(1000);
  }
  return false;
}

void FullPipe::release() {
  char buffer[4096];
  for (std::size_t left = filled_; left > 0;) {
    const ssize_t got = ::read(readEnd_, buffer, std::min(left, sizeof buffer));
    if (got <= 0) break;
    left -= static_cast<std::size_t>(got);
  }
  filled_ = 0;
}

std::string FullPipe::output() {
  if (writeEnd_ >= 0) ::close(writeEnd_);
  writeEnd_ = -1;
  std::string out;
  char buffer[4096];
  for (ssize_t got; (got = ::read(readEnd_, buffer, sizeof buffer)) > 0;)
    out.append(buffer, static_cast<std::size_t>(got));
  return out;
}

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

  std::string terminal;
  const int terminalMaster =
      options.stdoutToTerminal ? openTerminal(&terminal) : -1;

  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int out =
        options.stdoutToTerminal
            ? ::open(terminal.c_str(), O_WRONLY | O_NOCTTY)
            : ::open(outPath.c_str(),
                     O_WRONLY | O_CREAT |
                         (options.stdoutAppends ? O_APPEND : O_TRUNC),
                     0600);
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
  if (options.whileRunning) options.whileRunning(pid);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error("waitpid failed");
  }
  ProcessResult result;
  if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  if (terminalMaster >= 0) {
    result.out = drainTerminal(terminalMaster);
    ::close(terminalMaster);
  } else if (options.stdoutPath.empty() && !options.stdoutToDeadPipe) {
    result.out = readFile(outPath);
  }
  result.err = readFile(errPath);
  return result;
}

std::function<void(int pid)> signalWhenAFileGrowsIn(const std::string& folder,
                                                    int sig) {
  return [folder, sig](int pid) {
    for (int waited = 0; waited < 60000; ++waited) {
      if (DIR* dir = ::opendir(folder.c_str())) {
        bool grown = false;
        while (const dirent* item = ::readdir(dir)) {
          struct stat st;
          if (::fstatat(::dirfd(dir), item->d_name, &st, AT_SYMLINK_NOFOLLOW) ==
                  0 &&
              S_ISREG(st.st_mode) && st.st_size >= (1 << 20))
            grown = true;
        }
        ::closedir(dir);
        if (grown) {
          ::kill(pid, sig);
          return;
        }
      }
      ::usleep(1000);
    }
    ::kill(pid, SIGKILL);  // the caller sees SIGKILL, not the signal it wanted
  };
}

std::function<void(int pid)> signalWhenFilesGrow(
    const std::vector<std::string>& paths, std::size_t count, int sig) {
  return [paths, count, sig](int pid) {
    for (int waited = 0; waited < 60000; ++waited) {
      std::size_t grown = 0;
      for (const std::string& path : paths) {
        struct stat st;
        if (::stat(path.c_str(), &st) == 0 && st.st_size >= (1 << 20)) ++grown;
      }
      if (grown >= count) {
        ::kill(pid, sig);
        return;
      }
      ::usleep(1000);
    }
    ::kill(pid, SIGKILL);
  };
}

}  // namespace fixture
