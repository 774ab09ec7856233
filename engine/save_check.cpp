#include "engine/save_check.h"

#include <algorithm>
#include <cstring>

#include "engine/change_report.h"
#include "engine/line_rules.h"
#include "engine/line_split.h"

namespace orv {

namespace {


Finding About(std::string_view kind, std::string_view serial, std::uint64_t offset) {
  Finding f;
  f.kind = kind;
  f.serial = std::string(serial);
  f.offset = offset;
  return f;
}

void LooseAndSelfContained(const World& w, std::vector<Finding>& out) {
  for (const LooseItem& loose : w.Notes.loose_items) {
    const TWorldItem& item = w.Items[loose.id];
    Finding f = About("left_loose", item.Serial.view(), SectionOffset(item));
    f.fields = {{"container", ContainerOf(w, item).str()}, {"reason", std::string(LooseReasonName(loose.reason))}};
    out.push_back(f);
    if (loose.reason == LooseReason::kSelfContainer) {
      out.push_back(About("self_container", item.Serial.view(), SectionOffset(item)));
    }
  }
  // An item naming its own serial when an earlier one has it goes under
  // that one, and is a duplicate: its own "CONT=" is read again.
  for (const RecordId id : w.Notes.duplicate_items) {
    const TWorldItem& item = w.Items[id];
    if (!item.Serial.empty() && ContainerOf(w, item) == item.Serial) {
      out.push_back(About("self_container", item.Serial.view(), SectionOffset(item)));
    }
  }
}

template <class Record>
void Duplicates(const std::vector<RecordId>& ids, const RecordArena<Record>& records,
                const Tree<Record>& index, std::string_view kind, std::uint64_t (*offset_of)(const Record&),
                std::vector<Finding>& out, std::vector<std::uint64_t>& first_offsets) {
  for (const RecordId id : ids) {
    const Record& r = records[id];
    Finding f = About("duplicate_serial", r.Serial.view(), offset_of(r));
    f.fields = {{"section", std::string(kind)}};
    out.push_back(f);
    first_offsets.push_back(offset_of(records[index.Find(r.Serial.view())]));
  }
}

std::uint64_t CharOffset(const TWorldChar& c) { return c.Lines; }
std::uint64_t ItemOffset(const TWorldItem& item) { return SectionOffset(item); }

void ShortHeads(const World& w, std::vector<Finding>& out) {
  for (RecordId id = w.FirstChar; id != kNone; id = w.Chars[id].Next) {
    const TWorldChar& c = w.Chars[id];
    if (c.BaseId.empty()) out.push_back(About("short_head", c.Serial.view(), c.Lines));
  }
  const auto items = static_cast<RecordId>(w.Items.Size());
  for (RecordId id = 0; id < items; ++id) {
    const TWorldItem& item = w.Items[id];
    if (BaseIdRef(w, item) == TextPool::kEmpty) {
      out.push_back(About("short_head", item.Serial.view(), SectionOffset(item)));
    }
  }
}

// The section read last, whose end the save's end cut off.
void MissingEndMarker(const World& w, std::vector<Finding>& out) {
  if (w.Notes.end_marker_offset != AnalysisNotes::kNoOffset) return;
  const std::string_view bytes = w.SourceLines.Bytes();
  std::string_view serial;
  std::uint64_t offset = bytes.size();
  bool any = false;
  if (w.LastChar != kNone) {
    serial = w.Chars[w.LastChar].Serial.view();
    offset = w.Chars[w.LastChar].Lines;
    any = true;
  }
  if (w.Items.Size() != 0) {
    const TWorldItem& last = w.Items[static_cast<RecordId>(w.Items.Size() - 1)];
    if (!any || SectionOffset(last) > offset) {
      serial = last.Serial.view();
      offset = SectionOffset(last);
    }
  }
  out.push_back(About("no_end_marker", serial, offset));
}

void TextAfterEnd(const World& w, std::vector<Finding>& out) {
  if (w.Notes.end_marker_offset == AnalysisNotes::kNoOffset) return;
  LineCursor c = w.SourceLines.LinesFrom(static_cast<std::size_t>(w.Notes.end_marker_offset));
  std::uint64_t lines = 0;
  std::uint64_t first = 0;
  for (c.Advance(); c.HasLine(); c.Advance()) {
    if (StripLeading(c.Line()).empty()) continue;
    if (lines++ == 0) first = c.Offset();
  }
  if (lines == 0) return;
  Finding f = About("text_after_end", "", first);
  f.fields = {{"lines", std::to_string(lines), true}};
  out.push_back(f);
}

void NulBytes(const World& w, std::vector<Finding>& out) {
  const std::string_view bytes = w.SourceLines.Bytes();
  const char* begin = bytes.data();
  const char* end = begin + bytes.size();
  for (const char* p = begin; p < end;) {
    const void* nul = std::memchr(p, 0, static_cast<std::size_t>(end - p));
    if (nul == nullptr) break;
    const char* at = static_cast<const char*>(nul);
    out.push_back(About("nul_byte", "", static_cast<std::uint64_t>(at - begin)));
    p = FindLineBreak(at, end);  // one finding a line
  }
}

}  // namespace

std::vector<Finding> CheckAnalysedWorld(const World& w) {
  std::vector<Finding> out;
  LooseAndSelfContained(w, out);
  std::vector<std::uint64_t> first_offsets;
  const std::size_t duplicates_from = out.size();
  Duplicates(w.Notes.duplicate_chars, w.Chars, w.CharTree, "character", CharOffset, out, first_offsets);
  Duplicates(w.Notes.duplicate_items, w.Items, w.ItemTree, "item", ItemOffset, out, first_offsets);
  ShortHeads(w, out);
  MissingEndMarker(w, out);
  TextAfterEnd(w, out);
  NulBytes(w, out);

  // Every line number in one sweep: those of the findings and of the first
  // sections of the duplicate serials.
  std::vector<std::pair<std::uint64_t, std::size_t>> by_offset;
  for (std::size_t k = 0; k < out.size(); ++k) by_offset.push_back({out[k].offset, k});
  for (std::size_t k = 0; k < first_offsets.size(); ++k) by_offset.push_back({first_offsets[k], out.size() + k});
  std::sort(by_offset.begin(), by_offset.end());
  std::vector<std::uint64_t> offsets;
  for (const auto& [offset, k] : by_offset) offsets.push_back(offset);
  const std::vector<std::uint64_t> numbers = LineNumbersAt(w.SourceLines.Bytes(), offsets);
  std::vector<std::uint64_t> first_lines(first_offsets.size());
  for (std::size_t k = 0; k < by_offset.size(); ++k) {
    const std::size_t at = by_offset[k].second;
    if (at < out.size()) {
      out[at].line = numbers[k];
    } else {
      first_lines[at - out.size()] = numbers[k];
    }
  }
  for (std::size_t k = 0; k < first_lines.size(); ++k) {
    out[duplicates_from + k].fields.push_back({"first_line", std::to_string(first_lines[k]), true});
  }
  std::stable_sort(out.begin(), out.end(), [](const Finding& a, const Finding& b) { return a.offset < b.offset; });
  return out;
}

}  // namespace orv
