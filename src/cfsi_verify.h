// cfsi verify: whether an archive can be extracted in full and safely.
#ifndef EXTRACTGAMEFILE_CFSI_VERIFY_H_
#define EXTRACTGAMEFILE_CFSI_VERIFY_H_

#include <string>

// Reads the index of |archivePath| and prints one line per finding on
// standard output ("problem: ..." or "note: ..."), then a summary line
// ("ARCHIVE: N entries, P problems, K notes").
//
// Problems, which an extraction of every entry would meet: an incomplete
// index (nothing else is checked then: there is no data area to check
// against); an entry whose data is not inside the archive; an unsafe path
// (isSafeEntryPath); and, for safe paths, what extraction on this system
// cannot do, taking the entries in index order as it does:
//  - a path that names a folder, not a file (namesAFolder);
//  - a level longer than the system allows (platform::maxNameLength);
//  - a name holding a "/" that leads into a folder no earlier entry makes;
//  - a path that is a folder an earlier entry makes, or a folder that is
//    the file of an earlier entry (one of the two cannot be made);
//  - an output path that is an earlier entry's under any spelling
//    (normalEntryPath): only one of the two files would survive.
// On Windows, paths are compared as Windows compares names (letter case
// aside, and by the name rule of windows_names.h), and a path Windows reads
// otherwise (windowsPathProblem) is a problem; elsewhere that path is a note,
// "not portable to Windows", and is checked like any other.
// An earlier entry counts only when extraction would get as far as making
// its folders (a safe path, data inside the archive). Notes: data that
// overlaps the index or another entry's data; the archive still extracts,
// but not the way pack lays it out. Entries are named by their place in the
// index, counting from 1, and the first of each line also by its path.
//
// Memory stays within a few tens of bytes per entry, whatever the names'
// lengths: the index is read in passes and never held, and paths are
// compared as PathSet holds them. Returns the exit status: 0 when there is
// no problem (notes allowed), 1 otherwise.
int runVerify(const std::string& archivePath);

#endif  // EXTRACTGAMEFILE_CFSI_VERIFY_H_
