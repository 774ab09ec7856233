#include "engine/source_text.h"

#include "platform/file_system.h"

namespace orv {

SourceText::SourceText() = default;
SourceText::~SourceText() = default;

void SourceText::LoadFromFile(const std::string& path) {
  Clear();
  file_ = platform::OpenWholeFile(path);
  bytes_ = file_->Bytes();
  line_count_ = CountLines(bytes_);
}

void SourceText::LoadFromBytes(std::string_view bytes) {
  Clear();
  owned_.assign(bytes);
  bytes_ = owned_;
  line_count_ = CountLines(bytes_);
}

void SourceText::Clear() {
  bytes_ = {};
  line_count_ = 0;
  file_.reset();
  std::string().swap(owned_);
}

}  // namespace orv
