#ifndef ORVANTOR_ENGINE_ANALYSE_H_
#define ORVANTOR_ENGINE_ANALYSE_H_

#include <cstdint>

#include "engine/host.h"
#include "engine/line_split.h"
#include "engine/run_threads.h"
#include "engine/world.h"

namespace orv {

// Reads the loaded source from the top to "[EOF]" (or its last line) and
// turns every character and item section into a record, filed by serial and,
// for items, hung under a container already read. Sets the counters and the
// progress divisors. Expects empty stores. Pumps once per top-level line or
// section; moves the gauge by line index. Counts the source's lines first
// when the load left that to it.
void AnalyseWorld(World& w, RunHost& host, RunThreads threads = RunThreads::kAuto);

// Tells why each item noted as loose by the analysis stayed loose (see
// LooseReason), reading its "CONT=" again, and notes a left_loose change
// for each in the world's report, if any. The analysis does it for a run
// with a report or lines wanted; anyone else asks before reading the
// reasons. Once per analysis. Many loose items are looked at on two
// threads where `threads` allows (see UseSecondThread).
void ExplainLooseItems(World& w, RunThreads threads = RunThreads::kAuto);

// A line cursor that also counts line indexes from 0.
struct SourceCursor {
  LineCursor lines;
  std::uint64_t index = 0;

  bool HasLine() const { return lines.HasLine(); }
  void Advance() {
    lines.Advance();
    ++index;
  }
};

}  // namespace orv

#endif  // ORVANTOR_ENGINE_ANALYSE_H_
