#include "platform/sys/large_alloc.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23  // Linux 5.14
#endif

namespace sys {
namespace {

constexpr size_t kPage = 4096, kHugePage = size_t{2} << 20;

size_t Rounded(size_t bytes, size_t page) { return (bytes + page - 1) / page * page; }
// What a block of `bytes` maps: a block of 1 to 2 MiB takes one whole huge page; a larger
// one takes huge pages for its whole 2 MiB stretches and small ones for the rest, so that it
// costs no more memory than it holds.
size_t Mapped(size_t bytes) {
  return bytes >= kLargeBlock && bytes < kHugePage ? kHugePage : Rounded(bytes, kPage);
}

}  // namespace

void* AllocateLarge(size_t bytes) {
  if (bytes < kMappedBlock) {
    if (void* p = std::malloc(bytes == 0 ? 1 : bytes)) return p;
    throw std::bad_alloc();
  }
  if (bytes > static_cast<size_t>(-1) / 2) throw std::bad_alloc();
  const size_t size = Mapped(bytes);
  if (bytes < kLargeBlock) {
    void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    return p;
  }
  // Mapped with a huge page of slack and trimmed so that it starts on a 2 MiB boundary.
  void* mapped =
      ::mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  const auto start = reinterpret_cast<uintptr_t>(mapped);
  const uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
  if (aligned > start) ::munmap(mapped, aligned - start);
  const uintptr_t end = start + size + kHugePage;
  if (end > aligned + size) ::munmap(reinterpret_cast<void*>(aligned + size), end - aligned - size);
  auto* p = reinterpret_cast<void*>(aligned);
  // Only advice: without transparent huge pages, or on an older kernel, the pages come one
  // fault at a time as before.
  ::madvise(p, size / kHugePage * kHugePage, MADV_HUGEPAGE);
  ::madvise(p, size, MADV_POPULATE_WRITE);
  return p;
}

void FreeLarge(void* p, size_t bytes) noexcept {
  if (!p) return;
  if (bytes < kMappedBlock) {
    std::free(p);
    return;
  }
  ::munmap(p, Mapped(bytes));
}

}  // namespace sys
