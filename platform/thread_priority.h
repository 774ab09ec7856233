#ifndef ORVANTOR_PLATFORM_THREAD_PRIORITY_H_
#define ORVANTOR_PLATFORM_THREAD_PRIORITY_H_

namespace orv::platform {

// Lets the calling thread run only when a core would otherwise idle (or as
// near to that as the system offers), for work that merely helps the busy
// threads. Does nothing where the system has no such setting.
void LowerThisThreadsPriority() noexcept;

}  // namespace orv::platform

#endif  // ORVANTOR_PLATFORM_THREAD_PRIORITY_H_
