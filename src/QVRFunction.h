// The engine's interface, as the program's driver calls it: read an
// archive's index (readTable), then copy the selected entries out of its data
// area into a folder tree (extractFiles). The work happens below it:
// readTable reads through archive::readIndex (archive_index.h, which also
// describes the layout), and extractFiles hands each entry to EntryExtractor
// (extractor.h), which does every check. fileInfo, the entry record that all
// of them share, is defined here.
#ifndef EXTRACTGAMEFILE_QVRFUNCTION_H_
#define EXTRACTGAMEFILE_QVRFUNCTION_H_

#include <cstdint>
#include <string>
#include <vector>

#include "platform.h"

// One archive entry as the index lists it.
struct fileInfo {
  // Byte distance of the entry's first byte from the data area's start.
  std::int32_t offset = 0;
  // Length of the entry in bytes.
  std::uint32_t size = 0;
  // Name of the directory record that lists the entry, byte for byte.
  std::string directory;
  // The entry's file name, byte for byte, extension included.
  std::string name;
};

class QVRFunction {
 public:
  QVRFunction();

  // Reads the index of the archive at |archivePath| and returns its entries in
  // index order. Sets |dataStart| to the data area's position.
  //
  // When the archive cannot be opened, writes "Impossible d'ouvrir le fichier"
  // (no line end) to standard output. When it cannot be opened or its index is
  // incomplete, reports why on standard error, returns an empty list and
  // leaves |dataStart| at -1, so a caller can tell a usable index from none.
  std::vector<fileInfo> readTable(std::string archivePath);
  // As above, returning only the entries that extractFiles would select with
  // |extensionFilter| (every entry when it is empty). Reads and checks the
  // whole index all the same; only the memory differs, which on a big index
  // where few entries are wanted is most of the program's. The list has no
  // spare room (its capacity is its size): it is the one copy of the
  // entries' names that the run holds.
  std::vector<fileInfo> readTable(std::string archivePath,
                                  std::string extensionFilter);

  // Distance from |position| forward to the next multiple of 16: 0 to 15 for
  // a position of 0 or more, 0 for every negative position.
  std::int64_t deltaHexaSector(std::int64_t position);

  // Extracts, in list order, every entry whose extension equals
  // |extensionFilter| (every entry when it is empty) to |outputRoot| followed
  // by the entry's directory and name, with EntryExtractor::extract's rules.
  // |outputRoot| itself is made first, in every case. When the file at
  // |archivePath| is no longer the one readTable read, every entry fails. Each
  // selected entry prints one line "extract : PATH ... done" or "... failed" on
  // standard output; every failure is also explained on standard error. A
  // failed entry never affects a later one.
  //
  // Returns true when every selected entry was extracted in full.
  bool extractFiles(std::string archivePath, std::string outputRoot,
                    std::vector<fileInfo> entries, std::string extensionFilter);

  // Cuts |source| at every |delimiter|. Pieces keep their order, empty ones
  // included, except that an empty last piece is left out: "" gives none,
  // "a." gives {"a"}, "a..b" gives {"a", "", "b"}.
  std::vector<std::string> split(const std::string& source, char delimiter);
  // As above, appending the pieces to |pieces| (whatever it already holds
  // stays in front) and returning it.
  std::vector<std::string>& split(const std::string& source, char delimiter,
                                  std::vector<std::string>& pieces);

  // Byte position of the data area in the archive that readTable read last;
  // 0 before readTable, -1 when it found no usable index.
  std::int64_t dataStart;

 private:
  // The file readTable read the index from, and its length then:
  // extractFiles takes data only from that same file.
  platform::FileIdentity indexedFile_;
  std::int64_t indexedSize_ = -1;
};

#endif  // EXTRACTGAMEFILE_QVRFUNCTION_H_
