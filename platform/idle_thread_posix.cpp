#include "platform/idle_thread.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

namespace orv::platform {

void RunThisThreadOnlyWhenIdle() noexcept {
#if defined(SCHED_IDLE)
  sched_param param{};
  if (::pthread_setschedparam(::pthread_self(), SCHED_IDLE, &param) == 0) return;
#endif
  // On Linux the nice value is per thread; elsewhere this may lower the
  // whole process, which is still only a matter of speed.
  ::setpriority(PRIO_PROCESS, 0, 19);
}

}  // namespace orv::platform
