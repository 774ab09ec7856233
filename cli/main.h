#ifndef ORVANTOR_CLI_MAIN_H_
#define ORVANTOR_CLI_MAIN_H_

namespace orv::cli {

// The exit statuses of `orvantor`, each with one meaning.
inline constexpr int kExitSaved = 0;      // both files saved, all asked done
inline constexpr int kExitUnchanged = 1;  // failed; both targets as they were
inline constexpr int kExitUsage = 2;      // a usage error; nothing done
// Both files saved, but what came after failed: the summary could not be
// written, the power-off could not be requested, a folder could not be
// synced, or an interrupt came after the save.
inline constexpr int kExitSavedButIncomplete = 3;
// The commit failed half way and could not be undone: one target is new,
// the other old; the message says which, and where the old content is.
inline constexpr int kExitHalfSaved = 4;
// `check`: findings were listed (0 when nothing was found, 1 when the save
// cannot be read).
inline constexpr int kExitFindings = 5;
// An interrupt before the save ends the process by its signal: a shell
// reports 128 + its number, and both targets are as they were.

// What becomes of the world's memory once a conversion is done. A process
// that ends right after Main leaves it to the system, which takes hundreds
// of MB back faster in one go than the world's destructors give it back
// piece by piece; a caller that runs Main again must have it freed.
enum class WorldMemory { kFree, kLeaveToTheExit };

// The whole command line: parses `argv`, runs, and returns the exit status.
int Main(int argc, char** argv, WorldMemory memory = WorldMemory::kFree);

}  // namespace orv::cli

#endif  // ORVANTOR_CLI_MAIN_H_
