#ifndef ORVANTOR_ENGINE_RUN_THREADS_H_
#define ORVANTOR_ENGINE_RUN_THREADS_H_

#include <cstddef>
#include <thread>

#include "engine/world.h"

namespace orv {

// How a run uses the machine. The analysis can read sections on a second
// thread while the first files them, and the world file can be made on a
// second thread while the first walks the characters with the pumps and the
// gauge. The files, the gauge and the pumps are the same either way.
enum class RunThreads {
  kAuto,  // two for a large source on a machine with two cores or more
  kOne,
  kTwo,
};

// Whether a run on the source loaded into `w` takes a second thread.
inline bool UseSecondThread(const World& w, RunThreads threads) {
  switch (threads) {
    case RunThreads::kOne:
      return false;
    case RunThreads::kTwo:
      return true;
    case RunThreads::kAuto:
      break;
  }
  // Below a few megabytes a second thread costs more than it saves.
  constexpr std::size_t kTwoThreadsFrom = std::size_t{4} << 20;
  return w.SourceLines.Bytes().size() >= kTwoThreadsFrom && std::thread::hardware_concurrency() > 1;
}

}  // namespace orv

#endif  // ORVANTOR_ENGINE_RUN_THREADS_H_
