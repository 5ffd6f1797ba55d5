#include "app/command_line.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace app {
namespace {

bool ParseUnsigned(const std::string& text, uint64_t& out) {
  if (text.empty()) return false;
  int base = 10;
  const char* begin = text.data();
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    begin += 2;
  }
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(begin, end, out, base);
  return ec == std::errc() && p == end;
}

bool ParseInt(const std::string& text, int lo, int hi, int& out) {
  uint64_t v = 0;
  if (!ParseUnsigned(text, v) || v < static_cast<uint64_t>(lo) || v > static_cast<uint64_t>(hi)) {
    return false;
  }
  out = static_cast<int>(v);
  return true;
}

// --seconds means the same in real and in show time; the bound keeps nanosecond counts of
// show time far from overflow.
constexpr double kMaxSeconds = 1e6;

bool ParseSeconds(const std::string& text, double& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !std::isfinite(v) || !(v > 0) || v > kMaxSeconds)
    return false;
  out = v;
  return true;
}

}  // namespace

std::optional<uint64_t> ParseWindowId(const std::string& text) {
  uint64_t id = 0;
  // X resource ids are 29 bits.
  if (!ParseUnsigned(text, id) || id == 0 || id > 0x1FFFFFFF) return std::nullopt;
  return id;
}

std::optional<ArchiveLocation> ParseArchiveLocation(const std::string& text) {
  ArchiveLocation location{text, std::nullopt};
  const size_t at = text.rfind('@');
  if (at != std::string::npos && at + 1 < text.size()) {
    const std::string tail = text.substr(at + 1);
    const bool hex = tail.size() > 2 && tail[0] == '0' && (tail[1] == 'x' || tail[1] == 'X');
    const bool looksNumeric =
        hex ? tail.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos
            : tail.find_first_not_of("0123456789") == std::string::npos;
    // Anything else after an '@' belongs to the file name.
    if (looksNumeric) {
      uint64_t offset = 0;
      if (!ParseUnsigned(tail, offset)) return std::nullopt;  // too large
      location.path = text.substr(0, at);
      location.offset = offset;
    }
  }
  if (location.path.empty()) return std::nullopt;
  return location;
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  ParsedCommandLine result;
  Options& o = result.options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    // The host's own single-dash options, as every hack reads them.
    if (arg == "-root") {
      o.root = true;
      continue;
    }
    if (arg == "-window-id") {
      if (i + 1 >= args.size()) {
        result.error = "option -window-id needs a value";
        return result;
      }
      auto id = ParseWindowId(args[++i]);
      if (!id) {
        result.error =
            "-window-id: expected a window id (hex 0x... or decimal), got '" + args[i] + "'";
        return result;
      }
      o.windowId = id;
      continue;
    }
    if (arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
      o.rest.push_back(arg);
      continue;
    }
    std::string name = arg;
    std::optional<std::string> value;
    if (const size_t eq = arg.find('='); eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
    }
    auto fail = [&](const std::string& why) {
      result.error = why;
      return result;
    };
    auto flag = [&](bool& field) {
      if (value) return false;
      field = true;
      return true;
    };
    if (name == "--dump" || name == "--headless" || name == "--window" || name == "--help" ||
        name == "--version" || name == "--full-quality-sound" || name == "--root" ||
        name == "--span" || name == "--overwrite" || name == "--quiet") {
      bool& field = name == "--dump"        ? o.dump
                    : name == "--headless"  ? o.headless
                    : name == "--window"    ? o.window
                    : name == "--help"      ? o.help
                    : name == "--version"   ? o.version
                    : name == "--root"      ? o.root
                    : name == "--span"      ? o.span
                    : name == "--overwrite" ? o.overwrite
                    : name == "--quiet"     ? o.quiet
                                            : o.fullQualitySound;
      if (!flag(field)) return fail("option " + name + " takes no value");
      continue;
    }
    if (name != "--archive" && name != "--size" && name != "--frames" && name != "--fps" &&
        name != "--seconds" && name != "--audio-out" && name != "--window-id" &&
        name != "--install-saver" && name != "--uninstall-saver" && name != "--name" &&
        name != "--render" && name != "--png-level" && name != "--crf" && name != "--input" &&
        name != "--set-desktop" && name != "--picture-memory") {
      return fail("unknown option " + name + " (see --help)");
    }
    if (!value) {
      if (i + 1 >= args.size()) return fail("option " + name + " needs a value");
      value = args[++i];
    }
    if (name == "--archive") {
      auto location = ParseArchiveLocation(*value);
      if (!location) return fail("--archive: expected PATH or PATH@OFFSET, got '" + *value + "'");
      o.archive = *location;
    } else if (name == "--size") {
      const size_t x = value->find_first_of("xX");
      int w = 0, h = 0;
      if (x == std::string::npos || !ParseInt(value->substr(0, x), 1, 32767, w) ||
          !ParseInt(value->substr(x + 1), 1, 32767, h)) {
        return fail("--size: expected WIDTHxHEIGHT (1 to 32767 each), got '" + *value + "'");
      }
      o.width = w;
      o.height = h;
    } else if (name == "--frames") {
      if (value->empty()) return fail("--frames: the directory name is empty");
      o.framesDir = *value;
    } else if (name == "--audio-out") {
      if (value->empty()) return fail("--audio-out: the file name is empty");
      o.audioOut = *value;
    } else if (name == "--install-saver" || name == "--uninstall-saver" || name == "--name") {
      if (value->empty()) return fail(name + ": the value is empty");
      (name == "--install-saver"     ? o.installSaver
       : name == "--uninstall-saver" ? o.uninstallSaver
                                     : o.saverName) = *value;
    } else if (name == "--window-id") {
      auto id = ParseWindowId(*value);
      if (!id) {
        return fail("--window-id: expected a window id (hex 0x... or decimal), got '" + *value +
                    "'");
      }
      o.windowId = id;
    } else if (name == "--input") {
      if (value->empty()) return fail("--input: the file name is empty");
      o.inputScript = *value;
    } else if (name == "--set-desktop") {
      // Only the desktop value the player reads can be set this way.
      const size_t eq = value->find('=');
      int v = 0;
      if (eq == std::string::npos || value->substr(0, eq) != "ScreenSaveUsePassword" ||
          !ParseInt(value->substr(eq + 1), 0, 1, v)) {
        return fail(
            "--set-desktop: expected ScreenSaveUsePassword=0 or ScreenSaveUsePassword=1, "
            "got '" +
            *value + "'");
      }
      o.setDesktop = std::make_pair(value->substr(0, eq), static_cast<uint32_t>(v));
    } else if (name == "--render") {
      if (value->empty()) return fail("--render: the file name is empty");
      o.renderPath = *value;
    } else if (name == "--png-level" || name == "--crf") {
      const int top = name == "--crf" ? 63 : 9;
      int v = 0;
      if (!ParseInt(*value, 0, top, v)) {
        return fail(name + ": expected a whole number from 0 to " + std::to_string(top) +
                    ", got '" + *value + "'");
      }
      (name == "--crf" ? o.crf : o.pngLevel) = v;
    } else if (name == "--picture-memory") {
      int mb = 0;
      if (!ParseInt(*value, 16, 4096, mb)) {
        return fail("--picture-memory: expected megabytes from 16 to 4096, got '" + *value + "'");
      }
      o.pictureMemoryMb = mb;
    } else if (name == "--fps") {
      int fps = 0;
      if (!ParseInt(*value, 1, 1000, fps)) {
        return fail("--fps: expected a whole number from 1 to 1000, got '" + *value + "'");
      }
      o.fps = fps;
    } else {
      double s = 0;
      if (!ParseSeconds(*value, s)) {
        return fail("--seconds: expected a number of seconds above 0 and at most 1000000, got '" +
                    *value + "'");
      }
      o.seconds = s;
    }
  }
  if (o.saverName && !o.installSaver) result.error = "--name goes with --install-saver";
  if (o.installSaver && o.uninstallSaver) {
    result.error = "--install-saver and --uninstall-saver exclude each other";
  }
  if (o.framesDir && o.renderPath) result.error = "--frames and --render cannot be used together";
  return result;
}

ModeChoice ChooseMode(const std::vector<std::string>& rest) {
  ModeChoice choice;
  if (rest.empty()) {
    choice.mode = RunMode::ConfigureNoOwner;
    return choice;
  }
  std::string word = rest[0].substr(0, 2);
  if (!word.empty() && (word[0] == '-' || word[0] == '/')) word.erase(0, 1);
  // The handle is read like atoi reads it: leading digits, 0 when there are none. X tools
  // print window ids in hex, so a leading 0x reads hex digits instead.
  if (rest.size() > 1) {
    const std::string& text = rest[1];
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const uint64_t base = hex ? 16 : 10;
    uint64_t v = 0;
    for (size_t k = hex ? 2 : 0; k < text.size(); ++k) {
      const char c = text[k];
      uint64_t digit;
      if (c >= '0' && c <= '9') {
        digit = static_cast<uint64_t>(c - '0');
      } else if (hex && c >= 'a' && c <= 'f') {
        digit = static_cast<uint64_t>(c - 'a' + 10);
      } else if (hex && c >= 'A' && c <= 'F') {
        digit = static_cast<uint64_t>(c - 'A' + 10);
      } else {
        break;
      }
      if (v > (UINT64_MAX - digit) / base) break;
      v = v * base + digit;
    }
    choice.handle = v;
  }
  if (word.size() != 1) return choice;
  switch (word[0]) {
    case 'c':
    case 'C':
      choice.mode = RunMode::Configure;
      break;
    case 'p':
    case 'P':
      choice.mode = RunMode::Preview;
      break;
    case 's':
    case 'S':
      choice.mode = RunMode::Show;
      break;
    case 'a':
    case 'A':
      choice.mode = RunMode::ChangePassword;
      break;
    default:
      break;
  }
  return choice;
}

const char* RunModeName(RunMode mode) {
  switch (mode) {
    case RunMode::ConfigureNoOwner:
    case RunMode::Configure:
      return "configuration";
    case RunMode::Preview:
      return "preview";
    case RunMode::Show:
      return "show";
    case RunMode::ChangePassword:
      return "change-password";
    case RunMode::None:
      break;
  }
  return "none";
}

std::string UsageText() {
  return "Usage: sceneplayer [OPTIONS] [/s | /c[:HANDLE] | /p HANDLE | /a HANDLE]\n"
         "Plays the screen-saver show stored at the end of this program's file.\n"
         "\n"
         "Switches (as the screen-saver host passes them):\n"
         "  /s            show the saver\n"
         "  /c, none      show the settings dialog\n"
         "  /p HANDLE     draw a preview into window HANDLE\n"
         "  /a HANDLE     change the password\n"
         "\n"
         "Options:\n"
         "  --archive PATH[@OFFSET]  read the show from another file (a saver file, or a\n"
         "                           bare archive at byte 0, or at OFFSET)\n"
         "  --dump                   print the loaded show as JSON and exit\n"
         "  --headless               run without a display\n"
         "  --size WxH               screen size (headless)\n"
         "  --frames DIR             write frames as pictures into DIR (headless)\n"
         "  --render OUT             render the show into a video file (.mp4, .mkv, .webm)\n"
         "  --fps N                  frames per second for --frames and --render (25)\n"
         "  --overwrite              replace the frames or the video of an earlier render\n"
         "  --png-level N            PNG compression for --frames, 0 (fast) to 9 (small); 1\n"
         "  --crf N                  video quality, lower is better (23 for .mp4/.mkv, 32 for\n"
         "                           .webm)\n"
         "  --quiet                  no progress line while rendering\n"
         "  --seconds S              stop after S seconds (of show time with --frames;\n"
         "                           above 0, at most 1000000)\n"
         "  --window                 play in a window instead of full screen\n"
         "  --input FILE             play scripted input (keys, text, clicks, mouse moves,\n"
         "                           waits) into the dialog of /c and /a or into the show\n"
         "  --set-desktop ScreenSaveUsePassword=1\n"
         "                           ask for the saver's password (set with /a) before a\n"
         "                           show ends; =0 turns that off\n"
         "  --audio-out FILE.wav     write the show's sound, mixed, as a 16-bit WAV file\n"
         "  --full-quality-sound     play MP3 music at its full rate in 16 bits\n"
         "  --picture-memory MB      decoded pictures the show keeps, 16 to 4096 (default: a\n"
         "                           quarter of the memory, at most 768); the others keep\n"
         "                           their bytes and are decoded again ahead of showing\n"
         "  -root, --root            play as a screen-saver host's hack: on the window named\n"
         "                           by $XSCREENSAVER_WINDOW, else on the root window; the\n"
         "                           host ends the show with SIGTERM\n"
         "  -window-id ID, --window-id ID\n"
         "                           play on window ID (hex 0x... or decimal)\n"
         "  --span                   full screen over every monitor (default: the primary)\n"
         "  --install-saver FILE [--name NAME]\n"
         "                           copy saver FILE to ~/.local/lib/sceneplayer/NAME and\n"
         "                           add it to the programs list in ~/.xscreensaver\n"
         "  --uninstall-saver NAME   undo --install-saver\n"
         "  --help                   show this text\n"
         "  --version                show the version\n";
}

}  // namespace app
