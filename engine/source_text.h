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

// The loaded source world save: its bytes as one read-only buffer and the
// number of its lines. Lines are read through a LineCursor; records keep
// byte offsets into this buffer instead of copies of their lines.
class SourceText {
 public:
  SourceText();
  ~SourceText();
  SourceText(const SourceText&) = delete;
  SourceText& operator=(const SourceText&) = delete;

  // When the lines are counted. The first pass over a freshly mapped file
  // is slow, so the analysis counts on one thread while its reader already
  // starts on the sections on another.
  enum class Counting {
    kNow,
    kLater,  // Counted() is false until CountOnThisThread()
  };

  // Replaces the content by the whole file `path`. Throws IoError.
  void LoadFromFile(const std::string& path, Counting counting = Counting::kNow);
  // Replaces the content by a copy of `bytes` (tests, fuzzing).
  void LoadFromBytes(std::string_view bytes, Counting counting = Counting::kNow);

  // Throws IoError when the file loaded has been written to since (see
  // platform::FileBytes::CheckUnchanged); bytes loaded from memory never.
  void CheckUnchanged() const;

  // Whether LineCount() and the head counts hold; counts them if not.
  bool Counted() const { return counted_; }
  void CountOnThisThread();
  // Empties the text and frees its memory.
  void Clear();

  std::string_view Bytes() const { return bytes_; }
  std::uint64_t LineCount() const { return line_count_; }
  // Lines that begin with "[WORLDITEM" or "[WORLDCHAR", unindented: about
  // the numbers of item and character sections (see CountLinesAndHeads).
  std::uint64_t ItemHeadCount() const { return item_heads_; }
  std::uint64_t CharHeadCount() const { return char_heads_; }
  LineCursor Lines() const { return LineCursor(bytes_); }
  LineCursor LinesFrom(std::size_t offset) const { return LineCursor(bytes_, offset); }

 private:
  void CountWhen(Counting counting);
  void Count(const LineCounts& counts);

  std::unique_ptr<platform::FileBytes> file_;
  std::string owned_;
  std::string_view bytes_;
  std::uint64_t line_count_ = 0;
  std::uint64_t item_heads_ = 0;
  std::uint64_t char_heads_ = 0;
  bool counted_ = true;
};

}  // namespace orv

#endif  // ORVANTOR_ENGINE_SOURCE_TEXT_H_
