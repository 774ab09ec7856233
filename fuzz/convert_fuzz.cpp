// libFuzzer target: a whole conversion in memory on arbitrary bytes.
// The first byte picks the switches; the next two give the lengths of a
// position list and an illegal-item list taken from the input (the top bit
// of the third picks one or two analysis threads); the rest is the world
// save. Every run notes a change report, which is then written, and the
// analysed world is checked as `orvantor check` does.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/change_report.h"
#include "engine/host.h"
#include "engine/line_sink.h"
#include "engine/run.h"
#include "engine/save_check.h"
#include "engine/world.h"

namespace {

class FuzzHost final : public orv::SilentHost {
 public:
  std::uint8_t switches = 0;
  int position = 1;
  orv::LineList positions, illegal;

  bool Checked(orv::Switch s) override {
    switch (s) {
      case orv::Switch::kIllegalItems: return switches & 1;
      case orv::Switch::kMoveChars: return switches & 2;
      case orv::Switch::kShrinkPets: return (switches & 4) && (switches & 8);
      case orv::Switch::kDeleteNpcs: return switches & 8;
      case orv::Switch::kDeleteRespawnPoints: return switches & 16;
      case orv::Switch::kTurnOffPc: return false;
    }
    return false;
  }
  orv::LineList PositionList() override { return positions; }
  orv::LineList IllegalList() override { return illegal; }
  int Position() override { return position; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  FuzzHost host;
  host.switches = data[0];
  host.position = 1 + (data[0] >> 5);
  std::string_view rest(reinterpret_cast<const char*>(data + 3), size - 3);
  const std::size_t n_positions = data[1] < rest.size() ? data[1] : rest.size();
  host.positions.LoadFromBytes(rest.substr(0, n_positions));
  rest.remove_prefix(n_positions);
  const std::size_t illegal_length = data[2] & 0x7f;
  const std::size_t n_illegal = illegal_length < rest.size() ? illegal_length : rest.size();
  const auto threads = (data[2] & 0x80) ? orv::RunThreads::kTwo : orv::RunThreads::kOne;
  host.illegal.LoadFromBytes(rest.substr(0, n_illegal));
  rest.remove_prefix(n_illegal);

  static orv::World world;  // one World for the process, as in the window
  orv::ReleaseStores(world);
  world.SourceLines.LoadFromBytes(rest);
  orv::ChangeReport report;
  world.Report = &report;
  orv::MemoryLineSink chars, items;
  orv::AnalyseCleanAndWrite(world, host, chars, items, threads);
  world.Report = nullptr;
  // One JSON object a line, each ended by a line feed.
  orv::MemoryLineSink changes;
  orv::WriteChangeReport(world, report, changes);
  const std::string& r = changes.Bytes();
  if (!r.empty() && (r.back() != '\n' || r.front() != '{')) __builtin_trap();
  for (const orv::Finding& f : orv::CheckAnalysedWorld(world)) {
    if (f.line == 0) __builtin_trap();
  }
  // Every output ends with the end marker and a line break.
  const std::string& c = chars.Bytes();
  const std::string& w = items.Bytes();
  if (c.size() < 7 || c.compare(c.size() - 7, 7, "[EOF]\r\n") != 0) __builtin_trap();
  if (w.size() < 7 || w.compare(w.size() - 7, 7, "[EOF]\r\n") != 0) __builtin_trap();
  return 0;
}
