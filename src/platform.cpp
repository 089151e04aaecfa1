#include "platform.h"

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
#include <cstring>

namespace platform {

int _mkdir(const char* path) { return ::mkdir(path, 0777) == 0 ? 0 : -1; }

int _access(const char* path, int mode) {
  return ::access(path, mode == 0 ? F_OK : mode) == 0 ? 0 : -1;
}

unsigned usableProcessors() {
#if defined(__linux__)
  cpu_set_t set;
  if (::sched_getaffinity(0, sizeof set, &set) == 0)
    return static_cast<unsigned>(CPU_COUNT(&set));
#endif
  return 0;
}

void reportWriteFailuresAsErrors() {
  // Both signals would end the run half-way through a file; ignored, the
  // write returns the error and the entry fails like any other.
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
}

std::string errorText(int code) { return std::strerror(code); }

bool identityOf(int descriptor, FileIdentity* identity) {
  struct stat st;
  if (::fstat(descriptor, &st) != 0) return false;
  identity->volume = static_cast<std::uint64_t>(st.st_dev);
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
  // EAGAIN: the kernel saw a rename race it would not resolve; E2BIG and
  // EPERM: a kernel or a filter that does not take these arguments.
  if (errno == EAGAIN || errno == E2BIG || errno == EPERM) return ENOSYS;
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

int openFolder(const std::string& path, Folder* folder) {
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
    if (err != ENOSYS) return err;
    useKernel = false;  // this kernel has none: do not ask again
  }
  Folder current;
  const Folder* at = &root;
  std::size_t begin = 0;
  for (;;) {
    const std::size_t slash = relative.find('/', begin);
    const std::string level = relative.substr(
        begin, slash == std::string::npos ? std::string::npos : slash - begin);
    Folder next;
    const int err = openFolderAt(*at, level, &next);
    if (err != 0) return err;
    current = std::move(next);
    at = &current;
    if (slash == std::string::npos) break;
    begin = slash + 1;
  }
  *folder = std::move(current);
  return 0;
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
    identity->volume = static_cast<std::uint64_t>(st.st_dev);
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

constexpr int kSlots = 64;
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
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction old;
    if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN)
      continue;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onStopRequest;
    sigemptyset(&action.sa_mask);
    for (const int other : {SIGINT, SIGTERM, SIGHUP})
      sigaddset(&action.sa_mask, other);
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
