#pragma once
// Where an ELF executable's own image ends. A saver file is the player executable with a
// project archive appended, so the archive starts exactly there; the player and the show
// builder both compute the offset with this function.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/sys/bounded_reader.h"

namespace sys {

// The end of the image: the later of the end of the section header table and the end of
// the last section with file contents (program segments are counted too). nullopt when the
// data is not a well-formed 32- or 64-bit little-endian ELF file.
std::optional<uint64_t> ElfImageEnd(ByteSource& source);
std::optional<uint64_t> ElfImageEnd(const std::string& path);

}  // namespace sys
