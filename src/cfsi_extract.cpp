#include "cfsi_extract.h"

#include <algorithm>
#include <iostream>

#include "archive_index.h"
#include "entry_paths.h"
#include "extractor.h"
#include "platform.h"
#include "progress.h"
#include "report.h"

namespace {

// The output folder and every missing level above it, like "mkdir -p".
// Failures are left to the entries' own creation to report.
void makeOutputFolder(const std::string& dir) {
  for (std::size_t slash = dir.find('/', 1); slash != std::string::npos;
       slash = dir.find('/', slash + 1))
    platform::_mkdir(dir.substr(0, slash).c_str());
  platform::_mkdir(dir.c_str());
}

std::vector<std::string> wantedExtensions(const ExtractOptions& options) {
  std::vector<std::string> wanted;
  for (const std::string& ext : options.extensions)
    wanted.push_back(!ext.empty() && ext[0] == '.' ? ext.substr(1) : ext);
  if (wanted.empty()) wanted.push_back("dds");
  return wanted;
}

}  // namespace

int runExtract(const ExtractOptions& options) {
  archive::Index index;
  std::string error;
  const archive::IndexStatus status =
      archive::readIndex(options.archivePath, &index, &error);
  if (status == archive::IndexStatus::kUnopenable) {
    reportError("cannot open " + printable(options.archivePath) + ": " + error);
    return 1;
  }
  if (status != archive::IndexStatus::kComplete) {
    // Entries read before the break are dropped: an index that does not end
    // where it says cannot be trusted to place any data.
    reportError(printable(options.archivePath) + ": " + error +
                "; nothing was extracted");
    return 1;
  }

  const std::vector<std::string> wanted = wantedExtensions(options);
  std::vector<const fileInfo*> selected;
  std::uint64_t selectedBytes = 0;
  for (const fileInfo& entry : index.entries) {
    if (options.all || std::find(wanted.begin(), wanted.end(),
                                 extensionOf(entry.name)) != wanted.end()) {
      selected.push_back(&entry);
      selectedBytes += entry.size;
    }
  }

  // Entry paths carry no separator of their own in front.
  std::string root = options.outputDir;
  if (root.back() != '/') root += '/';
  makeOutputFolder(options.outputDir);

  EntryExtractor extractor(options.archivePath, index.dataStart, index.identity,
                           index.archiveSize);
  ProgressBar progress(selected.size(), selectedBytes);
  std::size_t doneFiles = 0, failed = 0;
  std::uint64_t doneBytes = 0;
  for (const fileInfo* entry : selected) {
    const std::string outputPath = outputPathOf(root, *entry);
    const bool done = extractor.extract(*entry, root, &error);
    if (done) {
      ++doneFiles;
      doneBytes += entry->size;
    } else {
      ++failed;
      progress.clear();
      reportError(error);
    }
    if (options.verbose) {
      progress.clear();
      std::cout << "extract : " << printable(outputPath) << " ... "
                << (done ? "done" : "failed") << std::endl;
    }
    progress.advance(entry->size);
  }
  progress.clear();

  bool outputWritten = true;
  if (options.verbose) {
    std::cout.flush();
    outputWritten = static_cast<bool>(std::cout);
    if (!outputWritten) reportError("standard output: write error");
  }
  reportError(std::to_string(doneFiles) +
              (doneFiles == 1 ? " file, " : " files, ") +
              std::to_string(doneBytes) + " bytes extracted to " +
              printable(root) + ", " + std::to_string(failed) + " failed");
  return failed == 0 && outputWritten ? 0 : 1;
}
