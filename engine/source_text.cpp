#include "engine/source_text.h"

#include "platform/file_system.h"

namespace orv {

SourceText::SourceText() = default;
SourceText::~SourceText() = default;

void SourceText::LoadFromFile(const std::string& path, Counting counting) {
  Clear();
  file_ = platform::OpenWholeFile(path);
  bytes_ = file_->Bytes();
  CountWhen(counting);
}

void SourceText::LoadFromBytes(std::string_view bytes, Counting counting) {
  Clear();
  owned_.assign(bytes);
  bytes_ = owned_;
  CountWhen(counting);
}

void SourceText::CheckUnchanged() const {
  if (file_) file_->CheckUnchanged();
}

void SourceText::CountWhen(Counting counting) {
  if (counting == Counting::kNow) {
    Count(CountLinesAndHeads(bytes_));
  } else {
    counted_ = false;
  }
}

void SourceText::CountOnThisThread() { Count(CountLinesAndHeadsOnThisThread(bytes_)); }

void SourceText::Count(const LineCounts& counts) {
  line_count_ = counts.lines;
  item_heads_ = counts.item_heads;
  char_heads_ = counts.char_heads;
  counted_ = true;
}

void SourceText::Clear() {
  bytes_ = {};
  line_count_ = 0;
  item_heads_ = 0;
  char_heads_ = 0;
  counted_ = true;
  file_.reset();
  std::string().swap(owned_);
}

}  // namespace orv
