#include "engine/save_check.h"

#include <algorithm>

#include "engine/analyse.h"
#include "engine/change_report.h"
#include "engine/line_rules.h"
#include "engine/line_split.h"

namespace orv {

namespace {

// Where a section stands: its byte offset, and its line when the analysis
// noted it (0 otherwise: found afterwards by a sweep).
struct Place {
  std::uint64_t offset = 0;
  std::uint64_t line = 0;
};

Place CharPlace(const World& w, RecordId id) {
  return {w.Chars[id].Lines, w.SectionLines.noted ? w.SectionLines.chars[id] : 0};
}

Place ItemPlace(const World& w, RecordId id) {
  return {SectionOffset(w.Items[id]), w.SectionLines.noted ? w.SectionLines.items[id] : 0};
}

Finding About(std::string_view kind, std::string_view serial, const Place& place) {
  Finding f;
  f.kind = kind;
  f.serial = std::string(serial);
  f.offset = place.offset;
  f.line = place.line;
  return f;
}

void LooseAndSelfContained(const World& w, std::vector<Finding>& out) {
  for (const LooseItem& loose : w.Notes.loose_items) {
    const TWorldItem& item = w.Items[loose.id];
    Finding f = About("left_loose", item.Serial.view(), ItemPlace(w, loose.id));
    f.fields = {{"container", ContainerOf(w, item).str()},
                {"reason", std::string(LooseReasonName(loose.reason))}};
    out.push_back(f);
    if (loose.reason == LooseReason::kSelfContainer) {
      out.push_back(About("self_container", item.Serial.view(), ItemPlace(w, loose.id)));
    }
  }
  // An item naming its own serial when an earlier one has it goes under
  // that one, and is a duplicate: its own "CONT=" is read again.
  for (const RecordId id : w.Notes.duplicate_items) {
    const TWorldItem& item = w.Items[id];
    if (!item.Serial.empty() && ContainerOf(w, item) == item.Serial) {
      out.push_back(About("self_container", item.Serial.view(), ItemPlace(w, id)));
    }
  }
}

// A duplicate with where the first section of its serial stands.
struct Duplicate {
  std::size_t finding;
  Place first;
};

template <class Record>
void Duplicates(const World& w, const std::vector<RecordId>& ids,
                const RecordArena<Record>& records, const Tree<Record>& index,
                std::string_view kind, Place (*place_of)(const World&, RecordId),
                std::vector<Finding>& out, std::vector<Duplicate>& duplicates) {
  for (const RecordId id : ids) {
    const Record& r = records[id];
    Finding f = About("duplicate_serial", r.Serial.view(), place_of(w, id));
    f.fields = {{"section", std::string(kind)}};
    duplicates.push_back({out.size(), place_of(w, index.Find(r.Serial.view()))});
    out.push_back(f);
  }
}

void ShortHeads(const World& w, std::vector<Finding>& out) {
  for (RecordId id = w.FirstChar; id != kNone; id = w.Chars[id].Next) {
    const TWorldChar& c = w.Chars[id];
    if (c.BaseId.empty()) out.push_back(About("short_head", c.Serial.view(), CharPlace(w, id)));
  }
  const auto items = static_cast<RecordId>(w.Items.Size());
  for (RecordId id = 0; id < items; ++id) {
    const TWorldItem& item = w.Items[id];
    if (BaseIdRef(w, item) == TextPool::kEmpty) {
      out.push_back(About("short_head", item.Serial.view(), ItemPlace(w, id)));
    }
  }
}

// The section read last, whose end the save's end cut off.
void MissingEndMarker(const World& w, std::vector<Finding>& out) {
  if (w.Notes.end_marker_offset != AnalysisNotes::kNoOffset) return;
  std::string_view serial;
  Place place{w.SourceLines.Bytes().size(), 0};
  bool any = false;
  if (w.LastChar != kNone) {
    serial = w.Chars[w.LastChar].Serial.view();
    place = CharPlace(w, w.LastChar);
    any = true;
  }
  if (w.Items.Size() != 0) {
    const auto last = static_cast<RecordId>(w.Items.Size() - 1);
    if (!any || SectionOffset(w.Items[last]) > place.offset) {
      serial = w.Items[last].Serial.view();
      place = ItemPlace(w, last);
    }
  }
  out.push_back(About("no_end_marker", serial, place));
}

void TextAfterEnd(const World& w, std::vector<Finding>& out) {
  if (w.Notes.end_marker_offset == AnalysisNotes::kNoOffset) return;
  LineCursor c = w.SourceLines.LinesFrom(static_cast<std::size_t>(w.Notes.end_marker_offset));
  std::uint64_t lines = 0;
  Place first;
  std::uint64_t after = 0;  // lines after "[EOF]" so far
  for (c.Advance(); c.HasLine(); c.Advance()) {
    ++after;
    if (StripLeading(c.Line()).empty()) continue;
    if (lines++ == 0)
      first = {c.Offset(), w.SectionLines.end_marker != 0 ? w.SectionLines.end_marker + after : 0};
  }
  if (lines == 0) return;
  Finding f = About("text_after_end", "", first);
  f.fields = {{"lines", std::to_string(lines), true}};
  out.push_back(f);
}

void NulBytes(const World& w, std::vector<Finding>& out) {
  for (const NulByte& nul : FindNulBytes(w.SourceLines.Bytes()))
    out.push_back(About("nul_byte", "", {nul.offset, nul.line}));
}

// The lines the analysis did not note (a save of 2^32 lines or more, or a
// world analysed without asking), found in one sweep in offset order.
void SweepMissingLines(const World& w, std::vector<Finding>& out,
                       std::vector<Duplicate>& duplicates) {
  std::vector<std::pair<std::uint64_t, std::uint64_t*>> missing;
  for (Finding& f : out) {
    if (f.line == 0) missing.push_back({f.offset, &f.line});
  }
  for (Duplicate& d : duplicates) {
    if (d.first.line == 0) missing.push_back({d.first.offset, &d.first.line});
  }
  if (missing.empty()) return;
  std::sort(missing.begin(), missing.end());
  std::vector<std::uint64_t> offsets;
  for (const auto& m : missing) offsets.push_back(m.first);
  const std::vector<std::uint64_t> numbers = LineNumbersAt(w.SourceLines.Bytes(), offsets);
  for (std::size_t k = 0; k < missing.size(); ++k) *missing[k].second = numbers[k];
}

}  // namespace

std::vector<Finding> CheckAnalysedWorld(World& w) {
  ExplainLooseItems(w);
  std::vector<Finding> out;
  std::vector<Duplicate> duplicates;
  LooseAndSelfContained(w, out);
  Duplicates(w, w.Notes.duplicate_chars, w.Chars, w.CharTree, "character", CharPlace, out,
             duplicates);
  Duplicates(w, w.Notes.duplicate_items, w.Items, w.ItemTree, "item", ItemPlace, out, duplicates);
  ShortHeads(w, out);
  MissingEndMarker(w, out);
  TextAfterEnd(w, out);
  NulBytes(w, out);
  SweepMissingLines(w, out, duplicates);
  for (const Duplicate& d : duplicates) {
    out[d.finding].fields.push_back({"first_line", std::to_string(d.first.line), true});
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const Finding& a, const Finding& b) { return a.offset < b.offset; });
  return out;
}

}  // namespace orv
