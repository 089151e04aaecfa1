// cfsi pack: an archive from a folder tree, or the repack of an archive with
// some of its entries replaced by files from a folder tree.
#ifndef EXTRACTGAMEFILE_CFSI_PACK_H_
#define EXTRACTGAMEFILE_CFSI_PACK_H_

#include <string>

struct PackOptions {
  std::string dir;     // the folder tree
  std::string output;  // the archive to write
  std::string like;    // when set, the archive to repack
};

// Without |like|: every regular file below |dir| (listTree) becomes an
// entry, in bytewise order of its relative path, the directory being its
// folder with a final "/". The index is planArchive's: three zero leading
// bytes, consecutive files of one folder in one record, split every 255.
//
// With |like|: the output has the old archive's leading bytes and the same
// records in the same order with the same names, terminator included. Each
// entry's bytes come from |dir| followed by its directory and name when
// listTree finds that file there, and from the old archive otherwise; files
// below |dir| that no entry names are reported and not added. Data is laid
// out in index order, each entry 16-byte aligned with zero bytes between,
// so an archive laid out that way comes back byte for byte from its own
// extraction.
//
// Either way, what the layout cannot hold (planArchive's refusals), an old
// entry whose data lies outside the old archive with no file to replace it,
// an output inside |dir| or an output that is the old archive itself are
// refused with an error before anything is written; the archive is written
// under a temporary name and renamed at the end, so no partial or refused
// archive is ever left behind. Symbolic links and special files are skipped
// with a warning. Returns the exit status: 0 when the archive was written,
// 1 otherwise.
int runPack(const PackOptions& options);

#endif  // EXTRACTGAMEFILE_CFSI_PACK_H_
