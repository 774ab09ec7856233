// Micro-benchmarks of the hot loops, for profiling one stage at a time: the
// line count, the analysis on one and on two threads, the clean-up passes
// and the writers. The
// end-to-end figure comes from bench/run.sh, not from these.
//
// The save is the file named by ORVANTOR_BENCH_SAVE (a save from
// bench/.cache/ is a good choice), or else a synthetic one of about 64 MiB
// made here.
//   build/bin/hot_loops [--benchmark_filter=...]

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/analyse.h"
#include "engine/host.h"
#include "engine/line_sink.h"
#include "engine/section_reader.h"
#include "engine/world.h"
#include "passes/passes.h"
#include "writers/char_writer.h"
#include "writers/world_file_writer.h"

namespace {

// A host that answers with the window's defaults and shows nothing.
class QuietHost final : public orv::SilentHost {
 public:
  bool Checked(orv::Switch s) override { return s == orv::Switch::kDeleteNpcs; }
};

// Counts what it is given and keeps none of it.
class DiscardingSink final : public orv::LineSink {
 protected:
  void Drain(const char*, std::size_t) override {}
};

// Characters holding nested containers, loose items, in random serial order.
std::string SyntheticSave(std::size_t bytes) {
  std::string save = "// saved by ORV\r\nTITLE=ORV 0.55\r\nVERSION=0.55\r\nSAVECOUNT=7\r\n";
  std::uint64_t state = 1;
  const auto next = [&state] {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<std::uint32_t>(state >> 33);
  };
  std::uint32_t serial = 0;
  const auto hex = [](std::uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0%08x", v * 2654435761u);
    return std::string(text);
  };
  while (save.size() < bytes) {
    const std::uint32_t owner = serial++;
    save += "[WORLDCHAR 0190]\r\nSERIAL=" + hex(owner) + "\r\nNAME=someone\r\nACCOUNT=a\r\n" +
            "P=1000,1000,0\r\nCOLOR=83ea\r\nFLAGS=00000000\r\n\r\n";
    std::uint32_t container = owner;
    for (int k = 0; k < 40; ++k) {
      const std::uint32_t s = serial++;
      save += "[WORLDITEM 0e75]\r\nSERIAL=" + hex(s) + "\r\nCONT=" + hex(container) +
              "\r\nP=" + std::to_string(next() % 5000) + ",1,0\r\nCOLOR=0455\r\nATTR=020\r\n\r\n";
      if (k % 8 == 0) container = s;
    }
    save += "[WORLDITEM 0a2a]\r\nSERIAL=" + hex(serial++) + "\r\nTYPE=119\r\nCOLOR=0\r\n\r\n";
  }
  return save + "[EOF]\r\n";
}

orv::World& LoadedWorld() {
  static orv::World* world = [] {
    auto* w = new orv::World();
    if (const char* path = std::getenv("ORVANTOR_BENCH_SAVE")) {
      w->SourceLines.LoadFromFile(path);
    } else {
      w->SourceLines.LoadFromBytes(SyntheticSave(std::size_t{64} << 20));
    }
    return w;
  }();
  return *world;
}

void SetBytes(benchmark::State& state, const orv::World& w) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(w.SourceLines.Bytes().size()));
}

void BM_CountLinesAndHeads(benchmark::State& state) {
  orv::World& w = LoadedWorld();
  for (auto _ : state) benchmark::DoNotOptimize(orv::CountLinesAndHeads(w.SourceLines.Bytes()));
  SetBytes(state, w);
}
BENCHMARK(BM_CountLinesAndHeads)->Unit(benchmark::kMillisecond);

// The section reader alone, its turns dropped: on two threads it is what
// the analysis waits for.
void BM_ReadSections(benchmark::State& state) {
  orv::World& w = LoadedWorld();
  for (auto _ : state) {
    orv::ReleaseStores(w);
    orv::SectionReader reader(w);
    orv::Turn turn;
    do {
      reader.Next(turn);
    } while (!orv::EndsAnalysis(turn.kind));
  }
  SetBytes(state, w);
}
BENCHMARK(BM_ReadSections)->Unit(benchmark::kMillisecond);

void BM_Analyse(benchmark::State& state) {
  orv::World& w = LoadedWorld();
  QuietHost host;
  const auto threads = state.range(0) == 1 ? orv::RunThreads::kOne : orv::RunThreads::kTwo;
  for (auto _ : state) {
    orv::ReleaseStores(w);
    orv::AnalyseWorld(w, host, threads);
  }
  SetBytes(state, w);
}
BENCHMARK(BM_Analyse)->Arg(1)->Arg(2)->ArgName("threads")->Unit(benchmark::kMillisecond);

// A host with every pass switched on, both lists given.
class AllPassesHost final : public orv::SilentHost {
 public:
  bool Checked(orv::Switch s) override { return s != orv::Switch::kTurnOffPc; }
  orv::LineList PositionList() override { return {"1,2,3", "4,5,6"}; }
  orv::LineList IllegalList() override { return {"0186b", "01f14"}; }
};

// Every clean-up pass on a freshly analysed world (the analysis is not
// timed), on one thread and with the second.
void BM_CleanUpPasses(benchmark::State& state) {
  orv::World& w = LoadedWorld();
  AllPassesHost host;
  const auto threads = state.range(0) == 1 ? orv::RunThreads::kOne : orv::RunThreads::kTwo;
  for (auto _ : state) {
    state.PauseTiming();
    orv::ReleaseStores(w);
    orv::AnalyseWorld(w, host, orv::RunThreads::kTwo);
    state.ResumeTiming();
    orv::RunCleanUpPasses(w, host, threads);
  }
  SetBytes(state, w);
}
BENCHMARK(BM_CleanUpPasses)->Arg(1)->Arg(2)->ArgName("threads")->Unit(benchmark::kMillisecond);

// Both files of an analysed world without passes: the character file with
// the pumping walk, the world file as its thread makes it.
void BM_WriteFiles(benchmark::State& state) {
  orv::World& w = LoadedWorld();
  QuietHost host;
  orv::ReleaseStores(w);
  orv::AnalyseWorld(w, host, orv::RunThreads::kOne);
  const std::atomic<bool> stop{false};
  for (auto _ : state) {
    DiscardingSink chars, world;
    w.CharLines = &chars;
    orv::WriteHeader(w);
    orv::WriteChars(w, host);
    orv::WriteWorldFile(w, world, "caption", false, stop);
    w.CharLines = nullptr;
    benchmark::DoNotOptimize(chars.ByteCount() + world.ByteCount());
  }
  SetBytes(state, w);
}
BENCHMARK(BM_WriteFiles)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
