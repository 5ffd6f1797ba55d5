#pragma once
// Whole reads and writes on a file descriptor: the system may move fewer bytes than asked
// or be interrupted by a signal, and every caller wants all of them or a clear failure.

#include <cstddef>
#include <cstdint>

namespace sys {

// Reads up to n bytes at offset; fewer only at the end of the file or on an error (errno
// tells which when it matters).
size_t ReadFullAt(int fd, uint64_t offset, void* dst, size_t n);

// Writes all n bytes at the file position; false on an error, with errno set (EIO when
// the system wrote nothing without saying why).
bool WriteFull(int fd, const void* data, size_t n);

}  // namespace sys
