#ifndef ORVANTOR_CLI_LIST_WARNINGS_H_
#define ORVANTOR_CLI_LIST_WARNINGS_H_

// Warnings about the two list files. The lists are used verbatim, as the
// window uses them: an entry with a blank at its end, or an item id without
// its leading "0", matches nothing, and a blank line is a position too. The
// command line says so, once per kind of surprise, with the line numbers.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/line_list.h"
#include "engine/world.h"

namespace orv::cli {

// What is odd about a list before it is used: an empty file, a byte-order
// mark, blank lines, entries with blanks at either end; for the
// illegal-item list also ids without the leading "0" or ending in "]".
// Each text is one warning, without a line feed, naming `path` (quoted as
// every file name in a message is).
std::vector<std::string> PositionListWarnings(const LineList& list, const std::string& path);
std::vector<std::string> IllegalListWarnings(const LineList& list, const std::string& path);

// What only the analysed world tells: illegal-item entries that match no
// item of the save.
std::vector<std::string> UnmatchedIllegalWarnings(const World& w, const LineList& list,
                                                  const std::string& path);

// More positions than players with a position line, or fewer (then
// positions are handed out again from the top); `moved` players were moved.
std::vector<std::string> PositionCountWarnings(const LineList& list, std::uint64_t moved,
                                               const std::string& path);

// "lines 2, 5 and 9", at most `most` numbers, then how many more.
std::string LineNumbersText(const std::vector<std::size_t>& lines, std::size_t most = 10);

}  // namespace orv::cli

#endif  // ORVANTOR_CLI_LIST_WARNINGS_H_
