#include "source_tree.h"

#include <algorithm>

#include "platform.h"
#include "report.h"

namespace {

bool walk(const std::string& root, const std::string& relative,
          std::vector<TreeFile>* files, std::vector<std::string>* skipped,
          std::string* error) {
  const std::string folder = root + "/" + relative;
  std::vector<platform::FolderItem> items;
  std::string failedPath, why;
  if (!platform::listFolder(folder, &items, &failedPath, &why)) {
    *error = (failedPath == folder ? "cannot list " : "cannot read ") +
             printable(failedPath) + ": " + why;
    return false;
  }
  for (const platform::FolderItem& item : items) {
    const std::string path = folder + item.name;
    if (item.kind == platform::FileKind::kFolder) {
      if (!walk(root, relative + item.name + "/", files, skipped, error))
        return false;
    } else if (item.kind == platform::FileKind::kFile) {
      files->push_back({relative, item.name, item.size});
    } else {
      skipped->push_back(printable(path) + ": " +
                         platform::kindName(item.kind) + ", skipped");
    }
  }
  return true;
}

}  // namespace

bool listTree(const std::string& root, std::vector<TreeFile>* files,
              std::vector<std::string>* skipped, std::string* error) {
  files->clear();
  skipped->clear();
  if (!walk(root, "", files, skipped, error)) return false;
  // std::string compares as unsigned bytes, which is the order the archive's
  // index is written in.
  std::sort(files->begin(), files->end(),
            [](const TreeFile& a, const TreeFile& b) {
              return a.directory + a.name < b.directory + b.name;
            });
  return true;
}
