#include "app/project_loader.h"

#include <cerrno>
#include <cstring>

#include "platform/sys/bounded_reader.h"
#include "platform/sys/elf_image.h"
#include "scene/project_archive.h"
#include "scene/scene_list.h"

namespace app {
namespace {

constexpr const char* kOwnExecutable = "/proc/self/exe";

void Report(LoadFailure* failure, std::string what, std::optional<uint64_t> offset) {
  if (failure) *failure = LoadFailure{std::move(what), offset};
}

std::string CannotOpen(const std::string& path) {
  // FileSource refuses FIFOs, devices and sockets with EINVAL.
  return "cannot open " + path + ": " +
         (errno == EINVAL ? std::string("not a regular file") : std::strerror(errno));
}

}  // namespace

std::optional<ArchiveLocation> ResolveArchiveLocation(const std::optional<ArchiveLocation>& given,
                                                      LoadFailure* failure) {
  if (given && given->offset) return given;
  const std::string path = given ? given->path : kOwnExecutable;
  sys::FileSource file;
  if (!file.Open(path)) {
    Report(failure, CannotOpen(path), std::nullopt);
    return std::nullopt;
  }
  const std::optional<uint64_t> end = sys::ElfImageEnd(file);
  if (end) return ArchiveLocation{path, end};
  if (given) return ArchiveLocation{path, 0};  // a bare archive
  Report(failure, "cannot find the end of this program's image in " + path, std::nullopt);
  return std::nullopt;
}

bool LoadProjectArchive(const std::optional<ArchiveLocation>& given, scene::SceneList& list,
                        bool prepare, LoadFailure* failure) {
  list.Clear();
  const std::optional<ArchiveLocation> location = ResolveArchiveLocation(given, failure);
  if (!location) return false;
  sys::FileSource file;
  if (!file.Open(location->path)) {
    Report(failure, CannotOpen(location->path), std::nullopt);
    return false;
  }
  scene::ProjectArchive archive(file, *location->offset);
  try {
    const int32_t reserved = archive.ReadInt32();
    if (!prepare) {
      scene::ReadSceneRecords(archive, list);
      list.reserved = reserved;
      list.archiveOffset = *location->offset;
      return true;
    }
    scene::SceneLoadFailure why;
    if (!scene::ReadScene(archive, list, &why)) {
      Report(failure, why.what, why.offset);
      return false;
    }
    list.reserved = reserved;
    list.archiveOffset = *location->offset;
    return true;
  } catch (const scene::ArchiveError& e) {
    Report(failure, e.what(), e.offset());
    list.Clear();
    return false;
  }
}

}  // namespace app
