#include "platform/sys/large_alloc.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace sys {
namespace {

constexpr size_t kHugePage = size_t{2} << 20;

size_t Rounded(size_t bytes, size_t page) { return (bytes + page - 1) / page * page; }
size_t Rounded(size_t bytes) { return Rounded(bytes, bytes < kLargeBlock ? 4096 : kHugePage); }

}  // namespace

void* AllocateLarge(size_t bytes) {
  if (bytes < kMappedBlock) {
    if (void* p = std::malloc(bytes == 0 ? 1 : bytes)) return p;
    throw std::bad_alloc();
  }
  if (bytes < kLargeBlock) {
    void* p = ::mmap(nullptr, Rounded(bytes), PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    return p;
  }
  if (bytes > static_cast<size_t>(-1) / 2) throw std::bad_alloc();
  // Mapped with a page of slack, then trimmed to a 2 MiB boundary at both ends.
  const size_t size = Rounded(bytes);
  void* mapped =
      ::mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  const auto start = reinterpret_cast<uintptr_t>(mapped);
  const uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
  if (aligned > start) ::munmap(mapped, aligned - start);
  const uintptr_t end = start + size + kHugePage;
  if (end > aligned + size) ::munmap(reinterpret_cast<void*>(aligned + size), end - aligned - size);
  // Only advice: without transparent huge pages the block has ordinary pages.
  ::madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
  return reinterpret_cast<void*>(aligned);
}

void FreeLarge(void* p, size_t bytes) noexcept {
  if (!p) return;
  if (bytes < kMappedBlock) {
    std::free(p);
    return;
  }
  ::munmap(p, Rounded(bytes));
}

}  // namespace sys
