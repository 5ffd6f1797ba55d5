#include "app/saver_install.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "app/project_loader.h"
#include "platform/sys/fd_io.h"
#include "scene/scene_list.h"

namespace fs = std::filesystem;

namespace app {
namespace {

constexpr const char* kSettingsName = ".xscreensaver";
constexpr const char* kBackupSuffix = ".sceneplayer-backup";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  std::istringstream in(text);
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

std::string Join(const std::vector<std::string>& lines, bool finalNewline) {
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    out += lines[i];
    if (i + 1 < lines.size() || finalNewline) out += '\n';
  }
  return out;
}

bool Continued(const std::string& line) { return !line.empty() && line.back() == '\\'; }

// The programs resource: its first line and one past its last (continuation lines).
struct Block {
  size_t first = 0, end = 0;
};
std::optional<Block> FindPrograms(const std::vector<std::string>& lines) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].rfind("programs:", 0) != 0) continue;
    Block b{i, i + 1};
    while (b.end < lines.size() && Continued(lines[b.end - 1])) ++b.end;
    return b;
  }
  return std::nullopt;
}

std::string EntryLine(const std::string& label, const std::string& command, bool more) {
  return "  \"" + label + "\"  " + command + "\t\t\\n" + (more ? "\\" : "");
}

std::string ShellWord(const std::string& s) {
  if (s.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789/._-+") ==
      std::string::npos) {
    return s;
  }
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::optional<std::string> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool SyncAndClose(int fd) {
  bool ok = fsync(fd) == 0;
  return close(fd) == 0 && ok;
}

// Writes `text` to a temporary file beside `path`, syncs it and renames it over `path`.
bool WriteAtomically(const fs::path& path, const std::string& text, mode_t mode, std::string* why) {
  std::string tmpl = (path.parent_path() / (path.filename().string() + ".XXXXXX")).string();
  const int fd = mkstemp(tmpl.data());
  if (fd < 0) {
    *why = "cannot write beside " + path.string() + ": " + std::strerror(errno);
    return false;
  }
  const bool ok =
      sys::WriteFull(fd, text.data(), text.size()) && fchmod(fd, mode) == 0 && SyncAndClose(fd);
  if (!ok || rename(tmpl.c_str(), path.c_str()) != 0) {
    *why = "cannot write " + path.string() + ": " + std::strerror(errno);
    unlink(tmpl.c_str());
    return false;
  }
  return true;
}

bool CopyAtomically(const fs::path& from, const fs::path& to, std::string* why) {
  std::string tmpl = (to.parent_path() / (to.filename().string() + ".XXXXXX")).string();
  const int fd = mkstemp(tmpl.data());
  if (fd < 0) {
    *why = "cannot write in " + to.parent_path().string() + ": " + std::strerror(errno);
    return false;
  }
  close(fd);
  std::error_code ec;
  fs::copy_file(from, tmpl, fs::copy_options::overwrite_existing, ec);
  bool ok = !ec && chmod(tmpl.c_str(), 0755) == 0;
  if (ok) {
    const int sync = open(tmpl.c_str(), O_RDONLY | O_CLOEXEC);
    ok = sync >= 0 && SyncAndClose(sync);
  }
  if (!ok || rename(tmpl.c_str(), to.c_str()) != 0) {
    *why = "cannot copy " + from.string() + " to " + to.string() +
           (ec ? ": " + ec.message() : std::string(": ") + std::strerror(errno));
    unlink(tmpl.c_str());
    return false;
  }
  return true;
}

fs::path InstallDir(const std::string& home) { return fs::path(home) / ".local/lib/sceneplayer"; }

std::string CommandFor(const fs::path& installed) {
  return ShellWord(installed.string()) + " -root";
}

// Replaces ~/.xscreensaver by `text`, keeping what was there as the backup.
bool ReplaceSettings(const fs::path& settings, const std::optional<std::string>& old,
                     const std::string& text, std::string* why) {
  if (old) {
    fs::path backup = settings;
    backup += kBackupSuffix;
    if (!WriteAtomically(backup, *old, 0600, why)) return false;
  }
  return WriteAtomically(settings, text, 0644, why);
}

}  // namespace

bool ValidSaverName(const std::string& name) {
  if (name.empty() || name.size() > 200 || name[0] == '.') return false;
  return name.find_first_not_of(
             "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._-") ==
         std::string::npos;
}

std::optional<std::string> AddProgram(const std::string& settings, const std::string& label,
                                      const std::string& command) {
  std::vector<std::string> lines = Lines(settings);
  const bool finalNewline = settings.empty() || settings.back() == '\n';
  auto block = FindPrograms(lines);
  if (!block) {
    lines.push_back("programs:\t\\");
    lines.push_back(EntryLine(label, command, false));
    return Join(lines, true);
  }
  for (size_t i = block->first; i < block->end; ++i) {
    if (lines[i].find(command) != std::string::npos) return std::nullopt;
  }
  std::string& head = lines[block->first];
  if (Continued(head)) {
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(block->first + 1),
                 EntryLine(label, command, true));
  } else {
    // A one-line list: it goes on, and ours ends it.
    const bool empty = head.find_first_not_of(" \t", 9) == std::string::npos;
    head += empty ? "\t\\" : "\\n\\";
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(block->first + 1),
                 EntryLine(label, command, false));
  }
  return Join(lines, finalNewline);
}

std::optional<std::string> RemoveProgram(const std::string& settings, const std::string& command) {
  std::vector<std::string> lines = Lines(settings);
  const bool finalNewline = settings.empty() || settings.back() == '\n';
  auto block = FindPrograms(lines);
  if (!block) return std::nullopt;
  bool removed = false;
  for (size_t i = block->end; i-- > block->first + 1;) {
    if (lines[i].find(command) == std::string::npos) continue;
    const bool wasLast = i + 1 == block->end;
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
    --block->end;
    removed = true;
    // The line before now ends the resource: it must not run on into the next one.
    if (wasLast && Continued(lines[i - 1])) lines[i - 1].pop_back();
  }
  if (!removed) return std::nullopt;
  return Join(lines, finalNewline);
}

InstallResult InstallSaver(const std::string& saverFile, const std::string& name,
                           const std::string& home) {
  InstallResult r;
  const std::string chosen = name.empty() ? fs::path(saverFile).stem().string() : name;
  if (!ValidSaverName(chosen)) {
    r.message = "not a usable saver name: '" + chosen +
                "' (letters, digits, '.', '_' and '-'; use --name NAME)";
    return r;
  }
  {
    // Only a file that holds a show is worth installing.
    scene::SceneList list;
    LoadFailure failure;
    if (!LoadProjectArchive(ArchiveLocation{saverFile, std::nullopt}, list, /*prepare=*/false,
                            &failure)) {
      r.message = saverFile + " is not a saver file: " + failure.what;
      return r;
    }
  }
  const fs::path dir = InstallDir(home);
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) {
    r.message = "cannot make " + dir.string() + ": " + ec.message();
    return r;
  }
  const fs::path installed = dir / chosen;
  if (!CopyAtomically(saverFile, installed, &r.message)) return r;

  const fs::path settings = fs::path(home) / kSettingsName;
  const std::optional<std::string> old = ReadFile(settings);
  std::string base = old.value_or(
      "# XScreenSaver settings, started by sceneplayer --install-saver. Everything not set\n"
      "# here keeps the host's defaults; xscreensaver-settings rewrites this file.\n"
      "mode:\t\tone\n"
      "selected:\t0\n");
  auto updated = AddProgram(base, chosen, CommandFor(installed));
  if (!updated) {
    r.ok = true;
    r.message = "updated " + installed.string() + " (already listed in " + settings.string() + ")";
    return r;
  }
  if (!ReplaceSettings(settings, old, *updated, &r.message)) return r;
  r.ok = true;
  r.message = "installed " + installed.string() + " and listed it in " + settings.string();
  return r;
}

InstallResult UninstallSaver(const std::string& name, const std::string& home) {
  InstallResult r;
  if (!ValidSaverName(name)) {
    r.message = "not a usable saver name: '" + name + "'";
    return r;
  }
  const fs::path installed = InstallDir(home) / name;
  const fs::path settings = fs::path(home) / kSettingsName;
  const std::optional<std::string> old = ReadFile(settings);
  bool listed = false;
  if (old) {
    if (auto updated = RemoveProgram(*old, CommandFor(installed))) {
      if (!ReplaceSettings(settings, old, *updated, &r.message)) return r;
      listed = true;
    }
  }
  std::error_code ec;
  const bool removed = fs::remove(installed, ec);
  if (!listed && !removed) {
    r.message = "no saver named '" + name + "' is installed";
    return r;
  }
  r.ok = true;
  r.message = "uninstalled " + name;
  return r;
}

}  // namespace app
