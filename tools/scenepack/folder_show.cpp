#include "scenepack/folder_show.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <random>
#include <stdexcept>

#include "scenepack/archive_writer.h"
#include "scenepack/effect_names.h"
#include "scenepack/picture_file.h"
#include "scenepack/saver_file.h"

namespace scenepack {

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// Enough of a file to tell its format.
constexpr uint64_t kSniffBytes = 16;

std::string Hex(uint32_t colorref) {
  char s[8];
  std::snprintf(s, sizeof s, "#%02x%02x%02x", colorref & 0xFF, (colorref >> 8) & 0xFF,
                (colorref >> 16) & 0xFF);
  return s;
}

}  // namespace

FolderShow MakeFolderShow(const fs::path& dir, const FolderShowOptions& opt,
                          const fs::path& baseDir) {
  FolderShow out;
  std::vector<fs::path> files;
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
  if (ec) throw std::runtime_error("cannot read the folder " + dir.string() + ": " + ec.message());
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec)
      throw std::runtime_error("cannot read the folder " + dir.string() + ": " + ec.message());
    const fs::path& p = it->path();
    const std::string name = p.filename().string();
    if (name.empty() || name[0] == '.') continue;
    if (!it->is_regular_file(ec)) continue;
    // Only the first bytes: a large file that is no picture is not read whole.
    std::vector<uint8_t> head(kSniffBytes);
    if (FILE* f = std::fopen(p.c_str(), "rb")) {
      head.resize(std::fread(head.data(), 1, head.size(), f));
      std::fclose(f);
    } else {
      out.skipped.push_back(name + ": cannot be read");
      continue;
    }
    if (SniffPicture(head).empty()) {
      out.skipped.push_back(name + ": not a picture");
      continue;
    }
    files.push_back(p);
  }
  if (files.empty()) throw std::runtime_error("the folder " + dir.string() + " holds no picture");
  std::sort(files.begin(), files.end(),
            [](const fs::path& a, const fs::path& b) { return a.filename() < b.filename(); });
  if (opt.shuffle) {
    out.seed = opt.seed ? *opt.seed : std::random_device{}();
    // Our own Fisher-Yates over mt19937, so a seed gives the same order everywhere.
    std::mt19937 rng(out.seed);
    for (size_t i = files.size() - 1; i > 0; --i) {
      const size_t j = rng() % (i + 1);
      std::swap(files[i], files[j]);
    }
  }

  json items = json::array();
  items.push_back({{"class", "BackgroundItem"},
                   {"name", "background"},
                   {"color", {{"color", Hex(opt.background)}, {"useWindowBackground", 0}}}});
  std::vector<std::string> names;
  for (size_t n = 0; n < files.size(); ++n) {
    // Items are found by name; one the code page cannot hold gets a number instead.
    std::string name = files[n].filename().string();
    if (!Utf8ToCp1252(name)) name = "picture " + std::to_string(n + 1);
    names.push_back(name);
    const fs::path abs = fs::absolute(files[n]);
    fs::path rel = abs.lexically_relative(fs::absolute(baseDir));
    if (rel.empty() || *rel.begin() == "..") rel = abs;
    json picture = {{"class", "PictureItem"}, {"name", name}, {"file", rel.string()}};
    if (!Utf8ToCp1252(files[n].filename().string())) picture["fileName"] = name;
    if (opt.fit) {
      picture["fitScreen"] = 1;
      picture["keepAspect"] = 1;
    }
    items.push_back(std::move(picture));
  }
  if (opt.loop) items.push_back({{"class", "LoopStartItem"}, {"name", "again and again"}});
  for (const std::string& name : names) {
    items.push_back({{"class", "ShowPictureItem"},
                     {"name", "show " + name},
                     {"picture", name},
                     {"path",
                      {{"modeX1", 1},
                       {"modeY1", 1},
                       {"effect", EffectName(opt.effect)},
                       {"effectSpeed", opt.effectSpeed}}}});
    items.push_back(
        {{"class", "PauseItem"}, {"name", "look at " + name}, {"pauseMs", opt.pauseMs}});
    items.push_back({{"class", "HidePictureItem"}, {"name", "hide " + name}, {"picture", name}});
  }
  if (opt.loop)
    items.push_back({{"class", "LoopEndItem"}, {"name", "end of the loop"}, {"endless", 1}});
  out.manifest = {{"version", 4.31}, {"items", std::move(items)}};
  return out;
}

}  // namespace scenepack
