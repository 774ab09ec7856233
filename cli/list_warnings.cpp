#include "cli/list_warnings.h"

#include <functional>
#include <string_view>

#include "platform/quoted.h"

namespace orv::cli {

std::string LineNumbersText(const std::vector<std::size_t>& lines, std::size_t most) {
  std::string out = lines.size() == 1 ? "line " : "lines ";
  const std::size_t shown = lines.size() < most ? lines.size() : most;
  for (std::size_t k = 0; k < shown; ++k) {
    if (k != 0) out += (k + 1 == shown && shown == lines.size()) ? " and " : ", ";
    out += std::to_string(lines[k]);
  }
  if (shown < lines.size()) out += " and " + std::to_string(lines.size() - shown) + " more";
  return out;
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

constexpr std::string_view kByteOrderMark = "\xef\xbb\xbf";

// The 1-based numbers of the lines for which `test` holds.
std::vector<std::size_t> LinesWhere(
    const LineList& list, const std::function<bool(std::size_t, const std::string&)>& test) {
  std::vector<std::size_t> lines;
  for (std::size_t k = 0; k < list.Count(); ++k) {
    if (test(k, list[k])) lines.push_back(k + 1);
  }
  return lines;
}

// The line without a byte-order mark in front, if it is the first.
std::string_view Entry(std::size_t index, const std::string& line) {
  std::string_view entry = line;
  if (index == 0 && entry.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    entry.remove_prefix(kByteOrderMark.size());
  }
  return entry;
}

bool IsBlankLine(std::size_t index, const std::string& line) {
  for (char c : Entry(index, line)) {
    if (!IsBlank(c)) return false;
  }
  return true;
}

class Warnings {
 public:
  explicit Warnings(const std::string& path) : path_(path) {}

  void Add(const std::vector<std::size_t>& lines, const std::string& what) {
    if (!lines.empty())
      texts_.push_back(platform::Quoted(path_) + ": " + LineNumbersText(lines) + ": " + what);
  }
  void Add(const std::string& text) { texts_.push_back(platform::Quoted(path_) + ": " + text); }
  std::vector<std::string> Take() { return std::move(texts_); }

 private:
  const std::string& path_;
  std::vector<std::string> texts_;
};

// The warnings both lists share.
void CommonWarnings(const LineList& list, Warnings& out, const std::string& empty_means,
                    const std::string& blank_means) {
  if (list.Empty()) {
    out.Add("the file is empty: " + empty_means);
    return;
  }
  if (list[0].substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    out.Add({1}, "a UTF-8 byte-order mark begins the file; it is part of the first entry");
  }
  out.Add(LinesWhere(list, IsBlankLine), blank_means);
  out.Add(LinesWhere(list,
                     [](std::size_t k, const std::string& line) {
                       const std::string_view e = Entry(k, line);
                       return !IsBlankLine(k, line) && (IsBlank(e.front()) || IsBlank(e.back()));
                     }),
          "blanks before or after an entry are part of it");
}

}  // namespace

std::vector<std::string> PositionListWarnings(const LineList& list, const std::string& path) {
  Warnings out(path);
  CommonWarnings(list, out, "no character is moved",
                 "a blank line is a position too: a player given it gets an empty \"P=\"");
  return out.Take();
}

std::vector<std::string> IllegalListWarnings(const LineList& list, const std::string& path) {
  Warnings out(path);
  CommonWarnings(list, out, "no item is removed", "a blank line is an entry that matches no item");
  const auto entry_test = [](auto&& test) {
    return [test](std::size_t k, const std::string& line) {
      const std::string_view e = Entry(k, line);
      return !IsBlankLine(k, line) && test(e);
    };
  };
  out.Add(LinesWhere(list, entry_test([](std::string_view e) {
                       return e.front() != '0' && !IsBlank(e.front());
                     })),
          "an id without its leading \"0\" matches nothing (write 0186b, not 186b)");
  out.Add(LinesWhere(list, entry_test([](std::string_view e) { return e.back() == ']'; })),
          "an id ending in \"]\" matches nothing (write 0186b, not 0186b])");
  return out.Take();
}

std::vector<std::string> UnmatchedIllegalWarnings(const World& w, const LineList& list,
                                                  const std::string& path) {
  Warnings out(path);
  out.Add(LinesWhere(list,
                     [&](std::size_t k, const std::string& line) {
                       if (IsBlankLine(k, line)) return false;
                       return w.ItemTexts.Find(line + "]") == TextPool::kAbsent;
                     }),
          "no item of the save has this id");
  return out.Take();
}

std::vector<std::string> PositionCountWarnings(const LineList& list, std::uint64_t moved,
                                               const std::string& path) {
  Warnings out(path);
  if (list.Empty() || moved == list.Count()) return out.Take();
  const auto count = [](std::uint64_t n, const std::string& one, const std::string& many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
  };
  const std::string positions = count(list.Count(), "position", "positions");
  const std::string players = count(moved, "player character has", "player characters have");
  if (moved < list.Count()) {
    out.Add(positions + ", but " + players + " a position line: the last " +
            std::to_string(list.Count() - moved) + " are not used");
  } else {
    out.Add(positions + ", but " + players +
            " a position line: the positions are handed out again from the top");
  }
  return out.Take();
}

}  // namespace orv::cli
