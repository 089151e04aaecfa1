// cfsi extract: extractGameFile's extraction, with a choice of archive,
// output folder and extensions.
#ifndef EXTRACTGAMEFILE_CFSI_EXTRACT_H_
#define EXTRACTGAMEFILE_CFSI_EXTRACT_H_

#include <string>
#include <vector>

struct ExtractOptions {
  std::string archivePath;
  std::string outputDir = "extract";
  // Extensions to select, as extensionOf gives them; a leading full stop is
  // ignored ("--ext .dds" is "--ext dds"). Empty means "dds".
  std::vector<std::string> extensions;
  bool all = false;      // every entry, whatever its extension
  bool verbose = false;  // one "extract : PATH ... done" line per entry
};

// Extracts the selected entries of the archive into the output folder with
// the extractor's rules (EntryExtractor::extract), making the folder and its
// missing parents first. Failures are reported on standard error, one line
// each; a summary line follows (files and bytes extracted, failures). On a
// terminal, standard error also shows a progress bar during long runs.
// Nothing is extracted when the index is incomplete. Returns the exit
// status: 0 when the index was complete and every selected entry was
// extracted in full, 1 otherwise.
int runExtract(const ExtractOptions& options);

#endif  // EXTRACTGAMEFILE_CFSI_EXTRACT_H_
