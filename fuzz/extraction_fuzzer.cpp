// Fuzz target: a whole extraction run of arbitrary bytes as an archive.
//
// Each input is written as 00000000.cfsi into a scratch working folder and
// handled as the program does: QVRFunction::readTable, then extractFiles to
// extract/ beside it (with an empty filter, so every entry is tried). Paths
// are absolute, so that the process's own working folder, where libFuzzer
// reads its corpus and writes what it finds, is never involved. The progress
// lines are captured; error reports go to /dev/null. Afterwards the target
// checks, and aborts on any violation:
//  - one progress line per entry, in order, naming its path printably, and
//    the return value agrees with the lines;
//  - nothing outside extract/ changed (the working folder sits two levels
//    below the scratch root, so "..", "../.." and the like land inside what
//    is watched);
//  - an entry with an unsafe path or data outside the archive is reported
//    failed (judged here independently of the engine's own checks);
//  - every regular file under extract/ belongs to an entry reported done and
//    holds exactly the archive's bytes at that entry's range;
//  - every entry reported done left its file, unless a later entry with the
//    same file failed (a failed copy removes its partial file);
//  - no folder exists but the levels of entries that passed the path and
//    data checks, and nothing but folders and regular files exists at all.
//
// Which entries share a file: output paths are compared after dropping
// empty and "." levels, the only ways two safe paths name one file here
// (".." levels are unsafe, no symbolic link can be made by an archive, and
// the file system is case-sensitive).
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sanitizer/common_interface_defs.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "QVRFunction.h"
#include "entry_paths.h"
#include "fuzz_check.h"
#include "report.h"

namespace {

std::string scratchRoot;  // watched whole; the run happens in up/work/
std::string archivePath;  // up/work/00000000.cfsi
std::string outputRoot;   // up/work/extract/
int devNull = -1;
int savedStderr = -1;
int captureFile = -1;

struct Node {
  enum Kind { kFolder, kFile, kOther } kind;
  std::string bytes;  // for files
};
using Tree = std::map<std::string, Node>;  // by path relative to the root

void walk(const std::string& root, const std::string& relative, Tree* tree) {
  const std::string dirPath = relative.empty() ? root : root + "/" + relative;
  DIR* dir = ::opendir(dirPath.c_str());
  FUZZ_CHECK(dir != nullptr, "cannot list %s", dirPath.c_str());
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
    FUZZ_CHECK(::lstat(full.c_str(), &st) == 0, "lstat %s", full.c_str());
    Node node{Node::kOther, {}};
    if (S_ISDIR(st.st_mode)) {
      node.kind = Node::kFolder;
      walk(root, rel, tree);
    } else if (S_ISREG(st.st_mode)) {
      node.kind = Node::kFile;
      const int fd = ::open(full.c_str(), O_RDONLY | O_CLOEXEC);
      FUZZ_CHECK(fd >= 0, "open %s", full.c_str());
      char buffer[65536];
      ssize_t got;
      while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        node.bytes.append(buffer, static_cast<std::size_t>(got));
      ::close(fd);
    }
    (*tree)[rel] = node;
  }
}

Tree treeOf(const std::string& root) {
  Tree tree;
  walk(root, "", &tree);
  return tree;
}

int removeOne(const char* path, const struct stat*, int, struct FTW*) {
  ::remove(path);
  return 0;
}

void removeTree(const std::string& path) {
  ::nftw(path.c_str(), removeOne, 16, FTW_DEPTH | FTW_PHYS);
}

void writeArchive(const std::uint8_t* data, std::size_t size) {
  const int fd = ::open(archivePath.c_str(),
                        O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  FUZZ_CHECK(fd >= 0, "cannot write the archive");
  std::size_t done = 0;
  while (done < size) {
    const ssize_t put = ::write(fd, data + done, size - done);
    FUZZ_CHECK(put > 0, "cannot write the archive");
    done += static_cast<std::size_t>(put);
  }
  ::close(fd);
}

// The levels of |path| cut at "/", without empty and "." levels.
std::vector<std::string> levelsOf(const std::string& path) {
  std::vector<std::string> levels;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    const std::string level = path.substr(start, slash - start);
    if (!level.empty() && level != ".") levels.push_back(level);
    start = slash + 1;
  }
  return levels;
}

std::string joined(const std::vector<std::string>& levels, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += (i ? "/" : "") + levels[i];
  return out;
}

bool unsafePath(const std::string& path) {
  if (path.find('\0') != std::string::npos) return true;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    if (path.compare(start, slash - start, "..") == 0) return true;
    start = slash + 1;
  }
  return false;
}

void cleanUp() {
  if (!scratchRoot.empty()) removeTree(scratchRoot);
}

// What one run of the engine gave.
struct Run {
  std::vector<fileInfo> entries;
  std::int64_t dataStart = 0;
  bool allDone = false;
  std::string out;  // the progress lines
};

// The run, as the program makes it, with its progress lines captured.
Run runEngine() {
  FUZZ_CHECK(::ftruncate(captureFile, 0) == 0 &&
                 ::lseek(captureFile, 0, SEEK_SET) == 0,
             "cannot reset the capture");
  ::dup2(captureFile, STDOUT_FILENO);
  ::dup2(devNull, STDERR_FILENO);
  QVRFunction engine;
  Run run;
  run.entries = engine.readTable(archivePath);
  run.dataStart = engine.dataStart;
  run.allDone = engine.extractFiles(archivePath, outputRoot, run.entries, "");
  std::cout.flush();
  ::dup2(savedStderr, STDERR_FILENO);
  ::dup2(devNull, STDOUT_FILENO);
  FUZZ_CHECK(!std::cout.fail(), "writing the progress lines failed");

  char buffer[65536];
  ssize_t got;
  off_t at = 0;
  while ((got = ::pread(captureFile, buffer, sizeof buffer, at)) > 0) {
    run.out.append(buffer, static_cast<std::size_t>(got));
    at += got;
  }
  return run;
}

// Checks the progress lines: one per entry, in order, naming its path
// printably, and a return value that agrees with them. Returns, per entry,
// whether its line says "done".
std::vector<bool> checkProgressLines(const Run& run) {
  FUZZ_CHECK(run.dataStart >= 0 || run.entries.empty(),
             "entries from an incomplete index");
  const std::string& out = run.out;
  std::vector<bool> done(run.entries.size());
  std::size_t at = 0;
  for (std::size_t i = 0; i < run.entries.size(); ++i) {
    const std::string head =
        "extract : " + printable(outputPathOf(outputRoot, run.entries[i])) +
        " ... ";
    FUZZ_CHECK(out.compare(at, head.size(), head) == 0,
               "line %zu does not name entry %zu", i + 1, i + 1);
    at += head.size();
    const std::size_t lineEnd = out.find('\n', at);
    FUZZ_CHECK(lineEnd != std::string::npos, "line %zu has no end", i + 1);
    const std::string verdict = out.substr(at, lineEnd - at);
    FUZZ_CHECK(verdict == "done" || verdict == "failed",
               "line %zu ends in '%s'", i + 1, verdict.c_str());
    done[i] = verdict == "done";
    at = lineEnd + 1;
  }
  FUZZ_CHECK(at == out.size(), "output after the last entry's line");
  for (const char c : out) {
    const auto byte = static_cast<unsigned char>(c);
    FUZZ_CHECK(c == '\n' || (byte >= 0x20 && byte != 0x7f),
               "control byte 0x%02x printed", byte);
  }
  bool everyLineDone = true;
  for (const bool d : done) everyLineDone = everyLineDone && d;
  FUZZ_CHECK(run.allDone == everyLineDone, "extractFiles returned %d",
             run.allDone);
  return done;
}

// Checks that nothing changed outside extract/ since |before|, and that
// extract/ was made.
void checkOutsideUnchanged(const Tree& before) {
  const Tree after = treeOf(scratchRoot);
  const std::string rootInScratch = "up/work/extract";
  Tree outside;
  for (const auto& item : after)
    if (item.first.compare(0, rootInScratch.size() + 1, rootInScratch + "/") !=
        0)
      outside.insert(item);
  FUZZ_CHECK(outside.count(rootInScratch) == 1 &&
                 outside[rootInScratch].kind == Node::kFolder,
             "extract/ was not made");
  outside.erase(rootInScratch);
  bool unchanged = outside.size() == before.size();
  for (const auto& item : before) {
    const auto found = outside.find(item.first);
    unchanged = unchanged && found != outside.end() &&
                found->second.kind == item.second.kind &&
                found->second.bytes == item.second.bytes;
  }
  FUZZ_CHECK(unchanged, "something changed outside extract/");
}

// What the entries of a run may have left below extract/, by path relative
// to it.
struct Allowed {
  std::map<std::string, std::size_t> lastDone;  // shared path -> entry
  std::set<std::string> removableAfterDone;     // a later entry failed
  std::set<std::string> folders;
};

// What each entry may have made: its file (by the path it shares with
// aliasing entries) and, when it passed the path and data checks, the
// levels of its folder. Checks that no entry with an unsafe path or data
// outside the archive is done.
Allowed allowedBy(const Run& run, const std::vector<bool>& done,
                  std::int64_t archiveSize) {
  Allowed allowed;
  for (std::size_t i = 0; i < run.entries.size(); ++i) {
    const fileInfo& entry = run.entries[i];
    const std::string relative = entry.directory + entry.name;
    const std::int64_t start = run.dataStart + entry.offset;
    const bool unsafe = unsafePath(relative);
    const bool outsideData =
        entry.size > 0 &&
        (start < 0 ||
         start + static_cast<std::int64_t>(entry.size) > archiveSize);
    FUZZ_CHECK(!done[i] || (!unsafe && !outsideData),
               "entry %zu is done with an unsafe path or outside data", i + 1);
    if (!unsafe && !outsideData) {
      const std::vector<std::string> levels = levelsOf(entry.directory);
      for (std::size_t n = 1; n <= levels.size(); ++n)
        allowed.folders.insert(joined(levels, n));
    }
    if (unsafe) continue;  // such a path names no file below extract/
    const std::vector<std::string> levels = levelsOf(relative);
    const std::string shared = joined(levels, levels.size());
    if (done[i]) {
      FUZZ_CHECK(!shared.empty(), "entry %zu done as extract/ itself", i + 1);
      allowed.lastDone[shared] = i;
      allowed.removableAfterDone.erase(shared);
    } else if (!outsideData && allowed.lastDone.count(shared)) {
      // It got past the checks that touch nothing, so it may have opened
      // the file and removed it after a failed copy.
      allowed.removableAfterDone.insert(shared);
    }
  }
  return allowed;
}

// Checks the tree below extract/: only allowed folders, only files of
// entries reported done holding exactly their bytes of |archive|, and every
// entry reported done has its file unless a later one may have removed it.
void checkMadeTree(const Run& run, const Allowed& allowed,
                   const std::string& archive) {
  const Tree made = treeOf(outputRoot);
  for (const auto& item : made) {
    const std::string& path = item.first;
    switch (item.second.kind) {
      case Node::kFolder:
        FUZZ_CHECK(allowed.folders.count(path) == 1,
                   "folder extract/%s made by no entry", path.c_str());
        break;
      case Node::kFile: {
        const auto owner = allowed.lastDone.find(path);
        FUZZ_CHECK(owner != allowed.lastDone.end(),
                   "file extract/%s left by no entry reported done",
                   path.c_str());
        const fileInfo& entry = run.entries[owner->second];
        const std::string expected =
            entry.size == 0
                ? std::string()
                : archive.substr(
                      static_cast<std::size_t>(run.dataStart + entry.offset),
                      entry.size);
        FUZZ_CHECK(item.second.bytes == expected,
                   "extract/%s holds %zu bytes, not entry %zu's %zu",
                   path.c_str(), item.second.bytes.size(), owner->second + 1,
                   expected.size());
        break;
      }
      case Node::kOther:
        FUZZ_CHECK(false, "extract/%s is neither a folder nor a file",
                   path.c_str());
    }
  }
  for (const auto& owner : allowed.lastDone) {
    const auto found = made.find(owner.first);
    FUZZ_CHECK((found != made.end() && found->second.kind == Node::kFile) ||
                   allowed.removableAfterDone.count(owner.first) == 1,
               "entry %zu reported done but extract/%s is not its file",
               owner.second + 1, owner.first.c_str());
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern =
      std::string(tmp && *tmp ? tmp : "/tmp") + "/egf-fuzz.XXXXXX";
  FUZZ_CHECK(::mkdtemp(&pattern[0]) != nullptr, "mkdtemp failed");
  scratchRoot = pattern;
  std::atexit(cleanUp);
  const std::string work = scratchRoot + "/up/work";
  FUZZ_CHECK(::mkdir((scratchRoot + "/up").c_str(), 0777) == 0 &&
                 ::mkdir(work.c_str(), 0777) == 0,
             "cannot set up %s", work.c_str());
  archivePath = work + "/00000000.cfsi";
  outputRoot = work + "/extract/";

  // The engine's chatter goes nowhere: progress lines to /dev/null outside
  // the capture, error reports to /dev/null while the engine runs. Sanitizer
  // reports keep a copy of the real standard error.
  devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  savedStderr = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
  captureFile = ::memfd_create("stdout", MFD_CLOEXEC);
  FUZZ_CHECK(devNull >= 0 && savedStderr >= 0 && captureFile >= 0,
             "cannot set up the descriptors");
  __sanitizer_set_report_fd(
      reinterpret_cast<void*>(static_cast<std::intptr_t>(savedStderr)));
  std::cout.flush();
  ::dup2(devNull, STDOUT_FILENO);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string archive(reinterpret_cast<const char*>(data), size);
  removeTree(outputRoot);
  writeArchive(data, size);
  const Tree before = treeOf(scratchRoot);
  const Run run = runEngine();
  const std::vector<bool> done = checkProgressLines(run);
  checkOutsideUnchanged(before);
  const Allowed allowed = allowedBy(run, done, static_cast<std::int64_t>(size));
  checkMadeTree(run, allowed, archive);
  return 0;
}
