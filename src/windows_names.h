// How the bytes of a path become a Windows name, and back: one fixed rule,
// the same on every machine whatever its code page, so that an archive
// extracts to the same names everywhere and a tree packs back to the same
// bytes.
//
// An archive stores names as raw bytes with no character set. Windows names
// are UTF-16. The rule works on each level of a path (the bytes between two
// separators, "/" or "\"):
//   - a level that is valid UTF-8 is read as UTF-8;
//   - any other level is read as Latin-1 (ISO 8859-1): each byte becomes
//     the code point of the same value (0xE9 is "é", U+00E9).
// UTF-8 is the common case, and Latin-1 gives every byte string a name
// (nothing is dropped or replaced) with a mapping anyone can reproduce.
// Valid UTF-8 is isValidUtf8's (utf8.h) strict form.
//
// In the other direction, Windows names become UTF-8: a name read from a
// folder or the command line is UTF-8 inside the programs, and `cfsi pack`
// stores that.
//
// This code is pure and compiled on every system, so its tests run on each;
// only the Windows side of the platform layer calls it for real paths.
#ifndef EXTRACTGAMEFILE_WINDOWS_NAMES_H_
#define EXTRACTGAMEFILE_WINDOWS_NAMES_H_

#include <string>

namespace windows_names {

// The Windows name of one level by the rule above.
std::u16string nameOf(const std::string& level);

// The Windows form of |path|: each level by nameOf, the separators ("/" and
// "\") kept where they are.
std::u16string pathOf(const std::string& path);

// utf8Of(pathOf(|path|)) (utf8.h): the bytes under which a folder listing on
// Windows names the file that |path| makes. The identity for valid UTF-8.
std::string utf8SpellingOf(const std::string& path);

}  // namespace windows_names

#endif  // EXTRACTGAMEFILE_WINDOWS_NAMES_H_
