#ifndef ORVANTOR_ENGINE_ANALYSE_H_
#define ORVANTOR_ENGINE_ANALYSE_H_

#include <cstdint>

#include "engine/host.h"
#include "engine/line_split.h"
#include "engine/world.h"

namespace orv {

// How the analysis uses the machine. Reading sections (scanning lines,
// making records) and filing them (the index look-ups, the container lists)
// can run on two threads: the reader runs ahead and hands each turn over,
// and the filing keeps the file order. The results, the gauge and the pumps
// are the same either way.
enum class AnalysisThreads {
  kAuto,  // two for a large source on a machine with two cores or more
  kOne,
  kTwo,
};

// Reads the loaded source from the top to "[EOF]" (or its last line) and
// turns every character and item section into a record, filed by serial and,
// for items, hung under a container already read. Sets the counters and the
// progress divisors. Expects empty stores. Pumps once per top-level line or
// section; moves the gauge by line index.
void AnalyseWorld(World& w, RunHost& host, AnalysisThreads threads = AnalysisThreads::kAuto);

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
