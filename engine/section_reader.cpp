#include "engine/section_reader.h"

#include <vector>

#include "engine/line_rules.h"
#include "engine/line_split.h"
#include "engine/section_walk.h"
#include "engine/short_text.h"
#include "engine/tree.h"

namespace orv {
namespace {

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

// The index part of a key, as both trees file it.
int PartOf(std::string_view key) { return Tree<TWorldItem>::PartOf(Tree<TWorldItem>::SlotHash(key)); }

class SectionReader {
 public:
  SectionReader(std::string_view source, RecordStores stores, Stretch& stretch,
                const std::atomic<bool>* give_up)
      : source_(source), stores_(stores), stretch_(stretch), give_up_(give_up),
        cursor_(source, stretch.begin) {}

  void Read() noexcept {
    std::size_t turn_begin = stretch_.begin;
    std::uint64_t turn_first_line = 0;
    try {
      for (unsigned until_check = 0;; ++until_check) {
        turn_begin = cursor_.Offset();
        turn_first_line = index_;
        if (turn_begin >= stretch_.end) {
          stretch_.how = stretch_.end == source_.size() ? StretchEnd::kSourceEnd : StretchEnd::kNextStretch;
          stretch_.lines = index_;
          return;
        }
        // Looked at now and then only: the flag's cache line belongs to
        // the other reader's core.
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
                     CountLinesAndItemHeadsOnThisThread(source_.substr(turn_begin, stretch_.end - turn_begin)).lines;
  }

 private:
  // Reads the turn at the cursor; false at "[EOF]", which is left unread.
  bool ReadTurn() {
    const std::string_view s = StripLeading(cursor_.Line());
    if (IsEndMarker(s)) return false;
    if (IsCharHead(s)) {
      ReadCharSection();
    } else if (IsItemHead(s)) {
      ReadItemSection();
    } else {
      stretch_.turns.Add(TurnNote::kLine, 1);
      cursor_.Advance();
      ++index_;
    }
    return true;
  }

  // Notes a section's turn, `lines` lines from its head on, with its
  // serial, and moves the line index past it.
  TurnNote& NoteSection(TurnNote::Kind kind, std::uint64_t lines, std::string_view serial) {
    index_ += lines;
    TurnNote& t = stretch_.turns.Add(kind, lines);
    t.serial_hash = Tree<TWorldItem>::SlotHash(serial);
    return t;
  }

  void ReadCharSection() {
    const RecordId id = stores_.chars.Make();
    TWorldChar& c = stores_.chars[id];
    c.State = LinesState::kSource;
    c.Lines = cursor_.Offset();
    c.ItemsFrom = static_cast<RecordId>(stores_.items.Size());
    // A copy the compiler may keep in registers: the record stores below
    // could alias the member, which would then be stored and loaded again
    // for every line.
    LineCursor cursor = cursor_;
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
            default:
              break;
          }
        },
        [](const SectionLine&) {});
    cursor_ = cursor;
    const TurnNote& t = NoteSection(TurnNote::kChar, lines, c.Serial.view());
    ++stretch_.char_serials[t.SerialPart()];
  }

  // The same for an item section. "LINK=" is read again from the section
  // when a pass needs it. On the way it checks whether the writers may copy
  // the section as it stands (see VerbatimSection), by the very rules with
  // which they would make it line by line.
  void ReadItemSection() {
    const RecordId id = stores_.items.Make();
    TWorldItem& item = stores_.items[id];
    item.State = LinesState::kSource;
    item.Lines = cursor_.Offset();
    LineCursor cursor = cursor_;
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
          verbatim = verbatim && line.Unchanged();
          const std::string_view s = line.stripped;
          if (s.size() < 2) return;  // every key tested is longer
          color_zeros += EditBodyLine(s, false, false).zero ? 1 : 0;
          switch (s[0]) {
            case 'T':
              if (StartsWith(s, "TYPE=")) type = ValueCut(s, 6, 8);
              break;
            case 'S':
              if (StartsWith(s, "SERIAL=")) item.Serial.Assign(ValueCut(s, 8, 10));
              break;
            case 'C':
              if (StartsWith(s, "CONT=")) container = ValueCut(s, 6, 10);
              break;
            default:
              break;
          }
        },
        [&](const SectionLine&) { verbatim = false; });
    if (verbatim && color_zeros <= 1) {
      MarkVerbatim(item, cursor.Offset() - cursor_.Offset(), lines, color_zeros == 1, head_zero);
    }
    cursor_ = cursor;
    item.Kind = kinds_.Kind(stores_, base_id, type);
    TurnNote& t = NoteSection(TurnNote::kItem, lines, item.Serial.view());
    const int container_part = PartOf(container);
    TurnList::SetContainer(t, container, container_part);
    ++stretch_.item_serials[t.SerialPart()];
    ++stretch_.item_containers[container_part];
  }

  const std::string_view source_;
  RecordStores stores_;
  Stretch& stretch_;
  const std::atomic<bool>* const give_up_;
  LineCursor cursor_;
  std::uint64_t index_ = 0;  // of the cursor's line, from the stretch's first
  KindMemo kinds_;
};

}  // namespace

void ReadStretch(std::string_view source, RecordStores stores, Stretch& stretch,
                 const std::atomic<bool>* give_up) noexcept {
  SectionReader(source, stores, stretch, give_up).Read();
}

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

}  // namespace orv
