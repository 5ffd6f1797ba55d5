#pragma once
// A slide show of every picture in a folder, as a manifest: each picture fit to the screen
// keeping its aspect, centred, shown through an effect, held for a pause, then hidden; the
// whole in an endless loop.

#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace scenepack {

struct FolderShowOptions {
  int32_t pauseMs = 5000;
  int32_t effect = 4;  // a number, or 3 for a new random effect at every showing
  int32_t effectSpeed = 300;
  bool fit = true;
  bool loop = true;
  bool shuffle = false;
  std::optional<uint32_t> seed;  // drawn and reported when shuffling without one
  uint32_t background = 0;       // COLORREF
};

struct FolderShow {
  nlohmann::json manifest;
  uint32_t seed = 0;                 // the seed used when shuffled
  std::vector<std::string> skipped;  // files that are not pictures, with why
};

// The pictures of dir (regular files whose content is a picture format, by name in byte
// order, or shuffled), named in the manifest relative to baseDir. Throws std::runtime_error
// when the folder cannot be read or holds no picture.
FolderShow MakeFolderShow(const std::filesystem::path& dir, const FolderShowOptions& options,
                          const std::filesystem::path& baseDir);

}  // namespace scenepack
