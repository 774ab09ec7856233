#include "engine/source_text.h"

#include "platform/file_system.h"

namespace orv {

SourceText::SourceText() = default;
SourceText::~SourceText() = default;

void SourceText::LoadFromFile(const std::string& path) {
  Clear();
  file_ = platform::OpenWholeFile(path);
  bytes_ = file_->Bytes();
}

void SourceText::LoadFromBytes(std::string_view bytes) {
  Clear();
  owned_.assign(bytes);
  bytes_ = owned_;
}

void SourceText::CheckUnchanged() const {
  if (file_) file_->CheckUnchanged();
}

void SourceText::Clear() {
  bytes_ = {};
  file_.reset();
  std::string().swap(owned_);
}

}  // namespace orv
