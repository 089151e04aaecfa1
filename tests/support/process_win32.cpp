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

HANDLE openForChild(const std::string& path, bool write) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const HANDLE handle = ::CreateFileW(
      wide(path).c_str(), write ? GENERIC_WRITE : GENERIC_READ,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
      write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    throw std::runtime_error("cannot open " + path + " for a child");
  return handle;
}

}  // namespace

bool systemHasFileSizeLimits() { return false; }

bool systemHasStopSignals() { return false; }

std::function<void(int pid)> signalWhenAFileGrowsIn(const std::string&, int) {
  throw std::runtime_error("Windows has no stop signals to send a child");
}

ProcessResult runProcess(const std::string& binary,
                         const std::string& workingDir,
                         const ProcessOptions& options) {
  if (options.fileSizeLimit >= 0)
    throw std::runtime_error("Windows has no file-size limit for a process");
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
    out = openForChild(outPath, true);
  }

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out == INVALID_HANDLE_VALUE ? nullptr : out;
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
