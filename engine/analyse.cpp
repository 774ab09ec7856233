#include "engine/analyse.h"

#include <algorithm>
#include <atomic>
#include <iterator>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "engine/background_thread.h"
#include "engine/change_report.h"
#include "engine/filing.h"
#include "engine/run_threads.h"
#include "engine/section_reader.h"
#include "engine/turn_ring.h"
#include "engine/warm_blocks.h"

namespace orv {
namespace {

// Both halves on the calling thread, a handful of turns at a time so that
// the filing still looks ahead.
void AnalyseOnOneThread(World& w, RunHost& host, SectionReader& reader) {
  PrepareFiling(w);
  Filer filer(w, host, reader);
  Turn turns[64];
  for (;;) {
    std::size_t n = 0;
    while (n < std::size(turns)) {
      reader.Next(turns[n]);
      if (EndsAnalysis(turns[n++].kind)) break;
    }
    if (!filer.File(turns, turns + n)) return;
  }
}

// The reader's side of the ring: reads turns into it while there is room,
// until a turn ends the analysis or the filing gives up.
void ReadAhead(SectionReader& reader, TurnRing& ring) {
  std::uint32_t read = 0;
  Wakeups filing(ring.read, ring.wake_every);
  for (;;) {
    std::uint32_t filed = ring.filed.load(std::memory_order_acquire);
    if (read - filed == ring.size) filing.BeforeWaiting(read);
    while (read - filed == ring.size && !ring.stop.load(std::memory_order_acquire)) {
      ring.filed.wait(filed, std::memory_order_acquire);
      filed = ring.filed.load(std::memory_order_acquire);
    }
    if (ring.stop.load(std::memory_order_acquire)) return;
    const std::uint32_t room = std::min(ring.size - (read - filed), TurnRing::kBatch);
    bool over = false;
    for (std::uint32_t k = 0; k < room && !over; ++k) {
      Turn& turn = ring.turns[read % ring.size];
      reader.Next(turn);
      ++read;
      over = EndsAnalysis(turn.kind);
    }
    ring.read.store(read, std::memory_order_release);
    if (over) {
      filing.Now(read);
      return;
    }
    filing.WhenDue(read);
  }
}

// The record chunks made ready by an idle core while the reader fills them:
// one per chunk the announced items and characters need beyond those held,
// from one supply, as both stores take chunks of the same size and only
// the reader takes them. Whatever way the analysis ends, the stores let go
// of the supply before it goes.
class WarmRecordChunks {
 public:
  explicit WarmRecordChunks(World& w) : w_(w) {}
  ~WarmRecordChunks() {
    if (warm_) {
      w_.Items.UseWarmBlocks(nullptr);
      w_.Chars.UseWarmBlocks(nullptr);
    }
  }
  WarmRecordChunks(const WarmRecordChunks&) = delete;
  WarmRecordChunks& operator=(const WarmRecordChunks&) = delete;

  void Start() {
    static_assert(RecordArena<TWorldItem>::kChunkBytes == RecordArena<TWorldChar>::kChunkBytes);
    const std::size_t wanted = Missing(w_.Items, w_.SourceLines.ItemHeadCount()) +
                               Missing(w_.Chars, w_.SourceLines.CharHeadCount());
    if (wanted == 0) return;
    try {
      warm_.emplace(RecordArena<TWorldItem>::kChunkBytes, wanted);
    } catch (const std::bad_alloc&) {
      return;  // no room even for the list: the reader makes every chunk itself
    }
    w_.Items.UseWarmBlocks(&*warm_);
    w_.Chars.UseWarmBlocks(&*warm_);
  }

 private:
  // The chunks `heads` records need beyond those `store` holds.
  template <class T>
  static std::size_t Missing(const RecordArena<T>& store, std::uint64_t heads) {
    const std::size_t wanted =
        RecordArena<T>::ChunksFor(static_cast<std::size_t>(std::min<std::uint64_t>(heads, kNone)));
    const std::size_t held = store.ChunkCount();
    return wanted > held ? wanted - held : 0;
  }

  World& w_;
  std::optional<WarmBlocks> warm_;
};

// The reader on a thread of its own, started before the filing is prepared:
// it reads ahead while this thread counts the lines. Whatever way the filing
// ends (done, cancelled, failed), the reader is stopped and joined before the
// stores are touched again.
//
// The reader is what the analysis waits for. On a 1 GiB save it works all
// the while, 1.2-1.8 s of CPU, and this thread counts the lines for about
// 0.3 s and files for about 0.8 s: timed in a build made for it, the filing
// waited 0.07-0.39 s in all for turns to file (14 runs). Reading the source
// in two parts at once, one on each core, would shorten the analysis by no
// more than half that idle time, so the count and the filing have to get
// cheaper before such a split could pay.
void AnalyseOnTwoThreads(World& w, RunHost& host, SectionReader& reader) {
  TurnRing ring(w.SourceLines.Bytes().size());
  WarmRecordChunks warm_chunks(w);
  struct StoppedReading {
    TurnRing& ring;
    BackgroundThread thread;
    ~StoppedReading() {
      ring.stop.store(true, std::memory_order_release);
      // Move the position the reader may be waiting on, then wake it.
      ring.filed.fetch_add(1, std::memory_order_acq_rel);
      ring.filed.notify_all();
    }
  } reading{ring, {}};
  if (!reading.thread.Start([&] { ReadAhead(reader, ring); })) {
    AnalyseOnOneThread(w, host, reader);  // no thread to be had: the same, slower
    return;
  }

  PrepareFiling(w);
  warm_chunks.Start();
  Filer filer(w, host, reader);
  std::uint32_t filed = 0;
  Wakeups reading_side(ring.filed, ring.wake_every);
  for (;;) {
    std::uint32_t read = ring.read.load(std::memory_order_acquire);
    if (read == filed) reading_side.BeforeWaiting(filed);
    while (read == filed) {
      ring.read.wait(read, std::memory_order_acquire);
      read = ring.read.load(std::memory_order_acquire);
    }
    const std::uint32_t begin = filed % ring.size;
    const std::uint32_t in_reach = std::min(read - filed, ring.size - begin);
    const std::uint32_t n = std::min(in_reach, 2 * TurnRing::kBatch);
    const bool more =
        filer.File(&ring.turns[begin], &ring.turns[begin + n], &ring.turns[begin + in_reach]);
    filed += n;
    if (!more) return;
    ring.filed.store(filed, std::memory_order_release);
    reading_side.WhenDue(filed);
  }
}

}  // namespace

namespace {

// Why the loose item was left loose. Nothing filed before it had the serial
// it names, so any other section found with it now comes later.
LooseReason ReasonOf(const World& w, RecordId id) {
  // A copy of full length: GCC 12 takes the word loads of the hash for
  // reads past a FixedText's end.
  const std::string container = ContainerOf(w, w.Items[id]).str();
  const RecordId item = w.ItemTree.Find(container);
  if (w.CharTree.Find(container) != kNone || (item != kNone && item != id))
    return LooseReason::kLaterInFile;
  if (item == id) return LooseReason::kSelfContainer;
  return LooseReason::kNotFound;
}

}  // namespace

void ExplainLooseItems(World& w, RunThreads threads) {
  if (w.Notes.loose_explained) return;
  w.Notes.loose_explained = true;
  std::vector<LooseItem>& loose = w.Notes.loose_items;
  // Each reason reads the item's section again and looks its container up
  // in both indexes, all of it spread over the source and the tables: about
  // a microsecond each, which two cores halve. A thousand of them already
  // pay for starting the second thread many times over; a 128 MiB world
  // has a few thousand, and the summary waits for them at the very end.
  constexpr std::size_t kTwoThreadsFrom = 1024;
  if (loose.size() >= kTwoThreadsFrom && UseSecondThread(w, threads)) {
    ForEachOnTwoThreads(loose.size(), 256,
                        [&](int, std::size_t k) { loose[k].reason = ReasonOf(w, loose[k].id); });
  } else {
    for (LooseItem& l : loose) l.reason = ReasonOf(w, l.id);
  }
  if (w.Report == nullptr) return;
  for (std::size_t k = 0; k < loose.size(); ++k)
    w.Report->Note({Change::kLeftLoose, false, loose[k].id, static_cast<RecordId>(k), kNone});
}

void AnalyseWorld(World& w, RunHost& host, RunThreads threads) {
  w.FlagsEdit = host.Checked(Switch::kDeleteNpcs);
  SectionReader reader(w);
  if (UseSecondThread(w, threads)) {
    AnalyseOnTwoThreads(w, host, reader);
  } else {
    AnalyseOnOneThread(w, host, reader);
  }
  w.CharsPerPercent = w.CharCount / 100;
  w.UnownedCount = w.ItemCount - w.ContainedCount;
  w.ItemsPerPercent = w.ItemCount / 100;
  w.UnownedPerPercent = w.UnownedCount / 100;
  // A report lists the loose items as the analysis leaves them, before the
  // passes; a check wants them too. Others ask when they need them.
  if (w.Report != nullptr || w.SectionLines.wanted) ExplainLooseItems(w, threads);
}

}  // namespace orv
