// The platform layer: every call the engine and the commands make to the
// operating system goes through the functions below, so that the rest of the
// code is the same on every system and holds no system header and no
// conditional compilation.
//
// Each system has its own implementation file, chosen by the build:
// platform_posix.cpp for POSIX systems, platform_win32.cpp for Windows. The
// rules built on top of these calls that do not depend on the system (the
// chain of folders, the same-file test) are in platform.cpp, shared by all.
//
// Files are plain descriptors (int), -1 for none. A call that fails leaves
// its reason where lastError() finds it, unless its contract says it returns
// the reason some other way.
#ifndef EXTRACTGAMEFILE_PLATFORM_H_
#define EXTRACTGAMEFILE_PLATFORM_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// ---- Folders, with the meaning the C runtime's calls of these names have.

// Makes one folder level, with access 0777 less the umask. Makes no missing
// parent. Returns 0 on success and -1 otherwise (callers may ignore it).
int _mkdir(const char* path);

// Makes every level of |folderPath| in turn with _mkdir, from the first: each
// piece before a "/" (the empty one in front of a leading "/" aside), then
// the whole path unless it ends in "/". A level that exists or cannot be made
// is passed over; what matters is reported by whatever is made in the folder
// afterwards. Returns true when the last level was made by this call, false
// when it was not (it existed, or something is in the way) or there is none.
bool makeFolderChain(const std::string& folderPath);

// ---- Errors.

// The reason the last failed call gave, as a number only errorText reads.
int lastError();

// The system's text for the reason |error| ("No such file or directory").
std::string errorText(int error);

// errorText(lastError()).
std::string lastErrorText();

// ---- Telling files apart.

// What tells one file from every other on the system while it exists: two
// paths name the same file exactly when both identities are equal.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t file = 0;
  bool operator==(const FileIdentity& other) const {
    return device == other.device && file == other.file;
  }
};

// Sets |identity| for the file |path| names, following symbolic links.
// Returns false when there is no such file or it cannot be examined.
bool identify(const std::string& path, FileIdentity* identity);

// True when |a| and |b| both name an existing file, and the same one, under
// whatever spelling (links, "..", another name of the same file).
bool sameFile(const std::string& a, const std::string& b);

// ---- Reading files.

// Opens the regular file at |path| for reading and sets |size| to its length
// in bytes. Something else at the path in place of a file (a FIFO waiting
// for a writer included) is refused without waiting. Returns the descriptor,
// or -1 with |error| saying why: the system's reason, or "not a regular file"
// for anything but a file or a folder.
int openRegularFile(const std::string& path, std::int64_t* size,
                    std::string* error);

// Reads up to |n| bytes from |fd|'s position into |buffer|, retrying calls
// the system interrupted. Returns the number read, 0 at the end of the file,
// -1 on failure.
std::int64_t readSome(int fd, void* buffer, std::size_t n);

// As readSome, at byte |offset| of the file, without using or moving |fd|'s
// position.
std::int64_t readAt(int fd, void* buffer, std::size_t n, std::int64_t offset);

// ---- Writing files.

// Writes up to |n| bytes from |data| at |fd|'s position, retrying calls the
// system interrupted. Returns the number written (at least 1), or -1.
std::int64_t writeSome(int fd, const void* data, std::size_t n);

// Has the system copy up to |n| bytes from |in| at |*position| (advanced by
// what was copied; |in|'s own position is not used) to |out| at its
// position, without the bytes passing through the program. Returns the
// number copied, 0 when |in| ends at |*position|, -1 on failure. Sets
// |refused| when the failure only means that the system does not copy
// between these two files this way (or at all): the caller then reads and
// writes the bytes itself.
std::int64_t copyBetweenFiles(int in, std::int64_t* position, int out,
                              std::size_t n, bool* refused);

// Creates or empties the file at |path| for writing, as a new file's access
// (0666 less the umask). A FIFO at the path fails at once instead of waiting
// for a reader. Returns the descriptor or -1.
int createOutputFile(const std::string& path);

// Closes |fd|. Returns false when the system reports a failure, which for a
// file just written can mean that its last bytes were lost.
bool closeFile(int fd);

// Removes the file at |path|. Returns false when it could not.
bool removeFile(const std::string& path);

// The longest one level of a path (a folder's or a file's own name) may be
// on this system, as nameLength counts; a longer level cannot be made.
std::size_t maxNameLength();

// The length of the level |name| as this system counts it: bytes on POSIX,
// UTF-16 units of its Windows name (windows_names.h) on Windows.
std::size_t nameLength(const std::string& name);

// ---- Renaming, and files that appear only once complete.

// Creates a new file, readable and writable by its owner only, at |prefix|
// followed by six characters chosen so that nothing is there yet, and sets
// |path| to its name. Returns the descriptor or -1.
int createUniqueFile(const std::string& prefix, std::string* path);

// Creates a new file in the folder |folder| that has no name yet: open for
// writing, seen by no one, and gone by itself when the program ends (on
// any signal, a kill that cannot be caught included) before nameFile gave
// it one. Returns the descriptor, or -1 where the system or the folder's
// file system has no such files: the caller then writes under a name of
// its own (createUniqueFile) and removes it when it must.
int createNamelessFile(const std::string& folder);

// Gives the file |fd| that createNamelessFile made the name |path|, which
// must name nothing yet. Returns false when it could not: |nameTaken| then
// says whether the reason is that something is at |path|, and lastError()
// gives the reason.
bool nameFile(int fd, const std::string& path, bool* nameTaken);

// Gives the file |fd| the access a new file gets (0666 less the umask) and
// waits until its bytes are on the disk. Returns false when either fails.
bool finishFile(int fd);

// Renames |from| to |to|, replacing whatever file |to| named, in one step
// that no reader can see half-done. Returns false when it could not.
bool renameFile(const std::string& from, const std::string& to);

// Removes the file at |path|, using only what is allowed in a signal
// handler.
void removeFileFromSignalHandler(const char* path);

// The signals by which the program is asked to stop on this system: an
// interrupt from the terminal, a termination, a hang-up where there is one.
std::vector<int> stopSignals();

// From now on, a stop request (stopSignals) calls |handler| with the
// signal's number instead of ending the program. A request the process was
// started to ignore (as under nohup) stays ignored. The handler may only use
// what is allowed in a signal handler; it ends the program by restoring the
// signal's default action and raising it again.
void catchStopSignals(void (*handler)(int));

// Gives the stop requests catchStopSignals caught their default action back.
void releaseStopSignals();

// ---- Output trees: folders opened beneath a root, and new files that take
// their name only when complete. Calls here return the reason of a failure
// as an errno value of <cerrno> (0 for success; another system maps its own
// reasons to these), which errorText reads, rather than leave it for
// lastError.

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
// is how an output root is opened, and a user may make it a link. Returns 0
// or the reason (as every call below that returns an int).
int openRootFolder(const std::string& path, Folder* folder);

// Opens the folder |relative| names below |root|: levels joined by single
// "/", none empty and none "..". No symbolic link is followed on the way,
// the last level included, and resolution never leaves |root|: a link
// anywhere fails the call (ELOOP). Uses the kernel's own resolution beneath
// a folder where there is one, and opens level by level otherwise; the
// results are the same.
int openFolderBeneath(const Folder& root, const std::string& relative,
                      Folder* folder);

// openFolderBeneath's way where the kernel has no resolution beneath a
// folder: each level in turn with openFolderAt, from |root|.
int openFolderLevelByLevel(const Folder& root, const std::string& relative,
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

// ---- Folder trees.

enum class FileKind {
  kFile,
  kFolder,
  kSymbolicLink,
  kNamedPipe,
  kSocket,
  kCharacterDevice,
  kBlockDevice,
  kOther,
};

// What a person calls a thing of |kind| in a message: "file", "folder",
// "symbolic link", "named pipe"... and "special file" for kOther.
const char* kindName(FileKind kind);

struct FolderItem {
  std::string name;
  FileKind kind = FileKind::kOther;  // of the item itself, links unfollowed
  std::uint64_t size = 0;            // for a file
};

// Sets |items| to what the folder |path| holds, "." and ".." left out, in no
// particular order. Returns false when the folder or an item in it cannot be
// examined: |failedPath| then names which (|path| itself, or the item's path
// as |path|, a "/" unless |path| ends in one, and its name) and |error| gives
// the system's reason.
bool listFolder(const std::string& path, std::vector<FolderItem>* items,
                std::string* failedPath, std::string* error);

// Sets |kind| to the kind of what |path| names, following symbolic links.
// Returns false when nothing can be examined there.
bool kindOf(const std::string& path, FileKind* kind);

// Sets |kind| to the kind of what |path| names itself: a symbolic link is a
// kSymbolicLink, whatever it points at. Returns false when nothing is there
// or it cannot be examined.
bool kindOfItself(const std::string& path, FileKind* kind);

// Sets |size| to the length in bytes that the open file |fd| has now.
// Returns false when it cannot be told.
bool sizeOfOpenFile(int fd, std::int64_t* size);

// Sets |real| to the absolute path of |path| with every symbolic link, "."
// and ".." level resolved. |path| must exist. Returns false when it cannot.
bool canonicalPath(const std::string& path, std::string* real);

// ---- The process and its standard streams.

// ---- Path rules of this system.

// True where the programs write Windows paths: extraction then also refuses
// every entry that windowsPathProblem (entry_paths.h) names, and two paths
// that fileNameKey gives alike name one file.
bool windowsPaths();

// Whether |c| separates the folders of a path a user gives on this system:
// "/", and on Windows "\\" too. (An archive's own paths use "/" alone.)
bool isFolderSeparator(char c);

// The position of the last folder separator in |path|, or npos.
std::size_t lastFolderSeparator(const std::string& path);

// A spelling of |path| under which two paths are equal exactly when this
// system's file names take them for the same name: |path| itself on POSIX;
// on Windows its Windows name (windows_names.h) in upper case, since names
// there differ by more than letter case or not at all. Either way the key has
// the levels of |path|: one "/" where |path| has one.
std::string fileNameKey(const std::string& path);

// The number of processors this process may run on (its affinity mask where
// the system has one), or 0 when the system does not say.
unsigned usableProcessors();

// The program's command-line arguments, argv[0] first, as UTF-8 on Windows
// (where |argv| went through the machine's code page) and as given
// elsewhere.
std::vector<std::string> commandLineArguments(int argc, char** argv);

// Fills every closed slot of the three standard descriptors, so that no file
// the program opens later takes one of those numbers (and receives its
// messages). Input and error get the null device; output gets one that
// fails every write where there is one, so that what the program prints
// fails to be written, and the program says so and fails, rather than
// losing it in silence. Returns whether standard output was open to begin
// with.
bool holdStandardDescriptors();

// From here on, a write that the system refuses fails with an error the
// caller sees instead of ending the process: a write to a pipe that no one
// reads fails with EPIPE, one past the process's file-size limit with EFBIG.
void reportWriteFailuresAsErrors();

// True when standard error is a terminal a person is watching.
bool standardErrorIsTerminal();

// The descriptor of standard output, for the commands that write bytes
// there rather than text.
constexpr int kStandardOutput = 1;

// True when standard output is a terminal.
bool standardOutputIsTerminal();

}  // namespace platform

#endif  // EXTRACTGAMEFILE_PLATFORM_H_
