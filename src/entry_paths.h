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

// Why |directory| followed by |name| cannot be a path on Windows, or "" when
// it can. On Windows "\" separates folders and ":" names drives and data
// streams, so either would lead the entry somewhere else; the system drops a
// level's trailing "." and " ", so two names would become one; device names
// open the device instead of a file; and some characters are not allowed in
// names at all. Refused, in the path cut into levels at "/", each level
// taken as its Windows name (windows_names.h), so that a Latin-1 byte counts
// as the character Windows sees:
//   - a "\" or a ":" anywhere;
//   - a character from <>"|?* or a control character (U+0001-U+001F);
//   - a level that ends in "." or " " (".", "a.", "b " alike);
//   - a level that names a device: CON, PRN, AUX, NUL, COM0-COM9,
//     LPT0-LPT9, COM and LPT with a superscript 1, 2 or 3, CONIN$ and
//     CONOUT$, in any case, alone or before a "." and anything (an
//     extension), with or without spaces after the device name.
// An empty level (two "/" in a row, a leading or final "/") is no name and
// is not checked. The result is one short phrase for a message; it quotes
// no byte of the path.
std::string windowsPathProblem(const std::string& directory,
                               const std::string& name);

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
