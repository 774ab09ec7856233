// The Windows side of thread_priority.h.

#include <windows.h>

#include "platform/thread_priority.h"

namespace orv::platform {

void LowerThisThreadsPriority() noexcept {
  ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_IDLE);
}

}  // namespace orv::platform
