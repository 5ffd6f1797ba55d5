#pragma once
// Finding and reading the show: by default the archive appended to this program's own
// file, at the end of its ELF image; --archive names another file.

#include <cstdint>
#include <optional>
#include <string>

#include "app/command_line.h"

namespace scene {
class SceneList;
}

namespace app {

struct LoadFailure {
  std::string what;
  std::optional<uint64_t> offset;  // where reading failed, when it got that far
};

// Where the archive is: the path to open and the byte it starts at. Without a location,
// /proc/self/exe at its ELF end; with a path and no offset, the ELF end when the file is
// an ELF image, else byte 0.
std::optional<ArchiveLocation> ResolveArchiveLocation(const std::optional<ArchiveLocation>& given,
                                                      LoadFailure* failure);

// Reads the reserved field and the show into list. prepare = false reads the records and
// numbers them only (what --dump shows). False on any failure; the list is then empty.
bool LoadProjectArchive(const std::optional<ArchiveLocation>& given, scene::SceneList& list,
                        bool prepare, LoadFailure* failure = nullptr);

}  // namespace app
