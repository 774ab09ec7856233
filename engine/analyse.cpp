#include "engine/analyse.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <system_error>
#include <thread>

#include "engine/change_report.h"
#include "engine/line_rules.h"
#include "engine/prefetch.h"
#include "engine/pump.h"
#include "engine/short_text.h"
#include "engine/warm_blocks.h"
#include "platform/bulk_memory.h"

namespace orv {
namespace {

// One turn of the analysis loop as the section reader found it. The loop
// pumps once per turn, files what the turn read and then sets the gauge.
struct Turn {
  enum class Kind : std::uint8_t {
    kLine,       // a line outside any character or item section
    kChar,       // a character section, read into record `id`
    kItem,       // an item section, read into record `id`
    kEndMarker,  // the "[EOF]" line: pumped, then the analysis ends
    kSourceEnd,  // no line is left: the analysis ends without a pump
    kFailed,     // reading failed (out of memory, too many records)
  };
  Kind kind = Kind::kLine;
  FixedText<10> container;  // an item's "CONT=" value
  RecordId id = kNone;
  // SlotHash of the serial and of the "CONT=" value, worked out by the
  // reader so that the filing can load the index slots well ahead.
  std::uint32_t serial_hash = 0;
  std::uint32_t container_hash = 0;
  std::uint64_t index = 0;  // the line, or the section's last line, for the gauge
};
static_assert(sizeof(Turn) == 32, "the ring holds up to a million turns");

bool EndsAnalysis(Turn::Kind kind) {
  return kind == Turn::Kind::kEndMarker || kind == Turn::Kind::kSourceEnd ||
         kind == Turn::Kind::kFailed;
}

// The head line: its normalised id, at most 10 characters. The lines
// themselves stay in the source; the record keeps the head's byte offset.
template <class Record>
std::string_view ReadHead(Record& r, const SourceCursor& cursor, char (&scratch)[10]) {
  r.State = LinesState::kSource;
  r.Lines = cursor.lines.Offset();
  return BaseIdOf(NormaliseHead(StripLeading(cursor.lines.Line())), scratch);
}

// Walks the body lines after the head; calls fn(stripped) for every line that
// is not a comment. Leaves the cursor on the line that ends the section.
template <class Fn>
void ReadBody(SourceCursor& cursor, Fn&& fn) {
  for (cursor.Advance(); cursor.HasLine(); cursor.Advance()) {
    const std::string_view s = StripLeading(cursor.lines.Line());
    if (IsSectionStart(s)) return;
    if (s.size() < 2 || IsComment(s)) continue;  // every key tested is longer
    fn(s);
  }
}

// Reads the character section whose head is the cursor's line into a new
// record, which the filing then links and indexes. Leaves the cursor on the
// line that ends the section (or past the end).
void ReadCharSection(World& w, SourceCursor& at, Turn& turn) {
  SourceCursor cursor = at;  // kept in registers, as for items
  const RecordId id = w.Chars.Make();
  TWorldChar& c = w.Chars[id];
  char scratch[10];
  c.BaseId.Assign(ReadHead(c, cursor, scratch));
  c.ItemsFrom = static_cast<RecordId>(w.Items.Size());
  ReadBody(cursor, [&](std::string_view s) {
    switch (s[0]) {
      case 'S':
        if (StartsWith(s, "SERIAL=")) c.Serial.Assign(ValueCut(s, 8, 10));
        break;
      case 'A':
        if (StartsWith(s, "ACCOUNT=")) c.IsNpc = false;
        break;
      case 'N':
        if (StartsWith(s, "NAME=")) c.Name.Assign(ValueCut(s, 6, 30));
        break;
      case 'P':
        // No edit touches a "P=" line, so the kept line begins so too.
        if (s[1] == '=') c.HasPositionLine = true;
        break;
      default:
        break;
    }
  });
  turn.kind = Turn::Kind::kChar;
  turn.id = id;
  turn.serial_hash = Tree<TWorldChar>::SlotHash(c.Serial.view());
  turn.index = cursor.index - 1;
  at = cursor;
}

// The kinds of the items read last. A big world has thousands of (id, type)
// pairs, but most of its items share a few hundred of them, so looking the
// pair's text up here first saves interning both texts and the pair for
// about four items in five.
class KindMemo {
 public:
  ItemKinds::Ref Kind(World& w, std::string_view base_id, std::string_view type) {
    // The id has at most 10 bytes and the type at most 8, so each is two
    // words and its length.
    const Key key{WordsOfShortText(base_id), WordsOfShortText(type),
                  base_id.size() | type.size() << 8};
    const std::size_t slot = static_cast<std::size_t>(
        ((key.id.a * 0x9e3779b97f4a7c15ull) ^ (key.id.b * 0xc2b2ae3d27d4eb4full) ^
         (key.type.a * 0x165667b19e3779f9ull) ^ (key.type.b + key.sizes)) >> 56);
    Entry& e = entries_[slot];
    if (e.filled && e.key == key) return e.kind;
    const ItemKinds::Ref kind = w.ItemKindPool.Intern(w.ItemTexts.Intern(base_id), w.ItemTexts.Intern(type));
    e = Entry{key, kind, true};
    return kind;
  }

 private:
  struct Key {
    ShortTextWords id;
    ShortTextWords type;
    std::uint64_t sizes = 0;
    friend bool operator==(const Key&, const Key&) = default;
  };
  struct Entry {
    Key key;
    ItemKinds::Ref kind;
    bool filled;
  };
  Entry entries_[256] = {};
};

// The same for an item section. "LINK=" is read again from the section when
// a pass needs it. On the way it checks whether the writers may copy the
// section as it stands (see VerbatimSection), by the very rules with which
// they would make it line by line.
void ReadItemSection(World& w, SourceCursor& at, Turn& turn, KindMemo& kinds) {
  // A copy the compiler may keep in registers: the record stores below
  // could alias the caller's cursor, which would then be stored and loaded
  // again for every line.
  SourceCursor cursor = at;
  const RecordId id = w.Items.Make();
  TWorldItem& item = w.Items[id];
  item.State = LinesState::kSource;
  item.Lines = cursor.lines.Offset();
  const std::uint64_t head_index = cursor.index;
  PrefetchLine(cursor.lines.Line().data() + 1024);
  PrefetchLine(cursor.lines.Line().data() + 1088);
  char scratch[10];
  std::string_view base_id;
  bool verbatim;
  bool head_zero;
  {
    const std::string_view raw = cursor.lines.Line();
    const std::string_view s = StripLeading(raw);
    const KeptLine head = NormaliseHead(s);
    base_id = BaseIdOf(head, scratch);
    head_zero = head.zero;
    verbatim = s.size() == raw.size() && cursor.lines.EndsWithCrLf();
  }
  std::string_view type;
  std::size_t color_zeros = 0;
  turn.container.Clear();
  for (cursor.Advance(); cursor.HasLine(); cursor.Advance()) {
    const std::string_view raw = cursor.lines.Line();
    const std::string_view s = StripLeading(raw);
    if (IsSectionStart(s)) break;
    if (s.size() < 2) {  // every key tested is longer
      verbatim = verbatim && s.size() == raw.size() && cursor.lines.EndsWithCrLf();
      continue;
    }
    if (IsComment(s)) {
      verbatim = false;
      continue;
    }
    verbatim = verbatim && s.size() == raw.size() && cursor.lines.EndsWithCrLf();
    color_zeros += EditBodyLine(s, false, false).zero ? 1 : 0;
    switch (s[0]) {
      case 'T':
        if (StartsWith(s, "TYPE=")) type = ValueCut(s, 6, 8);
        break;
      case 'S':
        if (StartsWith(s, "SERIAL=")) item.Serial.Assign(ValueCut(s, 8, 10));
        break;
      case 'C':
        if (StartsWith(s, "CONT=")) turn.container.Assign(ValueCut(s, 6, 10));
        break;
      default:
        break;
    }
  }
  if (verbatim && color_zeros <= 1) {
    MarkVerbatim(item, cursor.lines.Offset() - SectionOffset(item), cursor.index - head_index,
                 color_zeros == 1, head_zero);
  }
  item.Kind = kinds.Kind(w, base_id, type);
  turn.kind = Turn::Kind::kItem;
  turn.id = id;
  turn.serial_hash = Tree<TWorldItem>::SlotHash(item.Serial.view());
  turn.container_hash = Tree<TWorldItem>::SlotHash(turn.container.view());
  turn.index = cursor.index - 1;
  at = cursor;
}

// The reading half of the analysis: walks the source turn by turn and makes
// the records. It touches only the source, the record arenas and the text
// pool, never the indexes or the lists, so it may run on its own thread.
class SectionReader {
 public:
  explicit SectionReader(World& w) : w_(w), cursor_{w.SourceLines.Lines(), 0} {}

  // Reads the next turn into `turn`. After a turn that ends the analysis
  // there is no next one.
  void Next(Turn& turn) noexcept {
    try {
      Read(turn);
    } catch (...) {
      failure_ = std::current_exception();
      turn.kind = Turn::Kind::kFailed;
    }
  }

  // Why reading failed; only to be asked once a kFailed turn was seen.
  std::exception_ptr Failure() const { return failure_; }

 private:
  void Read(Turn& turn) {
    if (!cursor_.HasLine()) {
      turn.kind = Turn::Kind::kSourceEnd;
      return;
    }
    const std::string_view s = StripLeading(cursor_.lines.Line());
    if (IsEndMarker(s)) {
      turn.kind = Turn::Kind::kEndMarker;
      w_.Notes.end_marker_offset = cursor_.lines.Offset();
    } else if (IsCharHead(s)) {
      ReadCharSection(w_, cursor_, turn);
    } else if (IsItemHead(s)) {
      ReadItemSection(w_, cursor_, turn, kinds_);
    } else {
      turn.kind = Turn::Kind::kLine;
      turn.index = cursor_.index;
      cursor_.Advance();
    }
  }

  World& w_;
  SourceCursor cursor_;
  KindMemo kinds_;
  std::exception_ptr failure_;
};

// The filing half: takes the turns in file order, pumps, links and indexes
// the records and sets the gauge. The index look-ups miss the caches on a
// big world, so each turn's slots, and then the container's record, are
// loaded a few turns before they are needed.
class Filer {
 public:
  Filer(World& w, RunHost& host, const SectionReader& reader)
      : w_(w), host_(host), reader_(reader),
        lines_per_percent_(w.SourceLines.LineCount() / 100),
        note_lines_((w.Report != nullptr || w.SectionLines.wanted) && w.SourceLines.LineCount() <= 0xffffffffu) {
    w_.SectionLines.noted = note_lines_;
    if (note_lines_) {
      w_.SectionLines.items.reserve(static_cast<std::size_t>(
          std::min<std::uint64_t>(w.SourceLines.ItemHeadCount(), std::uint64_t{1} << 31)));
    }
  }

  // Files the turns [first, last) in order. Returns false once a turn ended
  // the analysis; the turns after it are not looked at.
  bool File(const Turn* first, const Turn* last) {
    // Decided once for every batch: a run without a report notes no lines.
    return note_lines_ ? FileTurns<true>(first, last) : FileTurns<false>(first, last);
  }

 private:
  static constexpr std::ptrdiff_t kSlotsAhead = 12;
  static constexpr std::ptrdiff_t kRecordsAhead = 6;

  template <bool kNoteLines>
  bool FileTurns(const Turn* first, const Turn* last) {
    for (const Turn* t = first; t != last; ++t) {
      if (last - t > kSlotsAhead) PrefetchSlots(t[kSlotsAhead]);
      if (last - t > kRecordsAhead) PrefetchHolder(t[kRecordsAhead]);
      if (t->kind == Turn::Kind::kSourceEnd) return false;
      pump_.Step(host_);
      switch (t->kind) {
        case Turn::Kind::kEndMarker:
          if constexpr (kNoteLines) w_.SectionLines.end_marker = next_line_ + 1;
          return false;
        case Turn::Kind::kFailed:
          std::rethrow_exception(reader_.Failure());
        case Turn::Kind::kChar:
          FileChar(*t);
          break;
        case Turn::Kind::kItem:
          FileItem(*t);
          break;
        default:
          break;
      }
      if constexpr (kNoteLines) NoteHeadLine(*t);
      if (lines_per_percent_ != 0) host_.SetProgress(static_cast<int>(t->index / lines_per_percent_));
    }
    return true;
  }

  // Every line belongs to one turn, in order, so a section's head is the
  // line after the last one of the turn before.
  void NoteHeadLine(const Turn& t) {
    const auto head = static_cast<std::uint32_t>(next_line_ + 1);
    if (t.kind == Turn::Kind::kChar) w_.SectionLines.chars.push_back(head);
    if (t.kind == Turn::Kind::kItem) w_.SectionLines.items.push_back(head);
    next_line_ = t.index + 1;
  }

  void PrefetchSlots(const Turn& t) const {
    if (t.kind == Turn::Kind::kItem) {
      // The record itself was just written by the reader's core.
      PrefetchLine(&w_.Items[t.id]);
      w_.ItemTree.Prefetch(t.serial_hash);
      w_.CharTree.Prefetch(t.container_hash);
      w_.ItemTree.Prefetch(t.container_hash);
    } else if (t.kind == Turn::Kind::kChar) {
      w_.CharTree.Prefetch(t.serial_hash);
    }
  }

  void PrefetchHolder(const Turn& t) const {
    if (t.kind != Turn::Kind::kItem) return;
    w_.CharTree.PrefetchRecord(t.container_hash);
    w_.ItemTree.PrefetchRecord(t.container_hash);
  }

  void FileChar(const Turn& t) {
    TWorldChar& c = w_.Chars[t.id];
    if (w_.FirstChar == kNone) {
      w_.FirstChar = t.id;
    } else {
      w_.Chars[w_.LastChar].Next = t.id;
    }
    w_.LastChar = t.id;
    ++w_.CharCount;
    if (!c.IsNpc) ++w_.PlayerCount;
    if (!w_.CharTree.Insert(c.Serial.view(), t.serial_hash, t.id)) w_.Notes.duplicate_chars.push_back(t.id);
  }

  void FileItem(const Turn& t) {
    TWorldItem& item = w_.Items[t.id];
    item.Next = w_.UnownedItems;
    w_.UnownedItems = t.id;
    ++w_.ItemCount;
    w_.LastContainer = t.container;
    if (!w_.ItemTree.Insert(item.Serial.view(), t.serial_hash, t.id)) w_.Notes.duplicate_items.push_back(t.id);
    if (AttachToContainer(w_, t.container_hash)) {
      ++w_.ContainedCount;
    } else if (!t.container.empty()) {
      w_.Notes.loose_items.push_back({t.id, LooseReason::kNotFound});
    }
  }

  World& w_;
  RunHost& host_;
  const SectionReader& reader_;
  const std::uint64_t lines_per_percent_;
  const bool note_lines_;
  std::uint64_t next_line_ = 0;  // the index of the first line of the next turn
  Pump pump_;
};

// Counts the source's lines if the load left that to the analysis, then
// sizes the item index for the items the save announces: it then does not
// have to rehash every key into fresh memory as it fills. Odd saves
// (indented heads, CR-only line ends) only make it grow as usual.
void PrepareFiling(World& w) {
  if (!w.SourceLines.Counted()) w.SourceLines.CountOnThisThread();
  try {
    w.ItemTree.Reserve(static_cast<std::size_t>(
        std::min<std::uint64_t>(w.SourceLines.ItemHeadCount(), std::uint64_t{1} << 31)));
  } catch (const std::exception&) {
    // Too many heads to make room for at once (many may lie after "[EOF]"):
    // the index grows as it fills, and runs out of memory only if it must.
  }
}

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

// The turns on their way from the reader's thread to the filing: a ring
// with one writer and one reader. Positions count turns modulo 2^32 and are
// handed over in batches, so the two threads seldom touch the same line.
// The reader starts while the filing thread still counts the source's
// lines, and gets about a fifth of the source ahead meanwhile; the ring
// holds a turn for every 256 bytes of the source, more than that lead on
// saves of a few hundred MiB, so that the reader seldom stops for the
// filing to catch up (at most a million turns: on larger saves the memory
// counts for more). Only the part the reader gets ahead by is ever touched.
struct TurnRing {
  static constexpr std::uint32_t kBatch = 128;
  explicit TurnRing(std::size_t source_bytes)
      : size(Size(source_bytes)),
        wake_every(std::min<std::uint32_t>(4096, size / 2)),
        turns(static_cast<Turn*>(platform::AllocateBulk(size * sizeof(Turn)))) {}
  ~TurnRing() { platform::FreeBulk(turns, size * sizeof(Turn)); }
  TurnRing(const TurnRing&) = delete;
  TurnRing& operator=(const TurnRing&) = delete;

  // A power of two, so that positions modulo 2^32 wrap with the ring. A
  // world has a section in about every hundred bytes.
  static std::uint32_t Size(std::size_t source_bytes) {
    const std::size_t wanted = std::clamp<std::size_t>(source_bytes / 256, 1u << 13, 1u << 20);
    return static_cast<std::uint32_t>(std::bit_ceil(wanted));
  }

  const std::uint32_t size;
  // Each side wakes the other only once per this many turns, and always
  // before it waits itself, so that both never sleep at once: a wake-up is a
  // system call, and a filing that keeps up with the reader would otherwise
  // be woken for every batch.
  const std::uint32_t wake_every;
  Turn* const turns;  // zeroed memory: a Turn's bytes are all it is
  alignas(64) std::atomic<std::uint32_t> read{0};   // turns handed over by the reader
  alignas(64) std::atomic<std::uint32_t> filed{0};  // turns the filing is done with
  std::atomic<bool> stop{false};                    // the filing gave up
};

// One side's wake-ups of the other, which waits on `position`.
class Wakeups {
 public:
  Wakeups(std::atomic<std::uint32_t>& position, std::uint32_t every)
      : position_(position), every_(every) {}
  // Wakes the other side for the turns up to `at` (already stored).
  void Now(std::uint32_t at) {
    position_.notify_one();
    told_ = at;
  }
  // The same when `every` turns went by untold.
  void WhenDue(std::uint32_t at) {
    if (at - told_ >= every_) Now(at);
  }
  // The same before this side waits, when any turn is untold.
  void BeforeWaiting(std::uint32_t at) {
    if (at != told_) Now(at);
  }

 private:
  std::atomic<std::uint32_t>& position_;
  const std::uint32_t every_;
  std::uint32_t told_ = 0;
};

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

// The item records' chunks made ready by an idle core while the reader
// fills them, one per chunk the announced items need beyond those held.
// Whatever way the analysis ends, the arena lets go of the supply before
// it goes.
class WarmItemChunks {
 public:
  explicit WarmItemChunks(World& w) : w_(w) {}
  ~WarmItemChunks() {
    if (warm_) w_.Items.UseWarmBlocks(nullptr);
  }
  WarmItemChunks(const WarmItemChunks&) = delete;
  WarmItemChunks& operator=(const WarmItemChunks&) = delete;

  void Start() {
    const std::size_t wanted = RecordArena<TWorldItem>::ChunksFor(static_cast<std::size_t>(
        std::min<std::uint64_t>(w_.SourceLines.ItemHeadCount(), kNone)));
    const std::size_t held = w_.Items.ChunkCount();
    if (wanted <= held) return;
    try {
      warm_.emplace(RecordArena<TWorldItem>::kChunkBytes, wanted - held);
    } catch (const std::bad_alloc&) {
      return;  // no room even for the list: the reader makes every chunk itself
    }
    w_.Items.UseWarmBlocks(&*warm_);
  }

 private:
  World& w_;
  std::optional<WarmBlocks> warm_;
};

// The reader on a thread of its own, started before the filing is prepared:
// it reads ahead while this thread counts the lines. Whatever way the filing
// ends (done, cancelled, failed), the reader is stopped and joined before the
// stores are touched again.
void AnalyseOnTwoThreads(World& w, RunHost& host, SectionReader& reader) {
  TurnRing ring(w.SourceLines.Bytes().size());
  WarmItemChunks warm_chunks(w);
  std::thread reading;
  try {
    reading = std::thread([&] { ReadAhead(reader, ring); });
  } catch (const std::system_error&) {
    AnalyseOnOneThread(w, host, reader);  // no thread to be had: the same, slower
    return;
  }
  struct Join {
    TurnRing& ring;
    std::thread& reading;
    ~Join() {
      ring.stop.store(true, std::memory_order_release);
      // Move the position the reader may be waiting on, then wake it.
      ring.filed.fetch_add(1, std::memory_order_acq_rel);
      ring.filed.notify_all();
      reading.join();
    }
  } join{ring, reading};

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
    const std::uint32_t n = std::min({read - filed, ring.size - begin, 2 * TurnRing::kBatch});
    const bool more = filer.File(&ring.turns[begin], &ring.turns[begin + n]);
    filed += n;
    if (!more) return;
    ring.filed.store(filed, std::memory_order_release);
    reading_side.WhenDue(filed);
  }
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
  if (w.Report != nullptr || w.SectionLines.wanted) ExplainLooseItems(w);
}

}  // namespace orv
