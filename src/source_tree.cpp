#include "source_tree.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "report.h"

namespace {

const char* kindOf(mode_t mode) {
  if (S_ISLNK(mode)) return "symbolic link";
  if (S_ISFIFO(mode)) return "named pipe";
  if (S_ISSOCK(mode)) return "socket";
  if (S_ISCHR(mode)) return "character device";
  if (S_ISBLK(mode)) return "block device";
  return "special file";
}

bool walk(const std::string& root, const std::string& relative,
          std::vector<TreeFile>* files, std::vector<std::string>* skipped,
          std::string* error) {
  const std::string folder = root + "/" + relative;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    *error = "cannot list " + printable(folder) + ": " + std::strerror(errno);
    return false;
  }
  std::vector<std::string> names;
  errno = 0;
  while (const dirent* item = ::readdir(dir)) {
    const std::string name = item->d_name;
    if (name != "." && name != "..") names.push_back(name);
    errno = 0;
  }
  const int readErrno = errno;
  ::closedir(dir);
  if (readErrno != 0) {
    *error = "cannot list " + printable(folder) + ": " +
             std::strerror(readErrno);
    return false;
  }
  for (const std::string& name : names) {
    const std::string path = folder + name;
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) {
      *error = "cannot read " + printable(path) + ": " + std::strerror(errno);
      return false;
    }
    if (S_ISDIR(st.st_mode)) {
      if (!walk(root, relative + name + "/", files, skipped, error))
        return false;
    } else if (S_ISREG(st.st_mode)) {
      files->push_back({relative, name, static_cast<std::uint64_t>(st.st_size)});
    } else {
      skipped->push_back(printable(path) + ": " + kindOf(st.st_mode) +
                         ", skipped");
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
