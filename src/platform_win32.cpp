// The platform layer on Windows, through the wide-character API only, so
// that no name ever passes through the machine's code page.
//
// Paths arrive as bytes: an archive's names, or UTF-8 from the command line
// and from folder listings. Each becomes a Windows name by the one rule of
// windows_names.h, then an absolute path with the "\\?\" prefix, which lifts
// the 260-character limit, so that 255-byte names under deep folders work.
//
// Descriptors are the C runtime's, each over a handle opened here in binary
// mode, so that the same int works with the runtime and with the handle
// calls below. Sizes and offsets are 64-bit throughout.
//
// Errors: each failing call leaves its reason in lastError(). The reasons
// the programs meet in normal use are kept as the POSIX error numbers of the
// same meaning, with the texts the POSIX side prints, so that a message
// reads the same on every system; any other Windows error keeps its own
// number and the system's own text.
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "platform.h"
#include "utf8.h"
#include "windows_names.h"

namespace platform {

namespace {

// Reasons of our own, beside the POSIX numbers, and the offset that keeps
// Windows' own numbers apart from both.
constexpr int kNotARegularFile = 1000;
constexpr int kWindowsErrorBase = 0x10000;

// Per thread, as errno is: extraction workers fail calls side by side.
thread_local int currentError = 0;

int errorFromWindows(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_BAD_PATHNAME:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    case ERROR_DIR_NOT_EMPTY:
      return ENOTEMPTY;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
      return EPIPE;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_NOT_SAME_DEVICE:
      return EXDEV;
    case ERROR_INVALID_HANDLE:
      return EBADF;
    default:
      return kWindowsErrorBase + static_cast<int>(code);
  }
}

// Records the reason the last Windows call gave; returns |result| so that a
// failing call can end with `return fail(-1)`.
template <typename T>
T fail(T result) {
  currentError = errorFromWindows(::GetLastError());
  return result;
}

template <typename T>
T failWith(int error, T result) {
  currentError = error;
  return result;
}

std::wstring wideOf(const std::u16string& text) {
  return std::wstring(text.begin(), text.end());
}

std::string utf8OfWide(const wchar_t* text, std::size_t n) {
  return utf8Of(std::u16string(text, text + n));
}

bool startsWith(const std::wstring& s, const wchar_t* prefix) {
  return s.compare(0, std::wcslen(prefix), prefix) == 0;
}

// The path the wide API is given for |path|, as described at the top.
std::wstring systemPath(const std::string& path) {
  std::wstring wide = wideOf(windows_names::pathOf(path));
  for (wchar_t& c : wide)
    if (c == L'/') c = L'\\';
  if (wide.empty() || startsWith(wide, L"\\\\?\\") ||
      startsWith(wide, L"\\\\.\\"))
    return wide;
  const DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return wide;
  std::wstring full(needed, L'\0');
  const DWORD length =
      ::GetFullPathNameW(wide.c_str(), needed, &full[0], nullptr);
  if (length == 0 || length >= needed) return wide;
  full.resize(length);
  // A device name resolves to "\\.\NAME", which takes no prefix.
  if (startsWith(full, L"\\\\.\\") || startsWith(full, L"\\\\?\\")) return full;
  if (startsWith(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

// The reason a call on |path| failed with |code|. Windows answers "path not
// found" alike where a level is missing, where a level is a file and where
// a name is too long; POSIX tells these apart, and so do the messages.
int errorOnPath(const std::wstring& path, DWORD code) {
  if (code != ERROR_PATH_NOT_FOUND && code != ERROR_FILE_NOT_FOUND &&
      code != ERROR_INVALID_NAME && code != ERROR_FILENAME_EXCED_RANGE)
    return errorFromWindows(code);
  // The levels start after the root: "\\?\C:\".
  const std::size_t rootEnd =
      path.find(L'\\', startsWith(path, L"\\\\?\\") ? 4 : 0);
  if (rootEnd == std::wstring::npos) return errorFromWindows(code);
  for (std::size_t start = rootEnd + 1; start < path.size();) {
    std::size_t end = path.find(L'\\', start);
    if (end == std::wstring::npos) end = path.size();
    if (end - start > 255) return ENAMETOOLONG;
    start = end + 1;
  }
  for (std::size_t end = path.find(L'\\', rootEnd + 1);
       end != std::wstring::npos; end = path.find(L'\\', end + 1)) {
    const DWORD attributes = ::GetFileAttributesW(path.substr(0, end).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) break;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return ENOTDIR;
  }
  return errorFromWindows(code);
}

template <typename T>
T failOnPath(const std::wstring& path, T result) {
  currentError = errorOnPath(path, ::GetLastError());
  return result;
}

HANDLE handleOf(int fd) {
  return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

// Wraps |handle| in a descriptor; closes it and fails when that cannot be
// done.
int descriptorOf(HANDLE handle, int flags) {
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle),
                                   flags | _O_BINARY | _O_NOINHERIT);
  if (fd < 0) {
    ::CloseHandle(handle);
    return failWith(EMFILE, -1);
  }
  return fd;
}

bool isFolder(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Opens |path| for what its attributes and identity say, following links,
// folders included.
HANDLE openForQuery(const std::string& path) {
  return ::CreateFileW(systemPath(path).c_str(), 0,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                       nullptr);
}

constexpr DWORD kShareAll =
    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens a file for writing, created as |disposition| says; what is there
// must be a file on a disk, not a device or a pipe.
int openForWriting(const std::wstring& path, DWORD disposition) {
  const HANDLE handle =
      ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll,
                    nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    // Read once: isFolder's own call may leave another reason behind.
    const DWORD code = ::GetLastError();
    // A folder at the path gives "access denied"; POSIX says what it is.
    if (code == ERROR_ACCESS_DENIED && isFolder(path))
      return failWith(EISDIR, -1);
    return failWith(errorOnPath(path, code), -1);
  }
  if (::GetFileType(handle) != FILE_TYPE_DISK) {
    ::CloseHandle(handle);
    return failWith(kNotARegularFile, -1);
  }
  return descriptorOf(handle, _O_RDWR);
}

// The text POSIX gives for each number errorFromWindows produces.
const char* posixText(int error) {
  switch (error) {
    case ENOENT:
      return "No such file or directory";
    case EACCES:
      return "Permission denied";
    case EEXIST:
      return "File exists";
    case ENOSPC:
      return "No space left on device";
    case ENAMETOOLONG:
      return "File name too long";
    case ENOTDIR:
      return "Not a directory";
    case EISDIR:
      return "Is a directory";
    case ENOTEMPTY:
      return "Directory not empty";
    case ENOMEM:
      return "Cannot allocate memory";
    case EPIPE:
      return "Broken pipe";
    case EROFS:
      return "Read-only file system";
    case EXDEV:
      return "Invalid cross-device link";
    case EBADF:
      return "Bad file descriptor";
    case EMFILE:
      return "Too many open files";
    case EINVAL:
      return "Invalid argument";
    case kNotARegularFile:
      return "not a regular file";
    default:
      return nullptr;
  }
}

FileKind kindOfAttributes(DWORD attributes, DWORD reparseTag) {
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
      (reparseTag == IO_REPARSE_TAG_SYMLINK ||
       reparseTag == IO_REPARSE_TAG_MOUNT_POINT))
    return FileKind::kSymbolicLink;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FileKind::kFolder;
  if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0)
    return FileKind::kCharacterDevice;
  return FileKind::kFile;
}

}  // namespace

int _mkdir(const char* path) {
  const std::wstring wide = systemPath(path);
  return ::CreateDirectoryW(wide.c_str(), nullptr) ? 0 : failOnPath(wide, -1);
}

std::size_t maxNameLength() { return 255; }

std::size_t nameLength(const std::string& name) {
  return windows_names::nameOf(name).size();
}

int lastError() { return currentError; }

std::string errorText(int error) {
  if (const char* text = posixText(error)) return text;
  if (error < kWindowsErrorBase) return std::strerror(error);
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
          FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error - kWindowsErrorBase), 0,
      reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text = length > 0 ? utf8OfWide(buffer, length) : std::string();
  if (buffer != nullptr) ::LocalFree(buffer);
  while (!text.empty() &&
         (text.back() == '\n' || text.back() == '\r' || text.back() == '.'))
    text.pop_back();
  if (text.empty())
    text = "Windows error " + std::to_string(error - kWindowsErrorBase);
  return text;
}

std::string lastErrorText() { return errorText(currentError); }

bool identify(const std::string& path, FileIdentity* identity) {
  const HANDLE handle = openForQuery(path);
  if (handle == INVALID_HANDLE_VALUE) return fail(false);
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = ::GetFileInformationByHandle(handle, &info) != 0;
  if (!ok) fail(false);
  ::CloseHandle(handle);
  if (!ok) return false;
  identity->device = info.dwVolumeSerialNumber;
  identity->file = static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 |
                   info.nFileIndexLow;
  return true;
}

int openRegularFile(const std::string& path, std::int64_t* size,
                    std::string* error) {
  const std::wstring wide = systemPath(path);
  const HANDLE handle =
      ::CreateFileW(wide.c_str(), GENERIC_READ, kShareAll, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    currentError = code == ERROR_ACCESS_DENIED && isFolder(wide)
                       ? EISDIR
                       : errorOnPath(wide, code);
    *error = lastErrorText();
    return -1;
  }
  LARGE_INTEGER length;
  if (::GetFileType(handle) != FILE_TYPE_DISK ||
      !::GetFileSizeEx(handle, &length)) {
    ::CloseHandle(handle);
    *error = errorText(kNotARegularFile);
    return -1;
  }
  const int fd = descriptorOf(handle, _O_RDONLY);
  if (fd < 0) {
    *error = lastErrorText();
    return -1;
  }
  *size = length.QuadPart;
  return fd;
}

std::int64_t readSome(int fd, void* buffer, std::size_t n) {
  const DWORD want = n > 0x40000000 ? 0x40000000 : static_cast<DWORD>(n);
  DWORD got = 0;
  if (!::ReadFile(handleOf(fd), buffer, want, &got, nullptr)) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_HANDLE_EOF || code == ERROR_BROKEN_PIPE) return 0;
    return fail(-1);
  }
  return got;
}

std::int64_t readAt(int fd, void* buffer, std::size_t n, std::int64_t offset) {
  // A read at an offset moves the position of a handle opened for ordinary
  // (not overlapped) use; it is put back, as the contract promises.
  const HANDLE handle = handleOf(fd);
  LARGE_INTEGER zero{}, position;
  if (!::SetFilePointerEx(handle, zero, &position, FILE_CURRENT))
    return fail(-1);
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset));
  at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
  const DWORD want = n > 0x40000000 ? 0x40000000 : static_cast<DWORD>(n);
  DWORD got = 0;
  std::int64_t result = got;
  if (!::ReadFile(handle, buffer, want, &got, &at))
    result = ::GetLastError() == ERROR_HANDLE_EOF ? 0 : fail(-1);
  else
    result = got;
  ::SetFilePointerEx(handle, position, nullptr, FILE_BEGIN);
  return result;
}

std::int64_t writeSome(int fd, const void* data, std::size_t n) {
  const DWORD want = n > 0x40000000 ? 0x40000000 : static_cast<DWORD>(n);
  DWORD put = 0;
  if (!::WriteFile(handleOf(fd), data, want, &put, nullptr)) return fail(-1);
  return put;
}

std::int64_t copyBetweenFiles(int, std::int64_t*, int, std::size_t,
                              bool* refused) {
  // Windows copies whole files only, never a range into another file.
  *refused = true;
  return failWith(EXDEV, -1);
}

int createOutputFile(const std::string& path) {
  return openForWriting(systemPath(path), CREATE_ALWAYS);
}

bool closeFile(int fd) {
  return ::_close(fd) == 0 ? true : failWith(errno, false);
}

bool removeFile(const std::string& path) {
  return ::DeleteFileW(systemPath(path).c_str()) != 0 ? true : fail(false);
}

int createUniqueFile(const std::string& prefix, std::string* path) {
  static const char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::uint64_t seed = ::GetTickCount64() ^
                       (std::uint64_t{::GetCurrentProcessId()} << 20) ^
                       reinterpret_cast<std::uintptr_t>(path);
  for (int attempt = 0; attempt < 100; ++attempt) {
    *path = prefix;
    for (int i = 0; i < 6; ++i) {
      seed = seed * 6364136223846793005u + 1442695040888963407u;
      *path += kLetters[(seed >> 33) % (sizeof kLetters - 1)];
    }
    const int fd = openForWriting(systemPath(*path), CREATE_NEW);
    if (fd >= 0 || currentError != EEXIST) return fd;
  }
  return -1;
}

int createNamelessFile(const std::string&) {
  // A file Windows deletes by itself at the end (FILE_FLAG_DELETE_ON_CLOSE)
  // can never be given a name and kept; the caller writes under a name of
  // its own instead.
  return failWith(EOPNOTSUPP, -1);
}

bool nameFile(int, const std::string&, bool* nameTaken) {
  // No file reaches here: createNamelessFile makes none on Windows.
  *nameTaken = false;
  return failWith(EBADF, false);
}

bool finishFile(int fd) {
  // A new file's access on Windows is what its folder passes on to it, as
  // the umask decides it on POSIX; only the bytes are left to settle.
  return ::FlushFileBuffers(handleOf(fd)) != 0 ? true : fail(false);
}

bool renameFile(const std::string& from, const std::string& to) {
  return ::MoveFileExW(systemPath(from).c_str(), systemPath(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0
             ? true
             : fail(false);
}

void removeFileFromSignalHandler(const char* path) {
  // The C runtime calls the handler on a thread of its own, where memory may
  // be allocated.
  ::DeleteFileW(systemPath(path).c_str());
}

// Ctrl+C and Ctrl+Break from the console, and a termination raised by the
// program; Windows has no hang-up.
std::vector<int> stopSignals() { return {SIGINT, SIGBREAK, SIGTERM}; }

bool listFolder(const std::string& path, std::vector<FolderItem>* items,
                std::string* failedPath, std::string* error) {
  items->clear();
  *failedPath = path;
  std::wstring pattern = systemPath(path);
  if (!pattern.empty() && pattern.back() != L'\\') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW found;
  const HANDLE search =
      ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                         FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) {
    // An empty folder still lists "." on a disk; nothing found means none.
    if (::GetLastError() == ERROR_FILE_NOT_FOUND) return true;
    fail(0);
    *error = lastErrorText();
    return false;
  }
  do {
    const std::string name =
        utf8OfWide(found.cFileName, std::wcslen(found.cFileName));
    if (name == "." || name == "..") continue;
    FolderItem item;
    item.name = name;
    item.kind = kindOfAttributes(found.dwFileAttributes, found.dwReserved0);
    if (item.kind == FileKind::kFile)
      item.size = static_cast<std::uint64_t>(found.nFileSizeHigh) << 32 |
                  found.nFileSizeLow;
    items->push_back(item);
  } while (::FindNextFileW(search, &found));
  const DWORD code = ::GetLastError();
  ::FindClose(search);
  if (code != ERROR_NO_MORE_FILES) {
    currentError = errorFromWindows(code);
    *error = lastErrorText();
    return false;
  }
  return true;
}

bool kindOf(const std::string& path, FileKind* kind) {
  const HANDLE handle = openForQuery(path);
  if (handle == INVALID_HANDLE_VALUE) return fail(false);
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = ::GetFileInformationByHandle(handle, &info) != 0;
  const DWORD type = ::GetFileType(handle);
  if (!ok) fail(false);
  ::CloseHandle(handle);
  if (!ok) return false;
  *kind = type == FILE_TYPE_DISK   ? kindOfAttributes(info.dwFileAttributes, 0)
          : type == FILE_TYPE_PIPE ? FileKind::kNamedPipe
                                   : FileKind::kCharacterDevice;
  return true;
}

bool kindOfItself(const std::string& path, FileKind* kind) {
  // FILE_FLAG_OPEN_REPARSE_POINT opens a link or a junction itself.
  const HANDLE handle = ::CreateFileW(
      systemPath(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
      nullptr);
  if (handle == INVALID_HANDLE_VALUE) return fail(false);
  FILE_ATTRIBUTE_TAG_INFO tag{};
  const bool ok = ::GetFileInformationByHandleEx(handle, FileAttributeTagInfo,
                                                 &tag, sizeof tag) != 0;
  const DWORD type = ::GetFileType(handle);
  if (!ok) fail(false);
  ::CloseHandle(handle);
  if (!ok) return false;
  *kind = type == FILE_TYPE_DISK
              ? kindOfAttributes(tag.FileAttributes, tag.ReparseTag)
          : type == FILE_TYPE_PIPE ? FileKind::kNamedPipe
                                   : FileKind::kCharacterDevice;
  return true;
}

bool sizeOfOpenFile(int fd, std::int64_t* size) {
  LARGE_INTEGER length;
  if (!::GetFileSizeEx(handleOf(fd), &length)) return fail(false);
  *size = length.QuadPart;
  return true;
}

bool canonicalPath(const std::string& path, std::string* real) {
  const HANDLE handle = openForQuery(path);
  if (handle == INVALID_HANDLE_VALUE) return fail(false);
  std::wstring buffer(512, L'\0');
  DWORD length = 0;
  while (true) {
    length = ::GetFinalPathNameByHandleW(handle, &buffer[0],
                                         static_cast<DWORD>(buffer.size()), 0);
    if (length < buffer.size()) break;
    buffer.resize(length + 1);
  }
  if (length == 0) fail(false);
  ::CloseHandle(handle);
  if (length == 0) return false;
  buffer.resize(length);
  if (startsWith(buffer, L"\\\\?\\UNC\\"))
    buffer = L"\\\\" + buffer.substr(8);
  else if (startsWith(buffer, L"\\\\?\\"))
    buffer = buffer.substr(4);
  // Callers join and compare paths with "/", which Windows accepts as well.
  for (wchar_t& c : buffer)
    if (c == L'\\') c = L'/';
  *real = utf8OfWide(buffer.data(), buffer.size());
  return true;
}

bool windowsPaths() { return true; }

bool isFolderSeparator(char c) { return c == '/' || c == '\\'; }

std::string fileNameKey(const std::string& path) {
  std::wstring name = wideOf(windows_names::pathOf(path));
  // Upper case as the file system compares names: by the system's own
  // table, the same for every locale.
  if (!name.empty())
    ::CharUpperBuffW(&name[0], static_cast<DWORD>(name.size()));
  return utf8OfWide(name.data(), name.size());
}

unsigned usableProcessors() {
  DWORD_PTR process = 0, system = 0;
  if (!::GetProcessAffinityMask(::GetCurrentProcess(), &process, &system))
    return 0;
  unsigned n = 0;
  for (DWORD_PTR left = process; left != 0; left &= left - 1) ++n;
  // The mask covers one group of at most 64 processors. A process not
  // narrowed to some of them runs on every group (Windows 11 spreads its
  // threads over all), so then all active processors count.
  if (process == system) {
    const DWORD all = ::GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
    if (all > n) n = all;
  }
  return n;
}

std::vector<std::string> commandLineArguments(int argc, char** argv) {
  // The runtime's argv went through the machine's code page, which cannot
  // hold every name; the command line as Windows keeps it is UTF-16.
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  if (wide == nullptr) {
    arguments.assign(argv, argv + argc);
    return arguments;
  }
  for (int i = 0; i < count; ++i)
    arguments.push_back(utf8OfWide(wide[i], std::wcslen(wide[i])));
  ::LocalFree(wide);
  return arguments;
}

namespace {

// A descriptor on which every write fails, as POSIX's /dev/full gives: the
// write end of a pipe whose read end is already closed.
int failingOutput() {
  HANDLE readEnd, writeEnd;
  if (!::CreatePipe(&readEnd, &writeEnd, nullptr, 0)) return -1;
  ::CloseHandle(readEnd);
  return descriptorOf(writeEnd, _O_WRONLY);
}

UINT consoleOutputCodePage = 0;

void restoreConsoleCodePage() {
  if (consoleOutputCodePage != 0) ::SetConsoleOutputCP(consoleOutputCodePage);
}

bool isConsole(int fd) {
  DWORD mode;
  const HANDLE handle = handleOf(fd);
  return handle != INVALID_HANDLE_VALUE &&
         ::GetFileType(handle) == FILE_TYPE_CHAR &&
         ::GetConsoleMode(handle, &mode) != 0;
}

}  // namespace

bool holdStandardDescriptors() {
  bool closed[3];
  for (int fd = 0; fd < 3; ++fd) {
    const intptr_t handle = ::_get_osfhandle(fd);
    closed[fd] = handle == -1 || handle == -2;
  }
  for (int fd = 0; fd < 3; ++fd) {
    if (closed[fd]) {
      int got = fd == 1 ? failingOutput() : -1;
      if (got < 0) got = ::_open("NUL", fd == 0 ? _O_RDONLY : _O_WRONLY);
      if (got >= 0 && got != fd) {
        ::_dup2(got, fd);
        ::_close(got);
      }
    }
    // The bytes a program prints are the bytes that arrive: no "\r" before
    // each "\n", and no byte 0x1A taken for the end of the input.
    ::_setmode(fd, _O_BINARY);
  }
  // Names are printed as UTF-8; a console shows them as the characters a
  // Linux terminal shows, and gets its own code page back at exit.
  if ((isConsole(1) || isConsole(2)) && consoleOutputCodePage == 0) {
    consoleOutputCodePage = ::GetConsoleOutputCP();
    ::SetConsoleOutputCP(CP_UTF8);
    std::atexit(restoreConsoleCodePage);
  }
  return !closed[1];
}

void reportWriteFailuresAsErrors() {
  // Nothing to do: Windows has no signal for a write to a pipe without a
  // reader or past a size limit; the write fails, and the caller sees it.
}

bool standardErrorIsTerminal() { return isConsole(2); }

}  // namespace platform

// ---- Output trees ------------------------------------------------------
//
// A Folder is an open handle to the folder together with its path, the one
// the wide API is given for files in it. The handle is opened without
// sharing deletion, so that while it is held no one can rename or remove the
// folder: its path keeps naming this very folder, which is what POSIX gets
// from working relative to an open descriptor.

namespace platform {

namespace {

struct OpenFolder {
  HANDLE handle;
  std::wstring path;  // systemPath form, no final "\"
};

// The level "." is the folder itself, as on POSIX: the "\\?\" form takes
// every level literally, and a "." there is an invalid name.
std::wstring childPath(std::intptr_t parent, const std::string& name) {
  const std::wstring& folder =
      reinterpret_cast<const OpenFolder*>(parent)->path;
  if (name == ".") return folder;
  return folder + L"\\" + wideOf(windows_names::nameOf(name));
}

std::wstring childPath(const Folder& parent, const std::string& name) {
  return childPath(parent.handle(), name);
}

void closeOpenFolder(std::intptr_t handle) {
  if (handle == -1) return;
  auto* open = reinterpret_cast<OpenFolder*>(handle);
  ::CloseHandle(open->handle);
  delete open;
}

// Opens the folder at |path|; with |followLink| false a link there (a
// symbolic link or a junction) is refused with ELOOP.
int openFolderPath(const std::wstring& path, bool followLink, Folder* folder) {
  DWORD flags = FILE_FLAG_BACKUP_SEMANTICS;
  if (!followLink) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
  const HANDLE handle =
      ::CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                    flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    return errorOnPath(path, ::GetLastError());
  BY_HANDLE_FILE_INFORMATION info;
  int error = 0;
  if (!::GetFileInformationByHandle(handle, &info))
    error = errorFromWindows(::GetLastError());
  else if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
           !followLink)
    error = ELOOP;
  else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
    error = ENOTDIR;
  if (error != 0) {
    ::CloseHandle(handle);
    return error;
  }
  std::wstring own = path;
  while (own.size() > 1 && own.back() == L'\\') own.pop_back();
  *folder =
      Folder(reinterpret_cast<std::intptr_t>(new OpenFolder{handle, own}));
  return 0;
}

}  // namespace

bool standardOutputIsTerminal() { return isConsole(kStandardOutput); }

bool identityOf(int descriptor, FileIdentity* identity) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(handleOf(descriptor), &info)) return false;
  identity->device = info.dwVolumeSerialNumber;
  identity->file = static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 |
                   info.nFileIndexLow;
  return true;
}

Folder::~Folder() { closeOpenFolder(handle_); }

Folder& Folder::operator=(Folder&& other) noexcept {
  if (this != &other) {
    closeOpenFolder(handle_);
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

int openRootFolder(const std::string& path, Folder* folder) {
  return openFolderPath(systemPath(path.empty() ? "." : path), true, folder);
}

void useKernelResolution(bool) {
  // Windows has no resolution beneath a folder; every open goes level by
  // level, each refusing a link.
}

int openFolderAt(const Folder& parent, const std::string& name,
                 Folder* folder) {
  return openFolderPath(childPath(parent, name), false, folder);
}

int openFolderBeneath(const Folder& root, const std::string& relative,
                      Folder* folder) {
  return openFolderLevelByLevel(root, relative, folder);
}

int makeFolderAt(const Folder& parent, const std::string& name) {
  const std::wstring path = childPath(parent, name);
  return ::CreateDirectoryW(path.c_str(), nullptr)
             ? 0
             : errorOnPath(path, ::GetLastError());
}

EntryKind kindAt(const Folder& parent, const std::string& name,
                 FileIdentity* identity) {
  const HANDLE handle = ::CreateFileW(
      childPath(parent, name).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
      nullptr);
  if (handle == INVALID_HANDLE_VALUE) return EntryKind::kNone;
  BY_HANDLE_FILE_INFORMATION info;
  const bool known = ::GetFileInformationByHandle(handle, &info) != 0;
  const DWORD type = ::GetFileType(handle);
  ::CloseHandle(handle);
  if (!known) return EntryKind::kSpecial;
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
    return EntryKind::kLink;
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return EntryKind::kFolder;
  if (type != FILE_TYPE_DISK) return EntryKind::kSpecial;
  identity->device = info.dwVolumeSerialNumber;
  identity->file = static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 |
                   info.nFileIndexLow;
  return EntryKind::kFile;
}

// ---- Files in progress ---------------------------------------------------
//
// The C runtime calls a stop handler (Ctrl+C, Ctrl+Break, a raised
// termination) on a thread of its own, where a lock may be taken: the files
// in progress are kept in a table under one.

namespace {

std::mutex inProgressLock;
std::map<int, std::wstring> inProgress;  // by slot
int nextSlot = 0;
std::atomic<unsigned long> temporaryCount{0};

int trackFile(const std::wstring& path) {
  std::lock_guard<std::mutex> hold(inProgressLock);
  inProgress[nextSlot] = path;
  return nextSlot++;
}

void untrackFile(int slot) {
  std::lock_guard<std::mutex> hold(inProgressLock);
  inProgress.erase(slot);
}

extern "C" void onStopRequest(int sig) {
  {
    std::lock_guard<std::mutex> hold(inProgressLock);
    // An open file is removed once its last handle closes: at the latest as
    // the process ends, just below.
    for (const auto& file : inProgress) ::DeleteFileW(file.second.c_str());
  }
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

std::string temporaryName() {
  return ".partial-" + std::to_string(::GetCurrentProcessId()) + "-" +
         std::to_string(temporaryCount.fetch_add(1));
}

}  // namespace

void removeFilesInProgressOnStop() {
  for (const int sig : stopSignals()) {
    const auto old = std::signal(sig, onStopRequest);
    if (old == SIG_IGN) std::signal(sig, SIG_IGN);
  }
}

int OutputFile::create(const Folder& folder, const std::string& name,
                       bool beside) {
  discard();
  if (!beside && nameLength(name) > maxNameLength()) return ENAMETOOLONG;
  std::string made = beside ? temporaryName() : name;
  HANDLE handle;
  std::wstring path;
  for (;;) {
    path = childPath(folder, made);
    // FILE_FLAG_OPEN_REPARSE_POINT: a link at the name is not followed, and
    // CREATE_NEW fails on it as on any other thing there.
    handle = ::CreateFileW(
        path.c_str(), GENERIC_READ | GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle != INVALID_HANDLE_VALUE || !beside ||
        ::GetLastError() != ERROR_FILE_EXISTS)
      break;
    made = temporaryName();  // someone else's: take the next
  }
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_ACCESS_DENIED && isFolder(path)) return EEXIST;
    return errorOnPath(path, code);
  }
  const int fd = descriptorOf(handle, _O_RDWR);
  if (fd < 0) {
    ::DeleteFileW(path.c_str());
    return EMFILE;
  }
  fd_ = fd;
  folder_ = folder.handle();
  name_ = name;
  temporary_ = beside ? made : std::string();
  slot_ = trackFile(path);
  return 0;
}

int OutputFile::commit() {
  if (fd_ < 0) return EBADF;
  const int closed = ::_close(fd_);
  fd_ = -1;
  int err = closed == 0 ? 0 : errno;
  if (err == 0 && !temporary_.empty()) {
    const std::wstring from = childPath(folder_, temporary_);
    const std::wstring to = childPath(folder_, name_);
    if (!::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      const DWORD code = ::GetLastError();
      err = code == ERROR_ACCESS_DENIED && isFolder(to) ? EISDIR
                                                        : errorOnPath(to, code);
    }
  }
  if (err != 0) {
    discard();
    return err;
  }
  untrackFile(slot_);
  slot_ = -1;
  return 0;
}

void OutputFile::discard() {
  if (slot_ < 0) return;
  if (fd_ >= 0) ::_close(fd_);
  fd_ = -1;
  {
    std::lock_guard<std::mutex> hold(inProgressLock);
    const auto file = inProgress.find(slot_);
    if (file != inProgress.end()) {
      ::DeleteFileW(file->second.c_str());
      inProgress.erase(file);
    }
  }
  slot_ = -1;
}

}  // namespace platform
