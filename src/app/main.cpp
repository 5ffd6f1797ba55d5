// sceneplayer: plays the screen-saver show appended to its own file.

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/project_loader.h"
#include "app/scene_dump.h"
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
    std::cerr << line << '\n';
    return 1;
  }
  std::cout << app::DumpScene(list);
  std::cout.flush();
  return std::cout ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const app::ParsedCommandLine parsed = app::ParseCommandLine(args);
  if (!parsed.ok()) {
    std::cerr << "sceneplayer: " << parsed.error << '\n';
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
  if (options.dump) return Dump(options);

  const app::ModeChoice choice = app::ChooseMode(options.rest);
  if (choice.mode == app::RunMode::None) return 0;  // an unknown switch ends at once
  std::cerr << "sceneplayer: the " << app::RunModeName(choice.mode)
            << " mode is not available yet\n";
  return 2;
}
