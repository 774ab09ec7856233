#ifndef ORVANTOR_ENGINE_PREFETCH_H_
#define ORVANTOR_ENGINE_PREFETCH_H_

namespace orv {

// Starts loading the cache line that holds `address`, for a use soon after.
// Never faults, whatever the address. On x86 it is an asm statement, which
// no optimiser removes: g++ 12 silently drops a __builtin_prefetch that is
// all a branch does, which is how most look-aheads are written.
inline void PrefetchLine(const void* address) {
#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
  asm volatile("prefetcht0 (%0)" : : "r"(address));
#else
  __builtin_prefetch(address);
#endif
}

}  // namespace orv

#endif  // ORVANTOR_ENGINE_PREFETCH_H_
