// Child processes on Windows: CreateProcessW with the standard handles
// redirected to files, the command line quoted as the C runtime parses it.
#include <windows.h>

#include <stdexcept>

#include "process.h"
#include "scratch.h"
#include "utf8.h"
#include "windows_names.h"

namespace fixture {

namespace {

std::wstring wide(const std::string& utf8) {
  const std::u16string text = windows_names::pathOf(utf8);
  return std::wstring(text.begin(), text.end());
}

// |arg| quoted so that the child's runtime gives it back as it is: inside
// double quotes, backslashes count only before a double quote.
void appendQuoted(std::wstring* line, const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    *line += arg;
    return;
  }
  *line += L'"';
  std::size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"')
      *line += std::wstring(backslashes * 2 + 1, L'\\');
    else
      *line += std::wstring(backslashes, L'\\');
    backslashes = 0;
    *line += c;
  }
  *line += std::wstring(backslashes * 2, L'\\');
  *line += L'"';
}

HANDLE inheritable(HANDLE handle) {
  ::SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  return handle;
}

HANDLE openForChild(const std::string& path, bool write, bool append = false) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const HANDLE handle = ::CreateFileW(
      wide(path).c_str(),
      append  ? FILE_APPEND_DATA
      : write ? GENERIC_WRITE
              : GENERIC_READ,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
      append  ? OPEN_ALWAYS
      : write ? CREATE_ALWAYS
              : OPEN_EXISTING,
      FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    throw std::runtime_error("cannot open " + path + " for a child");
  return handle;
}

}  // namespace

bool systemHasFileSizeLimits() { return false; }

bool systemHasPseudoTerminals() { return false; }

// A console control event would reach every process of the console, this
// test's own included; the tests that stop a child are skipped here.
bool systemHasStopSignals() { return false; }

const int kHangUpSignal = 0;

// Wine does not show whether a child waits on a pipe, and a test cannot
// hold a child there without seeing it; the tests that need one are
// skipped, and none of the calls below is made.
FullPipe::FullPipe() {}
FullPipe::~FullPipe() {}
bool FullPipe::available() { return false; }
std::string FullPipe::path() const { return ""; }
bool FullPipe::waitUntilWriterBlocks(int) const { return false; }
void FullPipe::release() {}
std::string FullPipe::output() { return ""; }

std::function<void(int pid)> signalWhenAFileGrowsIn(const std::string&, int) {
  return [](int) {
    throw std::runtime_error("no stop signals to send on this system");
  };
}

std::function<void(int pid)> signalWhenFilesGrow(
    const std::vector<std::string>&, std::size_t, int) {
  return signalWhenAFileGrowsIn("", 0);
}

ProcessResult runProcess(const std::string& binary,
                         const std::string& workingDir,
                         const ProcessOptions& options) {
  if (options.fileSizeLimit >= 0)
    throw std::runtime_error("Windows has no file-size limit for a process");
  if (options.stdoutToTerminal)
    throw std::runtime_error("no pseudo-terminal for a child on Windows");
  ScratchDir capture;
  const std::string outPath =
      options.stdoutPath.empty() ? capture.at("stdout") : options.stdoutPath;
  const std::string errPath = capture.at("stderr");

  std::wstring line;
  appendQuoted(&line, wide(binary));
  for (const std::string& arg : options.args) {
    line += L' ';
    appendQuoted(&line, wide(arg));
  }

  const HANDLE in = openForChild("NUL", false);
  const HANDLE err = openForChild(errPath, true);
  HANDLE out = INVALID_HANDLE_VALUE;
  if (options.stdoutToDeadPipe) {
    HANDLE readEnd;
    if (!::CreatePipe(&readEnd, &out, nullptr, 0))
      throw std::runtime_error("CreatePipe failed");
    ::CloseHandle(readEnd);  // nobody will ever read
    inheritable(out);
  } else if (!options.closeStdout) {
    out = openForChild(outPath, true, options.stdoutAppends);
  }

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  // An invalid handle, not none: given none, Wine hands the child one of
  // its own.
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION child{};
  const std::wstring folder = wide(workingDir);
  const BOOL started = ::CreateProcessW(
      wide(binary).c_str(), &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
      nullptr, folder.c_str(), &startup, &child);
  for (const HANDLE h : {in, err, out})
    if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
  if (!started) throw std::runtime_error("cannot start " + binary);

  if (options.whileRunning)
    options.whileRunning(static_cast<int>(child.dwProcessId));
  ::WaitForSingleObject(child.hProcess, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(child.hProcess, &code);
  ::CloseHandle(child.hThread);
  ::CloseHandle(child.hProcess);

  ProcessResult result;
  result.exitStatus = static_cast<int>(code);
  if (options.stdoutPath.empty() && !options.stdoutToDeadPipe &&
      !options.closeStdout)
    result.out = readFile(outPath);
  result.err = readFile(errPath);
  return result;
}

}  // namespace fixture
