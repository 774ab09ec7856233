#ifndef ORVANTOR_PLATFORM_IDLE_THREAD_H_
#define ORVANTOR_PLATFORM_IDLE_THREAD_H_

namespace orv::platform {

// Lowers the calling thread so that it runs only on a core that would
// otherwise be idle: for work done ahead of need that must never slow the
// threads doing the work now. Where the system has no such priority, the
// lowest ordinary one.
void RunThisThreadOnlyWhenIdle() noexcept;

}  // namespace orv::platform

#endif  // ORVANTOR_PLATFORM_IDLE_THREAD_H_
