#ifndef ORVANTOR_PLATFORM_UTF16_WIN_H_
#define ORVANTOR_PLATFORM_UTF16_WIN_H_

// Windows only: the program keeps every text, file names included, in
// UTF-8; the system's calls take UTF-16. These convert at that boundary, so
// that a name outside the ANSI code page passes unharmed both ways.

#include <string>
#include <string_view>

namespace orv::platform {

// UTF-8 to UTF-16. Bytes that are not UTF-8 become U+FFFD.
std::wstring Utf16(std::string_view utf8);
// UTF-16 to UTF-8. A lone surrogate becomes U+FFFD.
std::string Utf8(std::wstring_view utf16);

// The system's text for an error number (GetLastError), in UTF-8, without
// the closing full stop and line break.
std::string SystemErrorText(unsigned long error);

}  // namespace orv::platform

#endif  // ORVANTOR_PLATFORM_UTF16_WIN_H_
