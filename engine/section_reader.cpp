#include "engine/section_reader.h"

#include "engine/line_rules.h"
#include "engine/prefetch.h"
#include "engine/section_walk.h"
#include "engine/short_text.h"
#include "engine/tree.h"

namespace orv {

// The kinds of the items read last. A big world has thousands of (id, type)
// pairs, but most of its items share a few hundred of them, so looking the
// pair's text up here first saves interning both texts and the pair for
// about seven items in eight. With room for a thousand pairs, two items in
// five of those that missed a table of 256 now hit: their pairs had only
// collided with others. The generated 1 GiB save has only about 3000 pairs,
// and this table still misses one item in eight; yet tables of 4096 and
// 16384 pairs, which hold most of them, read it no quicker (perhaps as
// they no longer fit the first-level cache).
//
// The kinds cost the reader about a tenth of its time, but they belong
// here. Worked out by the filing instead (the reader noting in the record
// where the type stands, the filing reading the section's head again),
// they took 0.25-0.42 s of CPU from the reader of a 1 GiB save, and the
// filing more than that: it runs behind the reader and meets each head in
// memory, not in a cache. The analysis took 0.5-1.4 s longer (7
// alternating runs).
class SectionReader::KindMemo {
 public:
  ItemKinds::Ref Kind(World& w, std::string_view base_id, std::string_view type) {
    // The id has at most 10 bytes and the type at most 8, so each is two
    // words and its length.
    const Key key{WordsOfShortText(base_id), WordsOfShortText(type),
                  base_id.size() | type.size() << 8};
    const std::size_t slot = static_cast<std::size_t>(
        ((key.id.a * 0x9e3779b97f4a7c15ull) ^ (key.id.b * 0xc2b2ae3d27d4eb4full) ^
         (key.type.a * 0x165667b19e3779f9ull) ^ (key.type.b + key.sizes)) >>
        (64 - kSlotBits));
    Entry& e = entries_[slot];
    if (e.filled && e.key == key) return e.kind;
    const ItemKinds::Ref kind =
        w.ItemKindPool.Intern(w.ItemTexts.Intern(base_id), w.ItemTexts.Intern(type));
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
  static constexpr int kSlotBits = 10;
  Entry entries_[std::size_t{1} << kSlotBits] = {};
};

SectionReader::SectionReader(World& w)
    : w_(w), cursor_{w.SourceLines.Lines(), 0}, kinds_(std::make_unique<KindMemo>()) {}

SectionReader::~SectionReader() = default;

void SectionReader::Next(Turn& turn) noexcept {
  try {
    Read(turn);
  } catch (...) {
    failure_ = std::current_exception();
    turn.kind = Turn::Kind::kFailed;
  }
}

void SectionReader::Read(Turn& turn) {
  if (!cursor_.HasLine()) {
    turn.kind = Turn::Kind::kSourceEnd;
    return;
  }
  const std::string_view s = StripLeading(cursor_.lines.Line());
  if (IsEndMarker(s)) {
    turn.kind = Turn::Kind::kEndMarker;
    w_.Notes.end_marker_offset = cursor_.lines.Offset();
  } else if (IsCharHead(s)) {
    ReadCharSection(turn);
  } else if (IsItemHead(s)) {
    ReadItemSection(turn);
  } else {
    turn.kind = Turn::Kind::kLine;
    turn.index = cursor_.index;
    cursor_.Advance();
  }
}

// Reads the character section whose head is the cursor's line into a new
// record, which the filing then links and indexes. Leaves the cursor on the
// line that ends the section (or past the end).
void SectionReader::ReadCharSection(Turn& turn) {
  const RecordId id = w_.Chars.Make();
  TWorldChar& c = w_.Chars[id];
  c.State = LinesState::kSource;
  c.Lines = cursor_.lines.Offset();
  c.ItemsFrom = static_cast<RecordId>(w_.Items.Size());
  // A copy the compiler may keep in registers: the record stores below
  // could alias the member, which would then be stored and loaded again for
  // every line.
  LineCursor cursor = cursor_.lines;
  const std::uint64_t lines = WalkSection(
      cursor,
      [&](const SectionLine& head) {
        char scratch[10];
        c.BaseId.Assign(BaseIdOf(NormaliseHead(head.stripped), scratch));
      },
      [&](const SectionLine& line) {
        const std::string_view s = line.stripped;
        if (s.size() < 2) return;  // every key tested is longer
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
          default: break;
        }
      },
      [](const SectionLine&) {});
  cursor_ = SourceCursor{cursor, cursor_.index + lines};
  turn.kind = Turn::Kind::kChar;
  turn.id = id;
  turn.serial_hash = Tree<TWorldChar>::SlotHash(c.Serial.view());
  turn.index = cursor_.index - 1;
}

// The same for an item section. "LINK=" is read again from the section when
// a pass needs it. On the way it checks whether the writers may copy the
// section as it stands (see VerbatimSection), by the very rules with which
// they would make it line by line.
//
// Line by line is also the quick way here. Reading a plain section's body
// 64 bytes at a time (masks of its line breaks and of the lines' first
// bytes, looking only at the lines with a wanted key) executed 12% more
// instructions on a 40 MiB save: a section's body is about two such
// blocks, and the work of each record and its kind stays the same.
void SectionReader::ReadItemSection(Turn& turn) {
  const RecordId id = w_.Items.Make();
  TWorldItem& item = w_.Items[id];
  item.State = LinesState::kSource;
  item.Lines = cursor_.lines.Offset();
  LineCursor cursor = cursor_.lines;
  PrefetchLine(cursor.Line().data() + 1024);
  PrefetchLine(cursor.Line().data() + 1088);
  char scratch[10];
  std::string_view base_id;
  bool head_zero = false;
  bool verbatim = true;
  std::size_t color_zeros = 0;
  std::string_view type;
  std::string_view container;
  const std::uint64_t lines = WalkSection(
      cursor,
      [&](const SectionLine& head) {
        const KeptLine normalised = NormaliseHead(head.stripped);
        base_id = BaseIdOf(normalised, scratch);
        head_zero = normalised.zero;
        verbatim = head.Unchanged();
      },
      [&](const SectionLine& line) {
        verbatim &= line.Unchanged();
        const std::string_view s = line.stripped;
        if (s.size() < 2) return;  // every key tested is longer
        switch (s[0]) {
          case 'T':
            if (StartsWith(s, "TYPE=")) type = ValueCut(s, 6, 8);
            break;
          case 'S':
            if (StartsWith(s, "SERIAL=")) item.Serial.Assign(ValueCut(s, 8, 10));
            break;
          case 'C':
            // Only a "COLOR=" line is edited in an item section.
            if (StartsWith(s, "CONT=")) {
              container = ValueCut(s, 6, 10);
            } else {
              color_zeros += EditBodyLine(s, false, false).zero ? 1 : 0;
            }
            break;
          default: break;
        }
      },
      [&](const SectionLine&) { verbatim = false; });
  if (verbatim && color_zeros <= 1) {
    MarkVerbatim(item, cursor.Offset() - cursor_.lines.Offset(), lines, color_zeros == 1,
                 head_zero);
  }
  cursor_ = SourceCursor{cursor, cursor_.index + lines};
  item.Kind = kinds_->Kind(w_, base_id, type);
  turn.kind = Turn::Kind::kItem;
  turn.id = id;
  turn.container.Assign(container);
  turn.serial_hash = Tree<TWorldItem>::SlotHash(item.Serial.view());
  turn.container_hash = Tree<TWorldItem>::SlotHash(container);
  turn.index = cursor_.index - 1;
}

}  // namespace orv
