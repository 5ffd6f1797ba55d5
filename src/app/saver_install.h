#pragma once
// Installing a saver file for the desktop's screen-saver host: the file goes to
// ~/.local/lib/sceneplayer/NAME, and its command line (with -root) into the programs list of
// ~/.xscreensaver, which is rewritten atomically with a backup of the old one beside it.

#include <optional>
#include <string>

namespace app {

struct InstallResult {
  bool ok = false;
  std::string message;  // one line for the user
};

// Copies `saverFile` as `name` (default: the file's name without its extension) and lists
// it; an entry already listed for the same file is not added again.
InstallResult InstallSaver(const std::string& saverFile, const std::string& name,
                           const std::string& home);
// Takes the entries for `name` out of the list and removes the installed file.
InstallResult UninstallSaver(const std::string& name, const std::string& home);

// The text of ~/.xscreensaver with `command` added as the first entry of its programs list
// (a list is appended when there is none); nullopt when the command is listed already.
std::optional<std::string> AddProgram(const std::string& settings, const std::string& label,
                                      const std::string& command);
// The text without the programs entries whose command is `command`; nullopt when none is.
std::optional<std::string> RemoveProgram(const std::string& settings, const std::string& command);

// A saver's name: letters, digits, '.', '_' and '-', not starting with '.'.
bool ValidSaverName(const std::string& name);

}  // namespace app
