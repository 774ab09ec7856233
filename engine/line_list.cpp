#include "engine/line_list.h"

#include "engine/line_split.h"
#include "platform/file_system.h"

namespace orv {

void LineList::LoadFromBytes(std::string_view bytes) {
  lines_.clear();
  for (LineCursor c(bytes); c.HasLine(); c.Advance()) lines_.emplace_back(c.Line());
}

std::string LineList::ToBytes() const {
  std::size_t total = 0;
  for (const auto& l : lines_) total += l.size() + 2;
  std::string out;
  out.reserve(total);
  for (const auto& l : lines_) {
    out.append(l);
    out.append("\r\n");
  }
  return out;
}

void LineList::LoadFromFile(const std::string& path) {
  auto source = platform::OpenWholeFile(path);
  LoadFromBytes(source->Bytes());
}

void LineList::SaveToFile(const std::string& path) const {
  platform::AtomicFileWriter out(path);
  std::string bytes = ToBytes();
  out.Write(bytes.data(), bytes.size());
  out.Commit();
}

}  // namespace orv
