// cfsi cat: entries' bytes on standard output, the way cat prints files.
#ifndef EXTRACTGAMEFILE_CFSI_CAT_H_
#define EXTRACTGAMEFILE_CFSI_CAT_H_

#include <string>
#include <vector>

// Writes to standard output, for each of |paths| in the order given, the
// bytes of the entries it names (namesPath: the entry's directory plus name
// exactly, or a pattern), in index order, byte for byte with nothing
// between them. Of several entries with one path, only the last in index
// order is written: the one extraction leaves at that path.
//
// Refuses, saying how to redirect, when standard output is a terminal, and
// writes nothing when the archive cannot be opened or its index is
// incomplete. A path that names no entry, and an entry whose data does not
// lie wholly inside the archive, are reported and the others are still
// written. A copy that fails half-way (a failed read or write) is reported
// and stops the command: the output then holds part of that entry, and
// what followed could no longer be told from it.
//
// Returns the exit status: 0 when every path named an entry and every named
// entry was written in full, 1 otherwise.
int runCat(const std::string& archivePath,
           const std::vector<std::string>& paths);

#endif  // EXTRACTGAMEFILE_CFSI_CAT_H_
