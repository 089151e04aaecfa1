#include "entry_paths.h"

bool isSafeEntryPath(const std::string& directory, const std::string& name) {
  const std::string path = directory + name;
  if (path.find('\0') != std::string::npos) return false;
  std::size_t start = 0;
  while (true) {
    const std::size_t slash = path.find('/', start);
    const std::size_t end = slash == std::string::npos ? path.size() : slash;
    if (path.compare(start, end - start, "..") == 0) return false;
    if (slash == std::string::npos) return true;
    start = slash + 1;
  }
}

std::string folderPathOf(const std::string& outputRoot, const fileInfo& entry) {
  return outputRoot + entry.directory;
}

std::string outputPathOf(const std::string& outputRoot, const fileInfo& entry) {
  return outputRoot + entry.directory + entry.name;
}

std::string extensionOf(const std::string& name) {
  // Same answer as the last piece of QVRFunction::split(name, '.'), without
  // building the pieces: a trailing empty piece is not a piece.
  std::size_t end = name.size();
  if (end > 0 && name[end - 1] == '.') --end;
  if (end == 0) return std::string();
  const std::size_t dot = name.rfind('.', end - 1);
  const std::size_t begin = dot == std::string::npos ? 0 : dot + 1;
  return name.substr(begin, end - begin);
}
