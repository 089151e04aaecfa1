// Shell-style wildcard patterns over an entry's path (directory plus name),
// as archive users pick members: "textures/ui/*", "*.xml", "a?[0-9].dds".
//
// A pattern is matched against the whole path, byte by byte:
//   *        any run of bytes, the empty run and "/" included (as tar's
//            wildcards do: "tex/*" takes "tex/ui/a.dds" too)
//   ?        any one byte, "/" included
//   [...]    one byte of the set: single bytes and ranges "a-z" (by byte
//            value; a range whose ends are reversed holds nothing); "!" or
//            "^" first negates the set; "]" first, and "-" first or last,
//            stand for themselves; a "[" with no "]" after it is an
//            ordinary byte. Character classes ("[:alpha:]") are not known.
//   \c       the byte c itself, inside a set too; a final lone backslash
//            stands for itself
//   other    itself
// Nothing here knows about folders or the file system: "/" is a byte like
// any other, which is why the matcher needs no system's fnmatch.
#ifndef EXTRACTGAMEFILE_PATH_PATTERN_H_
#define EXTRACTGAMEFILE_PATH_PATTERN_H_

#include <bitset>
#include <cstddef>
#include <string>
#include <vector>

class PathPattern {
 public:
  explicit PathPattern(const std::string& pattern);

  // Whether the pattern matches all of |path|. Takes at most about
  // (path length + 1) x (pattern length) steps whatever both hold, so a
  // hostile pattern such as "*a*a*a*a*b" cannot make it backtrack without
  // end.
  bool matches(const std::string& path) const;

  // The pattern as it was given.
  const std::string& text() const { return text_; }

 private:
  // One step of the pattern: a star, or a test that takes exactly one byte.
  struct Token {
    bool star = false;
    std::bitset<256> bytes;  // the bytes a one-byte token takes
  };

  // Reads the set that starts at text_[open] (a "["); on success adds its
  // token and returns the position after its "]", otherwise returns
  // std::string::npos and adds nothing.
  std::size_t parseSet(std::size_t open);

  std::string text_;
  std::vector<Token> tokens_;
};

// Whether |path| is named by |pattern|: equal to its text byte for byte, or
// matched by its wildcards. The first lets a name that holds wildcard bytes
// ("a[1].dds") be given as it is printed.
bool namesPath(const PathPattern& pattern, const std::string& path);

#endif  // EXTRACTGAMEFILE_PATH_PATTERN_H_
