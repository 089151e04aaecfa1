// Which earlier entries an entry's extraction must wait for, so that
// entries extracted at the same time give exactly what extracting them one
// after another in index order gives.
#ifndef EXTRACTGAMEFILE_OUTPUT_CONFLICTS_H_
#define EXTRACTGAMEFILE_OUTPUT_CONFLICTS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "QVRFunction.h"

// Two entries depend on each other's order when one touches a path the
// other makes or needs, and at least one of them does more than make a
// folder there: both write one file (the later must win), one writes a
// file where the other makes or passes through a folder (whichever comes
// first decides which of them fails), or one makes a folder that the other
// needs without making it (a "/" inside a file name). Entries that only
// make the same folders are free to run together: a folder made by a
// sibling is as good as one made by the entry itself.
//
// Paths are compared under the one definition of spellings that name one
// file (normalEntryPath), and also with ASCII case folded and trailing full
// stops and spaces of each level dropped, for file systems that do so. Paths
// are recorded by hash in a table of fixed size: two paths that share a slot
// are taken for one. Both only ever add waits, never remove one, so the result
// stays that of index order and memory stays the same whatever the archive.
class OutputConflicts {
 public:
  // A table fitted to |entries| entries: about a slot each, 8 bytes a
  // slot, from 8 KiB to 2 MiB.
  explicit OutputConflicts(std::size_t entries);

  // Records the next entry, in index order (the first call is entry 0),
  // and returns how many entries from the start must be finished before
  // it may start: one more than the index of the last earlier entry it
  // depends on, or 0 when it depends on none.
  std::size_t add(const fileInfo& entry);

 private:
  struct Slot {
    std::uint32_t lastWriter = 0;  // index + 1 of the last exclusive use
    std::uint32_t lastMaker = 0;   // index + 1 of the last folder maker
  };
  Slot& slotOf(std::size_t hash) { return slots_[hash & mask_]; }

  std::vector<Slot> slots_;
  std::size_t mask_;
  std::uint32_t count_ = 0;
  // The folder levels of the last entry's directory, kept while entries of
  // one directory follow each other.
  bool haveDirectory_ = false;
  std::string directory_;
  std::vector<std::size_t> folderHashes_;
  // Scratch space of add(), kept to spare an allocation per entry.
  std::vector<std::size_t> pathHashes_;
  std::vector<std::size_t> exclusive_;
};

#endif  // EXTRACTGAMEFILE_OUTPUT_CONFLICTS_H_
