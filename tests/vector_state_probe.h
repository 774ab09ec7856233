#ifndef ORVANTOR_TESTS_VECTOR_STATE_PROBE_H_
#define ORVANTOR_TESTS_VECTOR_STATE_PROBE_H_

// Lets a test see whether the upper halves of the x86 vector registers are
// in use on the calling thread (XGETBV with ECX = 1 tells), and put them in
// use as code built for AVX may leave them.

#include <cstdint>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>
#define ORVANTOR_VECTOR_STATE_PROBE 1
#endif

namespace orv::testing {

#ifdef ORVANTOR_VECTOR_STATE_PROBE
// Whether the processor and the system have AVX and the processor says
// which states are in use.
inline bool CanSeeUpperVectorState() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid(1, &a, &b, &c, &d) == 0) return false;
  if ((c & bit_OSXSAVE) == 0 || (c & bit_AVX) == 0) return false;
  std::uint32_t lo = 0, hi = 0;
  asm volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
  if ((lo & 6u) != 6u) return false;  // the system saves SSE and AVX state
  if (__get_cpuid_max(0, nullptr) < 0xd) return false;
  __cpuid_count(0xd, 1, a, b, c, d);
  return (a & (1u << 2)) != 0;
}

inline bool UpperVectorStateInUse() {
  std::uint32_t lo = 0, hi = 0;
  asm volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(1));
  return (lo & (1u << 2)) != 0;
}

inline void PutUpperVectorStateInUse() {
  asm volatile("vpcmpeqb %%ymm0, %%ymm0, %%ymm0" ::: "xmm0");
}
#else
inline bool CanSeeUpperVectorState() { return false; }
inline bool UpperVectorStateInUse() { return false; }
inline void PutUpperVectorStateInUse() {}
#endif

}  // namespace orv::testing

#endif  // ORVANTOR_TESTS_VECTOR_STATE_PROBE_H_
