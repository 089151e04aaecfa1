// The byte order of the archive's integer fields, in one place for the
// reader and the writer: every multi-byte field is little-endian, assembled
// and taken apart byte by byte so that the host's own order never matters
// and no structure is ever laid over file bytes.
#ifndef EXTRACTGAMEFILE_ARCHIVE_CODING_H_
#define EXTRACTGAMEFILE_ARCHIVE_CODING_H_

#include <cstdint>
#include <string>

namespace archive {

constexpr int kFixed32Bytes = 4;

// Appends |value| to |out| as four bytes, least significant first.
inline void putFixed32(std::string* out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    out->push_back(static_cast<char>((value >> shift) & 0xff));
}

// The value of the four bytes at |bytes|, least significant first.
inline std::uint32_t decodeFixed32(const unsigned char* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) |
         static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 |
         static_cast<std::uint32_t>(bytes[3]) << 24;
}

}  // namespace archive

#endif  // EXTRACTGAMEFILE_ARCHIVE_CODING_H_
