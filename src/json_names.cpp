#include "json_names.h"

nlohmann::json jsonName(const std::string& bytes) {
  if (isValidUtf8(bytes)) return bytes;
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    hex += kHex[byte >> 4];
    hex += kHex[byte & 0xf];
  }
  return nlohmann::json{{"hex", hex}};
}

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

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
    const int high = hexValue(hex[i]), low = hexValue(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    out += static_cast<char>(high << 4 | low);
  }
  *bytes = out;
  return true;
}
