#ifndef ORVANTOR_ENGINE_SOURCE_TEXT_H_
#define ORVANTOR_ENGINE_SOURCE_TEXT_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/line_split.h"

namespace orv {
namespace platform {
class FileBytes;
}

// The loaded source world save: its bytes as one read-only buffer. Lines
// are read through a LineCursor; records keep byte offsets into this buffer
// instead of copies of their lines.
class SourceText {
 public:
  SourceText();
  ~SourceText();
  SourceText(const SourceText&) = delete;
  SourceText& operator=(const SourceText&) = delete;

  // Replaces the content by the whole file `path`. Throws IoError.
  void LoadFromFile(const std::string& path);
  // Replaces the content by a copy of `bytes` (tests, fuzzing).
  void LoadFromBytes(std::string_view bytes);

  // Throws IoError when the file loaded has been written to since (see
  // platform::FileBytes::CheckUnchanged); bytes loaded from memory never.
  void CheckUnchanged() const;

  // Empties the text and frees its memory.
  void Clear();

  std::string_view Bytes() const { return bytes_; }
  LineCursor Lines() const { return LineCursor(bytes_); }
  LineCursor LinesFrom(std::size_t offset) const { return LineCursor(bytes_, offset); }

 private:
  std::unique_ptr<platform::FileBytes> file_;
  std::string owned_;
  std::string_view bytes_;
};

}  // namespace orv

#endif  // ORVANTOR_ENGINE_SOURCE_TEXT_H_
