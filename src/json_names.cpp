#include "json_names.h"

#include "report.h"

nlohmann::json jsonName(const std::string& bytes) {
  if (isValidUtf8(bytes)) return bytes;
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (const char c : bytes) appendHexByte(&hex, static_cast<unsigned char>(c));
  return nlohmann::json{{"hex", hex}};
}

bool nameFromJson(const nlohmann::json& value, std::string* bytes) {
  if (value.is_string()) {
    *bytes = value.get<std::string>();
    return true;
  }
  if (!value.is_object() || value.size() != 1 || !value.contains("hex") ||
      !value["hex"].is_string())
    return false;
  const std::string& hex = value["hex"].get_ref<const std::string&>();
  if (hex.size() % 2 != 0) return false;
  std::string out;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = hexDigitValue(hex[i]), low = hexDigitValue(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    out += static_cast<char>(high << 4 | low);
  }
  *bytes = out;
  return true;
}

JsonArrayStream::JsonArrayStream(std::ostream* out) : out_(out) {
  *out_ << '[';
}

void JsonArrayStream::add(const nlohmann::json& element) {
  *out_ << (any_ ? ",\n" : "\n") << element.dump();
  any_ = true;
}

void JsonArrayStream::finish() { *out_ << (any_ ? "\n]\n" : "]\n"); }
