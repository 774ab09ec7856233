#include "engine/change_report.h"
#include "engine/kept_lines.h"
#include "engine/pump.h"
#include "passes/passes.h"

namespace orv {

void MoveChars(World& w, RunHost& host) {
  const LineList positions = host.PositionList();
  Pump pump;
  Progress progress;
  std::size_t k = 0;
  ChangeReport* const report = w.Report;
  for (RecordId id = w.FirstChar; id != kNone; id = w.Chars[id].Next) {
    pump.Step(host);
    TWorldChar& c = w.Chars[id];
    // With no positions at all nobody is moved: there is no line k to hand
    // out.
    if (!c.IsNpc && !positions.Empty()) {
      // The analysis noted the "P=" line of every section it read.
      bool has_position_line = c.State == LinesState::kSource && c.HasPositionLine;
      if (c.State != LinesState::kSource) {
        ForEachKeptLine(w, c, [&](const KeptLine& l) {
          if (IsPositionLine(l)) has_position_line = true;
        });
      }
      if (has_position_line) {
        c.Moved = true;
        c.Position = positions[k];
        ++k;
        ++w.Stats.chars_moved;
        if (report != nullptr) report->Note(Change::kCharMoved, id);
      }
      if (k >= positions.Count()) k = 0;
    }
    progress.Step(host, w.CharsPerPercent);
  }
}

}  // namespace orv
