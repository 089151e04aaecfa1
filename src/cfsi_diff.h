// cfsi diff: which entries one archive adds, removes or changes against
// another, the way diff and cmp compare files.
#ifndef EXTRACTGAMEFILE_CFSI_DIFF_H_
#define EXTRACTGAMEFILE_CFSI_DIFF_H_

#include <string>

struct DiffOptions {
  std::string oldPath;
  std::string newPath;
  bool json = false;
};

// The exit statuses of diff and cmp.
enum DiffStatus { kDiffSame = 0, kDiffDifferent = 1, kDiffTrouble = 2 };

// Compares the archives entry by entry, by output path (directory plus
// name, as outputPathOf joins them; "tex" + "a.dds" is "texa.dds"). Of
// several entries with one path in one archive, the last in index order
// stands for the path, as it is the one extraction leaves there.
//
// Prints on standard output one line per path, "+ PATH" for a path only
// NEW has, "M PATH (OLD_SIZE -> NEW_SIZE bytes)" for one whose bytes differ
// and "- PATH" for one only OLD has: first the added and changed ones in
// NEW's index order, then the removed ones in OLD's. Paths are printable().
// With |json|, one JSON array instead, one object per line of the text:
// "change" ("+", "M" or "-"), "path" (as json_names.h writes names),
// "old_size" and "new_size" where the archive has the path. A summary goes
// to standard error.
//
// Entries of equal size are compared byte by byte, reading both archives
// through fixed buffers, so memory grows with the indexes and not with the
// data. An entry whose data does not lie wholly inside its archive, or
// that cannot be read, cannot be compared: it is reported and gets no
// line.
//
// Nothing is printed when an archive cannot be opened or its index is
// incomplete. Returns kDiffTrouble then, and when an entry could not be
// compared or standard output could not be written; otherwise
// kDiffDifferent when any path was added, removed or changed, kDiffSame
// when none was.
DiffStatus runDiff(const DiffOptions& options);

#endif  // EXTRACTGAMEFILE_CFSI_DIFF_H_
