#include "report.h"

#include <cstdio>

namespace {
const char* programName = "extractGameFile";
}

void setProgramName(const char* name) { programName = name; }

void reportError(const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", programName, message.c_str());
}

std::string printable(const std::string& path) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(path.size());
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xf];
    } else {
      out += c;
    }
  }
  return out;
}
