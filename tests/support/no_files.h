#pragma once
// The player keeps its temporary files in a folder of its own inside TMPDIR; a test that
// checks nothing was left behind looks for files at any depth.

#include <filesystem>

namespace testsupport {

inline bool HoldsNoFiles(const std::filesystem::path& dir) {
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(dir, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_directory()) return false;
  }
  return true;
}

}  // namespace testsupport
