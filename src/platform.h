// What the programs ask of the operating system: the folder calls the
// extractor is written against, with the meaning they have in the C runtime
// it was first written for, and how the process meets failed writes.
#ifndef EXTRACTGAMEFILE_PLATFORM_H_
#define EXTRACTGAMEFILE_PLATFORM_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Makes one folder level, with access 0777 less the umask. Makes no missing
// parent. Returns 0 on success and -1 otherwise (callers may ignore it).
int _mkdir(const char* path);

// With |mode| 0, tests whether |path| names anything at all: -1 means it does
// not exist, any other result that it does.
int _access(const char* path, int mode);

// The descriptor of standard output.
constexpr int kStandardOutput = 1;

// The system's text for the reason the last failed call gave.
std::string lastErrorText();

// Opens the regular file at |path| for reading and sets |size| to its length
// in bytes. Something else at the path in place of a file (a FIFO waiting
// for a writer included) is refused without waiting. Returns the descriptor,
// or -1 with |error| saying why: the system's reason, or "not a regular file"
// for anything but a file or a folder.
int openRegularFile(const std::string& path, std::int64_t* size,
                    std::string* error);

// Reads up to |n| bytes at byte |offset| of |fd| into |buffer|, without
// using or moving |fd|'s position, retrying calls the system interrupted.
// Returns the number read, 0 at the end of the file, -1 on failure.
std::int64_t readAt(int fd, void* buffer, std::size_t n, std::int64_t offset);

// Closes |fd|. Returns false when the system reports a failure, which for a
// file just written can mean that its last bytes were lost.
bool closeFile(int fd);

// True when standard output is a terminal.
bool standardOutputIsTerminal();

// The number of processors this process may run on (its affinity mask where
// the system has one), or 0 when the system does not say.
unsigned usableProcessors();

// From here on, a write that the system refuses fails with an error the
// caller sees instead of ending the process: a write to a pipe that no one
// reads fails with EPIPE, one past the process's file-size limit with EFBIG.
void reportWriteFailuresAsErrors();

}  // namespace platform

#endif  // EXTRACTGAMEFILE_PLATFORM_H_
