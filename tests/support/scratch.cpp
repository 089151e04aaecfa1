#include "scratch.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace fixture {

namespace {

int removeOne(const char* path, const struct stat*, int, struct FTW*) {
  ::chmod(path, 0700);  // a test may have taken write access away
  ::remove(path);
  return 0;
}

void walk(const std::string& root, const std::string& relative, Tree* tree) {
  const std::string dirPath = relative.empty() ? root : root + "/" + relative;
  DIR* dir = ::opendir(dirPath.c_str());
  if (dir == nullptr) throw std::runtime_error("cannot list " + dirPath);
  std::vector<std::string> names;
  while (const dirent* item = ::readdir(dir)) {
    const std::string name = item->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  for (const std::string& name : names) {
    const std::string rel = relative.empty() ? name : relative + "/" + name;
    const std::string full = root + "/" + rel;
    struct stat st;
    if (::lstat(full.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      (*tree)[rel + "/"] = "";
      walk(root, rel, tree);
    } else if (S_ISLNK(st.st_mode)) {
      char target[4096];
      const ssize_t n = ::readlink(full.c_str(), target, sizeof target);
      (*tree)[rel] = "-> " + std::string(target, n < 0 ? 0 : n);
    } else if (S_ISREG(st.st_mode)) {
      (*tree)[rel] = readFile(full);
    } else {
      (*tree)[rel] = "<special>";
    }
  }
}

}  // namespace

ScratchDir::ScratchDir() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/egf.XXXXXX";
  if (::mkdtemp(&pattern[0]) == nullptr)
    throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  ::nftw(path_.c_str(), removeOne, 16, FTW_DEPTH | FTW_PHYS);
}

std::string ScratchDir::at(const std::string& relative) const {
  return path_ + "/" + relative;
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void makeFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) != 0)
    throw std::runtime_error("cannot make " + path);
}

bool exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

void removeFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0)
    throw std::runtime_error("cannot remove " + path);
}

void removeFolder(const std::string& path) {
  if (::rmdir(path.c_str()) != 0)
    throw std::runtime_error("cannot remove " + path);
}

void resizeFile(const std::string& path, std::uint64_t size) {
  if (::truncate(path.c_str(), static_cast<off_t>(size)) != 0)
    throw std::runtime_error("cannot resize " + path);
}

std::uint64_t sizeOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0)
    throw std::runtime_error("cannot examine " + path);
  return static_cast<std::uint64_t>(st.st_size);
}

void renameFile(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0)
    throw std::runtime_error("cannot rename " + from + " to " + to);
}

std::vector<std::string> namesIn(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) throw std::runtime_error("cannot list " + folder);
  while (const dirent* item = ::readdir(dir)) {
    const std::string name = item->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

bool systemHasFifos() { return true; }

bool makeSocket(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const bool bound =
      ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return bound;
}

bool makeCharacterDevice(const std::string& path) {
  return ::mknod(path.c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0;
}

bool systemHasSymbolicLinks() { return true; }

void makeFifo(const std::string& path) {
  if (::mkfifo(path.c_str(), 0600) != 0)
    throw std::runtime_error("cannot make the FIFO " + path);
}

void makeSymbolicLink(const std::string& target, const std::string& path) {
  if (::symlink(target.c_str(), path.c_str()) != 0)
    throw std::runtime_error("cannot make the link " + path);
}

namespace {

// Sets or clears the immutable flag of |folder|; false when refused.
bool setImmutable(const std::string& folder, bool on) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return false;
  int flags = 0;
  bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (done) {
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(fd);
  return done;
}

}  // namespace

bool makeFolderUnwritable(const std::string& folder) {
  if (::chmod(folder.c_str(), 0555) != 0) return false;
  return ::geteuid() != 0 || setImmutable(folder, true);
}

void makeFolderWritable(const std::string& folder) {
  if (::geteuid() == 0) setImmutable(folder, false);
  ::chmod(folder.c_str(), 0755);
}

void makeHardLink(const std::string& existing, const std::string& path) {
  if (::link(existing.c_str(), path.c_str()) != 0)
    throw std::runtime_error("cannot make the link " + path);
}

std::string fullDevice() { return exists("/dev/full") ? "/dev/full" : ""; }

std::string listedAs(const std::string& path) { return path; }

Tree treeOf(const std::string& root) {
  Tree tree;
  walk(root, "", &tree);
  return tree;
}

}  // namespace fixture
