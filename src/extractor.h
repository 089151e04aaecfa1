// Extraction of single entries from one open archive, with every check that
// keeps a hostile index from writing outside the output root, inventing
// bytes or leaving half-written files. This is where the engine's
// extraction happens: QVRFunction::extractFiles and cfsi extract only choose
// the entries and report what it did.
#ifndef EXTRACTGAMEFILE_EXTRACTOR_H_
#define EXTRACTGAMEFILE_EXTRACTOR_H_

#include <cstdint>
#include <string>

#include "QVRFunction.h"
#include "output_folders.h"
#include "platform.h"

class EntryExtractor {
 public:
  // Opens the archive at |archivePath| for the extractor's lifetime. Entries
  // are found at |dataStart| plus their offset; a negative |dataStart| means
  // that there is no data area, and every entry with data then fails. The
  // index was read from the file |identity| names, |archiveSize| bytes long:
  // when the file opened here is another, or has another length (replaced
  // or changed since), every entry fails, so that no byte of another file is
  // ever reported extracted.
  EntryExtractor(const std::string& archivePath, std::int64_t dataStart,
                 const platform::FileIdentity& identity,
                 std::int64_t archiveSize);
  ~EntryExtractor();
  EntryExtractor(const EntryExtractor&) = delete;
  EntryExtractor& operator=(const EntryExtractor&) = delete;

  // Writes |entry| to outputPathOf(outputRoot, entry). In this order:
  //  1. refuses an unsafe path (isSafeEntryPath, and where the system's
  //     paths are Windows paths, windowsPathProblem): nothing is made;
  //  2. refuses data not wholly inside the archive, or an archive that is
  //     not the one whose index was read: nothing is made, and a file
  //     already at the output path is left as it was (an entry of size 0
  //     needs no data and passes the first test);
  //  3. readies the entry's folder (OutputFolders::folderFor): missing
  //     levels are made, and no symbolic link below the root is followed;
  //  4. makes a new file for the entry's bytes: at the output path itself
  //     when nothing has that name; otherwise beside it, to take the name
  //     once complete, replacing a file or a symbolic link there (never
  //     written through: every other name of that file keeps its bytes).
  //     The archive itself (also under another name, a hard link) is never
  //     replaced, and neither is a folder or a special file (FIFO, device,
  //     socket): the entry fails and they stay as they are;
  //  5. copies the bytes, then gives the file its name: on failure the new
  //     file is removed and what had the name before stays as it was.
  // Until it has its name, the file is in progress: a stop request removes
  // it (platform::removeFilesInProgressOnStop).
  // Returns true when the file holds the entry in full. Otherwise |error|
  // says what failed and why, naming the path in its printable form.
  bool extract(const fileInfo& entry, const std::string& outputRoot,
               std::string* error);

 private:
  // Steps 4 and 5 above, in |folder|, under |fileName|.
  bool writeFile(const platform::Folder& folder, const std::string& fileName,
                 const std::string& outputPath, std::int64_t start,
                 std::uint32_t size, std::string* error);

  std::string archivePath_;
  std::int64_t dataStart_;
  int fd_ = -1;
  std::string openError_;
  std::int64_t archiveSize_ = -1;
  platform::FileIdentity identity_;
  // The index's archive is not the file opened: every entry fails.
  bool replaced_ = false;
  OutputFolders folders_;
};

#endif  // EXTRACTGAMEFILE_EXTRACTOR_H_
