// Moving an entry's bytes from the archive to its output file.
#ifndef EXTRACTGAMEFILE_COPY_RANGE_H_
#define EXTRACTGAMEFILE_COPY_RANGE_H_

#include <cstddef>
#include <cstdint>
#include <string>

// Copies |size| bytes of the file |in|, starting at byte |start|, to the
// current position of |out|. Uses the kernel's file-to-file copy where it is
// allowed and a buffered read and write where it is not; |in|'s own file
// position is not used or moved.
//
// Returns false when a read or write fails or |in| ends before |size| bytes;
// |error| then says which and why. Nothing is ever written that was not read.
// Several threads may copy at once.
bool copyRange(int in, std::int64_t start, std::uint64_t size, int out,
               std::string* error);

// Told of the bytes copyRange writes as it writes them, so that a progress
// display can follow one long copy as well as many short ones.
class CopyObserver {
 public:
  virtual ~CopyObserver() = default;
  // |bytes| more bytes were written to an output file.
  virtual void written(std::uint64_t bytes) = 0;
};

// From now on copyRange tells |observer| (none when null, as at the start)
// of every run of bytes it writes, at least every 64 MiB.
void observeCopies(CopyObserver* observer);

// Writes all |n| bytes at |data| to |out|, retrying short and interrupted
// writes. Returns false, with |error| giving the system's reason, when a
// write fails.
bool writeAll(int out, const char* data, std::size_t n, std::string* error);

#endif  // EXTRACTGAMEFILE_COPY_RANGE_H_
