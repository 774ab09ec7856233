#ifndef ORVANTOR_ENGINE_PUMP_H_
#define ORVANTOR_ENGINE_PUMP_H_

#include <algorithm>
#include <cstdint>

#include "engine/errors.h"
#include "engine/host.h"

namespace orv {

// The pump step of every long loop: the first turn serves the window, then
// every Position + 1 turns, reading the slider afresh each time. Throws
// RunCancelled when the host asks the run to stop.
inline void PumpStep(RunHost& host, int& countdown) {
  if (countdown-- != 0) return;
  host.ProcessMessages();
  host.Refresh();
  const int position = host.Position();
  countdown = position < 0 ? 0 : position;
  if (host.CancelRequested()) throw RunCancelled();
}

// The progress step: with a divisor D of at least 1 the count goes up and the
// gauge shows count / D; with D = 0 (fewer than 100 records) nothing moves.
// The shown value is kept as quotient and remainder: a division at every
// step of a walk over millions of records costs more than the walk's own
// work between its host calls.
class Progress {
 public:
  void Step(RunHost& host, std::int64_t divisor) {
    if (divisor == 0) return;
    ++count_;
    if (divisor != divisor_ || divisor < 0) {
      divisor_ = divisor;
      shown_ = count_ / divisor;
      rest_ = count_ % divisor;
    } else if (++rest_ == divisor) {
      ++shown_;
      rest_ = 0;
    }
    host.SetProgress(static_cast<int>(shown_));
  }
  // `turns` steps in a row. Between two moves of the gauge the host gets
  // the shown value once with the number of steps it stands for.
  void Steps(RunHost& host, std::int64_t divisor, std::uint64_t turns) {
    if (divisor == 0 || turns == 0) return;
    // The first step takes up the divisor; a negative one is taken up anew
    // at every step.
    Step(host, divisor);
    --turns;
    if (divisor < 0) {
      for (; turns > 0; --turns) Step(host, divisor);
      return;
    }
    while (turns > 0) {
      const std::uint64_t same = std::min(turns, static_cast<std::uint64_t>(divisor - 1 - rest_));
      if (same > 0) {
        count_ += static_cast<std::int64_t>(same);
        rest_ += static_cast<std::int64_t>(same);
        host.SetProgressRepeated(static_cast<int>(shown_), same);
        turns -= same;
      }
      if (turns == 0) break;
      Step(host, divisor);  // the step that moves the gauge
      --turns;
    }
  }
  void Reset() {
    count_ = 0;
    divisor_ = 0;
  }

 private:
  std::int64_t count_ = 0;
  std::int64_t divisor_ = 0;  // the divisor shown_ and rest_ are for; 0: none yet
  std::int64_t shown_ = 0;    // count_ / divisor_
  std::int64_t rest_ = 0;     // count_ % divisor_
};

// The host calls of `turns` turns of a loop that takes a pump step on
// `countdown` and then a progress step with `divisor` (none with 0) at
// each, in the same order, for a loop whose work was done apart from them.
// Between two pumps only the gauge is set, so those turns need no look at
// the countdown.
inline void PumpTurns(RunHost& host, int& countdown, Progress& progress, std::int64_t divisor,
                      std::uint64_t turns) {
  while (turns > 0) {
    if (countdown <= 0) {
      PumpStep(host, countdown);
      progress.Step(host, divisor);
      --turns;
      continue;
    }
    const std::uint64_t quiet = std::min<std::uint64_t>(turns, static_cast<unsigned>(countdown));
    countdown -= static_cast<int>(quiet);
    turns -= quiet;
    progress.Steps(host, divisor, quiet);
  }
}

// A loop's own countdown, starting at 0.
class Pump {
 public:
  void Step(RunHost& host) { PumpStep(host, countdown_); }

  // See PumpTurns.
  void Turns(RunHost& host, Progress& progress, std::int64_t divisor, std::uint64_t turns) {
    PumpTurns(host, countdown_, progress, divisor, turns);
  }

 private:
  int countdown_ = 0;
};

}  // namespace orv

#endif  // ORVANTOR_ENGINE_PUMP_H_
