// scenepack: builds a show (saver file or bare archive) from a JSON manifest.

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "scenepack/manifest.h"
#include "scenepack/saver_file.h"
#include "scenepack/show_writer.h"

namespace {

constexpr const char* kUsage =
    "usage: scenepack MANIFEST.json -o OUT [--archive-only] [--player PATH]\n"
    "  Builds a saver file (a copy of the player with the show appended), or with\n"
    "  --archive-only the bare project archive. --player names the player executable\n"
    "  (default: sceneplayer of this build).\n";

int Usage(const char* message) {
  if (message) std::fprintf(stderr, "scenepack: %s\n", message);
  std::fputs(kUsage, stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string manifest, out, player;
  bool archiveOnly = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "-o" || arg == "--player") {
      if (i + 1 >= argc) return Usage((arg + " needs a value").c_str());
      (arg == "-o" ? out : player) = argv[++i];
    } else if (arg == "--archive-only") {
      archiveOnly = true;
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage(("unknown option " + arg).c_str());
    } else if (manifest.empty()) {
      manifest = arg;
    } else {
      return Usage("more than one manifest");
    }
  }
  if (manifest.empty()) return Usage("no manifest given");
  if (out.empty()) return Usage("no output given (-o OUT)");
  if (archiveOnly && !player.empty()) return Usage("--player makes no sense with --archive-only");

  try {
    const auto show = scenepack::LoadManifest(manifest);
    const auto archive = scenepack::WriteArchive(show);
    if (archiveOnly) {
      scenepack::WriteFileAtomically(out, {archive}, 0644);
    } else {
      const auto image = scenepack::PlayerImage(player.empty() ? scenepack::DefaultPlayerPath()
                                                               : std::filesystem::path(player));
      scenepack::WriteFileAtomically(out, {image, archive}, 0755);
    }
  } catch (const scenepack::ShowError& e) {
    std::fprintf(stderr, "scenepack: %s: %s\n", manifest.c_str(), e.what());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "scenepack: %s\n", e.what());
    return 1;
  }
  return 0;
}
