#pragma once
// Putting a built show on disk: the player image a saver file starts with, and an
// all-or-nothing write of the result.

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

namespace scenepack {

// The player executable up to the end of its ELF image, so that a saver file given as the
// player loses its old show. Throws std::runtime_error when the file cannot be read or is
// not an ELF executable.
std::vector<uint8_t> PlayerImage(const std::filesystem::path& playerPath);

// The player that a saver file is built from when none is named: the one beside this
// executable, else the one in the build tree's src/app.
std::filesystem::path DefaultPlayerPath();

// The whole of a regular file of at most maxBytes. FIFOs, devices, sockets and folders are
// refused without being read (or waited for). Throws std::runtime_error saying why.
std::vector<uint8_t> ReadRegularFile(const std::filesystem::path& path, uint64_t maxBytes);

// Writes the parts one after the other to a temporary file beside target, flushes it to
// disk, gives it mode and renames it over target; on any failure nothing is left behind.
// A target that exists but is not a regular file (a device, a FIFO, a folder, a link) is
// refused before anything is written.
// Throws std::runtime_error naming the path.
void WriteFileAtomically(const std::filesystem::path& target,
                         std::initializer_list<std::span<const uint8_t>> parts, mode_t mode);

}  // namespace scenepack
