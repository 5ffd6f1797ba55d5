#pragma once
// Storage for large buffers (sound chunks, big bitmaps). A fresh 4 KiB page costs a fault
// when first written, and under virtualisation each fault costs microseconds: a buffer of a
// few megabytes pays milliseconds before it holds anything. Blocks from 64 KiB get all their
// pages in one call rather than one fault each, and from 1 MiB they take 2 MiB huge pages
// where the kernel grants them: one whole page for a block of up to 2 MiB (up to half of it
// unused: meant for a few buffers such as sound chunks, not for many), and for a larger
// block its whole 2 MiB stretches, with small pages for the rest. They are meant to be
// written at once (a vector's fill); small blocks come from the heap as usual.

#include <cstddef>
#include <new>
#include <vector>

namespace sys {

// The sizes from which blocks are mapped with their pages, and in 2 MiB pages.
inline constexpr size_t kMappedBlock = size_t{64} << 10;
inline constexpr size_t kLargeBlock = size_t{1} << 20;

// Never null: throws std::bad_alloc like operator new.
void* AllocateLarge(size_t bytes);
// `bytes` as passed to AllocateLarge.
void FreeLarge(void* p, size_t bytes) noexcept;

// Blocks of at least kFrom bytes are large blocks; smaller ones come from the heap, which
// hands a block that is freed and asked for again back without any fault.
template <class T, size_t kFrom = kMappedBlock>
struct LargeAllocator {
  using value_type = T;
  template <class U>
  struct rebind {
    using other = LargeAllocator<U, kFrom>;
  };
  LargeAllocator() = default;
  template <class U>
  LargeAllocator(const LargeAllocator<U, kFrom>&) noexcept {}
  T* allocate(size_t n) {
    if (n > static_cast<size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    const size_t bytes = n * sizeof(T);
    return static_cast<T*>(bytes < kFrom ? ::operator new(bytes) : AllocateLarge(bytes));
  }
  void deallocate(T* p, size_t n) noexcept {
    const size_t bytes = n * sizeof(T);
    if (bytes < kFrom) {
      ::operator delete(p);
    } else {
      FreeLarge(p, bytes);
    }
  }
  template <class U>
  bool operator==(const LargeAllocator<U, kFrom>&) const noexcept {
    return true;
  }
};

template <class T, size_t kFrom = kMappedBlock>
using LargeVector = std::vector<T, LargeAllocator<T, kFrom>>;

}  // namespace sys
