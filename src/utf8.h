// UTF-8 and UTF-16, the two forms text takes on its way between an archive's
// names, JSON and the Windows API.
#ifndef EXTRACTGAMEFILE_UTF8_H_
#define EXTRACTGAMEFILE_UTF8_H_

#include <string>

// True when |bytes| is well-formed UTF-8 as RFC 3629 defines it: no overlong
// forms, no UTF-16 surrogates, nothing above U+10FFFF, no cut sequence.
bool isValidUtf8(const std::string& bytes);

// |text| as UTF-16. Meant for valid UTF-8; each byte that breaks the form
// becomes U+FFFD.
std::u16string utf16Of(const std::string& text);

// |text| as UTF-8. A surrogate without its pair (which a Windows name may
// hold) becomes U+FFFD, so the result is always valid UTF-8.
std::string utf8Of(const std::u16string& text);

#endif  // EXTRACTGAMEFILE_UTF8_H_
