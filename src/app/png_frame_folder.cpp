#include "app/png_frame_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "app/frame_recorder.h"
#include "platform/gfx/png_writer.h"
#include "platform/sys/fd_io.h"

namespace app {

namespace fs = std::filesystem;

bool PngFrameFolder::IsFrameName(const std::string& name) {
  // frame-NNNNNN.png, six digits or more.
  if (name.size() < 16 || name.compare(0, 6, "frame-") != 0 ||
      name.compare(name.size() - 4, 4, ".png") != 0) {
    return false;
  }
  for (size_t i = 6; i + 4 < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return false;
  }
  return true;
}

std::unique_ptr<PngFrameFolder> PngFrameFolder::Open(const std::string& dir, bool overwrite,
                                                     int level, int threads, std::string* error) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec || !fs::is_directory(dir, ec)) {
    *error = "cannot make the frames folder " + dir + ": " +
             (ec ? ec.message() : std::string("not a folder"));
    return nullptr;
  }
  if (::access(dir.c_str(), W_OK | X_OK) != 0) {
    *error = "cannot write into the frames folder " + dir + ": " + std::strerror(errno);
    return nullptr;
  }
  // Frames of an earlier render must never mix with new ones.
  std::vector<fs::path> old;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    // Only files: a folder of that name is no frame, and writing over it fails in turn.
    if (!it->is_directory(ec) && IsFrameName(it->path().filename().string())) {
      old.push_back(it->path());
    }
  }
  if (ec) {
    *error = "cannot read the frames folder " + dir + ": " + ec.message();
    return nullptr;
  }
  if (!old.empty() && !overwrite) {
    *error = dir + " already holds frames of an earlier render; --overwrite replaces them";
    return nullptr;
  }
  for (const auto& p : old) {
    if (::unlink(p.c_str()) != 0) {
      *error = "cannot remove the old frame " + p.string() + ": " + std::strerror(errno);
      return nullptr;
    }
  }
  return std::unique_ptr<PngFrameFolder>(new PngFrameFolder(dir, level, threads));
}

// Each frame waiting holds a copy of the screen, fresh pages the first time: two waiting
// keep the encoders busy.
PngFrameFolder::PngFrameFolder(std::string dir, int level, int threads)
    : dir_(std::move(dir)), level_(level), pool_(threads, static_cast<size_t>(threads) + 2) {}

PngFrameFolder::~PngFrameFolder() { pool_.Wait(); }

void PngFrameFolder::Add(int64_t index, std::shared_ptr<const gfx::Surface> picture) {
  if (failed_) return;
  if (!picture) {
    pool_.Submit(nullptr, [this, index] { Commit(index, nullptr, {}); });
    return;
  }
  auto bytes = std::make_shared<std::vector<uint8_t>>();
  auto encodeError = std::make_shared<std::string>();
  pool_.Submit(
      [this, picture = std::move(picture), bytes, encodeError]() mutable {
        if (failed_) return;
        if (!gfx::EncodePng(*picture, level_, bytes.get(), encodeError.get()) &&
            encodeError->empty()) {
          *encodeError = "cannot encode";
        }
        picture.reset();
      },
      [this, index, bytes, encodeError] { Commit(index, bytes, *encodeError); });
}

void PngFrameFolder::Commit(int64_t index, const std::shared_ptr<std::vector<uint8_t>>& bytes,
                            const std::string& encodeError) {
  if (failed_) return;
  const std::string path = dir_ + "/" + FrameRecorder::FrameName(index);
  std::string why = encodeError;
  if (why.empty()) {
    if (bytes) {
      if (WriteFile(path, *bytes, &why)) lastBytes_ = bytes;
    } else if (lastBytes_) {
      if (::link(lastPath_.c_str(), path.c_str()) != 0) {
        // Some file systems have no hard links: the same bytes again, still not re-encoded.
        const int e = errno;
        if (e == EPERM || e == EXDEV || e == EMLINK || e == ENOTSUP || e == ENOSYS) {
          WriteFile(path, *lastBytes_, &why);
        } else {
          why = std::strerror(e);
        }
      }
    } else {
      why = "no picture";
    }
  }
  if (!why.empty()) {
    std::lock_guard lock(errorMutex_);
    error_ = "cannot write frame " + std::to_string(index) + " to " + path + ": " + why;
    failed_ = true;
    return;
  }
  lastPath_ = path;
  ++written_;
}

bool PngFrameFolder::WriteFile(const std::string& path, const std::vector<uint8_t>& bytes,
                               std::string* error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    *error = std::strerror(errno);
    return false;
  }
  if (!sys::WriteFull(fd, bytes.data(), bytes.size())) {
    *error = std::strerror(errno);
    ::close(fd);
    ::unlink(path.c_str());
    return false;
  }
  if (::close(fd) != 0) {
    *error = std::strerror(errno);
    ::unlink(path.c_str());
    return false;
  }
  return true;
}

bool PngFrameFolder::Finish(std::string* error) {
  pool_.Wait();
  if (!failed_) return true;
  std::lock_guard lock(errorMutex_);
  *error = error_;
  return false;
}

}  // namespace app
