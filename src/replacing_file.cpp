#include "replacing_file.h"

#include <csignal>
#include <cstring>

#include "platform.h"

namespace {

// The handler may only use what is safe in a signal handler, so the path it
// removes is kept in a plain buffer.
char pendingTemp[4096];
volatile std::sig_atomic_t havePendingTemp = 0;

extern "C" void removeTempAndDie(int signal) {
  if (havePendingTemp) platform::removeFileFromSignalHandler(pendingTemp);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

ReplacingFile::~ReplacingFile() { discard(); }

bool ReplacingFile::open(const std::string& target, std::string* error) {
  target_ = target;
  const std::string prefix = target + ".tmp-";
  // The name chosen has six more bytes, and the buffer needs its end.
  if (prefix.size() + 6 >= sizeof pendingTemp) {
    *error = "cannot create a file beside " + target + ": path too long";
    return false;
  }
  fd_ = platform::createUniqueFile(prefix, &temp_);
  if (fd_ < 0) {
    temp_.clear();
    *error = "cannot create a file beside " + target + ": " +
             platform::lastErrorText();
    return false;
  }
  std::memcpy(pendingTemp, temp_.c_str(), temp_.size() + 1);
  havePendingTemp = 1;
  platform::catchStopSignals(removeTempAndDie);
  return true;
}

bool ReplacingFile::commit(std::string* error) {
  if (!platform::finishFile(fd_)) {
    *error = "cannot write " + temp_ + ": " + platform::lastErrorText();
    return false;
  }
  const bool closed = platform::closeFile(fd_);
  fd_ = -1;
  if (!closed) {
    *error = "cannot write " + temp_ + ": " + platform::lastErrorText();
    return false;
  }
  if (!platform::renameFile(temp_, target_)) {
    *error = "cannot write " + target_ + ": " + platform::lastErrorText();
    return false;
  }
  temp_.clear();
  discard();
  return true;
}

void ReplacingFile::discard() {
  if (fd_ >= 0) platform::closeFile(fd_);
  fd_ = -1;
  if (!temp_.empty()) platform::removeFile(temp_);
  temp_.clear();
  if (havePendingTemp) {
    havePendingTemp = 0;
    platform::releaseStopSignals();
  }
}
