// Scratch folders and whole-tree snapshots for tests that touch the disk.
#ifndef EXTRACTGAMEFILE_TESTS_SCRATCH_H_
#define EXTRACTGAMEFILE_TESTS_SCRATCH_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace fixture {

// A fresh empty folder under $TMPDIR (or /tmp; on Windows the user's
// temporary folder), removed with all it holds
// when the object goes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + relative.
  std::string at(const std::string& relative) const;

 private:
  std::string path_;
};

void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);
void makeFolder(const std::string& path);

// Makes each of |folders|, paths relative to |root|, in order: a folder
// comes before the folders inside it.
void makeFolders(const std::string& root,
                 const std::vector<std::string>& folders);

// Everything below |root|, by path relative to it: folders with a final "/"
// and an empty value, files with their bytes, symbolic links as "-> target",
// anything else (a FIFO, a device) as "<special>", without opening it.
using Tree = std::map<std::string, std::string>;
Tree treeOf(const std::string& root);

// Makes below |root| what |tree| lists in treeOf's form, folders (a final
// "/") and files (every value is the file's bytes), making |root| and every
// missing folder on the way; what is there already stays. Throws when
// something cannot be made.
void writeTree(const std::string& root, const Tree& tree);

// Files and folders by path, throwing std::runtime_error when the system
// refuses.
bool exists(const std::string& path);  // anything at all, links unfollowed
void removeFile(const std::string& path);
void removeFolder(const std::string& path);                    // an empty one
void resizeFile(const std::string& path, std::uint64_t size);  // sparse
// A new file of |size| zero bytes that are all one hole: no disk taken.
void writeSparseFile(const std::string& path, std::uint64_t size);
std::uint64_t sizeOf(const std::string& path);  // a file's, without reading it
// Renames |from| to |to|, replacing the file |to| names.
void renameFile(const std::string& from, const std::string& to);

// The names directly in |folder|, sorted, without reading any file.
std::vector<std::string> namesIn(const std::string& folder);

// What some systems cannot make: a test that needs one checks first and
// skips, naming what this system lacks. A case of a table that cannot run
// here while the others do is passed over with passOver, which says so on
// standard error: "passed over CASE: this system REASON".
void passOver(const std::string& what, const std::string& reason);
bool systemHasFifos();
bool systemHasSymbolicLinks();
void makeFifo(const std::string& path);
void makeSymbolicLink(const std::string& target, const std::string& path);
// Make a socket, or a character device (the null device's numbers), at
// |path|; false where this system or this user cannot.
bool makeSocket(const std::string& path);
bool makeCharacterDevice(const std::string& path);
// Gives the file |existing| the further name |path|.
void makeHardLink(const std::string& existing, const std::string& path);
// Makes |folder| one in which nothing can be made, whoever the tests run
// as: no write access, and for an administrator, who passes access rights,
// the file system's immutable flag. Returns false where this system cannot.
// makeFolderWritable undoes it, so that the folder can be removed.
bool makeFolderUnwritable(const std::string& folder);
void makeFolderWritable(const std::string& folder);
// A device that fails every write with "no space left" ("/dev/full"), or
// "" where the system has none.
std::string fullDevice();

// How a folder listing on this system spells the path that |path| makes
// (windows_names.h on Windows, |path| itself elsewhere): a tree snapshot
// shows names so.
std::string listedAs(const std::string& path);

}  // namespace fixture

#endif  // EXTRACTGAMEFILE_TESTS_SCRATCH_H_
