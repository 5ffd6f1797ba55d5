#pragma once
// The command line: long GNU options are taken out first; what remains is the Windows
// screen-saver switch (/s, -S, s, /c, /c:1234, /p <handle>, /a <handle>, none).

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace app {

// --archive PATH[@OFFSET]: without an offset the loader decides (ELF end or byte 0).
struct ArchiveLocation {
  std::string path;
  std::optional<uint64_t> offset;
};

struct Options {
  std::optional<ArchiveLocation> archive;
  bool dump = false;
  bool headless = false;
  bool window = false;
  bool span = false;  // full screen over the whole desktop, not only the primary monitor
  bool help = false;
  bool version = false;
  std::optional<int> width, height;  // --size WxH
  std::optional<std::string> framesDir;
  std::optional<int> fps;
  std::optional<double> seconds;
  std::optional<std::string> audioOut;  // --audio-out FILE.wav
  bool fullQualitySound = false;
  std::optional<int> pictureMemoryMb;  // --picture-memory MB
  // Screen-saver host conventions: -root/--root draws on the window named by
  // XSCREENSAVER_WINDOW (else the root window); -window-id/--window-id on the one given.
  bool root = false;
  std::optional<uint64_t> windowId;
  // Installing for the desktop's screen-saver host (no show is played).
  std::optional<std::string> installSaver, uninstallSaver, saverName;
  std::optional<std::string> renderPath;   // --render OUT: a video file
  bool overwrite = false;                  // replace earlier frames or an existing video
  bool quiet = false;                      // no progress line
  std::optional<int> pngLevel;             // --png-level 0..9
  std::optional<int> crf;                  // --crf 0..63
  std::optional<std::string> inputScript;  // --input FILE: scripted input
  // --set-desktop NAME=VALUE: a value of HKEY_CURRENT_USER\Control Panel\Desktop to store.
  std::optional<std::pair<std::string, uint32_t>> setDesktop;
  // The arguments left for the Windows switch, in order.
  std::vector<std::string> rest;
};

struct ParsedCommandLine {
  Options options;
  std::string error;  // empty when the command line is usable
  bool ok() const { return error.empty(); }
};

// args excludes the program name.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);
// An X11 window id in hex (0x...) or decimal; nullopt for anything else and for 0.
std::optional<uint64_t> ParseWindowId(const std::string& text);
// "PATH[@OFFSET]"; nullopt when OFFSET is present but not a number.
std::optional<ArchiveLocation> ParseArchiveLocation(const std::string& text);

enum class RunMode {
  ConfigureNoOwner,  // no argument at all
  Configure,         // "c": owned by the foreground window
  Preview,           // "p": inside the window given as second argument
  Show,              // "s"
  ChangePassword,    // "a": owned by the window given as second argument
  None,              // anything else: end at once
};

struct ModeChoice {
  RunMode mode = RunMode::None;
  uint64_t handle = 0;  // second argument: a decimal (or 0x hex) window handle; 0 when missing
};

// The mode from the remaining arguments: the first two characters of the first argument,
// one leading '-' or '/' dropped, must be exactly one of c, p, s, a in any case.
ModeChoice ChooseMode(const std::vector<std::string>& rest);

const char* RunModeName(RunMode mode);
std::string UsageText();

}  // namespace app
