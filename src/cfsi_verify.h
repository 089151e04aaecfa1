// cfsi verify: whether an archive can be extracted in full and safely.
#ifndef EXTRACTGAMEFILE_CFSI_VERIFY_H_
#define EXTRACTGAMEFILE_CFSI_VERIFY_H_

#include <string>
#include <vector>

#include "archive_index.h"

struct VerifyFinding {
  bool problem = false;  // true: a problem; false: a note
  std::string text;      // one line, names in printable form
};

// Checks a read index: a problem for an incomplete index (|status| and
// |error| as readIndex gave them), for each entry whose data is not inside
// the archive, whose path is unsafe (isSafeEntryPath), or whose output path
// is the same as an earlier entry's (only one of the two files would
// survive an extraction; on Windows, paths that differ only in letter case
// or in spelling the same Windows name are the same). A path Windows would
// refuse (windowsPathProblem) is a problem where the programs run on
// Windows and a note elsewhere ("not portable to Windows"). Data ranges that
// overlap the index or another entry's range are notes: the archive still
// extracts, but a repack cannot give it back byte for byte. Entries are named
// by their place in the index, counting from 1, and their path.
std::vector<VerifyFinding> verifyIndex(archive::IndexStatus status,
                                       const std::string& error,
                                       const archive::Index& index);

// Reads |archivePath|, prints one line per finding on standard output
// ("problem: ..." or "note: ..."), then a summary line. Returns the exit
// status: 0 when there is no problem (notes allowed), 1 otherwise.
int runVerify(const std::string& archivePath);

#endif  // EXTRACTGAMEFILE_CFSI_VERIFY_H_
