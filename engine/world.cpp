#include "engine/world.h"

#include <vector>

#include "engine/kept_lines.h"

namespace orv {

World::World() : ItemTree(Items), CharTree(Chars) {}

void MoveUnder(World& w, RecordId holder, bool is_char) {
  const RecordId id = w.UnownedItems;
  TWorldItem& item = w.Items[id];
  RecordId& first = is_char ? w.Chars[holder].Items : w.Items[holder].Contents;
  w.UnownedItems = item.Next;
  item.Next = first;
  first = id;
}

RecordId AttachToContainer(World& w, std::uint32_t container_hash, bool& is_char) {
  is_char = false;
  const RecordId id = w.UnownedItems;
  if (id == kNone) return kNone;
  const std::string_view container = w.LastContainer.view();
  const RecordId holder_char = w.CharTree.Find(container, container_hash);
  if (holder_char != kNone) {
    is_char = true;
    MoveUnder(w, holder_char, true);
    return holder_char;
  }
  const RecordId holder = w.ItemTree.Find(container, container_hash);
  // An item whose "CONT=" finds itself would be put inside itself and make
  // every later walk endless; it stays unowned instead.
  if (holder != kNone && holder != id) {
    MoveUnder(w, holder, false);
    return holder;
  }
  return kNone;
}

RecordId HolderOf(const World& w, RecordId id, bool& is_char) {
  is_char = false;
  // A copy of full length: GCC 12 takes the word loads of the hash for
  // reads past a FixedText's end.
  const std::string key = ContainerOf(w, w.Items[id]).str();
  // Every item read after a character has an id of at least its ItemsFrom.
  const RecordId c = w.CharTree.Find(key);
  if (c != kNone && w.Chars[c].ItemsFrom <= id) {
    is_char = true;
    return c;
  }
  const RecordId holder = w.ItemTree.Find(key);
  return holder != kNone && holder < id ? holder : kNone;
}

std::string_view BaseIdOf(const World& w, const TWorldItem& item) {
  return w.ItemTexts.Text(BaseIdRef(w, item));
}

std::string_view TypeOf(const World& w, const TWorldItem& item) {
  return w.ItemTexts.Text(TypeRef(w, item));
}

namespace {
// The value of the last line of `key` in the item's section, cut to 10.
FixedText<10> LastValueOf(const World& w, const TWorldItem& item, std::string_view key) {
  FixedText<10> value;
  if (item.State == LinesState::kOwned) return value;  // made by a pass: no section
  ForEachSectionLine(
      w.SourceLines.Bytes(), SectionOffset(item), false, false, [&](const KeptLine& l) {
        // The first letter tells most lines apart without a
        // call to compare the rest.
        if (!l.zero && !l.head.empty() && l.head[0] == key[0] && StartsWith(l.head, key))
          value.Assign(ValueCut(l.head, key.size() + 1, 10));
      });
  return value;
}
}  // namespace

FixedText<10> ContainerOf(const World& w, const TWorldItem& item) {
  return LastValueOf(w, item, "CONT=");
}

FixedText<10> LinkOf(const World& w, const TWorldItem& item) {
  return LastValueOf(w, item, "LINK=");
}

std::uint64_t ReleaseItems(World& w, RecordId list) {
  std::uint64_t released = 0;
  std::vector<RecordId> pending;
  RecordId id = list;
  for (;;) {
    while (id != kNone) {
      TWorldItem& item = w.Items[id];
      if (item.Contents != kNone) pending.push_back(item.Contents);
      item.State = LinesState::kReleased;
      item.Contents = kNone;
      const RecordId next = item.Next;
      item.Next = kNone;
      ++released;
      id = next;
    }
    if (pending.empty()) break;
    id = pending.back();
    pending.pop_back();
  }
  w.ReleasedItemCount += released;
  return released;
}

void ReleaseChars(World& w) {
  // The characters' items live in the item arena and go with it; here the
  // character records themselves are released in one block.
  w.Chars.Clear();
  w.FirstChar = kNone;
  w.LastChar = kNone;
}

void ReleaseStores(World& w) {
  ReleaseChars(w);
  w.UnownedItems = kNone;
  w.Items.Clear();
  w.OwnedLines.clear();
  w.OwnedFrom.clear();
  w.ItemTexts.Clear();
  w.ItemKindPool.Clear();
  w.ItemTree.ReleaseTree();
  w.CharTree.ReleaseTree();
  w.CharCount = w.ItemCount = w.ContainedCount = 0;
  w.CharsPerPercent = w.ItemsPerPercent = w.UnownedCount = w.UnownedPerPercent = 0;
  w.PlayerCount = 0;
  w.ReleasedItemCount = 0;
  w.FlagsEdit = false;
  w.NpcsEmptied = false;
  w.Stats = PassStats{};
  w.Notes = AnalysisNotes{};
  const bool lines_wanted = w.SectionLines.wanted;
  w.SectionLines = HeadLines{};
  w.SectionLines.wanted = lines_wanted;
}

std::uint64_t AnalysisNotes::LooseCount(LooseReason reason) const {
  std::uint64_t n = 0;
  for (const LooseItem& l : loose_items) n += l.reason == reason ? 1 : 0;
  return n;
}

}  // namespace orv
