#pragma once
// Runs a program the way a user would, inside a private home: its own config folder, temp
// folder and HOME, no desktop settings of the machine's, the sanitizer settings passed on, stdout dropped and stderr kept in a file.

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace testsupport {

// Starts args[0] (an absolute path); returns its pid, or -1 when it could not start.
// extraEnv: more NAME=VALUE entries (DISPLAY, XSCREENSAVER_WINDOW, ...).
inline pid_t SpawnInHome(const std::vector<std::string>& args, const std::string& home,
                         const std::string& errFile,
                         const std::vector<std::string>& extraEnv = {}) {
  // The desktop's own settings (GSettings) are not the machine's: no schemas, values in memory.
  std::vector<std::string> env = {"XDG_CONFIG_HOME=" + home + "/config", "TMPDIR=" + home + "/tmp",
                                  "HOME=" + home, "PATH=/usr/bin:/bin",
                                  "XDG_DATA_DIRS=" + home + "/share",
                                  "XDG_DATA_HOME=" + home + "/share", "GSETTINGS_BACKEND=memory"};
  // An extra entry replaces the one of the same name (PATH with a folder of stand-ins).
  for (const std::string& extra : extraEnv) {
    const std::string name = extra.substr(0, extra.find('=') + 1);
    bool replaced = false;
    for (std::string& e : env) {
      if (e.compare(0, name.size(), name) == 0) {
        e = extra;
        replaced = true;
      }
    }
    if (!replaced) env.push_back(extra);
  }
  for (char** e = environ; *e; ++e) {
    std::string s = *e;
    if (s.rfind("ASAN_", 0) == 0 || s.rfind("UBSAN_", 0) == 0) env.push_back(s);
  }
  std::vector<char*> argv, envp;
  for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  for (auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&fa);
  return pid;
}

}  // namespace testsupport
