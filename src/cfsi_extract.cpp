#include "cfsi_extract.h"

#include <algorithm>
#include <iostream>
#include <memory>
#include <thread>

#include "archive_index.h"
#include "entry_paths.h"
#include "entry_table.h"
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

// Keeps, as the index is read, only the entries the options select, in an
// EntryTable: memory follows the selected entries, a few bytes each.
class Selection : public archive::IndexVisitor {
 public:
  Selection(const ExtractOptions& options, EntrySelection* paths)
      : paths_(paths),
        wanted_(wantedExtensions(options)),
        anyExtension_(options.all ||
                      (paths->hasPatterns() && options.extensions.empty())) {}

  void fileRecord(fileInfo& entry, std::uint32_t /*storedOffset*/) override {
    if (!paths_->takes(entry)) return;
    if (!anyExtension_ && std::find(wanted_.begin(), wanted_.end(),
                                    extensionOf(entry.name)) == wanted_.end())
      return;
    entries.add(entry);
    bytes += entry.size;
  }

  EntryTable entries;
  std::uint64_t bytes = 0;

 private:
  EntrySelection* paths_;
  const std::vector<std::string> wanted_;
  const bool anyExtension_;
};

}  // namespace

unsigned defaultJobs() {
  unsigned n = platform::usableProcessors();
  if (n == 0) n = std::thread::hardware_concurrency();
  return std::min(std::max(n, 1u), kMaxJobs);
}

int runExtract(const ExtractOptions& options) {
  EntrySelection paths(options.paths);
  Selection selection(options, &paths);
  archive::IndexPositions index;
  std::string error;
  const archive::IndexStatus status =
      archive::readIndex(options.archivePath, &selection, &index, &error);
  // Entries read before a break are dropped: an index that does not end
  // where it says cannot be trusted to place any data.
  if (!archive::reportIndexStatus(options.archivePath, status, error,
                                  "nothing was extracted"))
    return 1;
  const EntryTable& selected = selection.entries;
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
  ProgressBar progress(selected.size(), selection.bytes);
  // Room for the entry each worker extracts, and for the one that the
  // (serialised) ordering and release calls look at.
  std::vector<fileInfo> working(workers);
  fileInfo looked;
  std::size_t doneFiles = 0, failed = 0;
  std::uint64_t doneBytes = 0;

  OrderedWork work;
  work.items = selected.size();
  work.workers = workers;
  // With one worker, index order is kept without asking.
  if (workers > 1)
    work.startAfter = [&](std::size_t i) {
      selected.get(i, &looked);
      return conflicts.add(looked);
    };
  work.together = [&](std::size_t i) {
    return selected.sameDirectoryAsPrevious(i);
  };
  work.work = [&](unsigned worker, std::size_t i, ItemOutcome* outcome) {
    fileInfo& entry = working[worker];
    selected.get(i, &entry);
    outcome->done = extractors[worker]->extract(entry, root, &outcome->error);
  };
  work.release = [&](std::size_t i, const ItemOutcome& outcome) {
    if (outcome.done) {
      ++doneFiles;
      doneBytes += selected.sizeOf(i);
    } else {
      ++failed;
      progress.clear();
      reportError(outcome.error);
    }
    if (options.verbose) {
      progress.clear();
      selected.get(i, &looked);
      std::cout << "extract : " << printable(outputPathOf(root, looked))
                << " ... " << (outcome.done ? "done" : "failed") << std::endl;
    }
    progress.fileDone();
  };
  runOrdered(work);
  progress.clear();

  const bool outputWritten = !options.verbose || standardOutputWritten();
  reportInfo(std::to_string(doneFiles) +
             (doneFiles == 1 ? " file, " : " files, ") +
             std::to_string(doneBytes) + " bytes extracted to " +
             printable(root) + ", " + std::to_string(failed) + " failed");
  return failed == 0 && outputWritten && everyPatternMatched ? 0 : 1;
}
