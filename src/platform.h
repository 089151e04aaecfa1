// What the programs ask of the operating system: the folder calls the
// extractor is written against, with the meaning they have in the C runtime
// it was first written for, and how the process meets failed writes.
#ifndef EXTRACTGAMEFILE_PLATFORM_H_
#define EXTRACTGAMEFILE_PLATFORM_H_

#include <cstdint>
#include <string>

namespace platform {

// Makes one folder level, with access 0777 less the umask. Makes no missing
// parent. Returns 0 on success and -1 otherwise (callers may ignore it).
int _mkdir(const char* path);

// With |mode| 0, tests whether |path| names anything at all: -1 means it does
// not exist, any other result that it does.
int _access(const char* path, int mode);

// The number of processors this process may run on (its affinity mask where
// the system has one), or 0 when the system does not say.
unsigned usableProcessors();

// From here on, a write that the system refuses fails with an error the
// caller sees instead of ending the process: a write to a pipe that no one
// reads fails with EPIPE, one past the process's file-size limit with EFBIG.
void reportWriteFailuresAsErrors();

// Error codes below are errno values (<cerrno>), 0 for success.
// The system's wording of |code|, as strerror gives it.
std::string errorText(int code);

// Who a file is: the same for every name of one file, different for two
// files that exist at the same time.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t file = 0;
  bool operator==(const FileIdentity& o) const {
    return volume == o.volume && file == o.file;
  }
};

// The identity of the open file |descriptor|; false when the system cannot
// say.
bool identityOf(int descriptor, FileIdentity* identity);

// An open folder, closed when the object goes. Calls below that take one
// work relative to it, whatever happens to its name meanwhile.
class Folder {
 public:
  Folder() = default;
  explicit Folder(std::intptr_t handle) : handle_(handle) {}
  ~Folder();
  Folder(Folder&& other) noexcept : handle_(other.handle_) {
    other.handle_ = -1;
  }
  Folder& operator=(Folder&& other) noexcept;
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;

  bool isOpen() const { return handle_ != -1; }
  std::intptr_t handle() const { return handle_; }

 private:
  std::intptr_t handle_ = -1;
};

// Opens the folder |path| names, following symbolic links on the way: this
// is how an output root is opened, and a user may make it a link.
int openFolder(const std::string& path, Folder* folder);

// Opens the folder |relative| names below |root|: levels joined by single
// "/", none empty and none "..". No symbolic link is followed on the way,
// the last level included, and resolution never leaves |root|: a link
// anywhere fails the call (ELOOP). Uses the kernel's own resolution beneath
// a folder where there is one, and opens level by level otherwise; the
// results are the same.
int openFolderBeneath(const Folder& root, const std::string& relative,
                      Folder* folder);

// Whether openFolderBeneath may use the kernel's resolution (the default);
// false makes it open level by level, as where the kernel has none.
void useKernelResolution(bool use);

// Opens the one level |name| of |parent|, not following it when it is a
// symbolic link. ENOENT when nothing has the name; ELOOP when a link does.
int openFolderAt(const Folder& parent, const std::string& name, Folder* folder);

// Makes the folder |name| in |parent|, with access 0777 less the umask.
// EEXIST when anything has the name already (a link too, not followed).
int makeFolderAt(const Folder& parent, const std::string& name);

enum class EntryKind { kNone, kFile, kFolder, kLink, kSpecial };

// What has the name |name| in |parent| (a link is not followed), and when it
// is a file, its identity.
EntryKind kindAt(const Folder& parent, const std::string& name,
                 FileIdentity* identity);

// From here on, a request to stop the process (an interrupt, a termination
// request or a hang-up) first removes every OutputFile still in progress,
// then ends the process as that request would have ended it. A request the
// process was started to ignore stays ignored.
void removeFilesInProgressOnStop();

// A new file being made in a folder, which takes its name only when it is
// complete. Until commit() succeeds it is in progress: discard(), the
// destructor and a stop request (removeFilesInProgressOnStop) remove it.
// Several may be in progress at once, from several threads; each object is
// used by one thread at a time. The folder must stay open until commit() or
// discard().
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile() { discard(); }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates a new empty file that is to have the name |name| in |folder|.
  // With |beside| false the file is made under |name| itself, which must be
  // free: EEXIST when anything has it, a symbolic link included, which is not
  // followed. With |beside| true it is made under a short temporary name of
  // its own beside it, so the name's length never fails it there, and
  // commit() then gives it |name| in one step, replacing whatever file or
  // link has it then; every other name of a replaced file keeps its bytes.
  int create(const Folder& folder, const std::string& name, bool beside);

  // The descriptor to write the file's bytes to.
  int descriptor() const { return fd_; }

  // Closes the file and gives it its name. On failure the file is removed
  // and nothing else changes (a folder that has the name: EISDIR).
  int commit();

  // Removes the file, if one is in progress.
  void discard();

 private:
  int fd_ = -1;
  std::intptr_t folder_ = -1;
  std::string name_;
  std::string temporary_;  // empty when made under |name_| itself
  int slot_ = -1;          // its place in the record of files in progress
};

}  // namespace platform

#endif  // EXTRACTGAMEFILE_PLATFORM_H_
