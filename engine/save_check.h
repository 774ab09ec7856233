#ifndef ORVANTOR_ENGINE_SAVE_CHECK_H_
#define ORVANTOR_ENGINE_SAVE_CHECK_H_

// What an administrator should know about a world save before converting
// it, found by the analysis and one sweep over the source: nothing is
// written and no pass runs.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/world.h"

namespace orv {

// One finding. `kind` is one of "left_loose", "duplicate_serial",
// "self_container", "no_end_marker", "text_after_end", "short_head",
// "nul_byte"; `serial` is the section's "SERIAL=" value ("" when none or
// when the finding is about a line outside any section).
struct FindingField {
  std::string_view key;
  std::string value;
  bool number = false;  // the value is a number, written without quotes in JSON
};

struct Finding {
  std::string_view kind;
  std::string serial;
  std::uint64_t line = 0;            // 1-based
  std::uint64_t offset = 0;          // byte offset of the line (or of the byte) found
  std::vector<FindingField> fields;  // the kind's own, in order
};

// The kinds in the order they are listed.
inline constexpr std::string_view kFindingKinds[] = {
    "left_loose",     "duplicate_serial", "self_container", "no_end_marker",
    "text_after_end", "short_head",       "nul_byte",
};

// Collects the findings of a world just analysed (World::Notes and the
// records), in file order, telling the loose items' reasons first if the
// analysis did not. The world's source must still be loaded.
std::vector<Finding> CheckAnalysedWorld(World& w);

}  // namespace orv

#endif  // ORVANTOR_ENGINE_SAVE_CHECK_H_
