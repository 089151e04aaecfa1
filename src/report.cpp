#include "report.h"

#include <cstdio>
#include <iostream>

namespace {

const char* programName = "extractGameFile";

void writeLine(const char* kind, const std::string& message) {
  std::fprintf(stderr, "%s: %s%s\n", programName, kind, message.c_str());
}

}  // namespace

void setProgramName(const char* name) { programName = name; }

void reportError(const std::string& message) { writeLine("", message); }

void reportWarning(const std::string& message) {
  writeLine("warning: ", message);
}

void reportInfo(const std::string& message) { writeLine("", message); }

bool standardOutputWritten(const char* consequence, bool wasOpen) {
  std::cout.flush();
  if (wasOpen && std::cout) return true;
  std::string message = "standard output: write error";
  if (consequence != nullptr) message += std::string("; ") + consequence;
  reportError(message);
  return false;
}

std::string printable(const std::string& path) {
  std::string out;
  out.reserve(path.size());
  appendPrintable(&out, path);
  return out;
}

void appendPrintable(std::string* out, const std::string& path) {
  // Runs of ordinary bytes go in one append each: names seldom hold a
  // control byte, so a path is usually a single append.
  std::size_t runStart = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const auto byte = static_cast<unsigned char>(path[i]);
    if (byte >= 0x20 && byte != 0x7f) continue;
    out->append(path, runStart, i - runStart);
    out->append("\\x");
    appendHexByte(out, byte);
    runStart = i + 1;
  }
  out->append(path, runStart, path.size() - runStart);
}

void appendHexByte(std::string* out, unsigned char byte) {
  static const char kDigits[] = "0123456789abcdef";
  const char digits[] = {kDigits[byte >> 4], kDigits[byte & 0xf]};
  out->append(digits, sizeof digits);
}

int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
