#include "engine/text_pool.h"

#include "engine/tree.h"

namespace orv {

TextPool::TextPool() { Clear(); }

void TextPool::Clear() {
  texts_.assign(1, std::string());
  slots_.assign(64, 0);
}

std::size_t TextPool::Probe(std::string_view text, std::uint64_t hash) const {
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = static_cast<std::size_t>(hash) & mask;
  while (slots_[i] != 0 && texts_[slots_[i] - 1] != text) i = (i + 1) & mask;
  return i;
}

TextPool::Ref TextPool::Intern(std::string_view text) {
  if (text.empty()) return kEmpty;
  std::size_t i = Probe(text, HashSerial(text));
  if (slots_[i] != 0) return slots_[i] - 1;
  texts_.emplace_back(text);
  slots_[i] = static_cast<Ref>(texts_.size());
  if (texts_.size() * 2 > slots_.size()) Grow();
  return static_cast<Ref>(texts_.size() - 1);
}

TextPool::Ref TextPool::Find(std::string_view text) const {
  if (text.empty()) return kEmpty;
  const std::size_t i = Probe(text, HashSerial(text));
  return slots_[i] == 0 ? kAbsent : slots_[i] - 1;
}

void TextPool::Grow() {
  std::vector<Ref> bigger(slots_.size() * 2, 0);
  slots_.swap(bigger);
  for (Ref ref = 1; ref < texts_.size(); ++ref)
    slots_[Probe(texts_[ref], HashSerial(texts_[ref]))] = ref + 1;
}

namespace {
std::size_t KindSlot(TextPool::Ref base_id, TextPool::Ref type, std::size_t mask) {
  const std::uint64_t key = (std::uint64_t{base_id} << 32) | type;
  return static_cast<std::size_t>((key * 0x9e3779b97f4a7c15ull) >> 40) & mask;
}
}  // namespace

ItemKinds::ItemKinds() { Clear(); }

void ItemKinds::Clear() {
  kinds_.assign(1, Kind{TextPool::kEmpty, TextPool::kEmpty});
  slots_.assign(64, 0);
  slots_[KindSlot(TextPool::kEmpty, TextPool::kEmpty, slots_.size() - 1)] = 1;
}

ItemKinds::Ref ItemKinds::Intern(TextPool::Ref base_id, TextPool::Ref type) {
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = KindSlot(base_id, type, mask);
  for (; slots_[i] != 0; i = (i + 1) & mask) {
    const Kind& k = kinds_[slots_[i] - 1];
    if (k.base_id == base_id && k.type == type) return slots_[i] - 1;
  }
  kinds_.push_back(Kind{base_id, type});
  slots_[i] = static_cast<Ref>(kinds_.size());
  if (kinds_.size() * 2 > slots_.size()) Grow();
  return static_cast<Ref>(kinds_.size() - 1);
}

void ItemKinds::Grow() {
  std::vector<Ref> bigger(slots_.size() * 2, 0);
  slots_.swap(bigger);
  const std::size_t mask = slots_.size() - 1;
  for (Ref ref = 0; ref < kinds_.size(); ++ref) {
    std::size_t i = KindSlot(kinds_[ref].base_id, kinds_[ref].type, mask);
    while (slots_[i] != 0) i = (i + 1) & mask;
    slots_[i] = ref + 1;
  }
}

}  // namespace orv
