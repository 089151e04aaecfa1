// The platform layer on POSIX systems (Linux's file-to-file copy where the
// kernel has it).
#if defined(__linux__)
#include <sched.h>
#endif
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#if __has_include(<linux/openat2.h>)
#include <linux/openat2.h>
#endif

#include <atomic>
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
// files (other file systems, special files, an output opened for appending
// as "cat >> FILE" gives, old kernels), rather than reporting a failed read
// or write. A descriptor that is bad indeed fails the buffered copy too,
// which then says so.
bool copyRefused(int error) {
  return error == EXDEV || error == EINVAL || error == ENOSYS ||
         error == EOPNOTSUPP || error == EPERM || error == ETXTBSY ||
         error == EBADF;
}

// O_NONBLOCK: a FIFO at an output path fails the open (ENXIO) instead of
// waiting forever for a reader; regular files are unaffected.
constexpr int kOutputFlags =
    O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK;

mode_t currentUmask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

}  // namespace

int _mkdir(const char* path) { return ::mkdir(path, 0777) == 0 ? 0 : -1; }

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

std::vector<int> stopSignals() { return {SIGINT, SIGTERM, SIGHUP}; }

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

std::vector<std::string> commandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

bool windowsPaths() { return false; }

bool isFolderSeparator(char c) { return c == '/'; }

std::size_t nameLength(const std::string& name) { return name.size(); }

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

bool standardOutputIsTerminal() { return ::isatty(kStandardOutput) == 1; }

// ---- Output trees ------------------------------------------------------

bool identityOf(int descriptor, FileIdentity* identity) {
  struct stat st;
  if (::fstat(descriptor, &st) != 0) return false;
  identity->device = static_cast<std::uint64_t>(st.st_dev);
  identity->file = static_cast<std::uint64_t>(st.st_ino);
  return true;
}

// ---- Folders -------------------------------------------------------------

namespace {

// A folder is opened only to be walked through and to make files in, which
// O_PATH allows without the right to list it; elsewhere it is read access.
#ifdef O_PATH
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

int descriptorOf(const Folder& folder) {
  return static_cast<int>(folder.handle());
}

std::atomic<bool> useKernel{true};

// openat2 with a resolution that stays beneath the folder and follows no
// link: the kernel then checks every level in the same walk that opens it.
// Returns ENOSYS where the kernel (or the C library's headers) has none.
int openBeneathByKernel(int root, const std::string& relative, int* fd) {
#if defined(SYS_openat2) && defined(RESOLVE_BENEATH)
  open_how how;
  std::memset(&how, 0, sizeof how);
  how.flags = static_cast<std::uint64_t>(kFolderFlags);
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
  for (;;) {
    const long got =
        ::syscall(SYS_openat2, root, relative.c_str(), &how, sizeof how);
    if (got >= 0) {
      *fd = static_cast<int>(got);
      return 0;
    }
    if (errno != EINTR) break;
  }
  // E2BIG and EPERM: a kernel or a filter that does not take these
  // arguments. (EAGAIN, a rename race the kernel would not resolve, is for
  // the caller: that one open goes level by level.)
  if (errno == E2BIG || errno == EPERM) return ENOSYS;
  return errno;
#else
  (void)root;
  (void)relative;
  (void)fd;
  return ENOSYS;
#endif
}

}  // namespace

Folder::~Folder() {
  if (handle_ != -1) ::close(static_cast<int>(handle_));
}

Folder& Folder::operator=(Folder&& other) noexcept {
  if (this != &other) {
    if (handle_ != -1) ::close(static_cast<int>(handle_));
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

int openRootFolder(const std::string& path, Folder* folder) {
  const int fd = ::open(path.empty() ? "." : path.c_str(), kFolderFlags);
  if (fd < 0) return errno;
  *folder = Folder(fd);
  return 0;
}

void useKernelResolution(bool use) { useKernel = use; }

int openFolderAt(const Folder& parent, const std::string& name,
                 Folder* folder) {
  const int fd =
      ::openat(descriptorOf(parent), name.c_str(), kFolderFlags | O_NOFOLLOW);
  if (fd >= 0) {
    *folder = Folder(fd);
    return 0;
  }
  const int err = errno;
  // With O_PATH a link is opened as itself and fails O_DIRECTORY; other
  // systems say ELOOP or EMLINK. Asked directly, every system agrees.
  if (err == ENOTDIR || err == ELOOP || err == EMLINK) {
    struct stat st;
    if (::fstatat(descriptorOf(parent), name.c_str(), &st,
                  AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISLNK(st.st_mode))
      return ELOOP;
    return ENOTDIR;
  }
  return err;
}

int openFolderBeneath(const Folder& root, const std::string& relative,
                      Folder* folder) {
  if (useKernel) {
    int fd = -1;
    const int err = openBeneathByKernel(descriptorOf(root), relative, &fd);
    if (err == 0) {
      *folder = Folder(fd);
      return 0;
    }
    if (err == ENOSYS)
      useKernel = false;  // this kernel has none: do not ask again
    else if (err != EAGAIN)
      return err;
  }
  return openFolderLevelByLevel(root, relative, folder);
}

int makeFolderAt(const Folder& parent, const std::string& name) {
  return ::mkdirat(descriptorOf(parent), name.c_str(), 0777) == 0 ? 0 : errno;
}

EntryKind kindAt(const Folder& parent, const std::string& name,
                 FileIdentity* identity) {
  struct stat st;
  if (::fstatat(descriptorOf(parent), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) !=
      0)
    return EntryKind::kNone;
  if (S_ISREG(st.st_mode)) {
    identity->device = static_cast<std::uint64_t>(st.st_dev);
    identity->file = static_cast<std::uint64_t>(st.st_ino);
    return EntryKind::kFile;
  }
  if (S_ISDIR(st.st_mode)) return EntryKind::kFolder;
  if (S_ISLNK(st.st_mode)) return EntryKind::kLink;
  return EntryKind::kSpecial;
}

// ---- Files in progress ---------------------------------------------------
//
// What a stop request must remove is kept where a signal handler can read it
// without a lock: a fixed table of slots, each a folder descriptor and a
// name in a plain array, with an atomic state. A slot is "opening" while its
// file is being created: the handler cannot know whether the file exists
// yet, so it leaves the stop to the creating thread, which looks for a stop
// request as soon as the creation returns.

namespace {

enum SlotState : int { kFree, kClaimed, kOpening, kActive };

struct Slot {
  std::atomic<int> state{kFree};
  int folder = -1;
  char name[NAME_MAX + 1] = {};
};

// More than the most workers an extraction runs (64), each with one file.
constexpr int kSlots = 128;
Slot slots[kSlots];
std::atomic<int> stopSignal{0};
std::atomic<unsigned long> temporaryCount{0};
static_assert(std::atomic<int>::is_always_lock_free,
              "a signal handler may only touch lock-free atomics");

void removeActiveFiles() {
  for (Slot& slot : slots)
    if (slot.state.load() == kActive) ::unlinkat(slot.folder, slot.name, 0);
}

// Ends the process as |sig| would have without the handler.
[[noreturn]] void endAsStopped(int sig) {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  ::sigaction(sig, &action, nullptr);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, sig);
  ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  ::raise(sig);
  ::_exit(128 + sig);
}

void onStopRequest(int sig) {
  const int savedErrno = errno;
  stopSignal.store(sig);
  bool creating = false;
  for (Slot& slot : slots) {
    const int state = slot.state.load();
    if (state == kOpening) creating = true;
    if (state == kActive) ::unlinkat(slot.folder, slot.name, 0);
  }
  // Back in the creating thread, the stop is finished there.
  if (!creating) {
    // Raised while its own delivery is blocked: it ends the process as the
    // handler returns, with the default action just restored.
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(sig, &action, nullptr);
    ::raise(sig);
  }
  errno = savedErrno;
}

// Called by a creating thread once its slot has left the opening state.
void stopIfRequested() {
  const int sig = stopSignal.load();
  if (sig == 0) return;
  removeActiveFiles();
  endAsStopped(sig);
}

int claimSlot(int folder, const std::string& name) {
  for (;;) {
    for (int i = 0; i < kSlots; ++i) {
      int expected = kFree;
      if (slots[i].state.compare_exchange_strong(expected, kClaimed)) {
        slots[i].folder = folder;
        std::memcpy(slots[i].name, name.c_str(), name.size() + 1);
        slots[i].state.store(kOpening);
        return i;
      }
    }
    ::sched_yield();  // every slot busy: as many files as threads at most
  }
}

void releaseSlot(int slot) { slots[slot].state.store(kFree); }

std::string temporaryName() {
  return ".partial-" + std::to_string(::getpid()) + "-" +
         std::to_string(temporaryCount.fetch_add(1));
}

}  // namespace

void removeFilesInProgressOnStop() {
  const std::vector<int> stops = stopSignals();
  for (const int sig : stops) {
    struct sigaction old;
    if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN)
      continue;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onStopRequest;
    sigemptyset(&action.sa_mask);
    for (const int other : stops) sigaddset(&action.sa_mask, other);
    action.sa_flags = SA_RESTART;
    ::sigaction(sig, &action, nullptr);
  }
}

int OutputFile::create(const Folder& folder, const std::string& name,
                       bool beside) {
  discard();
  if (!beside && name.size() > NAME_MAX) return ENAMETOOLONG;
  const int at = descriptorOf(folder);
  constexpr int kFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
  std::string made = beside ? temporaryName() : name;
  const int slot = claimSlot(at, made);
  int fd;
  for (;;) {
    fd = ::openat(at, made.c_str(), kFlags, 0666);
    if (fd >= 0 || !beside || errno != EEXIST) break;
    made = temporaryName();  // someone else's: take the next
    std::memcpy(slots[slot].name, made.c_str(), made.size() + 1);
  }
  const int err = fd < 0 ? errno : 0;
  if (fd < 0) {
    releaseSlot(slot);
  } else {
    slots[slot].state.store(kActive);
    fd_ = fd;
    folder_ = folder.handle();
    name_ = name;
    temporary_ = beside ? made : std::string();
    slot_ = slot;
  }
  stopIfRequested();
  return err;
}

int OutputFile::commit() {
  if (fd_ < 0) return EBADF;
  const int closed = ::close(fd_);
  fd_ = -1;
  int err = closed == 0 ? 0 : errno;
  if (err == 0 && !temporary_.empty()) {
    const int at = static_cast<int>(folder_);
    if (::renameat(at, temporary_.c_str(), at, name_.c_str()) != 0) err = errno;
  }
  if (err != 0) {
    discard();
    return err;
  }
  releaseSlot(slot_);
  slot_ = -1;
  return 0;
}

void OutputFile::discard() {
  if (slot_ < 0) return;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  ::unlinkat(static_cast<int>(folder_),
             (temporary_.empty() ? name_ : temporary_).c_str(), 0);
  releaseSlot(slot_);
  slot_ = -1;
}

}  // namespace platform
