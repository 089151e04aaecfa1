// A file that appears under its name only once it is complete, so a
// refused, failed or interrupted run never leaves a half-written file
// behind, nor destroys a file that was there before.
//
// Where the file system allows it, the file is made with no name at all
// and only linked into its folder once complete: nothing is ever left, even
// when the program is killed in a way it cannot catch. Elsewhere it is
// written under a short temporary name beside the target (".cfsi-" and six
// characters, so a target name of any length the system allows has room),
// which an interrupt, termination or hang-up removes before the program
// ends. Either way, the complete file then takes the target's name in one
// step.
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

  // Refuses a |target| that exists and is anything but a regular file (a
  // symbolic link, to a file or not, a device, a FIFO, a socket, a folder):
  // it is left exactly as it is. Otherwise creates the file that will take
  // its place. Only one ReplacingFile may be open at a time.
  bool open(const std::string& target, std::string* error);

  // The file's descriptor, open for writing.
  int fd() const { return fd_; }

  // Flushes the file to disk, gives it the mode a new file gets (0666 less
  // the umask) and puts it at the target, replacing the regular file that
  // was there; a target that became something else in the meantime is
  // refused as open() refuses it.
  bool commit(std::string* error);

 private:
  bool checkTarget(std::string* error) const;
  bool nameTemporary(std::string* error);
  void rememberTemporary();
  void discard();

  std::string target_;
  std::string folder_;  // the target's folder
  std::string temp_;    // the temporary name, once there is one
  bool nameless_ = false;
  int fd_ = -1;
};

#endif  // EXTRACTGAMEFILE_REPLACING_FILE_H_
