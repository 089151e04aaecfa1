#include "windows_names.h"

#include "utf8.h"

namespace windows_names {

namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

void appendLevel(std::u16string* out, const std::string& level) {
  if (isValidUtf8(level)) {
    *out += utf16Of(level);
  } else {
    for (const char byte : level)
      out->push_back(static_cast<char16_t>(static_cast<unsigned char>(byte)));
  }
}

}  // namespace

std::u16string nameOf(const std::string& level) {
  std::u16string name;
  appendLevel(&name, level);
  return name;
}

std::u16string pathOf(const std::string& path) {
  std::u16string wide;
  wide.reserve(path.size());
  std::size_t start = 0;
  while (true) {
    std::size_t end = start;
    while (end < path.size() && !isSeparator(path[end])) ++end;
    appendLevel(&wide, path.substr(start, end - start));
    if (end == path.size()) return wide;
    wide.push_back(static_cast<char16_t>(path[end]));
    start = end + 1;
  }
}

std::string utf8SpellingOf(const std::string& path) {
  return utf8Of(pathOf(path));
}

}  // namespace windows_names
