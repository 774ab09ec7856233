#include "platform/thread_priority.h"

#include <pthread.h>
#include <sched.h>

namespace orv::platform {

void LowerThisThreadsPriority() noexcept {
#if defined(SCHED_IDLE)
  sched_param param{};
  param.sched_priority = 0;
  pthread_setschedparam(pthread_self(), SCHED_IDLE, &param);
#endif
}

}  // namespace orv::platform
