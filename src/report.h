// Error reporting and the printable form of paths: the one place that decides
// how a failure and a name reach the user.
#ifndef EXTRACTGAMEFILE_REPORT_H_
#define EXTRACTGAMEFILE_REPORT_H_

#include <string>

// Names the program in front of every error line ("extractGameFile" unless
// set otherwise). |name| must outlive every later report.
void setProgramName(const char* name);

// Writes "PROGRAM: MESSAGE" and a line end to standard error.
void reportError(const std::string& message);

// |path| with the bytes 0x00-0x1F and 0x7F written as "\x" and two lowercase
// hex digits, so that a name taken from an archive cannot drive the terminal.
// Every other byte, 0x80-0xFF included, stays as it is.
std::string printable(const std::string& path);

// Appends printable(|path|) to |out|.
void appendPrintable(std::string* out, const std::string& path);

#endif  // EXTRACTGAMEFILE_REPORT_H_
