#include "entry_selection.h"

#include "entry_paths.h"
#include "report.h"

EntrySelection::EntrySelection(const PathFilter& filter)
    : patterns_(filter.patterns.begin(), filter.patterns.end()),
      matched_(filter.patterns.size(), false),
      excludes_(filter.excludes.begin(), filter.excludes.end()) {}

bool EntrySelection::takes(const fileInfo& entry) {
  // The usual selection, every entry, needs no path built for each.
  if (patterns_.empty() && excludes_.empty()) return true;
  const std::string path = outputPathOf(std::string(), entry);
  bool named = patterns_.empty();
  for (std::size_t i = 0; i < patterns_.size(); ++i) {
    // Once the entry is named, only patterns still unmatched need a test.
    if (named && matched_[i]) continue;
    if (namesPath(patterns_[i], path)) named = matched_[i] = true;
  }
  if (!named) return false;
  for (const PathPattern& exclude : excludes_)
    if (namesPath(exclude, path)) return false;
  return true;
}

std::size_t EntrySelection::reportUnmatched() const {
  std::size_t count = 0;
  for (std::size_t i = 0; i < patterns_.size(); ++i) {
    if (matched_[i]) continue;
    reportError(printable(patterns_[i].text()) + ": no entry matches");
    ++count;
  }
  return count;
}
