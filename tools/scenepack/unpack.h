#pragma once
// Taking a show apart again: the archive of a saver file (or a bare archive) read with the
// player's own record reader, its manifest, and every embedded picture and media file
// written into a folder, so that packing the folder again gives the same archive.

#include <cstdint>
#include <filesystem>
#include <nlohmann/json_fwd.hpp>
#include <span>
#include <string>
#include <vector>

#include "scenepack/show.h"

namespace scenepack {

// The archive in a file: what follows the ELF image of a saver file, or the whole file.
std::span<const uint8_t> ArchiveOf(std::span<const uint8_t> file);

// Every item of an archive, links resolved. Throws std::runtime_error naming the byte.
Show ReadArchive(std::span<const uint8_t> archive);

// The manifest of a show whose resources were written as files[i] (empty when an item has no
// file), with picture bytes kept as they are.
nlohmann::json ManifestOf(const Show& show, const std::vector<std::string>& files);

// A file name that cannot leave the folder it is written into: no path components, no
// leading dot, no control characters, at most 200 bytes; `taken` (names already used)
// is consulted and extended so names stay unique.
std::string SafeFileName(const std::string& storedUtf8, const std::string& fallback,
                         std::vector<std::string>& taken);

struct UnpackResult {
  size_t files = 0;
  // Packing DIR/show.json again gives these very bytes; otherwise why not.
  bool identical = false;
  std::string difference;
};

// Writes outDir/show.json and the files. outDir is made when missing; nothing in it is
// replaced and no link is followed. Throws std::runtime_error.
UnpackResult Unpack(const std::filesystem::path& input, const std::filesystem::path& outDir);

}  // namespace scenepack
