// scenepack: builds a show (saver file or bare archive) from a JSON manifest or a folder of
// pictures, takes one apart again, and lists the transition effects.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <nlohmann/json.hpp>
#include <string>

#include "scenepack/effect_names.h"
#include "scenepack/folder_show.h"
#include "scenepack/manifest.h"
#include "scenepack/saver_file.h"
#include "scenepack/show_writer.h"
#include "scenepack/unpack.h"

namespace {

constexpr const char* kUsage =
    "usage: scenepack MANIFEST.json -o OUT [options]\n"
    "       scenepack --from-folder DIR -o OUT [options]\n"
    "       scenepack --unpack SAVER_OR_ARCHIVE -o DIR\n"
    "       scenepack --list-effects\n"
    "Output:\n"
    "  -o OUT               the saver file (a copy of the player with the show appended)\n"
    "  --archive-only       write the bare project archive instead\n"
    "  --player PATH        the player executable (default: sceneplayer of this build)\n"
    "A show from a folder (every picture in it, by name):\n"
    "  --pause SECONDS      how long each picture stays (default 5)\n"
    "  --effect NAME|N|random  the transition (default FadeInFromBlack; random: a new one\n"
    "                       at every showing); see --list-effects\n"
    "  --effect-speed N     100 (fastest) and up; larger is slower (default 300)\n"
    "  --fit / --no-fit     fit each picture to the screen keeping its aspect (default) or\n"
    "                       show it at its own size\n"
    "  --shuffle [--seed N] a shuffled order; the seed is printed when not given\n"
    "  --loop / --no-loop   play endlessly (default) or once\n"
    "  --background #RRGGBB the screen around the pictures (default #000000)\n"
    "  --manifest-out FILE  also write the manifest used, to edit and pack again\n"
    "Pictures (folders and manifests):\n"
    "  --store-as jpeg|bmp  what PNG, GIF, WebP and TIFF pictures become (default jpeg)\n"
    "  --jpeg-quality N     quality of JPEGs scenepack encodes, 50 to 100 (default 95)\n"
    "  --trim-edges         a JPEG turned upright may lose its partial edge blocks (a few\n"
    "                       pixels) to stay lossless\n"
    "  --no-orient          leave JPEGs as their Exif orientation has them\n"
    "  --max-size WxH       scale larger pictures down to fit WxH (e.g. 1920x1080)\n";

int Usage(const std::string& message) {
  if (!message.empty()) std::fprintf(stderr, "scenepack: %s\n", message.c_str());
  std::fputs(kUsage, stderr);
  return 2;
}

bool ParseInt(const std::string& s, long lo, long hi, long& out) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(s.c_str(), &end, 10);
  if (s.empty() || *end != '\0' || errno != 0 || v < lo || v > hi) return false;
  out = v;
  return true;
}

bool ParseColour(const std::string& s, uint32_t& out) {
  unsigned r, g, b;
  char end;
  if (s.size() != 7 || std::sscanf(s.c_str(), "#%2x%2x%2x%c", &r, &g, &b, &end) != 3 ||
      s.find_first_not_of("0123456789abcdefABCDEF", 1) != std::string::npos)
    return false;
  out = r | (g << 8) | (b << 16);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string manifest, out, player, folder, unpack, manifestOut;
  bool archiveOnly = false, listEffects = false, folderOption = false;
  scenepack::FolderShowOptions show;
  scenepack::PackOptions pack;
  auto& pictures = pack.pictures;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= argc) return false;
      into = argv[++i];
      return true;
    };
    std::string v;
    long n = 0;
    if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "-o" || arg == "--player" || arg == "--from-folder" || arg == "--unpack" ||
        arg == "--manifest-out") {
      std::string& into = arg == "-o"              ? out
                          : arg == "--player"      ? player
                          : arg == "--from-folder" ? folder
                          : arg == "--unpack"      ? unpack
                                                   : manifestOut;
      if (!value(into) || into.empty()) return Usage(arg + " needs a value");
    } else if (arg == "--archive-only") {
      archiveOnly = true;
    } else if (arg == "--list-effects") {
      listEffects = true;
    } else if (arg == "--pause") {
      if (!value(v)) return Usage(arg + " needs a value");
      char* end = nullptr;
      const double s = std::strtod(v.c_str(), &end);
      if (v.empty() || *end || !std::isfinite(s) || s < 0 || s > 2147483.0)
        return Usage("--pause takes seconds from 0 to 2147483, not \"" + v + "\"");
      show.pauseMs = static_cast<int32_t>(std::lround(s * 1000));
      folderOption = true;
    } else if (arg == "--effect") {
      if (!value(v)) return Usage(arg + " needs a value");
      if (v == "random") {
        show.effect = 3;
      } else if (ParseInt(v, 0, 87, n)) {
        show.effect = static_cast<int32_t>(n);
      } else if (auto e = scenepack::EffectByName(v)) {
        show.effect = *e;
      } else {
        return Usage("no effect is called \"" + v + "\" (scenepack --list-effects)");
      }
      folderOption = true;
    } else if (arg == "--effect-speed") {
      if (!value(v) || !ParseInt(v, 0, 1000000, n))
        return Usage("--effect-speed takes a number from 0 to 1000000");
      show.effectSpeed = static_cast<int32_t>(n);
      folderOption = true;
    } else if (arg == "--fit" || arg == "--no-fit") {
      show.fit = arg == "--fit";
      folderOption = true;
    } else if (arg == "--loop" || arg == "--no-loop") {
      show.loop = arg == "--loop";
      folderOption = true;
    } else if (arg == "--shuffle") {
      show.shuffle = true;
      folderOption = true;
    } else if (arg == "--seed") {
      if (!value(v) || !ParseInt(v, 0, 4294967295L, n))
        return Usage("--seed takes a number from 0 to 4294967295");
      show.seed = static_cast<uint32_t>(n);
      folderOption = true;
    } else if (arg == "--background") {
      if (!value(v) || !ParseColour(v, show.background))
        return Usage("--background takes a colour as #RRGGBB");
      pictures.background = show.background;
    } else if (arg == "--store-as") {
      if (!value(v) || (v != "jpeg" && v != "bmp")) return Usage("--store-as takes jpeg or bmp");
      pictures.store = v == "jpeg" ? scenepack::PictureOptions::Store::Jpeg
                                   : scenepack::PictureOptions::Store::Bmp;
    } else if (arg == "--jpeg-quality") {
      if (!value(v) || !ParseInt(v, 50, 100, n)) return Usage("--jpeg-quality takes 50 to 100");
      pictures.jpegQuality = static_cast<int>(n);
    } else if (arg == "--trim-edges") {
      pictures.trimEdges = true;
    } else if (arg == "--max-size") {
      int w = 0, h = 0;
      char end = 0;
      if (!value(v) || std::sscanf(v.c_str(), "%dx%d%c", &w, &h, &end) != 2 || w < 1 || h < 1 ||
          w > 65535 || h > 65535)
        return Usage("--max-size takes WIDTHxHEIGHT, e.g. 1920x1080");
      pictures.maxWidth = w;
      pictures.maxHeight = h;
    } else if (arg == "--no-orient") {
      pictures.orient = false;
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage("unknown option " + arg);
    } else if (manifest.empty()) {
      manifest = arg;
    } else {
      return Usage("more than one manifest");
    }
  }

  if (listEffects) {
    std::fputs(scenepack::EffectList().c_str(), stdout);
    return 0;
  }
  const int sources = !manifest.empty() + !folder.empty() + !unpack.empty();
  if (sources == 0) return Usage("no manifest given");
  if (sources > 1) return Usage("give one of a manifest, --from-folder and --unpack");
  if (out.empty()) return Usage("no output given (-o OUT)");
  if (folderOption && folder.empty()) return Usage("that option goes with --from-folder");
  if (!manifestOut.empty() && folder.empty())
    return Usage("--manifest-out goes with --from-folder");
  if (show.seed && !show.shuffle) return Usage("--seed goes with --shuffle");
  if (archiveOnly && !player.empty()) return Usage("--player makes no sense with --archive-only");

  try {
    if (!unpack.empty()) {
      const auto result = scenepack::Unpack(unpack, out);
      std::fprintf(stderr, "scenepack: wrote %s/show.json and %zu files\n", out.c_str(),
                   result.files);
      if (!result.identical)
        std::fprintf(stderr, "scenepack: warning: %s\n", result.difference.c_str());
      return 0;
    }
    std::vector<std::string> notes;
    pack.notes = &notes;
    scenepack::Show built;
    if (!folder.empty()) {
      const std::filesystem::path base = manifestOut.empty()
                                             ? std::filesystem::path(folder)
                                             : std::filesystem::absolute(manifestOut).parent_path();
      const auto made = scenepack::MakeFolderShow(folder, show, base);
      for (const auto& s : made.skipped) std::fprintf(stderr, "scenepack: skipped %s\n", s.c_str());
      if (show.shuffle && !show.seed)
        std::fprintf(stderr, "scenepack: shuffled with --seed %u\n", made.seed);
      try {
        built = scenepack::ParseManifest(made.manifest, base, pack);
      } catch (const scenepack::ShowError& e) {
        std::fprintf(stderr, "scenepack: %s: %s\n", folder.c_str(), e.what());
        return 1;
      }
      if (!manifestOut.empty()) {
        const std::string text = made.manifest.dump(2) + "\n";
        scenepack::WriteFileAtomically(
            manifestOut, {{reinterpret_cast<const uint8_t*>(text.data()), text.size()}}, 0644);
      }
    } else {
      try {
        built = scenepack::LoadManifest(manifest, pack);
      } catch (const scenepack::ShowError& e) {
        std::fprintf(stderr, "scenepack: %s: %s\n", manifest.c_str(), e.what());
        return 1;
      }
    }
    for (const auto& note : notes) std::fprintf(stderr, "scenepack: %s\n", note.c_str());
    std::vector<uint8_t> archive;
    try {
      archive = scenepack::WriteArchive(built);
    } catch (const scenepack::ShowError& e) {
      std::fprintf(stderr, "scenepack: %s: %s\n", (folder.empty() ? manifest : folder).c_str(),
                   e.what());
      return 1;
    }
    if (archiveOnly) {
      scenepack::WriteFileAtomically(out, {archive}, 0644);
    } else {
      const auto image = scenepack::PlayerImage(player.empty() ? scenepack::DefaultPlayerPath()
                                                               : std::filesystem::path(player));
      scenepack::WriteFileAtomically(out, {image, archive}, 0755);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "scenepack: %s\n", e.what());
    return 1;
  }
  return 0;
}
