#include "engine/change_report.h"

#include <algorithm>
#include <string>
#include <utility>

#include "engine/json_text.h"
#include "engine/kept_lines.h"
#include "engine/line_sink.h"
#include "engine/line_split.h"
#include "engine/prefetch.h"
#include "engine/world.h"

namespace orv {

std::string_view ChangeName(Change c) {
  switch (c) {
    case Change::kLeftLoose: return "left_loose";
    case Change::kCharMoved: return "char_moved";
    case Change::kPetShrunk: return "pet_shrunk";
    case Change::kNpcDeleted: return "npc_deleted";
    case Change::kItemDestroyed: return "item_destroyed";
    case Change::kRespawnPointDeleted: return "respawn_point_deleted";
    case Change::kMemoryObjectDeleted: return "memory_object_deleted";
    case Change::kIllegalItemDeleted: return "illegal_item_deleted";
  }
  return "?";
}

std::string_view LooseReasonName(LooseReason r) {
  switch (r) {
    case LooseReason::kLaterInFile: return "later_in_file";
    case LooseReason::kNotFound: return "not_found";
    case LooseReason::kSelfContainer: return "self_container";
  }
  return "?";
}

void ChangeReport::NoteDestroyed(const World& w, RecordId list, RecordId holder,
                                 bool holder_is_char) {
  // Down to the first item without contents, note it, then on to its next
  // sibling; a list done, its holder follows. `path_` holds the items whose
  // contents are being walked.
  path_.clear();
  RecordId id = list;
  for (;;) {
    for (; id != kNone; id = w.Items[id].Contents) path_.push_back(id);
    if (path_.empty()) return;
    const RecordId done = path_.back();
    path_.pop_back();
    Note({Change::kItemDestroyed, holder_is_char, done, holder, kNone});
    id = w.Items[done].Next;
  }
}

void ChangeReport::ReorderBlocks(const std::vector<std::size_t>& starts,
                                 const std::vector<std::size_t>& order) {
  if (starts.empty()) return;
  std::vector<ChangeEntry> reordered;
  reordered.reserve(entries_.size() - starts.front());
  for (const std::size_t k : order) {
    const std::size_t end = k + 1 < starts.size() ? starts[k + 1] : entries_.size();
    reordered.insert(reordered.end(), entries_.begin() + static_cast<std::ptrdiff_t>(starts[k]),
                     entries_.begin() + static_cast<std::ptrdiff_t>(end));
  }
  std::copy(reordered.begin(), reordered.end(),
            entries_.begin() + static_cast<std::ptrdiff_t>(starts.front()));
}

void ChangeReport::Clear() {
  entries_.clear();
  counts_.fill(0);
}

namespace {

// The record whose section stands for an item in the report: an item made
// by a pass (a shrunk pet) has no section of its own, and stands for the
// pet it was made from.
struct Origin {
  std::string_view serial;
  std::uint64_t offset;
  std::uint64_t line;  // 0 when the analysis did not note it
};

Origin CharOrigin(const World& w, RecordId id) {
  const TWorldChar& c = w.Chars[id];
  return {c.Serial.view(), c.Lines, w.SectionLines.noted ? w.SectionLines.chars[id] : 0};
}

Origin ItemOrigin(const World& w, RecordId id) {
  const TWorldItem& item = w.Items[id];
  // The analysis made the first ItemCount items; a pass made the rest, and
  // their Lines number their lines in OwnedLines, released or not.
  if (id >= w.ItemCount) return CharOrigin(w, w.OwnedFrom[static_cast<std::size_t>(item.Lines)]);
  return {item.Serial.view(), SectionOffset(item),
          w.SectionLines.noted ? w.SectionLines.items[id] : 0};
}

Origin OriginOf(const World& w, const ChangeEntry& e) {
  switch (e.change) {
    case Change::kCharMoved:
    case Change::kPetShrunk:
    case Change::kNpcDeleted: return CharOrigin(w, e.subject);
    default: return ItemOrigin(w, e.subject);
  }
}

// The value of the first "P=" line of a character's section, as the
// analysis kept it: the position a move replaces.
std::string OldPosition(const World& w, const TWorldChar& c) {
  std::string from;
  bool found = false;
  ForEachSectionLine(w.SourceLines.Bytes(), c.Lines, true, w.FlagsEdit, [&](const KeptLine& l) {
    if (found || !IsPositionLine(l)) return;
    found = true;
    from = l.str().substr(2);
  });
  return from;
}

void AppendEntry(const World& w, const ChangeEntry& e, const Origin& origin, std::uint64_t line,
                 std::string& out) {
  JsonObject o(out);
  o.Text("change", ChangeName(e.change)).Text("serial", origin.serial).Number("line", line);
  switch (e.change) {
    case Change::kLeftLoose: {
      const LooseItem& loose = w.Notes.loose_items[e.other];
      o.Text("container", ContainerOf(w, w.Items[loose.id]).view())
          .Text("reason", LooseReasonName(loose.reason));
      break;
    }
    case Change::kCharMoved: {
      const TWorldChar& c = w.Chars[e.subject];
      o.Text("to", c.Position).Text("from", OldPosition(w, c));
      break;
    }
    case Change::kPetShrunk:
      o.Text("owner", w.Chars[e.owner].Serial.view())
          .Text("container", w.Items[e.other].Serial.view());
      break;
    case Change::kNpcDeleted: break;
    case Change::kItemDestroyed:
      o.Text("by", e.by_char ? CharOrigin(w, e.other).serial : ItemOrigin(w, e.other).serial);
      break;
    case Change::kRespawnPointDeleted: o.Text("type", TypeOf(w, w.Items[e.subject])); break;
    case Change::kMemoryObjectDeleted: o.Text("link", LinkOf(w, w.Items[e.subject]).view()); break;
    case Change::kIllegalItemDeleted: {
      // The list entry that matched: the id without its "]".
      std::string_view id = BaseIdOf(w, w.Items[e.subject]);
      if (!id.empty()) id.remove_suffix(1);
      o.Text("id", id);
      break;
    }
  }
  o.Close();
  out += '\n';
}

constexpr std::size_t kAhead = 16;

void PrefetchOrigin(const World& w, const ChangeEntry& e) {
  switch (e.change) {
    case Change::kCharMoved:
    case Change::kPetShrunk:
    case Change::kNpcDeleted:
      PrefetchLine(&w.Chars[e.subject]);
      if (w.SectionLines.noted) PrefetchLine(&w.SectionLines.chars[e.subject]);
      break;
    default:
      PrefetchLine(&w.Items[e.subject]);
      if (w.SectionLines.noted && e.subject < w.ItemCount) {
        PrefetchLine(&w.SectionLines.items[e.subject]);
      }
  }
}

// The line of every entry's section when the analysis did not note them:
// found in one sweep over the source in offset order.
std::vector<std::uint64_t> SweptLines(const World& w, const std::vector<ChangeEntry>& entries) {
  std::vector<std::pair<std::uint64_t, std::size_t>> by_offset(entries.size());
  for (std::size_t k = 0; k < entries.size(); ++k)
    by_offset[k] = {OriginOf(w, entries[k]).offset, k};
  std::sort(by_offset.begin(), by_offset.end());
  std::vector<std::uint64_t> offsets(by_offset.size());
  for (std::size_t k = 0; k < by_offset.size(); ++k) offsets[k] = by_offset[k].first;
  const std::vector<std::uint64_t> numbers = LineNumbersAt(w.SourceLines.Bytes(), offsets);
  std::vector<std::uint64_t> lines(entries.size());
  for (std::size_t k = 0; k < by_offset.size(); ++k) lines[by_offset[k].second] = numbers[k];
  return lines;
}

}  // namespace

void WriteChangeReport(const World& w, const ChangeReport& report, LineSink& out) {
  const std::vector<ChangeEntry>& entries = report.Entries();
  std::vector<std::uint64_t> swept;
  if (!w.SectionLines.noted) swept = SweptLines(w, entries);
  std::string chunk;
  chunk.reserve(std::size_t{1} << 20);
  std::uint64_t in_chunk = 0;
  for (std::size_t k = 0; k < entries.size(); ++k) {
    // The records of the changes lie all over memory: load them ahead.
    if (k + kAhead < entries.size()) PrefetchOrigin(w, entries[k + kAhead]);
    const Origin origin = OriginOf(w, entries[k]);
    AppendEntry(w, entries[k], origin, swept.empty() ? origin.line : swept[k], chunk);
    ++in_chunk;
    if (chunk.size() >= (std::size_t{1} << 20) - 1024) {
      out.AppendLines(chunk, in_chunk);
      chunk.clear();
      in_chunk = 0;
    }
  }
  out.AppendLines(chunk, in_chunk);
}

}  // namespace orv
