#include "engine/analyse.h"

#include "engine/line_rules.h"
#include "engine/pump.h"

namespace orv {
namespace {

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
  char scratch[10];
  c.BaseId.Assign(ReadHead(c, cursor, scratch));
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
  char scratch[10];
  item.BaseId = w.ItemTexts.Intern(ReadHead(item, cursor, scratch));
  std::string_view type;
  std::string_view container;
  // "LINK=" is read again from the section when a pass needs it.
  ReadBody(cursor, [&](std::string_view s) {
    switch (s[0]) {
      case 'T':
        if (StartsWith(s, "TYPE=")) type = ValueCut(s, 6, 8);
        break;
      case 'S':
        if (StartsWith(s, "SERIAL=")) {
          item.Serial.Assign(ValueCut(s, 8, 10));
          w.ItemTree.Prefetch(item.Serial.view());
        }
        break;
      case 'C':
        if (StartsWith(s, "CONT=")) {
          container = ValueCut(s, 6, 10);
          w.ItemTree.Prefetch(container);
        }
        break;
      default:
        break;
    }
  });
  item.Type = w.ItemTexts.Intern(type);
  w.LastContainer.Assign(container);
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
