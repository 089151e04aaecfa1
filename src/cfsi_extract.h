// cfsi extract: extractGameFile's extraction, with a choice of archive,
// output folder and extensions.
#ifndef EXTRACTGAMEFILE_CFSI_EXTRACT_H_
#define EXTRACTGAMEFILE_CFSI_EXTRACT_H_

#include <string>
#include <vector>

#include "entry_selection.h"

struct ExtractOptions {
  std::string archivePath;
  std::string outputDir = "extract";
  // Entries by path (EntrySelection). With patterns, the entries they name
  // are taken whatever their extension, unless |extensions| narrows them.
  PathFilter paths;
  // Extensions to select, as extensionOf gives them; a leading full stop is
  // ignored ("--ext .dds" is "--ext dds"). Empty means "dds", or any
  // extension when |paths| has patterns.
  std::vector<std::string> extensions;
  bool all = false;      // every entry, whatever its extension
  bool verbose = false;  // one "extract : PATH ... done" line per entry
  // Entries extracted at the same time; 0 means one per processor the
  // process may run on.
  unsigned jobs = 0;
};

// The most jobs an extraction takes; files in progress are recorded for
// the stop-signal cleanup in a table of fixed size, one slot per job.
constexpr unsigned kMaxJobs = 64;

// The number of processors the process may run on, at least 1 and at most
// kMaxJobs.
unsigned defaultJobs();

// Extracts the selected entries of the archive into the output folder with
// the extractor's rules (EntryExtractor::extract), making the folder and its
// missing parents first. Failures are reported on standard error, one line
// each; a summary line follows (files and bytes extracted, failures).
// On a terminal, standard error also shows a progress bar during long runs.
// With several jobs, entries are extracted by as many threads, with the same
// files, lines, messages and status as one job gives: lines and messages
// come in index order, each once its entry and every earlier one are
// finished, and entries whose paths meet wait for each other in index order
// (OutputConflicts). Nothing is extracted when the index is incomplete. A
// pattern that names no entry is reported before the extraction. Returns the
// exit status: 0 when the index was complete, every pattern named an entry
// and every selected entry was extracted in full, 1 otherwise.
int runExtract(const ExtractOptions& options);

#endif  // EXTRACTGAMEFILE_CFSI_EXTRACT_H_
