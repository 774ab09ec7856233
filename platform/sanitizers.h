#ifndef ORVANTOR_PLATFORM_SANITIZERS_H_
#define ORVANTOR_PLATFORM_SANITIZERS_H_

namespace orv::platform {

// Whether this build runs under AddressSanitizer or ThreadSanitizer: such a
// build needs far more address space than a plain one, and its leak checks
// must see every allocation freed.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
#else
inline constexpr bool kSanitized = false;
#endif

}  // namespace orv::platform

#endif  // ORVANTOR_PLATFORM_SANITIZERS_H_
