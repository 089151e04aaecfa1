// Extraction of single entries from one open archive, with every check that
// keeps a hostile index from writing outside the output root, inventing
// bytes or leaving half-written files.
#ifndef EXTRACTGAMEFILE_EXTRACTOR_H_
#define EXTRACTGAMEFILE_EXTRACTOR_H_

#include <cstdint>
#include <string>
#include <unordered_set>

#include "QVRFunction.h"

class EntryExtractor {
 public:
  // Opens the archive at |archivePath| for the extractor's lifetime. Entries
  // are found at |dataStart| plus their offset; a negative |dataStart| means
  // that there is no data area, and every entry with data then fails.
  EntryExtractor(const std::string& archivePath, std::int64_t dataStart);
  ~EntryExtractor();
  EntryExtractor(const EntryExtractor&) = delete;
  EntryExtractor& operator=(const EntryExtractor&) = delete;

  // Writes |entry| to outputPathOf(outputRoot, entry). In this order:
  //  1. refuses an unsafe path (isSafeEntryPath, and where the system's
  //     paths are Windows paths, windowsPathProblem): nothing is made;
  //  2. refuses data not wholly inside the archive: nothing is made, and a
  //     file already at the output path is left as it was (an entry of size
  //     0 needs no data and always passes);
  //  3. makes the entry's folders when the folder path does not exist;
  //     a folder path found or made earlier by this extractor is not tested
  //     again (nothing this extractor does removes a folder, and after it
  //     removes a file every path is tested again), while one still missing
  //     is tested and its chain made again, level by level, every time
  //     (relative paths are remembered as given: the working folder must
  //     not change during the extractor's life);
  //  4. creates or empties the output file: on failure, folders made stay;
  //  5. copies the bytes: on failure the partial file is removed.
  // Returns true when the file holds the entry in full. Otherwise |error|
  // says what failed and why, naming the path in its printable form.
  bool extract(const fileInfo& entry, const std::string& outputRoot,
               std::string* error);

 private:
  // Makes sure the folder path exists as far as step 3 above can: one
  // existence test per path, then the chain when it is missing.
  void ensureFolder(const std::string& folderPath);

  // Creates or empties the file at |outputPath| as
  // platform::createOutputFile would, with the same result and the same
  // reason on failure, as long as no one else moves or removes its folder
  // during the run.
  int createOutput(const std::string& outputPath);
  // Closes the folder createOutput holds open, if any.
  void forgetParent();

  std::string archivePath_;
  std::int64_t dataStart_;
  int fd_ = -1;
  std::string openError_;
  std::int64_t archiveSize_ = -1;
  // Folder paths known to exist: found by the existence test, or whose last
  // level this extractor made.
  std::unordered_set<std::string> knownFolders_;
  // The folder of the last file made, held open while files keep going
  // there, and its path as written in the output path.
  int parentFd_ = -1;
  std::string parentPath_;
};

#endif  // EXTRACTGAMEFILE_EXTRACTOR_H_
