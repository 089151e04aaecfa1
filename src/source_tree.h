// The files of a folder tree, as pack sees them.
#ifndef EXTRACTGAMEFILE_SOURCE_TREE_H_
#define EXTRACTGAMEFILE_SOURCE_TREE_H_

#include <cstdint>
#include <string>
#include <vector>

struct TreeFile {
  // The folder relative to the tree's root with a final "/", or "" for a
  // file directly in the root: the form of an archive's directory names.
  std::string directory;
  std::string name;
  std::uint64_t size = 0;
};

// Lists every regular file below |root|, in bytewise order of directory
// followed by name. Symbolic links (to folders too: they are not followed)
// and special files are left out, each with a line in |skipped| naming it
// and what it is. Returns false, with |error| saying why, when |root| or a
// folder below it cannot be listed: a partial list would make an archive
// that silently lacks files.
bool listTree(const std::string& root, std::vector<TreeFile>* files,
              std::vector<std::string>* skipped, std::string* error);

#endif  // EXTRACTGAMEFILE_SOURCE_TREE_H_
