#ifndef ORVANTOR_ENGINE_PUMP_H_
#define ORVANTOR_ENGINE_PUMP_H_

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

// A loop's own countdown, starting at 0.
class Pump {
 public:
  void Step(RunHost& host) { PumpStep(host, countdown_); }

 private:
  int countdown_ = 0;
};

// The progress step: with a divisor D of at least 1 the count goes up and the
// gauge shows count / D; with D = 0 (fewer than 100 records) nothing moves.
class Progress {
 public:
  void Step(RunHost& host, std::int64_t divisor) {
    if (divisor == 0) return;
    ++count_;
    host.SetProgress(static_cast<int>(count_ / divisor));
  }
  void Reset() { count_ = 0; }

 private:
  std::int64_t count_ = 0;
};

}  // namespace orv

#endif  // ORVANTOR_ENGINE_PUMP_H_
