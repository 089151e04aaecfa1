// What the programs ask of the operating system: the folder calls the
// extractor is written against, with the meaning they have in the C runtime
// it was first written for, and how the process meets failed writes.
#ifndef EXTRACTGAMEFILE_PLATFORM_H_
#define EXTRACTGAMEFILE_PLATFORM_H_

#include <cstddef>

namespace platform {

// Makes one folder level, with access 0777 less the umask. Makes no missing
// parent. Returns 0 on success and -1 otherwise (callers may ignore it).
int _mkdir(const char* path);

// With |mode| 0, tests whether |path| names anything at all: -1 means it does
// not exist, any other result that it does.
int _access(const char* path, int mode);

// The number of processors this process may run on (its affinity mask where
// the system has one), or 0 when the system does not say.
unsigned usableProcessors();

// From here on, a write that the system refuses fails with an error the
// caller sees instead of ending the process: a write to a pipe that no one
// reads fails with EPIPE, one past the process's file-size limit with EFBIG.
void reportWriteFailuresAsErrors();

// The most bytes one level of a path (a folder's or a file's own name) may
// have on this system; a longer level cannot be made.
std::size_t maxNameLength();

}  // namespace platform

#endif  // EXTRACTGAMEFILE_PLATFORM_H_
