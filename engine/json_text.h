#ifndef ORVANTOR_ENGINE_JSON_TEXT_H_
#define ORVANTOR_ENGINE_JSON_TEXT_H_

// How ORVANTOR writes JSON: the summary, the change report and the findings
// of a check all go through these two pieces, so that a text reads the same
// wherever it appears.

#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

namespace orv {

// Appends `text` as a JSON string literal, quotes included. JSON text must
// be UTF-8, but names, serials and paths in a world save are any bytes:
// well-formed UTF-8 passes through; '"', '\' and control characters
// (0x7f included) are escaped; every other byte of 128 and above is written
// as the character of that number ("\u00ff" for the byte 0xff), so that the
// line stays valid JSON and the byte can still be told.
void AppendJsonString(std::string& out, std::string_view text);

// The same as a string of its own.
std::string JsonString(std::string_view text);

// One JSON object written field by field onto the end of `out`, with no
// spaces: {"a":1,"b":"x"}. Keys are our own names and written as given.
class JsonObject {
 public:
  explicit JsonObject(std::string& out) : out_(out) { out_ += '{'; }
  JsonObject(const JsonObject&) = delete;
  JsonObject& operator=(const JsonObject&) = delete;

  JsonObject& Text(std::string_view key, std::string_view value) {
    Key(key);
    AppendJsonString(out_, value);
    return *this;
  }
  JsonObject& Number(std::string_view key, std::uint64_t value) { return Integral(key, value); }
  JsonObject& Signed(std::string_view key, std::int64_t value) { return Integral(key, value); }
  // A number of seconds with three decimals.
  JsonObject& Seconds(std::string_view key, double value);
  JsonObject& Bool(std::string_view key, bool value) {
    Key(key);
    out_ += value ? "true" : "false";
    return *this;
  }
  // A value already written as JSON (a nested object).
  JsonObject& Raw(std::string_view key, std::string_view json) {
    Key(key);
    out_ += json;
    return *this;
  }
  // Writes the closing brace; nothing may be added after it.
  void Close() { out_ += '}'; }

 private:
  template <class Integer>
  JsonObject& Integral(std::string_view key, Integer value) {
    Key(key);
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out_.append(digits, static_cast<std::size_t>(end - digits));
    return *this;
  }
  void Key(std::string_view key) {
    if (!first_) out_ += ',';
    first_ = false;
    out_ += '"';
    out_ += key;
    out_ += "\":";
  }

  std::string& out_;
  bool first_ = true;
};

}  // namespace orv

#endif  // ORVANTOR_ENGINE_JSON_TEXT_H_
