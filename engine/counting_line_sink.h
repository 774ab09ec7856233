#ifndef ORVANTOR_ENGINE_COUNTING_LINE_SINK_H_
#define ORVANTOR_ENGINE_COUNTING_LINE_SINK_H_

#include "engine/line_sink.h"

namespace orv {

// An output file that is only counted, never written: what a dry run makes
// instead of each target, for the lines and bytes it would have.
class CountingLineSink final : public LineSink {
 public:
  CountingLineSink() : LineSink(std::size_t{256} << 10) {}

 protected:
  void Drain(const char*, std::size_t) override {}
};

}  // namespace orv

#endif  // ORVANTOR_ENGINE_COUNTING_LINE_SINK_H_
