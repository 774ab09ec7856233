#include "platform/quoted.h"

namespace orv::platform {
namespace {

// On Windows the backslash separates the folders of every name and the file
// systems take no control character: a name there reads best as it stands.
#ifdef _WIN32
constexpr bool kEscapeBackslash = false;
#else
constexpr bool kEscapeBackslash = true;
#endif

}  // namespace

std::string Quoted(std::string_view name) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(name.size() + 2);
  out.push_back('\'');
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '\'': out += "\\'"; break;
      case '\\': out += kEscapeBackslash ? "\\\\" : "\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7f) {
          out += "\\x";
          out.push_back(kHex[c >> 4]);
          out.push_back(kHex[c & 15]);
        } else {
          out.push_back(ch);
        }
    }
  }
  out.push_back('\'');
  return out;
}

}  // namespace orv::platform
