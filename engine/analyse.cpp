#include "engine/analyse.h"

#include <atomic>
#include <memory>
#include <vector>

#include "engine/background_thread.h"
#include "engine/change_report.h"
#include "engine/filing.h"
#include "engine/line_rules.h"
#include "engine/section_reader.h"
#include "engine/turn_list.h"

namespace orv {
namespace {

// Where the second stretch begins: the first item or character head at the
// start of a line from the middle of the source on, so that both stretches
// take about as long. 0 when there is none (the source is read whole).
std::size_t SecondStretchBegin(std::string_view bytes) {
  for (std::size_t at = bytes.size() / 2; at < bytes.size();) {
    const std::size_t lf = bytes.find('\n', at);
    if (lf == std::string_view::npos) break;
    const std::string_view next = bytes.substr(lf + 1);
    if (IsItemHead(next) || IsCharHead(next)) return lf + 1;
    at = lf + 1;
  }
  return 0;
}

// Reads the whole source into records and turns: in two stretches on two
// threads when asked, else in one. The second stretch's records join the
// world's once both are read; when the first ended the analysis, the second
// keeps only its lines, which still count for the gauge.
std::vector<Stretch> ReadStretches(World& w, bool two_threads) {
  const std::string_view bytes = w.SourceLines.Bytes();
  const std::size_t split = two_threads ? SecondStretchBegin(bytes) : 0;
  std::vector<Stretch> stretches(split == 0 ? 1 : 2);
  stretches[0].end = split == 0 ? bytes.size() : split;
  if (split == 0) {
    ReadStretch(bytes, RecordStores::Of(w), stretches[0], nullptr);
    return stretches;
  }
  Stretch& first = stretches[0];
  Stretch& second = stretches[1];
  second.begin = split;
  second.end = bytes.size();
  OwnStores own;
  // The second reader gives up once the first has ended the analysis.
  std::atomic<bool> first_ended{false};
  {
    BackgroundThread reading_first;
    const auto read_first = [&] {
      ReadStretch(bytes, RecordStores::Of(w), first, nullptr);
      if (first.how != StretchEnd::kNextStretch) first_ended.store(true, std::memory_order_relaxed);
    };
    if (!reading_first.Start(read_first)) read_first();
    ReadStretch(bytes, own.Stores(), second, &first_ended);
    reading_first.Join();
  }
  if (first.how != StretchEnd::kNextStretch) {
    const std::uint64_t lines = second.lines;
    second = Stretch();
    second.lines = lines;
    second.how = StretchEnd::kAbandoned;
    return stretches;
  }
  TakeRecords(w, own);
  return stretches;
}

}  // namespace

void ExplainLooseItems(World& w) {
  if (w.Notes.loose_explained) return;
  w.Notes.loose_explained = true;
  // Nothing filed before a loose item had the serial it names, so any other
  // section found with it now comes later.
  for (std::size_t k = 0; k < w.Notes.loose_items.size(); ++k) {
    LooseItem& loose = w.Notes.loose_items[k];
    // A copy of full length: GCC 12 takes the word loads of the hash for
    // reads past a FixedText's end.
    const std::string container = ContainerOf(w, w.Items[loose.id]).str();
    const RecordId item = w.ItemTree.Find(container);
    if (w.CharTree.Find(container) != kNone || (item != kNone && item != loose.id)) {
      loose.reason = LooseReason::kLaterInFile;
    } else if (item == loose.id) {
      loose.reason = LooseReason::kSelfContainer;
    } else {
      loose.reason = LooseReason::kNotFound;
    }
    if (w.Report != nullptr)
      w.Report->Note({Change::kLeftLoose, false, loose.id, static_cast<RecordId>(k), kNone});
  }
}

void AnalyseWorld(World& w, RunHost& host, RunThreads threads) {
  w.FlagsEdit = host.Checked(Switch::kDeleteNpcs);
  const bool two_threads = UseSecondThread(w, threads);
  {
    const std::vector<Stretch> stretches = ReadStretches(w, two_threads);
    FileStretches(w, host, stretches, two_threads);
  }
  w.CharsPerPercent = w.CharCount / 100;
  w.UnownedCount = w.ItemCount - w.ContainedCount;
  w.ItemsPerPercent = w.ItemCount / 100;
  w.UnownedPerPercent = w.UnownedCount / 100;
  // A report lists the loose items as the analysis leaves them, before the
  // passes; a check wants them too. Others ask when they need them.
  if (w.Report != nullptr || w.SectionLines.wanted) ExplainLooseItems(w);
}

}  // namespace orv
