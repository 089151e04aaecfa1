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
  std::string out;
  out.reserve(path.size());
  appendPrintable(&out, path);
  return out;
}

void appendPrintable(std::string* out, const std::string& path) {
  static const char kHex[] = "0123456789abcdef";
  // Runs of ordinary bytes go in one append each: names seldom hold a
  // control byte, so a path is usually a single append.
  std::size_t runStart = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const auto byte = static_cast<unsigned char>(path[i]);
    if (byte >= 0x20 && byte != 0x7f) continue;
    out->append(path, runStart, i - runStart);
    const char escape[] = {'\\', 'x', kHex[byte >> 4], kHex[byte & 0xf]};
    out->append(escape, sizeof escape);
    runStart = i + 1;
  }
  out->append(path, runStart, path.size() - runStart);
}
