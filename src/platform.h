// What the programs ask of the operating system: the folder calls the
// extractor is written against, with the meaning they have in the C runtime
// it was first written for, and how the process meets failed writes.
#ifndef EXTRACTGAMEFILE_PLATFORM_H_
#define EXTRACTGAMEFILE_PLATFORM_H_

#include <cstddef>
#include <string>

namespace platform {

// Makes one folder level, with access 0777 less the umask. Makes no missing
// parent. Returns 0 on success and -1 otherwise (callers may ignore it).
int _mkdir(const char* path);

// With |mode| 0, tests whether |path| names anything at all: -1 means it does
// not exist, any other result that it does.
int _access(const char* path, int mode);

// True where the programs write Windows paths: extraction then also refuses
// every entry that windowsPathProblem (entry_paths.h) names, and two paths
// that fileNameKey gives alike name one file.
bool windowsPaths();

// A spelling of |path| under which two paths are equal exactly when this
// system's file names take them for the same name: |path| itself on POSIX;
// on Windows its Windows name (windows_names.h) in upper case, since names
// there differ by more than letter case or not at all.
std::string fileNameKey(const std::string& path);

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
