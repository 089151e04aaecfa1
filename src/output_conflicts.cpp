#include "output_conflicts.h"

#include <algorithm>
#include <functional>
#include <string_view>

#include "entry_paths.h"
#include "platform.h"

namespace {

constexpr std::size_t kMinSlots = 1024;
constexpr std::size_t kMaxSlots = std::size_t{1} << 18;  // 2 MiB of slots

// |path| in normalEntryPath's form (every spelling of one path the same),
// as the system's file names key it (platform::fileNameKey), then with ASCII
// letters in lower case and each level's trailing full
// stops and spaces dropped, for file systems that take those spellings for
// one name too. A level of nothing else stays a level, as ".".
std::string comparable(const std::string& path) {
  const std::string normal = platform::fileNameKey(normalEntryPath(path));
  std::string out;
  out.reserve(normal.size());
  std::size_t start = 0;
  while (start < normal.size()) {
    std::size_t end = normal.find('/', start);
    if (end == std::string::npos) end = normal.size();
    std::size_t last = end;
    while (last > start && (normal[last - 1] == '.' || normal[last - 1] == ' '))
      --last;
    if (!out.empty()) out += '/';
    if (last == start) out += '.';
    for (std::size_t i = start; i < last; ++i) {
      const char c = normal[i];
      out += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    start = end + 1;
  }
  return out;
}

// The hash of every level of |path| (as comparable() gives it), the path
// itself last.
void levelHashes(const std::string& path, std::vector<std::size_t>* hashes) {
  const std::hash<std::string_view> hash;
  for (std::size_t slash = path.find('/'); slash != std::string::npos;
       slash = path.find('/', slash + 1))
    hashes->push_back(hash(std::string_view(path.data(), slash)));
  if (!path.empty()) hashes->push_back(hash(std::string_view(path)));
}

std::size_t tableSize(std::size_t entries) {
  std::size_t size = kMinSlots;
  while (size < kMaxSlots && size < entries) size *= 2;
  return size;
}

}  // namespace

OutputConflicts::OutputConflicts(std::size_t entries)
    : slots_(tableSize(entries)), mask_(slots_.size() - 1) {}

std::size_t OutputConflicts::add(const fileInfo& entry) {
  const std::uint32_t self = ++count_;  // this entry's index + 1
  if (!haveDirectory_ || entry.directory != directory_) {
    directory_ = entry.directory;
    haveDirectory_ = true;
    folderHashes_.clear();
    levelHashes(comparable(entry.directory), &folderHashes_);
  }
  std::vector<std::size_t>& pathHashes = pathHashes_;
  pathHashes.clear();
  levelHashes(comparable(entry.directory + entry.name), &pathHashes);

  // The levels of the file's path that the entry does not make itself are
  // needed as they are (a "/" in the name); the path itself is written.
  // Both are exclusive uses; the levels it makes are shared ones.
  std::vector<std::size_t>& exclusive = exclusive_;
  exclusive.clear();
  for (std::size_t i = 0; i < pathHashes.size(); ++i) {
    const bool isFile = i + 1 == pathHashes.size();
    if (isFile || std::find(folderHashes_.begin(), folderHashes_.end(),
                            pathHashes[i]) == folderHashes_.end())
      exclusive.push_back(pathHashes[i]);
  }

  std::uint32_t after = 0;
  for (const std::size_t h : folderHashes_)
    after = std::max(after, slotOf(h).lastWriter);
  for (const std::size_t h : exclusive) {
    const Slot& slot = slotOf(h);
    after = std::max({after, slot.lastWriter, slot.lastMaker});
  }
  // Recorded only now, so that an entry never waits for itself.
  for (const std::size_t h : folderHashes_) slotOf(h).lastMaker = self;
  for (const std::size_t h : exclusive) slotOf(h).lastWriter = self;
  return after;
}
