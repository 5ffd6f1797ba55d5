// sceneplayer: plays the screen-saver show appended to its own file.

#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/project_loader.h"
#include "app/saver_app.h"
#include "app/saver_install.h"
#include "app/scene_dump.h"
#include "app/signals.h"
#include "platform/sys/printable.h"
#include "scene/scene_list.h"

#ifndef SP_VERSION
#define SP_VERSION "0"
#endif

namespace {

int Dump(const app::Options& options) {
  scene::SceneList list;
  app::LoadFailure failure;
  if (!app::LoadProjectArchive(options.archive, list, /*prepare=*/false, &failure)) {
    std::string line = "sceneplayer: " + failure.what;
    if (failure.offset) line += " at byte " + std::to_string(*failure.offset);
    std::cerr << sys::EscapeControls(line) << '\n';
    return 1;
  }
  std::cout << app::DumpScene(list);
  std::cout.flush();
  return std::cout ? 0 : 1;
}

int Install(const app::Options& options) {
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') {
    const passwd* pw = getpwuid(getuid());
    home = pw ? pw->pw_dir : nullptr;
  }
  if (home == nullptr) {
    std::cerr << "sceneplayer: no home folder (HOME is not set)\n";
    return 1;
  }
  const app::InstallResult r =
      options.installSaver
          ? app::InstallSaver(*options.installSaver, options.saverName.value_or(""), home)
          : app::UninstallSaver(*options.uninstallSaver, home);
  (r.ok ? std::cout : std::cerr) << "sceneplayer: " << r.message << '\n';
  return r.ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  // Before any thread exists, so every thread inherits the mask and one watcher takes them.
  app::BlockExitSignals();
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const app::ParsedCommandLine parsed = app::ParseCommandLine(args);
  if (!parsed.ok()) {
    std::cerr << "sceneplayer: " << sys::EscapeControls(parsed.error) << '\n';
    return 2;
  }
  const app::Options& options = parsed.options;
  if (options.help) {
    std::cout << app::UsageText();
    return 0;
  }
  if (options.version) {
    std::cout << "sceneplayer " << SP_VERSION << '\n';
    return 0;
  }
  // Every mode, --dump included, ends on the exit signals.
  app::SignalWatcher signals(nullptr);
  if (options.dump) return Dump(options);
  if (options.installSaver || options.uninstallSaver) return Install(options);

  int status;
  {
    std::error_code ec;
    std::string self = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    if (ec || self.empty()) self = argc > 0 ? argv[0] : "sceneplayer";
    app::SaverApp saver(self, &signals);
    status = saver.Run(options);
  }
  return status;
}
