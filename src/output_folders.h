// The folders of an output tree, reached from its root without following a
// symbolic link anywhere below it.
#ifndef EXTRACTGAMEFILE_OUTPUT_FOLDERS_H_
#define EXTRACTGAMEFILE_OUTPUT_FOLDERS_H_

#include <string>

#include "QVRFunction.h"
#include "platform.h"

// One per thread: it holds the root and the last folder it readied open.
class OutputFolders {
 public:
  // Readies the folder that |entry|'s file goes in, below the output root
  // |root| ("extract/"; the entry's directory and name follow it with nothing
  // between them), and sets |fileName| to the file's own last level.
  //  - The root is opened as the user names it: a link there is followed.
  //  - Every level the entry's directory names is made when it is missing
  //    (access 0777 less the umask): the levels before each "/", and the
  //    directory's last level when no "/" ends it, though the file then goes
  //    beside that folder ("tex" + "a.dds" is extract/texa.dds, and makes an
  //    empty extract/tex); a failure to make that last one is passed over.
  //    Levels a "/" inside the name gives are not made.
  //  - No symbolic link below the root is followed: a level that is one
  //    fails the entry, and nothing goes through it.
  // Returns the folder, or nullptr with |error| saying which level failed
  // and why (the folder a level could not be made as, or the link), naming
  // paths in their printable form. The folder stays valid until the next
  // call or forget().
  const platform::Folder* folderFor(const std::string& root,
                                    const fileInfo& entry,
                                    std::string* fileName, std::string* error);

  // Forgets the folders readied so far, so the next entry looks again.
  void forget();

 private:
  // Walks the levels one by one from the root, making what is missing.
  bool walk(const fileInfo& entry, const std::string& outputPath,
            std::string* error);

  std::string rootPath_;
  bool rootTried_ = false;
  int rootError_ = 0;
  platform::Folder root_;
  // The last folder readied, for entries of the same directory and
  // name-folder (files come folder by folder), and what it was readied for.
  bool haveLast_ = false;
  std::string lastKey_;
  platform::Folder last_;  // not open: the root itself
};

#endif  // EXTRACTGAMEFILE_OUTPUT_FOLDERS_H_
