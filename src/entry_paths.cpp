#include "entry_paths.h"

#include "platform.h"
#include "windows_names.h"

namespace {

bool isDeviceName(const std::u16string& level) {
  std::u16string base = level.substr(0, level.find(u'.'));
  while (!base.empty() && base.back() == u' ') base.pop_back();
  for (char16_t& c : base)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  if (base == u"CON" || base == u"PRN" || base == u"AUX" || base == u"NUL" ||
      base == u"CONIN$" || base == u"CONOUT$")
    return true;
  if (base.size() != 4) return false;
  const std::u16string stem = base.substr(0, 3);
  const char16_t digit = base[3];
  return (stem == u"COM" || stem == u"LPT") &&
         ((digit >= u'0' && digit <= u'9') || digit == u'\u00B9' ||
          digit == u'\u00B2' || digit == u'\u00B3');
}

const char* windowsLevelProblem(const std::u16string& level) {
  for (const char16_t c : level) {
    if (c < 0x20) return "a control character, which Windows forbids in names";
    if (std::u16string(u"<>\"|?*").find(c) != std::u16string::npos)
      return "one of <>\"|?*, which Windows forbids in names";
  }
  if (level.back() == u'.' || level.back() == u' ')
    return "a level ending in \".\" or \" \", which Windows drops";
  if (isDeviceName(level)) return "a level named after a Windows device";
  return nullptr;
}

}  // namespace

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

std::string windowsPathProblem(const std::string& directory,
                               const std::string& name) {
  const std::string path = directory + name;
  if (path.find('\\') != std::string::npos)
    return "a \"\\\", which separates folders on Windows";
  if (path.find(':') != std::string::npos)
    return "a \":\", which names a drive or a stream on Windows";
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    if (end > start && path.compare(start, end - start, ".") != 0) {
      const char* problem = windowsLevelProblem(
          windows_names::nameOf(path.substr(start, end - start)));
      if (problem != nullptr) return problem;
    }
    start = end + 1;
  }
  return std::string();
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

std::string normalEntryPath(const std::string& path) {
  std::string normal;
  normal.reserve(path.size());
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::size_t length = end - start;
    if (length > 0 && path.compare(start, length, ".") != 0) {
      if (!normal.empty()) normal += '/';
      normal.append(path, start, length);
    }
    start = end + 1;
  }
  return normal;
}

std::string normalOutputPath(const fileInfo& entry) {
  return normalEntryPath(entry.directory + entry.name);
}

std::string normalFolderPath(const fileInfo& entry) {
  return normalEntryPath(entry.directory);
}

bool namesAFolder(const fileInfo& entry) {
  const std::string path = entry.directory + entry.name;
  const std::size_t slash = path.rfind('/');
  const std::size_t last = slash == std::string::npos ? 0 : slash + 1;
  if (last == path.size() || path.compare(last, std::string::npos, ".") == 0)
    return true;
  return normalEntryPath(path) == normalFolderPath(entry);
}

std::string parentOf(const std::string& normalPath) {
  const std::size_t slash = normalPath.rfind('/');
  return slash == std::string::npos ? std::string()
                                    : normalPath.substr(0, slash);
}

std::size_t longestLevel(const std::string& normalPath) {
  std::size_t longest = 0, start = 0;
  while (true) {
    const std::size_t slash = normalPath.find('/', start);
    const std::size_t end =
        slash == std::string::npos ? normalPath.size() : slash;
    const std::size_t length =
        platform::nameLength(normalPath.substr(start, end - start));
    if (length > longest) longest = length;
    if (slash == std::string::npos) return longest;
    start = slash + 1;
  }
}
