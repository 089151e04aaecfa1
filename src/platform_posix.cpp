// The platform layer on POSIX systems (Linux's file-to-file copy where the
// kernel has it).
#if defined(__linux__)
#include <sched.h>
#endif
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform.h"

namespace platform {

namespace {

FileKind kindOfMode(mode_t mode) {
  if (S_ISREG(mode)) return FileKind::kFile;
  if (S_ISDIR(mode)) return FileKind::kFolder;
  if (S_ISLNK(mode)) return FileKind::kSymbolicLink;
  if (S_ISFIFO(mode)) return FileKind::kNamedPipe;
  if (S_ISSOCK(mode)) return FileKind::kSocket;
  if (S_ISCHR(mode)) return FileKind::kCharacterDevice;
  if (S_ISBLK(mode)) return FileKind::kBlockDevice;
  return FileKind::kOther;
}

// Errors by which the kernel refuses a file-to-file copy between these two
// files (other file systems, special files, old kernels), rather than
// reporting a failed read or write.
bool copyRefused(int error) {
  return error == EXDEV || error == EINVAL || error == ENOSYS ||
         error == EOPNOTSUPP || error == EPERM || error == ETXTBSY;
}

// O_NONBLOCK: a FIFO at an output path fails the open (ENXIO) instead of
// waiting forever for a reader; regular files are unaffected.
constexpr int kOutputFlags =
    O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK;

const int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

mode_t currentUmask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

}  // namespace

int _mkdir(const char* path) { return ::mkdir(path, 0777) == 0 ? 0 : -1; }

int _access(const char* path, int mode) {
  return ::access(path, mode == 0 ? F_OK : mode) == 0 ? 0 : -1;
}

std::size_t maxNameLength() { return NAME_MAX; }

int lastError() { return errno; }

std::string errorText(int error) { return std::strerror(error); }

std::string lastErrorText() { return errorText(errno); }

bool identify(const std::string& path, FileIdentity* identity) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  identity->device = static_cast<std::uint64_t>(st.st_dev);
  identity->file = static_cast<std::uint64_t>(st.st_ino);
  return true;
}

int openRegularFile(const std::string& path, std::int64_t* size,
                    std::string* error) {
  // O_NONBLOCK: opening a FIFO in place of the file would otherwise wait for
  // a writer forever; it is then refused as not a regular file. On a
  // regular file the flag changes nothing.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    *error = lastErrorText();
    return -1;
  }
  struct stat st;
  const bool statted = ::fstat(fd, &st) == 0;
  if (statted && S_ISREG(st.st_mode)) {
    *size = static_cast<std::int64_t>(st.st_size);
    return fd;
  }
  if (!statted)
    *error = lastErrorText();
  else if (S_ISDIR(st.st_mode))
    *error = errorText(EISDIR);
  else
    *error = "not a regular file";
  ::close(fd);
  return -1;
}

std::int64_t readSome(int fd, void* buffer, std::size_t n) {
  ssize_t got;
  do {
    got = ::read(fd, buffer, n);
  } while (got < 0 && errno == EINTR);
  return got;
}

std::int64_t readAt(int fd, void* buffer, std::size_t n, std::int64_t offset) {
  ssize_t got;
  do {
    got = ::pread(fd, buffer, n, static_cast<off_t>(offset));
  } while (got < 0 && errno == EINTR);
  return got;
}

std::int64_t writeSome(int fd, const void* data, std::size_t n) {
  ssize_t put;
  do {
    put = ::write(fd, data, n);
  } while (put < 0 && errno == EINTR);
  return put;
}

std::int64_t copyBetweenFiles(int in, std::int64_t* position, int out,
                              std::size_t n, bool* refused) {
  *refused = false;
  off_t at = static_cast<off_t>(*position);
  ssize_t moved;
  do {
    moved = ::copy_file_range(in, &at, out, nullptr, n, 0);
  } while (moved < 0 && errno == EINTR);
  if (moved < 0) {
    *refused = copyRefused(errno);
    return -1;
  }
  *position = at;
  return moved;
}

int createOutputFile(const std::string& path) {
  return ::open(path.c_str(), kOutputFlags, 0666);
}

int openFolder(const std::string& path) {
  // O_RDONLY rather than Linux's O_PATH, to stay within POSIX: a folder that
  // may be searched but not read fails here and takes the full path.
  return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

int createOutputFileIn(int folder, const std::string& name) {
  return ::openat(folder, name.c_str(), kOutputFlags, 0666);
}

bool closeFile(int fd) { return ::close(fd) == 0; }

bool removeFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

int createUniqueFile(const std::string& prefix, std::string* path) {
  *path = prefix + "XXXXXX";
  return ::mkostemp(&(*path)[0], O_CLOEXEC);
}

int createNamelessFile(const std::string& folder) {
#if defined(O_TMPFILE)
  // nameFile links through /proc; without it the file could never be named.
  if (::access("/proc/self/fd", F_OK) != 0) return -1;
  // Refused (EOPNOTSUPP, EISDIR, EINVAL) where the file system or the kernel
  // has no such files; the caller then falls back to a named file.
  return ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
#else
  (void)folder;
  errno = EOPNOTSUPP;
  return -1;
#endif
}

bool nameFile(int fd, const std::string& path, bool* nameTaken) {
  // The descriptor's own link under /proc: linking the file through it needs
  // no privilege, where linkat with AT_EMPTY_PATH does.
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  const bool named = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(),
                              AT_SYMLINK_FOLLOW) == 0;
  *nameTaken = !named && errno == EEXIST;
  return named;
}

bool finishFile(int fd) {
  const mode_t mode = 0666 & ~currentUmask();
  return ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
}

bool renameFile(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

void removeFileFromSignalHandler(const char* path) { ::unlink(path); }

void catchStopSignals(void (*handler)(int)) {
  for (const int s : kStopSignals) std::signal(s, handler);
}

void releaseStopSignals() {
  for (const int s : kStopSignals) std::signal(s, SIG_DFL);
}

bool listFolder(const std::string& path, std::vector<FolderItem>* items,
                std::string* failedPath, std::string* error) {
  items->clear();
  *failedPath = path;
  DIR* dir = ::opendir(path.c_str());
  if (dir == nullptr) {
    *error = lastErrorText();
    return false;
  }
  errno = 0;
  while (const dirent* item = ::readdir(dir)) {
    const std::string name = item->d_name;
    if (name != "." && name != "..") items->push_back({name});
    errno = 0;
  }
  const int readError = errno;
  ::closedir(dir);
  if (readError != 0) {
    *error = errorText(readError);
    return false;
  }
  const std::string prefix =
      !path.empty() && path.back() == '/' ? path : path + "/";
  for (FolderItem& item : *items) {
    struct stat st;
    if (::lstat((prefix + item.name).c_str(), &st) != 0) {
      *error = lastErrorText();
      *failedPath = prefix + item.name;
      return false;
    }
    item.kind = kindOfMode(st.st_mode);
    if (item.kind == FileKind::kFile)
      item.size = static_cast<std::uint64_t>(st.st_size);
  }
  return true;
}

bool kindOf(const std::string& path, FileKind* kind) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  *kind = kindOfMode(st.st_mode);
  return true;
}

bool kindOfItself(const std::string& path, FileKind* kind) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return false;
  *kind = kindOfMode(st.st_mode);
  return true;
}

bool sizeOfOpenFile(int fd, std::int64_t* size) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return false;
  *size = st.st_size;
  return true;
}

bool canonicalPath(const std::string& path, std::string* real) {
  char buffer[PATH_MAX];
  if (::realpath(path.c_str(), buffer) == nullptr) return false;
  *real = buffer;
  return true;
}

bool windowsPaths() { return false; }

std::string fileNameKey(const std::string& path) { return path; }

unsigned usableProcessors() {
#if defined(__linux__)
  cpu_set_t set;
  if (::sched_getaffinity(0, sizeof set, &set) == 0)
    return static_cast<unsigned>(CPU_COUNT(&set));
#endif
  return 0;
}

bool holdStandardDescriptors() {
  bool closed[3];
  for (int fd = 0; fd < 3; ++fd) closed[fd] = ::fcntl(fd, F_GETFD) == -1;
  // open() takes the lowest free number, so filling the closed slots in
  // increasing order puts each device on the slot it is meant for.
  for (int fd = 0; fd < 3; ++fd) {
    if (!closed[fd]) continue;
    int got = fd == STDOUT_FILENO ? ::open("/dev/full", O_WRONLY) : -1;
    if (got < 0) got = ::open("/dev/null", O_RDWR);
    if (got >= 0 && got != fd) ::close(got);  // a slot we did not expect
  }
  return !closed[STDOUT_FILENO];
}

void reportWriteFailuresAsErrors() {
  // Both signals would end the run half-way through a file; ignored, the
  // write returns the error and the entry fails like any other.
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
}

bool standardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

}  // namespace platform
