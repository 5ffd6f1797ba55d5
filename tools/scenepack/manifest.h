#pragma once
// The scenepack manifest: a JSON description of a show that names items by class, fields by
// their stored names and links by the name of the resource they use. Every fault is a
// ShowError naming the item (position and name) and the field.

#include <filesystem>
#include <nlohmann/json_fwd.hpp>
#include <string>

#include "scenepack/show.h"

namespace scenepack {

// Picture and media files named by "file" are read relative to baseDir.
Show ParseManifest(const nlohmann::json& doc, const std::filesystem::path& baseDir);
// Reads and parses a manifest file; a file that is not JSON is a ShowError too.
Show LoadManifest(const std::filesystem::path& manifestPath);

}  // namespace scenepack
