#include "json_names.h"

#include "report.h"

bool isValidUtf8(const std::string& bytes) {
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  const auto at = [&](std::size_t k) {
    return static_cast<unsigned char>(bytes[k]);
  };
  while (i < n) {
    const unsigned char lead = at(i);
    std::size_t length;
    // The first continuation byte's range is what rules out overlong forms,
    // surrogates and code points past U+10FFFF.
    unsigned char low = 0x80, high = 0xbf;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xc2 && lead <= 0xdf) {
      length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
      length = 3;
      if (lead == 0xe0) low = 0xa0;
      if (lead == 0xed) high = 0x9f;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
      length = 4;
      if (lead == 0xf0) low = 0x90;
      if (lead == 0xf4) high = 0x8f;
    } else {
      return false;
    }
    if (n - i < length) return false;
    if (at(i + 1) < low || at(i + 1) > high) return false;
    for (std::size_t k = 2; k < length; ++k)
      if (at(i + k) < 0x80 || at(i + k) > 0xbf) return false;
    i += length;
  }
  return true;
}

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
