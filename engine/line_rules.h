#ifndef ORVANTOR_ENGINE_LINE_RULES_H_
#define ORVANTOR_ENGINE_LINE_RULES_H_

// The world save's line grammar: what a line is, how it is classified and
// the edits the reader makes to heads and values. Every rule of the format
// that looks at the text of a line lives here.

#include <array>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace orv {

// An equality test, not an ordering: with a literal prefix the compiler
// makes it a word compare or two instead of a byte loop.
inline bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         std::memcmp(text.data(), prefix.data(), prefix.size()) == 0;
}

// The stripped line: the line without its leading characters of code 0 to 32.
// Trailing characters are never removed.
inline std::string_view StripLeading(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size() && static_cast<unsigned char>(line[i]) <= 32) ++i;
  return line.substr(i);
}

// The value cut: characters `from` to min(L, from + most - 1) of `line`,
// positions counted from 1; empty when the line is shorter than `from`.
inline std::string_view ValueCut(std::string_view line, std::size_t from, std::size_t most) {
  if (from == 0 || line.size() < from) return {};
  return line.substr(from - 1, most);
}

// Classification of a stripped line.
inline bool IsEndMarker(std::string_view s) { return s == "[EOF]"; }
inline bool IsSectionStart(std::string_view s) { return !s.empty() && s[0] == '['; }
inline bool IsCharHead(std::string_view s) { return StartsWith(s, "[WORLDCHAR"); }
inline bool IsItemHead(std::string_view s) { return StartsWith(s, "[WORLDITEM"); }
inline bool IsComment(std::string_view s) { return StartsWith(s, "//"); }
// BeginsPlainLine for every byte: a walk asks it of every line of the
// source, and one load answers it where three tests and branches did.
inline constexpr std::array<bool, 256> kBeginsPlainLine = [] {
  std::array<bool, 256> plain{};
  for (int c = 33; c < 256; ++c) plain[static_cast<std::size_t>(c)] = c != '[' && c != '/';
  return plain;
}();

// Whether a line that begins with the byte `first` is its own stripped form
// and neither a section start nor a comment: true for nearly every body
// line ("KEY=value"), which can then skip those tests.
inline bool BeginsPlainLine(char first) {
  return kBeginsPlainLine[static_cast<unsigned char>(first)];
}

// A kept line as it is written: `head`, then a "0" when `zero` is set, then
// `tail`. The reader's edits either insert a "0" or replace one character
// by "0", so every edited line has this shape and none needs a copy.
struct KeptLine {
  std::string_view head;
  bool zero = false;
  std::string_view tail;

  std::size_t size() const { return head.size() + (zero ? 1 : 0) + tail.size(); }
  std::string str() const;
};

inline KeptLine Unedited(std::string_view line) { return {line, false, {}}; }

// Id normalisation of a stripped section head: a "0" goes in front of
// position 12 unless the character there already is "0". A head too short
// to have a position 12 (such as "[WORLDCHAR]") is kept as it is.
inline KeptLine NormaliseHead(std::string_view head) {
  if (head.size() >= 12 && head[11] != '0') return {head.substr(0, 11), true, head.substr(11)};
  return Unedited(head);
}

// The section's id as records keep it: the normalised head from position 12
// on, at most 10 characters, its "]" included ("02007]"). Empty for a head
// shorter than 12 characters.
std::string_view BaseIdOf(const KeptLine& normalised_head, char (&scratch)[10]);

// The reader's edits of a stripped body line. "COLOR=" gets a "0" before
// position 7 unless one is there; in character sections, when NPCs are
// deleted in this run, a "FLAGS=" line whose position 8 is "8" gets a "0"
// there instead. Lines too short for the tested position stay unchanged.
inline KeptLine EditBodyLine(std::string_view s, bool char_section, bool flags_edit) {
  if (s.size() >= 7 && s[0] == 'C' && StartsWith(s, "COLOR=") && s[6] != '0')
    return {s.substr(0, 6), true, s.substr(6)};
  if (char_section && flags_edit && s.size() >= 8 && s[0] == 'F' && s[7] == '8' &&
      StartsWith(s, "FLAGS="))
    return {s.substr(0, 7), true, s.substr(8)};
  return Unedited(s);
}

}  // namespace orv

#endif  // ORVANTOR_ENGINE_LINE_RULES_H_
