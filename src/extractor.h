// Extraction of single entries from one open archive, with every check that
// keeps a hostile index from writing outside the output root, inventing
// bytes or leaving half-written files.
#ifndef EXTRACTGAMEFILE_EXTRACTOR_H_
#define EXTRACTGAMEFILE_EXTRACTOR_H_

#include <cstdint>
#include <string>

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
  //  1. refuses an unsafe path (isSafeEntryPath): nothing is made;
  //  2. refuses data not wholly inside the archive: nothing is made, and a
  //     file already at the output path is left as it was (an entry of size
  //     0 needs no data and always passes);
  //  3. makes the entry's folders when the folder path does not exist;
  //  4. creates or empties the output file: on failure, folders made stay;
  //  5. copies the bytes: on failure the partial file is removed.
  // Returns true when the file holds the entry in full. Otherwise |error|
  // says what failed and why, naming the path in its printable form.
  bool extract(const fileInfo& entry, const std::string& outputRoot,
               std::string* error);

 private:
  void makeFolderChain(const std::string& folderPath);

  std::string archivePath_;
  std::int64_t dataStart_;
  int fd_ = -1;
  std::string openError_;
  std::int64_t archiveSize_ = -1;
};

#endif  // EXTRACTGAMEFILE_EXTRACTOR_H_
