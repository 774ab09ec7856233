#ifndef ORVANTOR_PASSES_ITEM_KINDS_H_
#define ORVANTOR_PASSES_ITEM_KINDS_H_

// The kinds of item that the passes look for, as the world save spells
// them: section ids in the form the analysis files them under (leading 0
// and "]" included, see BaseIdOf in engine/line_rules.h) and "TYPE="
// values.

#include <string_view>

namespace orv {

// A memory object: held by an NPC, its "LINK=" names what the NPC belongs
// to, a pet's owner or the spawn point that made it.
inline constexpr std::string_view kMemoryObjectId = "02007]";

// A bank box: the container a shrunk pet is put into, held by its owner.
inline constexpr std::string_view kBankBoxId = "09b2]";

// A respawn point, and a spawn point (which memory objects link to).
inline constexpr std::string_view kRespawnPointType = "69";
inline constexpr std::string_view kSpawnPointType = "34";

}  // namespace orv

#endif  // ORVANTOR_PASSES_ITEM_KINDS_H_
