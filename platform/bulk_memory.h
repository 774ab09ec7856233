#ifndef ORVANTOR_PLATFORM_BULK_MEMORY_H_
#define ORVANTOR_PLATFORM_BULK_MEMORY_H_

#include <cstddef>

namespace orv::platform {

// Zeroed memory for large arrays (record chunks, index tables), in pages of
// its own, aligned to take huge pages where the system gives them unasked.
// Throws std::bad_alloc.
void* AllocateBulk(std::size_t bytes);

// The same for a table read and written at random all over (an index),
// and backed now: each page faults once here, not on its first use. Where
// this machine backs a huge page no dearer than the 512 small pages it
// spans, the table lies in huge pages, which spare the look-ups a miss in
// the address cache on nearly every slot. Free it with FreeBulk.
void* AllocateScatteredBulk(std::size_t bytes);

// Makes the system back every page of memory from AllocateBulk now, so
// that the first real use of it faults no more. It stays zeroed.
void TouchBulk(void* memory, std::size_t bytes) noexcept;

// Returns memory from AllocateBulk of the same size to the system.
void FreeBulk(void* memory, std::size_t bytes) noexcept;

// For a process about to end: hands the pages of every mapping noted below
// back to the system on two threads, where the exit would free them all on
// one core. The mappings stay in place and read as zeros (a mapped file's
// pages stay cached), so nothing may read them afterwards.
void DiscardNotedPages() noexcept;
// Notes or forgets a mapping for DiscardNotedPages (one that cannot be
// noted for want of memory is left to the exit). The blocks of MapBulkPages
// are noted on their own.
void NoteDiscardable(const void* memory, std::size_t bytes) noexcept;
void ForgetDiscardable(const void* memory) noexcept;

// The system's side, for the blocks too large for the heap
// (bulk_memory_posix.cpp, bulk_memory_win.cpp): zeroed pages of at least
// `bytes`, and their return. MapBulkPages throws std::bad_alloc.
void* MapBulkPages(std::size_t bytes);
// The same, backed now, for AllocateScatteredBulk.
void* MapScatteredPages(std::size_t bytes);
void UnmapBulkPages(void* memory, std::size_t bytes) noexcept;

}  // namespace orv::platform

#endif  // ORVANTOR_PLATFORM_BULK_MEMORY_H_
