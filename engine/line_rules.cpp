#include "engine/line_rules.h"

#include <cstring>
#include <string>

namespace orv {

std::string KeptLine::str() const {
  std::string out;
  out.reserve(size());
  out.append(head);
  if (zero) out.push_back('0');
  out.append(tail);
  return out;
}

std::string_view BaseIdOf(const KeptLine& head, char (&scratch)[10]) {
  if (head.size() < 12) return {};
  if (!head.zero) return ValueCut(head.head, 12, 10);
  // The inserted "0" stands at position 12; the id follows it.
  scratch[0] = '0';
  std::string_view rest = head.tail.substr(0, 9);
  if (!rest.empty()) std::memcpy(scratch + 1, rest.data(), rest.size());
  return {scratch, rest.size() + 1};
}

}  // namespace orv
