#include "utf8.h"

namespace {

// Decodes the UTF-8 sequence at |s[*i]|, advancing |*i| past it. Returns
// false, leaving |*i| anywhere, at the first byte that breaks the strict form.
bool decodeOne(const std::string& s, std::size_t* i, char32_t* out) {
  const auto byte = [&s](std::size_t k) {
    return static_cast<unsigned char>(s[k]);
  };
  const unsigned lead = byte(*i);
  std::size_t length;
  char32_t value;
  char32_t minimum;
  if (lead < 0x80) {
    *out = lead;
    ++*i;
    return true;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07, minimum = 0x10000;
  } else {
    return false;  // a continuation byte, or 0xF8-0xFF
  }
  if (s.size() - *i < length) return false;
  for (std::size_t k = 1; k < length; ++k) {
    const unsigned next = byte(*i + k);
    if ((next & 0xC0) != 0x80) return false;
    value = value << 6 | (next & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF ||
      (value >= 0xD800 && value <= 0xDFFF))
    return false;
  *i += length;
  *out = value;
  return true;
}

void appendUtf16(std::u16string* out, char32_t c) {
  if (c < 0x10000) {
    out->push_back(static_cast<char16_t>(c));
  } else {
    c -= 0x10000;
    out->push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out->push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  }
}

void appendUtf8(std::string* out, char32_t c) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | c >> 6));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | c >> 12));
    out->push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | c >> 18));
    out->push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

}  // namespace

bool isValidUtf8(const std::string& bytes) {
  char32_t c;
  for (std::size_t i = 0; i < bytes.size();)
    if (!decodeOne(bytes, &i, &c)) return false;
  return true;
}

std::u16string utf16Of(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  char32_t c;
  while (i < text.size()) {
    if (decodeOne(text, &i, &c)) {
      appendUtf16(&out, c);
    } else {
      appendUtf16(&out, 0xFFFD);
      ++i;
    }
  }
  return out;
}

std::string utf8Of(const std::u16string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() &&
        text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    appendUtf8(&out, c);
  }
  return out;
}
