#include "cfsi_extract.h"

#include <algorithm>
#include <functional>
#include <iostream>
#include <memory>
#include <thread>

#include "archive_index.h"
#include "compact_entries.h"
#include "entry_paths.h"
#include "extractor.h"
#include "ordered_work.h"
#include "output_conflicts.h"
#include "platform.h"
#include "progress.h"
#include "report.h"

namespace {

std::vector<std::string> wantedExtensions(const ExtractOptions& options) {
  std::vector<std::string> wanted;
  for (const std::string& ext : options.extensions)
    wanted.push_back(!ext.empty() && ext[0] == '.' ? ext.substr(1) : ext);
  if (wanted.empty()) wanted.push_back("dds");
  return wanted;
}

// The entries a run extracts, read from the index into a CompactEntries:
// a first pass counts them and their names' bytes, so that the second
// holds them without spare room.
archive::IndexStatus readSelected(const ExtractOptions& options,
                                  EntrySelection* paths,
                                  archive::IndexPositions* positions,
                                  CompactEntries* selected,
                                  std::uint64_t* selectedBytes,
                                  std::string* error) {
  const bool anyExtension =
      options.all || (paths->hasPatterns() && options.extensions.empty());
  const std::vector<std::string> wanted = wantedExtensions(options);
  // Only the second pass tells |paths| which patterns matched.
  EntrySelection counting(options.paths);
  struct Selector : archive::IndexVisitor {
    std::function<void(const fileInfo&)> take;
    void fileRecord(fileInfo& entry, std::uint32_t) override { take(entry); }
  } selector;
  std::size_t count = 0, nameBytes = 0;
  selector.take = [&](const fileInfo& entry) {
    if (counting.takes(entry) &&
        (anyExtension || std::find(wanted.begin(), wanted.end(),
                                   extensionOf(entry.name)) != wanted.end())) {
      ++count;
      nameBytes += entry.name.size();
    }
  };
  const archive::IndexStatus first =
      archive::readIndex(options.archivePath, &selector, positions, error);
  if (first != archive::IndexStatus::kComplete) return first;
  selected->reserve(count, nameBytes);
  *selectedBytes = 0;
  selector.take = [&](const fileInfo& entry) {
    if (paths->takes(entry) &&
        (anyExtension || std::find(wanted.begin(), wanted.end(),
                                   extensionOf(entry.name)) != wanted.end())) {
      selected->add(entry);
      *selectedBytes += entry.size;
    }
  };
  const archive::IndexPositions firstPositions = *positions;
  const archive::IndexStatus second =
      archive::readIndex(options.archivePath, &selector, positions, error);
  if (second == archive::IndexStatus::kComplete &&
      !archive::sameIndexFile(firstPositions, *positions)) {
    *error = "the archive changed while it was read";
    return archive::IndexStatus::kReadError;
  }
  return second;
}

}  // namespace

unsigned defaultJobs() {
  unsigned n = platform::usableProcessors();
  if (n == 0) n = std::thread::hardware_concurrency();
  return std::min(std::max(n, 1u), kMaxJobs);
}

int runExtract(const ExtractOptions& options) {
  archive::IndexPositions index;
  std::string error;
  EntrySelection paths(options.paths);
  CompactEntries selected;
  std::uint64_t selectedBytes = 0;
  const archive::IndexStatus status =
      readSelected(options, &paths, &index, &selected, &selectedBytes, &error);
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
  const bool everyPatternMatched = paths.reportUnmatched() == 0;

  // Entry paths carry no separator of their own in front.
  std::string root = options.outputDir;
  if (root.back() != '/') root += '/';
  // The output folder and every missing level above it, like "mkdir -p".
  // Failures are left to the entries' own creation to report.
  platform::makeFolderChain(options.outputDir);

  const unsigned workers = static_cast<unsigned>(
      std::min<std::size_t>(options.jobs != 0 ? options.jobs : defaultJobs(),
                            std::max<std::size_t>(selected.size(), 1)));
  // One extractor per worker: each keeps its own open archive, folder
  // cache and open folder, so workers share nothing while they extract.
  std::vector<std::unique_ptr<EntryExtractor>> extractors;
  for (unsigned w = 0; w < workers; ++w)
    extractors.push_back(
        std::make_unique<EntryExtractor>(options.archivePath, index.dataStart,
                                         index.identity, index.archiveSize));
  OutputConflicts conflicts(workers > 1 ? selected.size() : 0);
  ProgressBar progress(selected.size(), selectedBytes);
  std::size_t doneFiles = 0, failed = 0;
  std::uint64_t doneBytes = 0;

  // Each thread loads the entries it handles into a record of its own.
  std::vector<fileInfo> loaded(workers);
  fileInfo dispatched, released;
  OrderedWork work;
  work.items = selected.size();
  work.workers = workers;
  // With one worker, index order is kept without asking.
  if (workers > 1)
    work.startAfter = [&](std::size_t i) {
      selected.load(i, &dispatched);
      return conflicts.add(dispatched);
    };
  work.together = [&](std::size_t i) { return selected.sameRunAsPrevious(i); };
  work.work = [&](unsigned worker, std::size_t i, ItemOutcome* outcome) {
    fileInfo& entry = loaded[worker];
    selected.load(i, &entry);
    outcome->done = extractors[worker]->extract(entry, root, &outcome->error);
  };
  work.release = [&](std::size_t i, const ItemOutcome& outcome) {
    fileInfo& entry = released;
    selected.load(i, &entry);
    if (outcome.done) {
      ++doneFiles;
      doneBytes += entry.size;
    } else {
      ++failed;
      progress.clear();
      reportError(outcome.error);
    }
    if (options.verbose) {
      progress.clear();
      std::cout << "extract : " << printable(outputPathOf(root, entry))
                << " ... " << (outcome.done ? "done" : "failed") << std::endl;
    }
    progress.fileDone();
  };
  runOrdered(work);
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
  return failed == 0 && outputWritten && everyPatternMatched ? 0 : 1;
}
