// Where an entry goes, and whether it may go there: the one place that
// decides path safety, builds output paths and finds extensions.
#ifndef EXTRACTGAMEFILE_ENTRY_PATHS_H_
#define EXTRACTGAMEFILE_ENTRY_PATHS_H_

#include <cstddef>
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
// An empty level (two "/" in a row, a leading or final "/") and a "." level
// are no names, but the folder they stand in, on Windows as elsewhere; they
// are not checked. The result is one short phrase for a message; it quotes
// no byte of the path.
std::string windowsPathProblem(const std::string& directory,
                               const std::string& name);

// The folder an entry's file goes in: |outputRoot| then |directory|, joined
// with nothing between them (the archive's directories carry their own "/").
std::string folderPathOf(const std::string& outputRoot, const fileInfo& entry);

// The entry's output file: |outputRoot|, |directory| and |name|, joined with
// nothing between them.
std::string outputPathOf(const std::string& outputRoot, const fileInfo& entry);

// How several spellings name one path. The system reads a path cut at "/",
// and an empty level (from "//", a leading "/" or a final "/") or a "."
// level names the folder it stands in; so "" + "a.dds" and "./" + "a.dds",
// or "d//" + "b.dds" and "d/" + "b.dds", are one file below the output root.
// normalEntryPath gives every spelling of one path the same form: the
// levels of |path| (cut at "/") without the empty and "." ones, joined by
// single "/". Only for safe paths (isSafeEntryPath), whose levels are never
// "..": with a ".." level, two spellings that differ could name one file.
// Every part of the system that asks whether two entries' paths are one
// (verify's duplicates, a repack finding an edited file) asks it here.
std::string normalEntryPath(const std::string& path);

// The entry's output file below the root, in normalEntryPath's form.
std::string normalOutputPath(const fileInfo& entry);

// The last folder the extractor makes for the entry (its directory; in
// the archive's convention a directory without a final "/" is a folder all
// the same, and its name is joined to the file's), in normalEntryPath's
// form; "" for the output root itself.
std::string normalFolderPath(const fileInfo& entry);

// True when the entry's output path names a folder rather than a file: its
// last level is empty or "." (a name "" or "." or ending in "/"), or it is
// the very folder the entry's directory makes ("tex" + "").
bool namesAFolder(const fileInfo& entry);

// The folder |normalPath| (in normalEntryPath's form) stands in: everything
// before its last "/", or "" (the output root) when it has none.
std::string parentOf(const std::string& normalPath);

// Calls |visit| with each folder level of |normalFolder| (in
// normalEntryPath's form), from the first: "a/b" gives "a", then "a/b".
template <typename Visit>
void forEachLevel(const std::string& normalFolder, Visit visit) {
  if (normalFolder.empty()) return;
  for (std::size_t slash = normalFolder.find('/'); slash != std::string::npos;
       slash = normalFolder.find('/', slash + 1))
    visit(normalFolder.substr(0, slash));
  visit(normalFolder);
}

// The length of the longest level of |normalPath|, as this system counts a
// name's length (platform::nameLength).
std::size_t longestLevel(const std::string& normalPath);

// The last full-stop-separated piece of |name|, where a single final full
// stop ends the name without starting a piece: "a.b.dds" and "a.dds." give
// "dds", "a.dds.." gives "", "dds" gives "dds", and "" gives "".
std::string extensionOf(const std::string& name);

#endif  // EXTRACTGAMEFILE_ENTRY_PATHS_H_
