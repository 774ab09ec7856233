#ifndef ORVANTOR_ENGINE_LINE_LIST_H_
#define ORVANTOR_ENGINE_LINE_LIST_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

// An ordered list of 8-bit text lines: the position and illegal-item lists,
// the spawn serials of a run, the lines of a made-up record. Small lists;
// the world save itself is held by SourceText.
class LineList {
 public:
  LineList() = default;
  LineList(std::initializer_list<std::string> lines) : lines_(lines) {}
  explicit LineList(std::vector<std::string> lines) : lines_(std::move(lines)) {}

  std::size_t Count() const { return lines_.size(); }
  bool Empty() const { return lines_.empty(); }
  const std::string& operator[](std::size_t i) const { return lines_[i]; }
  void Append(std::string_view line) { lines_.emplace_back(line); }
  void Replace(std::size_t i, std::string_view line) { lines_[i] = std::string(line); }
  void Clear() { lines_.clear(); }
  const std::vector<std::string>& Lines() const { return lines_; }

  auto begin() const { return lines_.begin(); }
  auto end() const { return lines_.end(); }

  // Replaces the lines by those of `bytes`, split at CR, LF or CR LF.
  void LoadFromBytes(std::string_view bytes);
  // Every line followed by CR LF, the last one included.
  std::string ToBytes() const;

  // Loads a whole file. Throws IoError when it cannot be read.
  void LoadFromFile(const std::string& path);
  // Saves to a file, replacing it atomically. Throws IoError on failure.
  void SaveToFile(const std::string& path) const;

  friend bool operator==(const LineList&, const LineList&) = default;

 private:
  std::vector<std::string> lines_;
};

}  // namespace orv

#endif  // ORVANTOR_ENGINE_LINE_LIST_H_
