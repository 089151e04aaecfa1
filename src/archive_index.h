// The archive's layout, and the reader of its index.
//
// An archive is one file in three stretches:
//
//   offset  length          content
//   0       3               leading bytes; their values mean nothing to us
//   3       variable        index: directory records, back to back
//   ...     0 to 15         alignment gap up to the next multiple of 16
//   dataStart  to EOF       data area: the entries' bytes
//
// Directory record:
//   u8      name length N (0..255)
//   N       directory name, raw bytes (no terminator, no charset; a zero
//           byte is an ordinary byte of the name)
//   u8      file count C (0..255); 0 marks the terminating record, which
//           ends the index (its name is read but not used)
//   C       file records, back to back
//
// File record:
//   u8      name length N (0..255)
//   N       file name, raw bytes, extension included
//   u32 LE  offset in 16-byte units from dataStart; only the low 28 bits
//           count, and the result is a signed 32-bit byte distance, so bit 27
//           set gives a position before dataStart
//   u32 LE  size in bytes
//
// Nothing else is stored: no signature, no count, no checksum. The index is
// self-delimiting, which is why a truncated file can only be recognised by
// running out of bytes before the terminating record. The byte order of the
// u32 fields is archive_coding.h's, which the writer (archive_writer.h)
// shares.
//
// readIndex below is the one reader of this layout: the extraction, every
// cfsi command and the repack's view of the index as stored
// (archive_records.h) all take their records from it.
#ifndef EXTRACTGAMEFILE_ARCHIVE_INDEX_H_
#define EXTRACTGAMEFILE_ARCHIVE_INDEX_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "QVRFunction.h"
#include "platform.h"

namespace archive {

constexpr std::int64_t kLeadingBytes = 3;
constexpr std::int64_t kDataAlignment = 16;
constexpr int kOffsetUnitShift = 4;  // offsets count 16-byte units
constexpr unsigned kMaxNameLength = 255;
constexpr unsigned kMaxFilesPerDirectoryRecord = 255;
// Name length, offset and size; plus the name.
constexpr std::int64_t kFileRecordFixedBytes = 1 + 4 + 4;
constexpr std::int64_t kDirectoryRecordFixedBytes = 1 + 1;  // plus the name

// Byte distance of an entry from dataStart, from its stored offset field.
std::int32_t offsetFromStored(std::uint32_t stored);

// Distance from |position| up to the next multiple of kDataAlignment; 0 for
// a multiple and for every negative position.
std::int64_t alignmentGap(std::int64_t position);

// Where |entry|'s first byte lies in the archive: |dataStart| plus its
// offset, the offset's sign included.
std::int64_t entryStart(std::int64_t dataStart, const fileInfo& entry);

// Whether all of |entry|'s bytes lie within an archive of |archiveSize|
// bytes whose data area begins at |dataStart|. An entry of size 0 needs no
// byte and always does. This is the one test that decides whether an
// entry's data may be read: a byte outside would have to be invented.
bool dataInsideArchive(std::int64_t dataStart, const fileInfo& entry,
                       std::int64_t archiveSize);

enum class IndexStatus {
  kComplete,    // the terminating record was read
  kUnopenable,  // the archive could not be opened (or is not a file)
  kTruncated,   // the file ended inside the index
  kReadError,   // the system refused a read
};

// Where the stretches of an archive lie, as readIndex finds them.
struct IndexPositions {
  std::int64_t indexEnd = -1;       // first byte after the terminating record
  std::int64_t dataStart = -1;      // indexEnd moved up to a multiple of 16
  std::int64_t archiveSize = -1;    // length of the archive file in bytes
  platform::FileIdentity identity;  // the file the index was read from
};

// True when two reads of an index found the same file with the same
// positions: a command that reads an index in several passes checks each
// pass against the first with it.
bool sameIndexFile(const IndexPositions& a, const IndexPositions& b);

// For a later pass over an index read before: true when the pass, which
// ended with |status| and |passError|, found |again| and saw the same
// entries as the first (|sameEntries|, as far as the caller counts them),
// read the index |first| describes. Otherwise sets |error| to why, as a
// message on |path|: the system's reason where it could not open or read
// the file, or that the archive changed while it was read.
bool readAsBefore(const std::string& path, IndexStatus status,
                  const std::string& passError, const IndexPositions& again,
                  bool sameEntries, const IndexPositions& first,
                  std::string* error);

// What readIndex shows of an index: each record as it is stored, in file
// order, as soon as it has been read in full. The reader keeps no record
// itself, so a caller that handles each entry as it comes holds one record
// at a time, whatever the size of the index; a visitor keeps what its
// caller needs. When the index is incomplete, the visitor has seen exactly
// the records read in full before the failure (a directory record's own
// fields included, even when one of its file records is cut).
class IndexVisitor {
 public:
  virtual ~IndexVisitor() = default;
  // The kLeadingBytes leading bytes.
  virtual void leadingBytes(const std::string& /*bytes*/) {}
  // A directory record listing |fileCount| (1 to 255) file records, which
  // come next.
  virtual void directoryRecord(const std::string& /*name*/,
                               unsigned /*fileCount*/) {}
  // A file record of the last directory record: |entry| is the entry it
  // gives (directory filled in, offset scaled with offsetFromStored), and
  // |storedOffset| the offset field as stored, all 32 bits. The visitor may
  // move |entry|'s strings away: the reader fills them afresh.
  virtual void fileRecord(fileInfo& /*entry*/, std::uint32_t /*storedOffset*/) {
  }
  // The terminating record, which ends the index, with the name it carries.
  virtual void terminatingRecord(const std::string& /*name*/) {}
};

// Reads the index of the archive at |path| once, front to back, showing
// every record to |visitor|, and sets |positions|. On anything but
// kComplete, |positions->dataStart| and |indexEnd| are -1 (|archiveSize| is
// set once the file is open) and |error| says what failed and where (the
// byte position for a truncation, the system's text for a refusal).
IndexStatus readIndex(const std::string& path, IndexVisitor* visitor,
                      IndexPositions* positions, std::string* error);

// An index read whole: its positions and its entries.
struct Index : IndexPositions {
  std::vector<fileInfo> entries;  // in index order
};

// Reads the whole index of the archive at |path| into |index|. On anything
// but kComplete, |index->entries| holds the records read in full before the
// failure, |dataStart| is -1, and |error| says what failed and where (the
// byte position for a truncation, the system's text for a refusal).
IndexStatus readIndex(const std::string& path, Index* index,
                      std::string* error);

// As above, but |index->entries| receives only the entries for which |keep|
// returns true, in index order. Every record is still read and checked, so
// the status, |error| and the positions are those the call above gives.
// A caller that wants a few entries of a big index holds only those.
// Whatever room |index->entries| has reserved is kept, so a caller that
// counts the entries it wants first can hold them without spare room.
IndexStatus readIndex(const std::string& path, Index* index, std::string* error,
                      const std::function<bool(const fileInfo&)>& keep);

// The one wording of why an archive's index cannot be used. Reports on
// standard error (reportError) what readIndex gave for |path| as |status|
// and |error|: "cannot open PATH: ERROR" when the archive could not be
// opened; "PATH: ERROR; CONSEQUENCE" when its index is incomplete, with
// |consequence| saying what the caller does about it ("PATH: ERROR" when it
// is null). Reports nothing for kComplete. Returns whether |status| is
// kComplete.
bool reportIndexStatus(const std::string& path, IndexStatus status,
                       const std::string& error, const char* consequence);

}  // namespace archive

#endif  // EXTRACTGAMEFILE_ARCHIVE_INDEX_H_
