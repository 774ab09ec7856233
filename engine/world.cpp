#include "engine/world.h"

#include <vector>

namespace orv {

World::World() : ItemTree(Items), CharTree(Chars) {}

bool AttachToContainer(World& w) {
  const RecordId id = w.UnownedItems;
  if (id == kNone) return false;
  TWorldItem& item = w.Items[id];
  const std::string_view container = item.Container.view();
  const RecordId holder_char = w.CharTree.Find(container);
  if (holder_char != kNone) {
    TWorldChar& c = w.Chars[holder_char];
    w.UnownedItems = item.Next;
    item.Next = c.Items;
    c.Items = id;
    return true;
  }
  const RecordId holder = w.ItemTree.Find(container);
  // An item whose "CONT=" finds itself would be put inside itself and make
  // every later walk endless; it stays unowned instead.
  if (holder != kNone && holder != id) {
    TWorldItem& p = w.Items[holder];
    w.UnownedItems = item.Next;
    item.Next = p.Contents;
    p.Contents = id;
    return true;
  }
  return false;
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
  w.ItemTree.ReleaseTree();
  w.CharTree.ReleaseTree();
  w.CharCount = w.ItemCount = w.ContainedCount = 0;
  w.CharsPerPercent = w.ItemsPerPercent = w.UnownedCount = w.UnownedPerPercent = 0;
  w.PlayerCount = 0;
  w.FlagsEdit = false;
  w.Stats = PassStats{};
}

}  // namespace orv
