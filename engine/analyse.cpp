#include "engine/analyse.h"

#include "engine/line_rules.h"
#include "engine/pump.h"

namespace orv {
namespace {

// The head line: its normalised id becomes BaseId. The lines themselves stay
// in the source; the record keeps the head's byte offset.
template <class Record>
void ReadHead(Record& r, const SourceCursor& cursor) {
  char scratch[10];
  r.BaseId.Assign(BaseIdOf(NormaliseHead(StripLeading(cursor.lines.Line())), scratch));
  r.State = LinesState::kSource;
  r.Lines = cursor.lines.Offset();
}

// Walks the body lines after the head; calls fn(stripped) for every line that
// is not a comment. Leaves the cursor on the line that ends the section.
template <class Fn>
void ReadBody(SourceCursor& cursor, Fn&& fn) {
  for (cursor.Advance(); cursor.HasLine(); cursor.Advance()) {
    const std::string_view s = StripLeading(cursor.lines.Line());
    if (IsSectionStart(s)) return;
    if (s.size() < 5 || IsComment(s)) continue;  // every key tested is longer
    fn(s);
  }
}

}  // namespace

std::uint64_t ReadCharSection(World& w, SourceCursor& cursor) {
  const RecordId id = w.Chars.Make();
  TWorldChar& c = w.Chars[id];
  if (w.FirstChar == kNone) {
    w.FirstChar = id;
  } else {
    w.Chars[w.LastChar].Next = id;
  }
  w.LastChar = id;
  ++w.CharCount;
  ReadHead(c, cursor);
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
      default:
        break;
    }
  });
  if (!c.IsNpc) ++w.PlayerCount;
  w.CharTree.Insert(c.Serial.view(), id);
  return cursor.index - 1;
}

std::uint64_t ReadItemSection(World& w, SourceCursor& cursor) {
  const RecordId id = w.Items.Make();
  TWorldItem& item = w.Items[id];
  item.Next = w.UnownedItems;
  w.UnownedItems = id;
  ++w.ItemCount;
  ReadHead(item, cursor);
  ReadBody(cursor, [&](std::string_view s) {
    switch (s[0]) {
      case 'T':
        if (StartsWith(s, "TYPE=")) item.Type.Assign(ValueCut(s, 6, 8));
        break;
      case 'S':
        if (StartsWith(s, "SERIAL=")) item.Serial.Assign(ValueCut(s, 8, 10));
        break;
      case 'C':
        if (StartsWith(s, "CONT=")) item.Container.Assign(ValueCut(s, 6, 10));
        break;
      case 'L':
        if (StartsWith(s, "LINK=")) item.Link.Assign(ValueCut(s, 6, 10));
        break;
      default:
        break;
    }
  });
  w.ItemTree.Insert(item.Serial.view(), id);
  if (AttachToContainer(w)) ++w.ContainedCount;
  return cursor.index - 1;
}

void AnalyseWorld(World& w, RunHost& host) {
  const std::uint64_t lines_per_percent = w.SourceLines.LineCount() / 100;
  w.FlagsEdit = host.Checked(Switch::kDeleteNpcs);
  Pump pump;
  SourceCursor cursor{w.SourceLines.Lines(), 0};
  while (cursor.HasLine()) {
    pump.Step(host);
    const std::string_view s = StripLeading(cursor.lines.Line());
    if (IsEndMarker(s)) break;
    std::uint64_t index = cursor.index;
    bool advanced = false;
    if (IsCharHead(s)) {
      index = ReadCharSection(w, cursor);
      advanced = true;
    } else if (IsItemHead(s)) {
      index = ReadItemSection(w, cursor);
      advanced = true;
    }
    if (lines_per_percent != 0) host.SetProgress(static_cast<int>(index / lines_per_percent));
    // A section reader already stands on the line after the section.
    if (!advanced) cursor.Advance();
  }
  w.CharsPerPercent = w.CharCount / 100;
  w.UnownedCount = w.ItemCount - w.ContainedCount;
  w.ItemsPerPercent = w.ItemCount / 100;
  w.UnownedPerPercent = w.UnownedCount / 100;
}

}  // namespace orv
