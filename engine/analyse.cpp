#include "engine/analyse.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>

#include "engine/background_thread.h"
#include "engine/change_report.h"
#include "engine/line_rules.h"
#include "engine/prefetch.h"
#include "engine/pump.h"
#include "engine/section_scan.h"
#include "engine/short_text.h"
#include "engine/turn_list.h"

namespace orv {
namespace {

// Where a reader puts the records it makes: the world's own stores, or, for
// a stretch read beside the first one, stores of its own whose records are
// moved into the world's once both stretches are read.
struct RecordStores {
  RecordArena<TWorldChar>& chars;
  RecordArena<TWorldItem>& items;
  TextPool& texts;
  ItemKinds& kinds;
};

struct OwnStores {
  RecordArena<TWorldChar> chars;
  RecordArena<TWorldItem> items;
  TextPool texts;
  ItemKinds kinds;
  RecordStores Stores() { return {chars, items, texts, kinds}; }
};

// The kinds of the items read last. A big world has thousands of (id, type)
// pairs, but most of its items share a few hundred of them, so looking the
// pair's text up here first saves interning both texts and the pair for
// about four items in five.
class KindMemo {
 public:
  ItemKinds::Ref Kind(RecordStores& stores, std::string_view base_id, std::string_view type) {
    // The id has at most 10 bytes and the type at most 8, so each is two
    // words and its length.
    const Key key{WordsOfShortText(base_id), WordsOfShortText(type),
                  base_id.size() | type.size() << 8};
    const std::size_t slot = static_cast<std::size_t>(
        ((key.id.a * 0x9e3779b97f4a7c15ull) ^ (key.id.b * 0xc2b2ae3d27d4eb4full) ^
         (key.type.a * 0x165667b19e3779f9ull) ^ (key.type.b + key.sizes)) >> 56);
    Entry& e = entries_[slot];
    if (e.filled && e.key == key) return e.kind;
    const ItemKinds::Ref kind = stores.kinds.Intern(stores.texts.Intern(base_id), stores.texts.Intern(type));
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

// How the reading of a stretch ended.
enum class StretchEnd : std::uint8_t {
  kNextStretch,  // at the head that begins the next stretch
  kEndMarker,    // at "[EOF]": its turn is pumped, then the analysis ends
  kSourceEnd,    // no line is left: the analysis ends without a pump
  kFailed,       // reading failed (out of memory, too many records): pumped, then thrown
  kAbandoned,    // given up: a stretch before it ended the analysis
};

// One stretch of the source as read: [begin, end) in bytes, `begin` the
// start of a line that a reading of the whole source takes at the top
// level (one that begins with "["), or 0. Two are read at once, each by
// its own thread, so each has cache lines of its own.
struct alignas(64) Stretch {
  std::size_t begin = 0;
  std::size_t end = 0;
  TurnList turns;
  StretchEnd how = StretchEnd::kNextStretch;
  std::exception_ptr failure;
  // Every line of the stretch, those after an "[EOF]" included: the
  // analysis sets the gauge against the lines of the whole source.
  std::uint64_t lines = 0;
  std::uint64_t end_marker_offset = AnalysisNotes::kNoOffset;
  // Serials of the records made, by index part: each part's table is sized
  // for its keys before the filing.
  std::size_t char_serials[2] = {0, 0};
  std::size_t item_serials[2] = {0, 0};
  // The stores of a stretch read beside the first; none for the first.
  std::unique_ptr<OwnStores> own;
};

// The index part of a key, as both trees file it.
int PartOf(std::string_view key) { return Tree<TWorldItem>::PartOf(Tree<TWorldItem>::SlotHash(key)); }

// Reads one stretch turn by turn, making the records and noting the turns.
// It touches only the source, its record stores and its stretch, so two
// readers may work on two stretches at once.
class SectionReader {
 public:
  SectionReader(std::string_view bytes, RecordStores stores, Stretch& stretch,
                const std::atomic<bool>* give_up)
      : bytes_(bytes), stores_(stores), stretch_(stretch), give_up_(give_up),
        cursor_{LineCursor(bytes, stretch.begin), 0} {}

  // Reads up to the end of the stretch, an "[EOF]", a failure, or until
  // `give_up` is set. Never throws: a failure is kept in the stretch.
  void ReadStretch() noexcept {
    std::size_t turn_begin = stretch_.begin;
    std::uint64_t turn_first_line = 0;
    try {
      for (unsigned until_check = 0;; ++until_check) {
        turn_begin = cursor_.lines.Offset();
        turn_first_line = cursor_.index;
        if (turn_begin >= stretch_.end) {
          stretch_.how = stretch_.end == bytes_.size() ? StretchEnd::kSourceEnd : StretchEnd::kNextStretch;
          stretch_.lines = cursor_.index;
          return;
        }
        if (give_up_ != nullptr && until_check % 4096 == 0 && give_up_->load(std::memory_order_relaxed)) {
          stretch_.how = StretchEnd::kAbandoned;
          break;
        }
        if (!ReadTurn()) {
          stretch_.how = StretchEnd::kEndMarker;
          stretch_.end_marker_offset = turn_begin;
          break;
        }
      }
    } catch (...) {
      stretch_.failure = std::current_exception();
      stretch_.how = StretchEnd::kFailed;
    }
    // The lines from the turn that ended the reading on still count.
    stretch_.lines = turn_first_line +
                     CountLinesAndItemHeadsOnThisThread(bytes_.substr(turn_begin, stretch_.end - turn_begin)).lines;
  }

 private:
  // Reads the turn at the cursor; false at "[EOF]", which is left unread.
  bool ReadTurn() {
    const std::string_view raw = cursor_.lines.Line();
    const std::string_view s = StripLeading(raw);
    if (IsEndMarker(s)) return false;
    if (IsCharHead(s)) {
      ReadCharSection(raw.size() == s.size());
    } else if (IsItemHead(s)) {
      ReadItemSection(raw.size() == s.size());
    } else {
      TurnNote& t = stretch_.turns.Add();
      t.lines = 1;
      t.flags = TurnNote::kLine;
      t.container_size = 0;
      cursor_.Advance();
    }
    return true;
  }

  // Notes a section's turn: `lines` from its head on. Leaves the cursor on
  // the line after the section's last.
  TurnNote& NoteSection(TurnNote::Kind kind, std::uint64_t lines) {
    TurnNote& t = stretch_.turns.Add();
    t.flags = kind;
    t.container_size = 0;
    t.lines = static_cast<std::uint32_t>(lines);
    if (lines > 0xffffffffu) stretch_.turns.AddLongSpan(lines);
    return t;
  }

  // Moves the cursor from a section's head to the line that ends it, when
  // a scan found where that is.
  void SkipScanned(const SectionExtent& extent) {
    cursor_ = SourceCursor{LineCursor(bytes_, cursor_.lines.Offset() + extent.bytes), cursor_.index + extent.lines};
  }

  // Walks the body lines after the head; calls fn(raw, stripped) for every
  // line, comments included. Leaves the cursor on the line that ends the
  // section (or past the end).
  template <class Fn>
  void ReadBody(Fn&& fn) {
    for (cursor_.Advance(); cursor_.HasLine(); cursor_.Advance()) {
      const std::string_view raw = cursor_.lines.Line();
      const std::string_view s = StripLeading(raw);
      if (IsSectionStart(s)) return;
      fn(raw, s);
    }
  }

  void ReadCharSection(bool unindented) {
    const RecordId id = stores_.chars.Make();
    TWorldChar& c = stores_.chars[id];
    c.State = LinesState::kSource;
    c.Lines = cursor_.lines.Offset();
    c.ItemsFrom = static_cast<RecordId>(stores_.items.Size());
    char scratch[10];
    c.BaseId.Assign(BaseIdOf(NormaliseHead(StripLeading(cursor_.lines.Line())), scratch));
    const std::uint64_t head_index = cursor_.index;
    CharScan scan;
    if (unindented && ScanCharSection(cursor_.lines.Line().data(), bytes_.data() + bytes_.size(), scan)) {
      c.Serial.Assign(scan.serial);
      c.Name.Assign(scan.name);
      c.IsNpc = !scan.account;
      c.HasPositionLine = scan.position_line;
      SkipScanned(scan.extent);
    } else {
      ReadBody([&](std::string_view, std::string_view s) {
        if (s.size() < 2 || IsComment(s)) return;  // every key tested is longer
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
    }
    TurnNote& t = NoteSection(TurnNote::kChar, cursor_.index - head_index);
    const int part = PartOf(c.Serial.view());
    if (part != 0) t.flags |= TurnNote::kSerialPartBit;
    ++stretch_.char_serials[part];
  }

  // The same for an item section. "LINK=" is read again from the section
  // when a pass needs it. On the way it checks whether the writers may copy
  // the section as it stands (see VerbatimSection), by the very rules with
  // which they would make it line by line.
  void ReadItemSection(bool unindented) {
    const RecordId id = stores_.items.Make();
    TWorldItem& item = stores_.items[id];
    item.State = LinesState::kSource;
    item.Lines = cursor_.lines.Offset();
    const std::uint64_t head_index = cursor_.index;
    const std::string_view raw_head = cursor_.lines.Line();
    const KeptLine head = NormaliseHead(StripLeading(raw_head));
    char scratch[10];
    const std::string_view base_id = BaseIdOf(head, scratch);
    std::string_view type;
    std::string_view container;
    FixedText<10> container_copy;
    ItemScan scan;
    if (unindented && ScanItemSection(raw_head.data(), bytes_.data() + bytes_.size(), scan)) {
      item.Serial.Assign(scan.serial);
      type = scan.type;
      container = scan.container;
      if (!scan.comment && scan.color_zeros <= 1) {
        MarkVerbatim(item, scan.extent.bytes, scan.extent.lines, scan.color_zeros == 1, head.zero);
      }
      SkipScanned(scan.extent);
    } else {
      bool verbatim = unindented && cursor_.lines.EndsWithCrLf();
      std::size_t color_zeros = 0;
      ReadBody([&](std::string_view raw, std::string_view s) {
        if (s.size() < 2) {  // every key tested is longer
          verbatim = verbatim && s.size() == raw.size() && cursor_.lines.EndsWithCrLf();
          return;
        }
        if (IsComment(s)) {
          verbatim = false;
          return;
        }
        verbatim = verbatim && s.size() == raw.size() && cursor_.lines.EndsWithCrLf();
        color_zeros += EditBodyLine(s, false, false).zero ? 1 : 0;
        switch (s[0]) {
          case 'T':
            if (StartsWith(s, "TYPE=")) type = ValueCut(s, 6, 8);
            break;
          case 'S':
            if (StartsWith(s, "SERIAL=")) item.Serial.Assign(ValueCut(s, 8, 10));
            break;
          case 'C':
            if (StartsWith(s, "CONT=")) container_copy.Assign(ValueCut(s, 6, 10));
            break;
          default:
            break;
        }
      });
      container = container_copy.view();
      if (verbatim && color_zeros <= 1) {
        MarkVerbatim(item, cursor_.lines.Offset() - SectionOffset(item), cursor_.index - head_index,
                     color_zeros == 1, head.zero);
      }
    }
    item.Kind = kinds_.Kind(stores_, base_id, type);
    TurnNote& t = NoteSection(TurnNote::kItem, cursor_.index - head_index);
    const int serial_part = PartOf(item.Serial.view());
    if (serial_part != 0) t.flags |= TurnNote::kSerialPartBit;
    if (PartOf(container) != 0) t.flags |= TurnNote::kContainerPartBit;
    t.container_size = static_cast<std::uint8_t>(container.size());
    if (!container.empty()) std::memcpy(t.container, container.data(), container.size());
    ++stretch_.item_serials[serial_part];
  }

  const std::string_view bytes_;
  RecordStores stores_;
  Stretch& stretch_;
  const std::atomic<bool>* const give_up_;
  SourceCursor cursor_;
  KindMemo kinds_;
};

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

// Moves the records of a stretch read beside the first into the world's
// stores, behind those of the first, with its (id, type) pairs interned
// anew: the ids then run in file order as if one reader had made them all.
void TakeRecords(World& w, OwnStores& own) {
  std::vector<ItemKinds::Ref> kinds(own.kinds.Size());
  for (std::size_t k = 0; k < kinds.size(); ++k) {
    const ItemKinds::Kind& kind = own.kinds[static_cast<ItemKinds::Ref>(k)];
    kinds[k] = w.ItemKindPool.Intern(w.ItemTexts.Intern(own.texts.Text(kind.base_id)),
                                     w.ItemTexts.Intern(own.texts.Text(kind.type)));
  }
  const auto items_before = static_cast<RecordId>(w.Items.Size());
  w.Chars.TakeAll(own.chars, [items_before](TWorldChar& c) { c.ItemsFrom += items_before; });
  w.Items.TakeAll(own.items, [&kinds](TWorldItem& item) { item.Kind = kinds[item.Kind]; });
}

// Reads the whole source into records and turns: in two stretches on two
// threads when asked, else in one. The stretches after one that ends the
// analysis are dropped.
std::vector<Stretch> ReadStretches(World& w, bool two_threads) {
  const std::string_view bytes = w.SourceLines.Bytes();
  const RecordStores world_stores{w.Chars, w.Items, w.ItemTexts, w.ItemKindPool};
  const std::size_t split = two_threads ? SecondStretchBegin(bytes) : 0;
  std::vector<Stretch> stretches(split == 0 ? 1 : 2);
  stretches[0].end = split == 0 ? bytes.size() : split;
  if (split == 0) {
    SectionReader(bytes, world_stores, stretches[0], nullptr).ReadStretch();
    return stretches;
  }
  Stretch& first = stretches[0];
  Stretch& second = stretches[1];
  second.begin = split;
  second.end = bytes.size();
  second.own = std::make_unique<OwnStores>();
  // The second reader gives up once the first has ended the analysis.
  std::atomic<bool> first_ended{false};
  {
    BackgroundThread reading_first;
    const auto read_first = [&] {
      SectionReader(bytes, world_stores, first, nullptr).ReadStretch();
      if (first.how != StretchEnd::kNextStretch) first_ended.store(true, std::memory_order_relaxed);
    };
    if (!reading_first.Start(read_first)) read_first();
    SectionReader(bytes, second.own->Stores(), second, &first_ended).ReadStretch();
    reading_first.Join();
  }
  if (first.how != StretchEnd::kNextStretch) {
    // Its records are never filed; its lines still count for the gauge.
    second.turns = TurnList();
    second.own.reset();
    second.char_serials[0] = second.char_serials[1] = 0;
    second.item_serials[0] = second.item_serials[1] = 0;
    return stretches;
  }
  TakeRecords(w, *second.own);
  second.own.reset();
  return stretches;
}

// The filing of the keys of some index parts: takes the turns in file order
// and files each record whose serial falls in them, and hangs each item
// whose "CONT=" value does. One such filer per part may work on a thread
// of its own: the records, lists and index slots each one changes are its
// own (an item's Next belongs to its container's part, a holder's list to
// its serial's). Each look-up is prepared some turns ahead, since the index
// slots and the holders miss the caches on a big world. Each filer has
// cache lines of its own: they change with every turn.
class alignas(64) PartFiler {
 public:
  PartFiler(World& w, unsigned parts) : w_(w), parts_(parts) {}

  // Files the turns [from, to) of `turns`; the records are the next ones
  // of their kinds after those of the turns filed before. Looks ahead into
  // the rest of `turns`.
  void File(const TurnList& turns, std::size_t from, std::size_t to) {
    if (&turns != ahead_list_) {
      ahead_list_ = &turns;
      ahead_ = Cursor{from, next_.item, next_.chr};
      loaded_ = ahead_;
    }
    const std::size_t n = turns.Size();
    for (std::size_t k = from; k < to; ++k) {
      while (ahead_.turn < n && ahead_.turn < k + kPrepareAhead) Prepare(turns[ahead_.turn], ahead_);
      while (loaded_.turn < ahead_.turn && loaded_.turn < k + kLoadAhead) Load(turns[loaded_.turn], loaded_);
      File(turns[k], k);
    }
  }

  // What the filing found, for the world once every part is done.
  RecordId unowned = kNone;  // newest first
  std::int64_t contained = 0;
  std::vector<LooseItem> loose_items;     // in file order
  std::vector<RecordId> duplicate_chars;  // in file order
  std::vector<RecordId> duplicate_items;

 private:
  static constexpr std::size_t kPrepareAhead = 48;
  static constexpr std::size_t kLoadAhead = 24;
  static constexpr std::size_t kRing = 64;

  struct Cursor {
    std::size_t turn = 0;
    RecordId item = 0;
    RecordId chr = 0;
  };
  struct Hashes {
    std::uint32_t serial;
    std::uint32_t container;
  };

  bool Mine(int part) const { return (parts_ >> part & 1) != 0; }

  // Far ahead: the records whose serials will be read, the look-ups of the
  // "CONT=" values.
  void Prepare(const TurnNote& t, Cursor& at) {
    Hashes& h = hashes_[at.turn % kRing];
    if (t.kind() == TurnNote::kItem) {
      const bool serial = Mine(t.SerialPart());
      const bool container = Mine(t.ContainerPart());
      if (serial || container) PrefetchLine(&w_.Items[at.item]);
      if (container) {
        h.container = Tree<TWorldItem>::SlotHash(t.Container());
        w_.CharTree.Prefetch(h.container);
        w_.ItemTree.Prefetch(h.container);
      }
      ++at.item;
    } else if (t.kind() == TurnNote::kChar) {
      if (Mine(t.SerialPart())) PrefetchLine(&w_.Chars[at.chr]);
      ++at.chr;
    }
    ++at.turn;
  }

  // Nearer: the serials' slots, and the holders found in the slots loaded.
  void Load(const TurnNote& t, Cursor& at) {
    Hashes& h = hashes_[at.turn % kRing];
    if (t.kind() == TurnNote::kItem) {
      if (Mine(t.SerialPart())) {
        h.serial = Tree<TWorldItem>::SlotHash(w_.Items[at.item].Serial.view());
        w_.ItemTree.Prefetch(h.serial);
      }
      if (Mine(t.ContainerPart())) {
        w_.CharTree.PrefetchRecord(h.container);
        w_.ItemTree.PrefetchRecord(h.container);
      }
      ++at.item;
    } else if (t.kind() == TurnNote::kChar) {
      if (Mine(t.SerialPart())) {
        h.serial = Tree<TWorldChar>::SlotHash(w_.Chars[at.chr].Serial.view());
        w_.CharTree.Prefetch(h.serial);
      }
      ++at.chr;
    }
    ++at.turn;
  }

  void File(const TurnNote& t, std::size_t k) {
    const Hashes& h = hashes_[k % kRing];
    if (t.kind() == TurnNote::kItem) {
      const RecordId id = next_.item++;
      if (Mine(t.SerialPart()) && !w_.ItemTree.Insert(w_.Items[id].Serial.view(), h.serial, id))
        duplicate_items.push_back(id);
      if (Mine(t.ContainerPart())) {
        if (AttachToContainer(w_, id, t.Container(), h.container)) {
          ++contained;
        } else {
          w_.Items[id].Next = unowned;
          unowned = id;
          if (t.container_size != 0) loose_items.push_back({id, LooseReason::kNotFound});
        }
      }
    } else if (t.kind() == TurnNote::kChar) {
      const RecordId id = next_.chr++;
      if (Mine(t.SerialPart()) && !w_.CharTree.Insert(w_.Chars[id].Serial.view(), h.serial, id))
        duplicate_chars.push_back(id);
    }
  }

  World& w_;
  const unsigned parts_;
  Cursor next_;
  const TurnList* ahead_list_ = nullptr;
  Cursor ahead_;
  Cursor loaded_;
  Hashes hashes_[kRing] = {};
};

// Takes the turns in order on the calling thread: pumps, moves the gauge,
// links the character list, counts, notes head lines, and files the keys of
// its index parts.
class Filer {
 public:
  Filer(World& w, RunHost& host, std::uint64_t lines, PartFiler& parts)
      : w_(w), host_(host), parts_(parts), lines_per_percent_(lines / 100),
        note_lines_((w.Report != nullptr || w.SectionLines.wanted) && lines <= 0xffffffffu) {}

  // Files every stretch in order up to the one that ends the analysis.
  void File(const std::vector<Stretch>& stretches) {
    w_.SectionLines.noted = note_lines_;
    for (const Stretch& s : stretches) {
      if (note_lines_) {
        w_.SectionLines.chars.reserve(w_.SectionLines.chars.size() + s.char_serials[0] + s.char_serials[1]);
        w_.SectionLines.items.reserve(w_.SectionLines.items.size() + s.item_serials[0] + s.item_serials[1]);
      }
      note_lines_ ? FileTurns<true>(s.turns) : FileTurns<false>(s.turns);
      switch (s.how) {
        case StretchEnd::kNextStretch:
          continue;
        case StretchEnd::kEndMarker:
          pump_.Step(host_);
          w_.Notes.end_marker_offset = s.end_marker_offset;
          if (note_lines_) w_.SectionLines.end_marker = next_line_ + 1;
          return;
        case StretchEnd::kFailed:
          pump_.Step(host_);
          std::rethrow_exception(s.failure);
        case StretchEnd::kSourceEnd:
        case StretchEnd::kAbandoned:
          return;
      }
    }
  }

 private:
  static constexpr std::size_t kBatch = 256;

  template <bool kNoteLines>
  void FileTurns(const TurnList& turns) {
    std::size_t long_span = 0;
    for (std::size_t from = 0; from < turns.Size(); from += kBatch) {
      const std::size_t to = std::min(turns.Size(), from + kBatch);
      // The pumps come first: a cancel leaves the batch unfiled.
      for (std::size_t k = from; k < to; ++k) {
        const TurnNote& t = turns[k];
        pump_.Step(host_);
        if (t.kind() == TurnNote::kChar) {
          LinkChar();
          if constexpr (kNoteLines) w_.SectionLines.chars.push_back(static_cast<std::uint32_t>(next_line_ + 1));
        } else if (t.kind() == TurnNote::kItem) {
          ++w_.ItemCount;
          if constexpr (kNoteLines) w_.SectionLines.items.push_back(static_cast<std::uint32_t>(next_line_ + 1));
        }
        next_line_ += t.lines != 0 ? t.lines : turns.LongSpans()[long_span++];
        if (lines_per_percent_ != 0) host_.SetProgress(static_cast<int>((next_line_ - 1) / lines_per_percent_));
      }
      parts_.File(turns, from, to);
    }
  }

  void LinkChar() {
    const RecordId id = next_char_++;
    if (w_.FirstChar == kNone) {
      w_.FirstChar = id;
    } else {
      w_.Chars[w_.LastChar].Next = id;
    }
    w_.LastChar = id;
    ++w_.CharCount;
    if (!w_.Chars[id].IsNpc) ++w_.PlayerCount;
  }

  World& w_;
  RunHost& host_;
  PartFiler& parts_;
  const std::uint64_t lines_per_percent_;
  const bool note_lines_;
  RecordId next_char_ = 0;
  std::uint64_t next_line_ = 0;  // the index of the first line of the next turn
  Pump pump_;
};

// Puts the findings of both parts' filing together, in file order: the
// unowned items newest first, the notes oldest first.
void MergeParts(World& w, PartFiler& a, PartFiler& b) {
  w.ContainedCount = a.contained + b.contained;
  RecordId* tail = &w.UnownedItems;
  RecordId x = a.unowned;
  RecordId y = b.unowned;
  while (x != kNone || y != kNone) {
    RecordId& from = (y == kNone || (x != kNone && x > y)) ? x : y;
    *tail = from;
    tail = &w.Items[from].Next;
    from = *tail;
  }
  *tail = kNone;
  const auto by_id = [](const LooseItem& l, const LooseItem& r) { return l.id < r.id; };
  w.Notes.loose_items.resize(a.loose_items.size() + b.loose_items.size());
  std::merge(a.loose_items.begin(), a.loose_items.end(), b.loose_items.begin(), b.loose_items.end(),
             w.Notes.loose_items.begin(), by_id);
  w.Notes.duplicate_chars.resize(a.duplicate_chars.size() + b.duplicate_chars.size());
  std::merge(a.duplicate_chars.begin(), a.duplicate_chars.end(), b.duplicate_chars.begin(),
             b.duplicate_chars.end(), w.Notes.duplicate_chars.begin());
  w.Notes.duplicate_items.resize(a.duplicate_items.size() + b.duplicate_items.size());
  std::merge(a.duplicate_items.begin(), a.duplicate_items.end(), b.duplicate_items.begin(),
             b.duplicate_items.end(), w.Notes.duplicate_items.begin());
}

// Sizes each index part for the serials that will be filed in it: it then
// does not have to rehash every key into fresh memory as it fills.
void SizeIndexes(World& w, const std::vector<Stretch>& stretches) {
  for (int part = 0; part < 2; ++part) {
    std::size_t chars = 0;
    std::size_t items = 0;
    for (const Stretch& s : stretches) {
      chars += s.char_serials[part];
      items += s.item_serials[part];
    }
    w.CharTree.Reserve(part, chars);
    w.ItemTree.Reserve(part, items);
  }
}

// Files the turns of every stretch: the calling thread pumps and files the
// keys of index part 0, a second thread (when asked, and to be had) those of
// part 1. Whatever way the filing ends, the second thread is stopped and
// joined before the stores are touched again.
void FileStretches(World& w, RunHost& host, const std::vector<Stretch>& stretches, bool two_threads) {
  std::uint64_t lines = 0;
  for (const Stretch& s : stretches) lines += s.lines;
  SizeIndexes(w, stretches);
  PartFiler second(w, 2u);
  {
    BackgroundThread filing_second;
    const auto file_second = [&] {
      for (const Stretch& s : stretches) {
        for (std::size_t from = 0; from < s.turns.Size() && !filing_second.StopRequested(); from += 4096)
          second.File(s.turns, from, std::min(s.turns.Size(), from + 4096));
        if (s.how != StretchEnd::kNextStretch) break;
      }
    };
    // Without a second thread this one files both parts.
    const bool both = !two_threads || !filing_second.Start(file_second);
    PartFiler first(w, both ? 3u : 1u);
    Filer(w, host, lines, first).File(stretches);
    filing_second.Join();
    MergeParts(w, first, second);
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
