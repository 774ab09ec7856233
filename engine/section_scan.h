#ifndef ORVANTOR_ENGINE_SECTION_SCAN_H_
#define ORVANTOR_ENGINE_SECTION_SCAN_H_

// A quick reading of the sections that a save written by the server is made
// of: every line ended by CR LF, none indented. Such a section is taken 64
// bytes at a time; only the lines whose first character may matter are
// looked at one by one, so the reader no longer waits for each line's end
// before it can look for the next. Any other section is left to the reader's
// line-by-line rules, which these scans give the same answers as.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace orv {

// Where a section ends: `bytes` from its head to the line that ends it (a
// line beginning with "["), `lines` lines in all, the head included.
struct SectionExtent {
  std::size_t bytes = 0;
  std::uint64_t lines = 0;
};

// What the reader keeps of an item section: the values of the last
// "SERIAL=", "TYPE=" and "CONT=" lines (cut as the reader cuts them), how
// many "COLOR=" lines get a "0" and whether a comment was dropped.
struct ItemScan {
  SectionExtent extent;
  std::string_view serial;
  std::string_view type;
  std::string_view container;
  unsigned color_zeros = 0;
  bool comment = false;
};

// What the reader keeps of a character section.
struct CharScan {
  SectionExtent extent;
  std::string_view serial;
  std::string_view name;
  bool account = false;        // an "ACCOUNT=" line: a player
  bool position_line = false;  // a "P=" line
};

// Scans the section whose head line begins at `head` (not indented) in the
// buffer that ends at `end`. False when the section has a line not ended by
// CR LF or beginning with a character of code 0 to 32 (an empty line aside),
// when it runs to the end of the buffer, or when this processor lacks the
// instructions the scan is made of: the caller then reads it line by line.
// The views point into the buffer.
bool ScanItemSection(const char* head, const char* end, ItemScan& out);
bool ScanCharSection(const char* head, const char* end, CharScan& out);

}  // namespace orv

#endif  // ORVANTOR_ENGINE_SECTION_SCAN_H_
