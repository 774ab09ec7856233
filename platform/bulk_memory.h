#ifndef ORVANTOR_PLATFORM_BULK_MEMORY_H_
#define ORVANTOR_PLATFORM_BULK_MEMORY_H_

#include <cstddef>

namespace orv::platform {

// Zeroed memory for large arrays (record chunks, index tables), in pages of
// its own, aligned to take huge pages where the system gives them unasked.
// Throws std::bad_alloc.
void* AllocateBulk(std::size_t bytes);

// Makes the system back every page of memory from AllocateBulk now, so
// that the first real use of it faults no more. It stays zeroed.
void TouchBulk(void* memory, std::size_t bytes) noexcept;

// Returns memory from AllocateBulk of the same size to the system.
void FreeBulk(void* memory, std::size_t bytes) noexcept;

// The system's side, for the blocks too large for the heap
// (bulk_memory_posix.cpp, bulk_memory_win.cpp): zeroed pages of at least
// `bytes`, and their return. MapBulkPages throws std::bad_alloc.
void* MapBulkPages(std::size_t bytes);
void UnmapBulkPages(void* memory, std::size_t bytes) noexcept;

}  // namespace orv::platform

#endif  // ORVANTOR_PLATFORM_BULK_MEMORY_H_
