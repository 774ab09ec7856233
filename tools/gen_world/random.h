#ifndef ORVANTOR_TOOLS_GEN_WORLD_RANDOM_H_
#define ORVANTOR_TOOLS_GEN_WORLD_RANDOM_H_

#include <cstddef>
#include <cstdint>

namespace gen_world {

// splitmix64, our own rather than a std distribution, so that a seed gives
// the same world with every compiler and library. One stream serves the
// whole save: the builder and the writer draw from it in turn, so the order
// of their draws is part of what a seed means.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}

  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, n), n < 2^32.
  std::uint32_t Below(std::uint32_t n) {
    return static_cast<std::uint32_t>(((Next() >> 32) * n) >> 32);
  }
  // Uniform in [low, high].
  std::uint32_t Range(std::uint32_t low, std::uint32_t high) { return low + Below(high - low + 1); }
  // True with probability per_10000 / 10000.
  bool Chance(std::uint32_t per_10000) { return Below(10000) < per_10000; }
  template <class T, std::size_t N>
  const T& Pick(const T (&choices)[N]) {
    return choices[Below(static_cast<std::uint32_t>(N))];
  }

 private:
  std::uint64_t state_;
};

}  // namespace gen_world

#endif  // ORVANTOR_TOOLS_GEN_WORLD_RANDOM_H_
