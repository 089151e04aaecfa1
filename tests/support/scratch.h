// Scratch folders and whole-tree snapshots for tests that touch the disk.
#ifndef EXTRACTGAMEFILE_TESTS_SCRATCH_H_
#define EXTRACTGAMEFILE_TESTS_SCRATCH_H_

#include <map>
#include <string>

namespace fixture {

// A fresh empty folder under $TMPDIR (or /tmp), removed with all it holds
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

// Everything below |root|, by path relative to it: folders with a final "/"
// and an empty value, files with their bytes, symbolic links as "-> target",
// anything else (a FIFO, a device) as "<special>", without opening it.
using Tree = std::map<std::string, std::string>;
Tree treeOf(const std::string& root);

}  // namespace fixture

#endif  // EXTRACTGAMEFILE_TESTS_SCRATCH_H_
