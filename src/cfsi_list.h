// cfsi list: what an archive holds.
#ifndef EXTRACTGAMEFILE_CFSI_LIST_H_
#define EXTRACTGAMEFILE_CFSI_LIST_H_

#include <string>

#include "entry_selection.h"

// Prints the entries of |archivePath| in index order on standard output.
// As text, one line each: the size in bytes right-aligned in 10 columns (a
// 32-bit size never needs more), two spaces, then directory and name in
// their printable form. As JSON (|json|), one array of objects with
// "directory", "name" (in the forms json_names.h describes), "offset" (the
// byte distance from the data area's start, as the reader computes it) and
// "size". For an incomplete index, the entries read in full are listed and
// the reason is reported. Only the entries |filter| takes are listed
// (EntrySelection); a pattern that names no entry of a complete index is
// reported. Returns the exit status: 0 when the index was complete, every
// pattern named an entry and everything was written, 1 otherwise. Each
// entry is printed as the index reader reads it and none is held, so memory
// stays the same whatever the archive.
int runList(const std::string& archivePath, bool json,
            const PathFilter& filter = PathFilter());

#endif  // EXTRACTGAMEFILE_CFSI_LIST_H_
