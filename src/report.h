// What reaches the user on standard error, and the printable form of names:
// the one place that decides how a failure, a warning, a result and a name
// are written. Every line starts with the program's name.
#ifndef EXTRACTGAMEFILE_REPORT_H_
#define EXTRACTGAMEFILE_REPORT_H_

#include <string>

// Names the program in front of every line below ("extractGameFile" unless
// set otherwise). |name| must outlive every later report.
void setProgramName(const char* name);

// A failure: writes "PROGRAM: MESSAGE" and a line end to standard error.
void reportError(const std::string& message);

// Something passed over while the work goes on, which by itself changes no
// exit status: writes "PROGRAM: warning: MESSAGE" and a line end to standard
// error.
void reportWarning(const std::string& message);

// A result meant for the user, such as a summary, on standard error so that
// standard output stays the command's own: writes "PROGRAM: MESSAGE" and a
// line end.
void reportInfo(const std::string& message);

// Flushes standard output and tells whether everything written to it since
// the start arrived; |wasOpen| false says that it was closed when the
// program started, which loses everything too. When something was lost,
// reports "standard output: write error", followed by "; " and |consequence|
// when one is given.
bool standardOutputWritten(const char* consequence = nullptr,
                           bool wasOpen = true);

// |path| with the bytes 0x00-0x1F and 0x7F written as "\x" and two lowercase
// hex digits, so that a name taken from an archive cannot drive the terminal.
// Every other byte, 0x80-0xFF included, stays as it is.
std::string printable(const std::string& path);

// Appends printable(|path|) to |out|.
void appendPrintable(std::string* out, const std::string& path);

// Appends |byte| to |out| as two lowercase hex digits, the form every name
// takes where its bytes are spelt out (printable paths, JSON names).
void appendHexByte(std::string* out, unsigned char byte);

// The value of the hex digit |c|, in either case, or -1 when |c| is none.
int hexDigitValue(char c);

#endif  // EXTRACTGAMEFILE_REPORT_H_
