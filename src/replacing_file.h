// A file that appears under its name only once it is complete: it is
// written under a temporary name in the same folder and renamed at the end,
// so a refused or failed run never leaves a half-written file behind, nor
// destroys a file that was there before.
#ifndef EXTRACTGAMEFILE_REPLACING_FILE_H_
#define EXTRACTGAMEFILE_REPLACING_FILE_H_

#include <string>

class ReplacingFile {
 public:
  ReplacingFile() = default;
  // Removes the temporary file unless commit() succeeded.
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // Creates the temporary file beside |target|. While it exists, an
  // interrupt or termination signal removes it before the program ends.
  // Only one ReplacingFile may be open at a time.
  bool open(const std::string& target, std::string* error);

  // The temporary file's descriptor, open for writing.
  int fd() const { return fd_; }

  // Flushes the file to disk, gives it the mode a new file gets (0666 less
  // the umask) and renames it to the target, replacing what was there.
  bool commit(std::string* error);

 private:
  void discard();

  std::string target_;
  std::string temp_;
  int fd_ = -1;
};

#endif  // EXTRACTGAMEFILE_REPLACING_FILE_H_
