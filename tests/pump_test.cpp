// The pump and progress steps of the long loops, and the turns a loop whose
// work was done apart replays in one go: the host must not be able to tell
// those from the loop's own steps.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/errors.h"
#include "engine/pump.h"
#include "tests/recording_host.h"

namespace orv::testing {
namespace {

// A host whose slider moves at every pump, through `positions` in turn.
void MoveSliderAtEveryPump(RecordingHost& host, std::vector<int> positions) {
  host.on_process_messages = [positions, k = std::size_t{0}](RecordingHost& h) mutable {
    h.position = positions[k++ % positions.size()];
  };
}

// The events of a loop that takes its steps one turn at a time, for the
// given runs of turns, each run with its own divisor.
struct Turns {
  std::uint64_t turns;
  std::int64_t divisor;
};

std::vector<std::string> TurnByTurn(const std::vector<Turns>& runs, std::vector<int> positions) {
  RecordingHost host;
  MoveSliderAtEveryPump(host, positions);
  Pump pump;
  Progress progress;
  for (const Turns& run : runs) {
    for (std::uint64_t k = 0; k < run.turns; ++k) {
      pump.Step(host);
      progress.Step(host, run.divisor);
    }
  }
  return host.events;
}

std::vector<std::string> InOneGo(const std::vector<Turns>& runs, std::vector<int> positions) {
  RecordingHost host;
  MoveSliderAtEveryPump(host, positions);
  Pump pump;
  Progress progress;
  for (const Turns& run : runs) pump.Turns(host, progress, run.divisor, run.turns);
  return host.events;
}

TEST(PumpTurns, MakeTheHostCallsOfTheTurnsTheyStandFor) {
  const std::vector<std::vector<int>> sliders = {{0}, {1}, {3}, {250}, {5, 0, 17, 1, 500}};
  const std::vector<std::vector<Turns>> loops = {
      {},
      {{1, 0}},
      {{1, 1}},
      {{2, 3}},
      {{1000, 10}},
      {{1000, 0}},
      // A loop picked up where another left off, on the same countdown and
      // count, with another divisor: the gauge goes on from the count.
      {{7, 2}, {0, 2}, {1, 2}, {300, 3}, {55, 0}, {41, 1}},
  };
  for (const auto& slider : sliders) {
    for (const auto& loop : loops) {
      const std::vector<std::string> expected = TurnByTurn(loop, slider);
      EXPECT_EQ(InOneGo(loop, slider), expected) << "slider " << slider[0] << ", " << loop.size();
    }
  }
}

TEST(PumpTurns, StopAtTheSamePumpWhenTheRunIsCancelled) {
  for (int cancel_at : {1, 2, 9}) {
    std::vector<std::string> events[2];
    for (int in_one_go : {0, 1}) {
      RecordingHost host;
      host.position = 3;
      int pumps = 0;
      host.on_process_messages = [&](RecordingHost& h) { h.cancel = ++pumps == cancel_at; };
      Pump pump;
      Progress progress;
      EXPECT_THROW(
          {
            if (in_one_go == 1) {
              pump.Turns(host, progress, 2, 100);
            } else {
              for (int k = 0; k < 100; ++k) {
                pump.Step(host);
                progress.Step(host, 2);
              }
            }
          },
          RunCancelled);
      events[in_one_go] = host.events;
    }
    EXPECT_EQ(events[1], events[0]) << cancel_at;
  }
}

// A host that keeps only the gauge's latest value, as the command line and
// the window do: it is told the value once for a run of equal ones. Here
// each run is still written out call by call; `calls` counts the gauge
// calls it was given.
class LatestValueHost final : public RecordingHost {
 public:
  void SetProgress(int value) override {
    if (!in_run_) ++calls;
    RecordingHost::SetProgress(value);
  }
  void SetProgressRepeated(int value, std::uint64_t times) override {
    ++calls;
    in_run_ = true;
    for (; times > 0; --times) SetProgress(value);
    in_run_ = false;
  }
  std::uint64_t calls = 0;

 private:
  bool in_run_ = false;
};

TEST(PumpTurns, TellAHostThatKeepsTheLatestValueOnceForEachRun) {
  for (const std::int64_t divisor : {1, 2, 7, 100}) {
    for (const std::uint64_t before : {0, 3}) {
      for (const std::uint64_t turns : {0, 1, 5, 99, 1000}) {
        RecordingHost one_by_one;
        LatestValueHost in_runs;
        one_by_one.position = in_runs.position = 500;
        Pump pumps[2];
        Progress gauges[2];
        // Steps of a loop before, so that the replay starts within a value.
        for (std::uint64_t k = 0; k < before; ++k) {
          pumps[0].Step(one_by_one);
          gauges[0].Step(one_by_one, divisor);
          pumps[1].Step(in_runs);
          gauges[1].Step(in_runs, divisor);
        }
        for (std::uint64_t k = 0; k < turns; ++k) {
          pumps[0].Step(one_by_one);
          gauges[0].Step(one_by_one, divisor);
        }
        const std::uint64_t calls_before = in_runs.calls;
        pumps[1].Turns(in_runs, gauges[1], divisor, turns);
        EXPECT_EQ(in_runs.events, one_by_one.events) << divisor << " " << before << " " << turns;
        // Two calls for each value the gauge moves to (the step that moves
        // it, the run after it), and two more at each pump.
        EXPECT_LE(in_runs.calls - calls_before,
                  2 * (turns / static_cast<std::uint64_t>(divisor)) + 2 * (turns / 500) + 5)
            << divisor << " " << before << " " << turns;
      }
    }
  }
}

TEST(Progress, ShowsTheCountOverTheDivisorOfEachStep) {
  RecordingHost host;
  Progress progress;
  for (int k = 0; k < 5; ++k) progress.Step(host, 2);  // 1 2 3 4 5 over 2
  progress.Step(host, 0);                              // no gauge, no count
  for (int k = 0; k < 3; ++k) progress.Step(host, 3);  // 6 7 8 over 3
  progress.Reset();
  for (int k = 0; k < 4; ++k) progress.Step(host, 2);  // 1 2 3 4 over 2
  EXPECT_EQ(host.ProgressValues(), (std::vector<int>{0, 1, 1, 2, 2, 2, 2, 2, 0, 1, 1, 2}));
}

}  // namespace
}  // namespace orv::testing
