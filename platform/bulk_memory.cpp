#include "platform/bulk_memory.h"

namespace orv::platform {

void TouchBulk(void* memory, std::size_t bytes) noexcept {
  // One write in every small page: a huge page is backed at its first
  // write, but a virtual machine may still map it to the process page by
  // page. Writing a zero keeps the memory as it was.
  volatile char* bytes_at = static_cast<volatile char*>(memory);
  for (std::size_t i = 0; i < bytes; i += 4096) bytes_at[i] = 0;
}

}  // namespace orv::platform
