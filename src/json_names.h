// The JSON form of names taken from an archive. An archive's names are raw
// bytes with no charset, and JSON strings can only carry Unicode text, so a
// name that is not valid UTF-8 needs another form to survive the trip:
//
//   valid UTF-8         a JSON string holding the same text
//                       (control bytes, the zero byte included, are escaped
//                       by JSON itself: "\u0000", "\u001b", ...)
//   anything else       an object {"hex": "..."}: every byte of the name as
//                       two lowercase hex digits, in order
//
// Both forms decode to exactly the bytes of the name.
#ifndef EXTRACTGAMEFILE_JSON_NAMES_H_
#define EXTRACTGAMEFILE_JSON_NAMES_H_

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "utf8.h"

// The JSON form of the name |bytes|, as described above.
nlohmann::json jsonName(const std::string& bytes);

// The inverse of jsonName: sets |bytes| and returns true when |value| is one
// of the two forms, returns false for anything else.
bool nameFromJson(const nlohmann::json& value, std::string* bytes);

// A JSON array written to a stream as its elements come, so that none is
// held: "[" at once, each element on a line of its own, and "]" on the last
// line once finish() is called ("[]" when there was none).
class JsonArrayStream {
 public:
  explicit JsonArrayStream(std::ostream* out);
  void add(const nlohmann::json& element);
  void finish();

 private:
  std::ostream* out_;
  bool any_ = false;
};

#endif  // EXTRACTGAMEFILE_JSON_NAMES_H_
