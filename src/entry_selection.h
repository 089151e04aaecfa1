// Which entries a command takes by path: the patterns after the archive and
// the --exclude patterns, shared by the commands that pick entries.
#ifndef EXTRACTGAMEFILE_ENTRY_SELECTION_H_
#define EXTRACTGAMEFILE_ENTRY_SELECTION_H_

#include <cstddef>
#include <string>
#include <vector>

#include "QVRFunction.h"
#include "path_pattern.h"

// The patterns as the command line gave them.
struct PathFilter {
  std::vector<std::string> patterns;  // none: every path
  std::vector<std::string> excludes;
};

class EntrySelection {
 public:
  explicit EntrySelection(const PathFilter& filter);

  // Whether patterns were given (so that extensions stop choosing).
  bool hasPatterns() const { return !patterns_.empty(); }

  // Whether |entry| is taken: its path (directory plus name, as
  // outputPathOf joins them) is named by one of the patterns (namesPath), or
  // there are none, and by none of the excludes. Remembers which patterns
  // named it, also when an exclude then leaves it out: such a pattern did
  // match an entry.
  bool takes(const fileInfo& entry);

  // Reports "PATTERN: no entry matches", the pattern in its printable form,
  // for each pattern that named no entry given to takes, in the order given.
  // Returns how many were reported.
  std::size_t reportUnmatched() const;

 private:
  std::vector<PathPattern> patterns_;
  std::vector<bool> matched_;  // per pattern
  std::vector<PathPattern> excludes_;
};

#endif  // EXTRACTGAMEFILE_ENTRY_SELECTION_H_
