#pragma once
// The scenepack manifest: a JSON description of a show that names items by class, fields by
// their stored names and links by the name of the resource they use. Every fault is a
// ShowError naming the item (position and name) and the field.

#include <filesystem>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

#include "scenepack/picture_file.h"
#include "scenepack/show.h"

namespace scenepack {

struct PackOptions {
  // How picture files become stored pictures (unless the manifest keeps their bytes).
  PictureOptions pictures;
  // What was done to pictures on the way in, one line each ("item 3 ("x"): ..."); may be null.
  std::vector<std::string>* notes = nullptr;
};

// Picture and media files named by "file" are read relative to baseDir.
Show ParseManifest(const nlohmann::json& doc, const std::filesystem::path& baseDir,
                   const PackOptions& options = {});
// Reads and parses a manifest file; a file that is not JSON is a ShowError too.
Show LoadManifest(const std::filesystem::path& manifestPath, const PackOptions& options = {});

}  // namespace scenepack
