#include "engine/json_text.h"

#include <cstdio>

namespace orv {

namespace {

// The length of the well-formed UTF-8 sequence at the start of `s`, or 0.
std::size_t Utf8SequenceLength(std::string_view s) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const auto continuation = [&](std::size_t i) { return i < s.size() && (byte(i) & 0xc0) == 0x80; };
  const unsigned char c = byte(0);
  if (c >= 0xc2 && c <= 0xdf) return continuation(1) ? 2 : 0;
  if (c >= 0xe0 && c <= 0xef) {
    if (!continuation(1) || !continuation(2)) return 0;
    if (c == 0xe0 && byte(1) < 0xa0) return 0;   // overlong
    if (c == 0xed && byte(1) >= 0xa0) return 0;  // a surrogate
    return 3;
  }
  if (c >= 0xf0 && c <= 0xf4) {
    if (!continuation(1) || !continuation(2) || !continuation(3)) return 0;
    if (c == 0xf0 && byte(1) < 0x90) return 0;   // overlong
    if (c == 0xf4 && byte(1) >= 0x90) return 0;  // beyond U+10FFFF
    return 4;
  }
  return 0;
}

// Whether the byte passes into a string literal as it is.
bool Plain(unsigned char c) { return c >= 0x20 && c < 0x7f && c != '"' && c != '\\'; }

void AppendEscaped(std::string& out, unsigned char c) {
  static const char kHex[] = "0123456789abcdef";
  const char escaped[6] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15]};
  out.append(escaped, 6);
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view text) {
  out += '"';
  std::size_t i = 0;
  while (i < text.size()) {
    // Serials and ids are plain ASCII: copied in one piece.
    std::size_t plain = i;
    while (plain < text.size() && Plain(static_cast<unsigned char>(text[plain]))) ++plain;
    out.append(text.data() + i, plain - i);
    i = plain;
    if (i == text.size()) break;
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const std::size_t n = Utf8SequenceLength(text.substr(i));
      if (n != 0) {
        out.append(text.substr(i, n));
        i += n;
      } else {
        AppendEscaped(out, c);
        ++i;
      }
      continue;
    }
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: AppendEscaped(out, c);
    }
    ++i;
  }
  out += '"';
}

std::string JsonString(std::string_view text) {
  std::string out;
  AppendJsonString(out, text);
  return out;
}

JsonObject& JsonObject::Seconds(std::string_view key, double value) {
  Key(key);
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", value);
  out_ += text;
  return *this;
}

}  // namespace orv
