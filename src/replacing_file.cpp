#include "replacing_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace {

// The handler may only use what is safe in a signal handler, so the path it
// removes is kept in a plain buffer.
char pendingTemp[4096];
volatile std::sig_atomic_t havePendingTemp = 0;
const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void removeTempAndDie(int signal) {
  if (havePendingTemp) ::unlink(pendingTemp);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

mode_t currentUmask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

}  // namespace

ReplacingFile::~ReplacingFile() { discard(); }

bool ReplacingFile::open(const std::string& target, std::string* error) {
  target_ = target;
  temp_ = target + ".tmp-XXXXXX";
  if (temp_.size() >= sizeof pendingTemp) {
    *error = "cannot create a file beside " + target + ": path too long";
    return false;
  }
  fd_ = ::mkostemp(&temp_[0], O_CLOEXEC);
  if (fd_ < 0) {
    *error = "cannot create a file beside " + target + ": " +
             std::strerror(errno);
    return false;
  }
  std::memcpy(pendingTemp, temp_.c_str(), temp_.size() + 1);
  havePendingTemp = 1;
  for (const int s : kSignals) std::signal(s, removeTempAndDie);
  return true;
}

bool ReplacingFile::commit(std::string* error) {
  const mode_t mode = 0666 & ~currentUmask();
  if (::fchmod(fd_, mode) != 0 || ::fsync(fd_) != 0) {
    *error = "cannot write " + temp_ + ": " + std::strerror(errno);
    return false;
  }
  const int closed = ::close(fd_);
  fd_ = -1;
  if (closed != 0) {
    *error = "cannot write " + temp_ + ": " + std::strerror(errno);
    return false;
  }
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    *error = "cannot write " + target_ + ": " + std::strerror(errno);
    return false;
  }
  temp_.clear();
  discard();
  return true;
}

void ReplacingFile::discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
  if (havePendingTemp) {
    havePendingTemp = 0;
    for (const int s : kSignals) std::signal(s, SIG_DFL);
  }
}
