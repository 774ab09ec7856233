#include "engine/source_text.h"

#include "platform/file_system.h"

namespace orv {

SourceText::SourceText() = default;
SourceText::~SourceText() = default;

void SourceText::LoadFromFile(const std::string& path) {
  Clear();
  file_ = platform::OpenWholeFile(path);
  bytes_ = file_->Bytes();
  const LineCounts counts = CountLinesAndItemHeads(bytes_);
  line_count_ = counts.lines;
  item_heads_ = counts.item_heads;
}

void SourceText::LoadFromBytes(std::string_view bytes) {
  Clear();
  owned_.assign(bytes);
  bytes_ = owned_;
  const LineCounts counts = CountLinesAndItemHeads(bytes_);
  line_count_ = counts.lines;
  item_heads_ = counts.item_heads;
}

void SourceText::Clear() {
  bytes_ = {};
  line_count_ = 0;
  item_heads_ = 0;
  file_.reset();
  std::string().swap(owned_);
}

}  // namespace orv
