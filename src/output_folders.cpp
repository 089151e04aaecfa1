#include "output_folders.h"

#include <algorithm>
#include <cerrno>

#include "report.h"

namespace {

// The key of the folder an entry's file goes in: its directory, and the part
// of its name up to and including the name's last "/". The "/" itself
// counts: "pd" + "/a.dds" goes in extract/pd, "pd" + "b.dds" in extract/.
std::string keyOf(const fileInfo& entry) {
  const std::size_t slash = entry.name.rfind('/');
  std::string key = entry.directory;
  key += '\0';
  if (slash != std::string::npos) key.append(entry.name, 0, slash + 1);
  return key;
}

// The levels of |path| up to its last "/", without empty ones, joined by
// single "/"; whether each level is one the directory names is the
// caller's business.
std::string parentLevels(const std::string& path) {
  std::string joined;
  const std::size_t end = path.rfind('/');
  if (end == std::string::npos) return joined;
  std::size_t begin = 0;
  while (begin <= end) {
    const std::size_t slash = path.find('/', begin);
    if (slash > begin) {
      if (!joined.empty()) joined += '/';
      joined.append(path, begin, slash - begin);
    }
    begin = slash + 1;
  }
  return joined;
}

}  // namespace

void OutputFolders::forget() {
  haveLast_ = false;
  lastKey_.clear();
  last_ = platform::Folder();
}

const platform::Folder* OutputFolders::folderFor(const std::string& root,
                                                 const fileInfo& entry,
                                                 std::string* fileName,
                                                 std::string* error) {
  const std::string relative = entry.directory + entry.name;
  const std::string outputPath = root + relative;
  const std::size_t lastSlash = relative.rfind('/');
  fileName->assign(relative, lastSlash == std::string::npos ? 0 : lastSlash + 1,
                   std::string::npos);

  if (!rootTried_ || root != rootPath_) {
    forget();
    rootPath_ = root;
    rootTried_ = true;
    root_ = platform::Folder();
    rootError_ = platform::openRootFolder(root, &root_);
  }
  if (rootError_ != 0) {
    *error = "cannot create " + printable(outputPath) + ": " +
             platform::errorText(rootError_);
    return nullptr;
  }

  const std::string key = keyOf(entry);
  if (!haveLast_ || key != lastKey_) {
    forget();
    const bool directoryEndsLevel =
        entry.directory.empty() || entry.directory.back() == '/';
    const std::string levels = parentLevels(relative);
    // The common case, a directory that ends in "/" and a plain name: when
    // its folder exists, one call opens it. Anything else walks.
    int err = ENOENT;
    if (directoryEndsLevel && entry.name.find('/') == std::string::npos) {
      err = levels.empty() ? 0
                           : platform::openFolderBeneath(root_, levels, &last_);
    }
    if (err != 0 && !walk(entry, outputPath, error)) return nullptr;
    haveLast_ = true;
    lastKey_ = key;
  }
  if (fileName->empty()) {
    *error = "cannot create " + printable(outputPath) + ": " +
             platform::errorText(EISDIR);
    return nullptr;
  }
  return last_.isOpen() ? &last_ : &root_;
}

bool OutputFolders::walk(const fileInfo& entry, const std::string& outputPath,
                         std::string* error) {
  const std::string relative = entry.directory + entry.name;
  const std::size_t end = relative.rfind('/');
  // Levels before the directory's own "/"s are made; so is the directory's
  // last level when no "/" ends it (in the folder the levels before lead
  // to), though no file goes in it.
  const std::size_t madeLevels = static_cast<std::size_t>(
      std::count(entry.directory.begin(), entry.directory.end(), '/'));
  const std::size_t cut = entry.directory.rfind('/');
  const std::string partial =
      entry.directory.empty() || entry.directory.back() == '/'
          ? std::string()
          : entry.directory.substr(cut == std::string::npos ? 0 : cut + 1);

  platform::Folder current;
  const platform::Folder* at = &root_;
  const std::string root =
      outputPath.substr(0, outputPath.size() - relative.size());
  std::size_t level = 0;
  for (std::size_t begin = 0; end != std::string::npos && begin <= end;
       ++level) {
    if (level == madeLevels && !partial.empty())
      platform::makeFolderAt(*at, partial);
    const std::size_t slash = relative.find('/', begin);
    const std::string name = relative.substr(begin, slash - begin);
    const std::string path = root + relative.substr(0, slash);
    begin = slash + 1;
    if (name.empty()) continue;
    const bool madeHere = level < madeLevels;
    platform::Folder next;
    int err = platform::openFolderAt(*at, name, &next);
    if (err == ENOENT && madeHere) {
      const int made = platform::makeFolderAt(*at, name);
      if (made != 0 && made != EEXIST) {
        *error = "cannot make folder " + printable(path) + ": " +
                 platform::errorText(made);
        return false;
      }
      err = platform::openFolderAt(*at, name, &next);
    }
    if (err == ELOOP) {
      *error = printable(outputPath) + ": " + printable(path) +
               " is a symbolic link, which is not followed; nothing was "
               "written through it";
      return false;
    }
    if (err != 0) {
      *error = (madeHere ? "cannot make folder " + printable(path)
                         : "cannot create " + printable(outputPath)) +
               ": " + platform::errorText(err);
      return false;
    }
    current = std::move(next);
    at = &current;
  }
  if (level <= madeLevels && !partial.empty())
    platform::makeFolderAt(*at, partial);
  last_ = std::move(current);
  return true;
}
