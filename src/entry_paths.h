// Where an entry goes, and whether it may go there: the one place that
// decides path safety, builds output paths and finds extensions.
#ifndef EXTRACTGAMEFILE_ENTRY_PATHS_H_
#define EXTRACTGAMEFILE_ENTRY_PATHS_H_

#include <string>

#include "QVRFunction.h"

// True when |directory| followed by |name| may be written under an output
// root: it holds no zero byte and, cut at "/", no piece that is exactly "..".
// Everything else stays below the root, since the root is put in front.
bool isSafeEntryPath(const std::string& directory, const std::string& name);

// The folder an entry's file goes in: |outputRoot| then |directory|, joined
// with nothing between them (the archive's directories carry their own "/").
std::string folderPathOf(const std::string& outputRoot, const fileInfo& entry);

// The entry's output file: |outputRoot|, |directory| and |name|, joined with
// nothing between them.
std::string outputPathOf(const std::string& outputRoot, const fileInfo& entry);

// The last full-stop-separated piece of |name|, where a single final full
// stop ends the name without starting a piece: "a.b.dds" and "a.dds." give
// "dds", "a.dds.." gives "", "dds" gives "dds", and "" gives "".
std::string extensionOf(const std::string& name);

#endif  // EXTRACTGAMEFILE_ENTRY_PATHS_H_
