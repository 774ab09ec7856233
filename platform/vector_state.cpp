#include "platform/vector_state.h"

namespace orv::platform {

void ClearUpperVectorState() noexcept {
#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
  // The check covers the system too: vzeroupper faults where the system has
  // not switched AVX on.
  static const bool has_avx = __builtin_cpu_supports("avx");
  if (has_avx) asm volatile("vzeroupper");
#endif
}

}  // namespace orv::platform
