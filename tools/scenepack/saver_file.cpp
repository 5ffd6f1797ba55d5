#include "scenepack/saver_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "platform/sys/bounded_reader.h"
#include "platform/sys/elf_image.h"
#include "platform/sys/fd_io.h"

namespace scenepack {

namespace {

std::runtime_error SystemError(const std::string& what, const std::filesystem::path& path) {
  return std::runtime_error(what + " " + path.string() + ": " + std::strerror(errno));
}

}  // namespace

std::vector<uint8_t> PlayerImage(const std::filesystem::path& playerPath) {
  sys::FileSource file;
  if (!file.Open(playerPath.string())) throw SystemError("cannot open the player", playerPath);
  const auto end = sys::ElfImageEnd(file);
  if (!end)
    throw std::runtime_error("the player " + playerPath.string() + " is not an ELF executable");
  if (*end > file.Size())
    throw std::runtime_error("the player " + playerPath.string() + " is truncated");
  std::vector<uint8_t> image(static_cast<size_t>(*end));
  if (file.ReadAt(0, image.data(), image.size()) != image.size())
    throw SystemError("cannot read the player", playerPath);
  return image;
}

std::vector<uint8_t> ReadRegularFile(const std::filesystem::path& path, uint64_t maxBytes) {
  sys::FileSource file;
  if (!file.Open(path.string())) {
    if (errno == EINVAL) throw std::runtime_error(path.string() + " is not a regular file");
    throw SystemError("cannot read", path);
  }
  if (file.Size() > maxBytes) {
    throw std::runtime_error(path.string() + " is larger than " + std::to_string(maxBytes) +
                             " bytes");
  }
  std::vector<uint8_t> data(static_cast<size_t>(file.Size()));
  if (file.ReadAt(0, data.data(), data.size()) != data.size())
    throw SystemError("cannot read", path);
  return data;
}

std::filesystem::path DefaultPlayerPath() {
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return "sceneplayer";
  const auto dir = self.parent_path();
  const auto beside = dir / "sceneplayer";
  if (std::filesystem::exists(beside, ec)) return beside;
  // The build tree keeps tools/scenepack/ and src/app/ under one root.
  return (dir / ".." / ".." / "src" / "app" / "sceneplayer").lexically_normal();
}

void WriteFileAtomically(const std::filesystem::path& target,
                         std::initializer_list<std::span<const uint8_t>> parts, mode_t mode) {
  // Renaming over a device node would replace it (as root, /dev/null itself).
  struct stat st {};
  if (lstat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    throw std::runtime_error("refusing to replace " + target.string() +
                             ": it is not a regular file");
  }
  std::string tmp = target.string() + ".XXXXXX";
  const int fd = mkstemp(tmp.data());
  if (fd < 0) throw SystemError("cannot create a file beside", target);
  auto fail = [&](const std::string& what) {
    const auto error = SystemError(what, target);
    close(fd);
    unlink(tmp.c_str());
    throw error;
  };
  for (const auto& part : parts)
    if (!sys::WriteFull(fd, part.data(), part.size())) fail("cannot write");
  if (fchmod(fd, mode) != 0) fail("cannot set the mode of");
  if (fsync(fd) != 0) fail("cannot flush");
  if (close(fd) != 0) {
    const auto error = SystemError("cannot write", target);
    unlink(tmp.c_str());
    throw error;
  }
  if (rename(tmp.c_str(), target.c_str()) != 0) {
    const auto error = SystemError("cannot rename the new file to", target);
    unlink(tmp.c_str());
    throw error;
  }
}

}  // namespace scenepack
