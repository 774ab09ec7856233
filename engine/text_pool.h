#ifndef ORVANTOR_ENGINE_TEXT_POOL_H_
#define ORVANTOR_ENGINE_TEXT_POOL_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

// Interns the short texts that repeat across millions of item records (the
// item ids of section heads, the "TYPE=" values): a record keeps a 32-bit
// number instead of the text, and two texts are equal exactly when their
// numbers are. Number 0 is the empty text.
class TextPool {
 public:
  using Ref = std::uint32_t;
  static constexpr Ref kEmpty = 0;
  // Never the number of any interned text.
  static constexpr Ref kAbsent = 0xffffffffu;

  TextPool();

  // The number of `text`, interning it first when it is new.
  Ref Intern(std::string_view text);
  // The number of `text`, or kAbsent when it was never interned.
  Ref Find(std::string_view text) const;
  // The text of a number from this pool. Valid until the next Intern.
  std::string_view Text(Ref ref) const { return texts_[ref]; }
  std::size_t Size() const { return texts_.size(); }
  // Forgets every text but the empty one.
  void Clear();

 private:
  std::size_t Probe(std::string_view text, std::uint64_t hash) const;
  void Grow();

  std::vector<std::string> texts_;
  std::vector<Ref> slots_;  // text number + 1; 0 marks a free slot
};

// The (id, type) pairs of the item records, interned: an item keeps one
// 32-bit number for both texts, and a world holds few distinct pairs. Number
// 0 is the pair of empty texts.
class ItemKinds {
 public:
  using Ref = std::uint32_t;
  static constexpr Ref kPlain = 0;
  struct Kind {
    TextPool::Ref base_id;
    TextPool::Ref type;
  };

  ItemKinds();

  // The number of the pair, interning it first when it is new.
  Ref Intern(TextPool::Ref base_id, TextPool::Ref type);
  const Kind& operator[](Ref ref) const { return kinds_[ref]; }
  // The number of pairs; every Ref handed out is below it.
  std::size_t Size() const { return kinds_.size(); }
  // Forgets every pair but the empty one.
  void Clear();

 private:
  void Grow();

  std::vector<Kind> kinds_;
  std::vector<Ref> slots_;  // pair number + 1; 0 marks a free slot
};

}  // namespace orv

#endif  // ORVANTOR_ENGINE_TEXT_POOL_H_
