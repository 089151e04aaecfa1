// Scratch folders and tree snapshots on Windows, through the wide API: a
// test's paths are UTF-8 (or an archive's bytes), and go through the same
// name rule as the programs' paths.
#include <windows.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "scratch.h"
#include "utf8.h"
#include "windows_names.h"

namespace fixture {

namespace {

std::wstring wide(const std::string& path) {
  const std::u16string text = windows_names::pathOf(path);
  std::wstring w(text.begin(), text.end());
  for (wchar_t& c : w)
    if (c == L'/') c = L'\\';
  // With the prefix below, Windows takes the path as it is: no doubled
  // separator may stay.
  for (std::size_t i = 1; i + 1 < w.size();)
    if (w[i] == L'\\' && w[i + 1] == L'\\')
      w.erase(i + 1, 1);
    else
      ++i;
  // Long paths: a test makes 255-byte names under deep folders too.
  if (w.size() > 2 && w[1] == L':' && w[2] == L'\\') return L"\\\\?\\" + w;
  return w;
}

std::string narrow(const wchar_t* text) {
  return utf8Of(std::u16string(text, text + ::wcslen(text)));
}

struct Item {
  std::string name;
  DWORD attributes;
};

std::vector<Item> itemsOf(const std::string& folder) {
  std::vector<Item> items;
  WIN32_FIND_DATAW found;
  std::wstring pattern = wide(folder);
  while (!pattern.empty() && pattern.back() == L'\\') pattern.pop_back();
  const HANDLE search = ::FindFirstFileW((pattern + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    throw std::runtime_error("cannot list " + folder);
  do {
    const std::string name = narrow(found.cFileName);
    if (name != "." && name != "..")
      items.push_back({name, found.dwFileAttributes});
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return items;
}

void removeTree(const std::string& path) {
  for (const Item& item : itemsOf(path)) {
    const std::string full = path + "/" + item.name;
    ::SetFileAttributesW(wide(full).c_str(), FILE_ATTRIBUTE_NORMAL);
    if ((item.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
        (item.attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
      removeTree(full);
      ::RemoveDirectoryW(wide(full).c_str());
    } else if ((item.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      ::RemoveDirectoryW(wide(full).c_str());
    } else {
      ::DeleteFileW(wide(full).c_str());
    }
  }
}

void walk(const std::string& root, const std::string& relative, Tree* tree) {
  const std::string folder = relative.empty() ? root : root + "/" + relative;
  for (const Item& item : itemsOf(folder)) {
    const std::string rel =
        relative.empty() ? item.name : relative + "/" + item.name;
    if ((item.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      (*tree)[rel] = "<special>";
    } else if ((item.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      (*tree)[rel + "/"] = "";
      walk(root, rel, tree);
    } else {
      (*tree)[rel] = readFile(root + "/" + rel);
    }
  }
}

}  // namespace

ScratchDir::ScratchDir() {
  wchar_t temp[MAX_PATH + 1];
  const DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
  if (n == 0) throw std::runtime_error("no temporary folder");
  std::string base = narrow(temp);
  for (char& c : base)
    if (c == '\\') c = '/';
  if (!base.empty() && base.back() == '/') base.pop_back();
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const std::string candidate = base + "/egf." +
                                  std::to_string(::GetCurrentProcessId()) +
                                  "." + std::to_string(++counter);
    if (::CreateDirectoryW(wide(candidate).c_str(), nullptr)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot make a scratch folder in " + base);
}

ScratchDir::~ScratchDir() {
  try {
    removeTree(path_);
  } catch (const std::exception&) {
  }
  ::RemoveDirectoryW(wide(path_).c_str());
}

std::string ScratchDir::at(const std::string& relative) const {
  return path_ + "/" + relative;
}

void writeFile(const std::string& path, const std::string& bytes) {
  const HANDLE file =
      ::CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    throw std::runtime_error("cannot write " + path);
  DWORD put = 0;
  const bool ok =
      bytes.empty() ||
      (::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put,
                   nullptr) &&
       put == bytes.size());
  ::CloseHandle(file);
  if (!ok) throw std::runtime_error("cannot write " + path);
}

std::string readFile(const std::string& path) {
  const HANDLE file =
      ::CreateFileW(wide(path).c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    throw std::runtime_error("cannot read " + path);
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
    bytes.append(buffer, got);
  ::CloseHandle(file);
  return bytes;
}

void makeFolder(const std::string& path) {
  if (!::CreateDirectoryW(wide(path).c_str(), nullptr))
    throw std::runtime_error("cannot make " + path);
}

bool exists(const std::string& path) {
  return ::GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void removeFile(const std::string& path) {
  if (!::DeleteFileW(wide(path).c_str()))
    throw std::runtime_error("cannot remove " + path);
}

void removeFolder(const std::string& path) {
  if (!::RemoveDirectoryW(wide(path).c_str()))
    throw std::runtime_error("cannot remove " + path);
}

std::uint64_t sizeOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(wide(path).c_str(), GetFileExInfoStandard, &data))
    throw std::runtime_error("cannot examine " + path);
  return static_cast<std::uint64_t>(data.nFileSizeHigh) << 32 |
         data.nFileSizeLow;
}

void renameFile(const std::string& from, const std::string& to) {
  if (!::MoveFileExW(wide(from).c_str(), wide(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING))
    throw std::runtime_error("cannot rename " + from + " to " + to);
}

void resizeFile(const std::string& path, std::uint64_t size) {
  const HANDLE file = ::CreateFileW(wide(path).c_str(), GENERIC_WRITE, 0,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    throw std::runtime_error("cannot resize " + path);
  DWORD returned;
  ::DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned,
                    nullptr);
  LARGE_INTEGER end;
  end.QuadPart = static_cast<LONGLONG>(size);
  const bool ok = ::SetFilePointerEx(file, end, nullptr, FILE_BEGIN) &&
                  ::SetEndOfFile(file);
  ::CloseHandle(file);
  if (!ok) throw std::runtime_error("cannot resize " + path);
}

std::vector<std::string> namesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const Item& item : itemsOf(folder)) names.push_back(item.name);
  std::sort(names.begin(), names.end());
  return names;
}

bool systemHasFifos() { return false; }

// Neither has a name in a Windows folder.
bool makeSocket(const std::string&) { return false; }
bool makeCharacterDevice(const std::string&) { return false; }

bool makeFolderUnwritable(const std::string&) { return false; }

void makeFolderWritable(const std::string&) {}

// Making one needs a privilege that a test run does not have.
bool systemHasSymbolicLinks() { return false; }

void makeFifo(const std::string& path) {
  throw std::runtime_error("no FIFOs on Windows: " + path);
}

void makeSymbolicLink(const std::string&, const std::string& path) {
  throw std::runtime_error("no symbolic links here: " + path);
}

void makeHardLink(const std::string& existing, const std::string& path) {
  if (!::CreateHardLinkW(wide(path).c_str(), wide(existing).c_str(), nullptr))
    throw std::runtime_error("cannot make the link " + path);
}

std::string fullDevice() { return ""; }

std::string listedAs(const std::string& path) {
  return windows_names::utf8SpellingOf(path);
}

Tree treeOf(const std::string& root) {
  Tree tree;
  walk(root, "", &tree);
  return tree;
}

}  // namespace fixture
