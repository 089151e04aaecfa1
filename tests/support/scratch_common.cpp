// The parts of scratch.h that every system shares, built on the calls each
// system's own file implements (scratch.cpp, scratch_win32.cpp).
#include <iostream>

#include "scratch.h"

namespace fixture {

void passOver(const std::string& what, const std::string& reason) {
  std::cerr << "passed over " << what << ": this system " << reason << "\n";
}

void writeSparseFile(const std::string& path, std::uint64_t size) {
  writeFile(path, "");
  resizeFile(path, size);
}

void makeFolders(const std::string& root,
                 const std::vector<std::string>& folders) {
  for (const std::string& folder : folders) makeFolder(root + "/" + folder);
}

void writeTree(const std::string& root, const Tree& tree) {
  if (!exists(root)) makeFolder(root);
  for (const auto& item : tree) {
    const std::string& path = item.first;
    for (std::size_t slash = path.find('/'); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
      const std::string folder = root + "/" + path.substr(0, slash);
      if (!exists(folder)) makeFolder(folder);
    }
    if (path.back() != '/') writeFile(root + "/" + path, item.second);
  }
}

}  // namespace fixture
