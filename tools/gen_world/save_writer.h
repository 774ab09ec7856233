#ifndef ORVANTOR_TOOLS_GEN_WORLD_SAVE_WRITER_H_
#define ORVANTOR_TOOLS_GEN_WORLD_SAVE_WRITER_H_

// Writes a world as ORV saves it: a commented header, one section per
// character or item (a head line, key lines, a blank line), "[EOF]". Every
// line ends in CR LF. The keys and their values are drawn here, with the
// stray indents, comments and ids without their leading 0 of hand-edited
// saves. A dense save has the same sections, lean: items with their few
// indispensable lines, characters with fewer stats.

#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

#include "tools/gen_world/random.h"
#include "tools/gen_world/world.h"
#include "tools/gen_world/world_builder.h"

namespace gen_world {

// The bytes of the save on their way to a file: gathered in one big buffer
// and handed to fwrite in 4 MiB chunks. Every section is far smaller than
// the headroom, so the appends never check bounds themselves.
class SaveText {
 public:
  explicit SaveText(std::FILE* file);

  // Called before each section: hands full chunks on.
  void Reserve() {
    if (static_cast<std::size_t>(end_ - buffer_.data()) >= kChunk) FlushChunks();
  }
  // Hands every byte left on.
  void Finish();
  std::uint64_t Bytes() const {
    return written_ + static_cast<std::uint64_t>(end_ - buffer_.data());
  }
  std::uint64_t Lines() const { return lines_; }
  // Whether a write failed.
  bool Failed() const { return failed_; }

  void Text(std::string_view text);
  void Char(char c) { *end_++ = c; }
  void EndLine() {
    end_[0] = '\r';
    end_[1] = '\n';
    end_ += 2;
    ++lines_;
  }
  void Line(std::string_view text) {
    Text(text);
    EndLine();
  }
  void Decimal(std::int64_t value);
  // Lower-case hex, at least `width` digits.
  void Hex(std::uint32_t value, int width);

 private:
  static constexpr std::size_t kChunk = 4u << 20;
  static constexpr std::size_t kHeadroom = 1u << 20;

  void Write(const char* data, std::size_t size);
  void FlushChunks();

  std::FILE* file_;
  std::vector<char> buffer_;
  char* end_;
  std::uint64_t written_ = 0;
  std::uint64_t lines_ = 0;
  bool failed_ = false;
};

class SaveWriter final : public WorldSink {
 public:
  // Draws from `random` in turn with the builder. With `dense`, item
  // sections are lean (WriteLeanItem) and characters carry fewer stats.
  SaveWriter(SaveText& text, Random& random, bool dense = false)
      : text_(text), random_(random), dense_(dense) {}

  void WriteHeader();
  void WriteUnit(const Unit& unit) override;
  void WriteOtherSection() override;
  // "[EOF]", and every byte handed on.
  void WriteEnd();
  std::uint64_t BytesWritten() const override { return text_.Bytes(); }

 private:
  void WriteChar(const Node& node);
  void WriteItem(const Node& node, const Unit& unit);
  // An item as a world of small items has most of them: its serial, where
  // it lies, a memory object's link, the few keys its role cannot do
  // without, and now and then a colour.
  void WriteLeanItem(const Node& node, const Unit& unit);
  // The lines every item section starts with: its head, its serial, a
  // memory object's link, its place and now and then a comment.
  void BeginItem(const Node& node, const Unit& unit);
  // "LINK=" of a memory object, and nothing for other items.
  void Link(const Node& node);
  // Where an item is: a position in the world when it lies loose, else its
  // "CONT=", after a place inside the container when `with_point`.
  void Place(const Node& node, const Unit& unit, bool with_point);

  void Head(const char* section, const char* id, bool bare);
  void Indent();
  void Comment();
  // A position in the world: "P=x,y,z".
  void Position();
  // "key=x,y,z". The values are drawn by the caller, one after the other,
  // since the order in which arguments are worked out is not fixed.
  void Point(const char* key, std::uint32_t x, std::uint32_t y, std::int64_t z);
  void Name(bool long_ok);
  void HitPoints();
  void KeyValue(const char* key, std::int64_t value);
  // A hex value as ORV writes it: a leading 0, then lower-case digits.
  void HexKeyValue(const char* key, std::uint32_t value);
  void CharSerial(std::uint32_t serial);
  void ItemSerial(std::uint32_t serial);
  std::uint32_t PlainType();

  SaveText& text_;
  Random& random_;
  const bool dense_;
};

}  // namespace gen_world

#endif  // ORVANTOR_TOOLS_GEN_WORLD_SAVE_WRITER_H_
