#include "replacing_file.h"

#include <csignal>
#include <cstring>
#include <random>

#include "platform.h"
#include "report.h"

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

const char kTempPrefix[] = ".cfsi-";

}  // namespace

ReplacingFile::~ReplacingFile() { discard(); }

bool ReplacingFile::checkTarget(std::string* error) const {
  platform::FileKind kind;
  if (!platform::kindOfItself(target_, &kind) ||
      kind == platform::FileKind::kFile)
    return true;
  *error = printable(target_) + ": is a " + platform::kindName(kind) +
           ", not a regular file; it is left as it is";
  return false;
}

bool ReplacingFile::open(const std::string& target, std::string* error) {
  target_ = target;
  const std::size_t slash = platform::lastFolderSeparator(target);
  folder_ = slash == std::string::npos ? "."
            : slash == 0               ? "/"
                                       : target.substr(0, slash);
  if (!checkTarget(error)) return false;
  if (folder_.size() + sizeof kTempPrefix + 8 >= sizeof pendingTemp) {
    *error =
        "cannot create a file beside " + printable(target) + ": path too long";
    return false;
  }
  fd_ = platform::createNamelessFile(folder_);
  nameless_ = fd_ >= 0;
  if (!nameless_) {
    fd_ = platform::createUniqueFile(folder_ + "/" + kTempPrefix, &temp_);
    if (fd_ < 0) {
      temp_.clear();
      *error = "cannot create a file beside " + printable(target) + ": " +
               platform::lastErrorText();
      return false;
    }
    rememberTemporary();
  }
  return true;
}

void ReplacingFile::rememberTemporary() {
  std::memcpy(pendingTemp, temp_.c_str(), temp_.size() + 1);
  havePendingTemp = 1;
  platform::catchStopSignals(removeTempAndDie);
}

// A nameless file cannot take a name that is in use, so it is first given a
// temporary one, which the rename then moves over the target.
bool ReplacingFile::nameTemporary(std::string* error) {
  std::random_device random;
  const char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp_ = folder_ + "/" + kTempPrefix;
    for (int i = 0; i < 6; ++i) temp_ += kLetters[random() % 62];
    bool taken;
    if (platform::nameFile(fd_, temp_, &taken)) {
      // Remembered once it is ours: a signal in between leaves the complete
      // file under this name, where the other order could remove someone
      // else's file that had the name first.
      rememberTemporary();
      return true;
    }
    if (!taken) {
      temp_.clear();
      *error = "cannot write " + printable(target_) + ": " +
               platform::lastErrorText();
      return false;
    }
  }
  temp_.clear();
  *error = "cannot write " + printable(target_) + ": no free temporary name";
  return false;
}

bool ReplacingFile::commit(std::string* error) {
  if (!platform::finishFile(fd_)) {
    *error =
        "cannot write " + printable(target_) + ": " + platform::lastErrorText();
    return false;
  }
  if (!checkTarget(error)) return false;
  if (nameless_) {
    // Where nothing is at the target, the file takes its name at once.
    bool taken;
    if (platform::nameFile(fd_, target_, &taken)) {
      discard();
      return true;
    }
    if (!taken) {
      *error = "cannot write " + printable(target_) + ": " +
               platform::lastErrorText();
      return false;
    }
    if (!nameTemporary(error)) return false;
  }
  const bool closed = platform::closeFile(fd_);
  fd_ = -1;
  if (!closed) {
    *error =
        "cannot write " + printable(target_) + ": " + platform::lastErrorText();
    return false;
  }
  if (!platform::renameFile(temp_, target_)) {
    *error =
        "cannot write " + printable(target_) + ": " + platform::lastErrorText();
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
