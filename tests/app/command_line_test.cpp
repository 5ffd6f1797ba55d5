#include "app/command_line.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using app::ChooseMode;
using app::ParseCommandLine;
using app::RunMode;

RunMode ModeOf(std::vector<std::string> rest) { return ChooseMode(rest).mode; }

TEST(ChooseMode, SwitchWordIsTheFirstTwoCharacters) {
  EXPECT_EQ(ModeOf({}), RunMode::ConfigureNoOwner);
  for (const char* s : {"/s", "-S", "s", "/sx", "S", "/S"})
    EXPECT_EQ(ModeOf({s}), RunMode::Show) << s;
  for (const char* s : {"/c:1234", "-C", "c", "/c"})
    EXPECT_EQ(ModeOf({s}), RunMode::Configure) << s;
  for (const char* s : {"sx", "x", "/", "-", "", "//s", "-/s", "ss", "/x"}) {
    EXPECT_EQ(ModeOf({s}), RunMode::None) << s;
  }
  EXPECT_EQ(ModeOf({"/p", "1234"}), RunMode::Preview);
  EXPECT_EQ(ModeOf({"-A", "77"}), RunMode::ChangePassword);
}

TEST(ChooseMode, HandleIsDecimalLikeAtoiOrHexAsXToolsPrintIt) {
  EXPECT_EQ(ChooseMode({"/p", "1234"}).handle, 1234u);
  EXPECT_EQ(ChooseMode({"/p", "4294967296"}).handle, 4294967296u);
  EXPECT_EQ(ChooseMode({"/p", "12ab"}).handle, 12u);
  EXPECT_EQ(ChooseMode({"/p", "0x10"}).handle, 16u);
  EXPECT_EQ(ChooseMode({"/p", "0X400a07"}).handle, 0x400a07u);
  EXPECT_EQ(ChooseMode({"/p", "0x1g"}).handle, 1u);
  EXPECT_EQ(ChooseMode({"/p", "0x"}).handle, 0u);
  EXPECT_EQ(ChooseMode({"/p", "abc"}).handle, 0u);
  EXPECT_EQ(ChooseMode({"/p"}).handle, 0u);  // missing: no parent
  EXPECT_EQ(ChooseMode({"/p", "99999999999999999999999"}).handle, 9999999999999999999u);
}

TEST(ParseCommandLine, LongOptionsAreTakenOutFirst) {
  auto p = ParseCommandLine({"--headless", "/s", "--size", "800x600", "--fps=25", "--frames", "out",
                             "--seconds", "2.5", "--window", "--archive", "show.bin@0x100",
                             "--dump", "--audio-out=show.wav", "--full-quality-sound"});
  ASSERT_TRUE(p.ok()) << p.error;
  const auto& o = p.options;
  EXPECT_TRUE(o.headless);
  EXPECT_TRUE(o.window);
  EXPECT_TRUE(o.dump);
  EXPECT_EQ(o.width, 800);
  EXPECT_EQ(o.height, 600);
  EXPECT_EQ(o.fps, 25);
  EXPECT_EQ(o.framesDir, "out");
  EXPECT_EQ(o.seconds, 2.5);
  EXPECT_EQ(o.audioOut, "show.wav");
  EXPECT_TRUE(o.fullQualitySound);
  ASSERT_TRUE(o.archive);
  EXPECT_EQ(o.archive->path, "show.bin");
  EXPECT_EQ(o.archive->offset, 256u);
  EXPECT_EQ(o.rest, std::vector<std::string>{"/s"});
}

TEST(ParseCommandLine, ScreenSaverHostOptions) {
  struct Case {
    std::vector<std::string> args;
    bool root;
    std::optional<uint64_t> window;
    std::vector<std::string> rest;
  };
  const Case cases[] = {
      {{"-root"}, true, std::nullopt, {}},
      {{"--root", "/s"}, true, std::nullopt, {"/s"}},
      {{"-window-id", "0x400007"}, false, 0x400007u, {}},
      {{"--window-id", "4194311"}, false, 4194311u, {}},
      {{"--window-id=0X1A"}, false, 26u, {}},
      {{"-r", "-window"}, false, std::nullopt, {"-r", "-window"}},  // not ours: the switch
  };
  for (const Case& c : cases) {
    auto p = ParseCommandLine(c.args);
    ASSERT_TRUE(p.ok()) << c.args[0] << ": " << p.error;
    EXPECT_EQ(p.options.root, c.root) << c.args[0];
    EXPECT_EQ(p.options.windowId, c.window) << c.args[0];
    EXPECT_EQ(p.options.rest, c.rest) << c.args[0];
  }
  for (const char* bad : {"", "0", "0x", "-5", "12z", "0x20000000", "99999999999999999999"}) {
    EXPECT_FALSE(ParseCommandLine({"-window-id", bad}).ok()) << bad;
    EXPECT_FALSE(ParseCommandLine({"--window-id", bad}).ok()) << bad;
  }
  EXPECT_FALSE(ParseCommandLine({"-window-id"}).ok());
  EXPECT_FALSE(ParseCommandLine({"--root=1"}).ok());
}

TEST(ParseCommandLine, InstallOptionsGoTogetherOrNotAtAll) {
  auto p = ParseCommandLine({"--install-saver", "a.scr", "--name", "Sunset"});
  ASSERT_TRUE(p.ok()) << p.error;
  EXPECT_EQ(p.options.installSaver, "a.scr");
  EXPECT_EQ(p.options.saverName, "Sunset");
  EXPECT_FALSE(ParseCommandLine({"--name", "x"}).ok());
  EXPECT_FALSE(ParseCommandLine({"--install-saver", "a", "--uninstall-saver", "b"}).ok());
  EXPECT_FALSE(ParseCommandLine({"--uninstall-saver="}).ok());
}

TEST(ParseCommandLine, RenderOptions) {
  auto p = ParseCommandLine(
      {"--render", "show.webm", "--crf=30", "--overwrite", "--quiet", "--png-level", "0", "/s"});
  ASSERT_TRUE(p.ok()) << p.error;
  const auto& o = p.options;
  EXPECT_EQ(o.renderPath, "show.webm");
  EXPECT_EQ(o.crf, 30);
  EXPECT_EQ(o.pngLevel, 0);
  EXPECT_FALSE(o.pictureMemoryMb);
  EXPECT_EQ(ParseCommandLine({"--picture-memory=16"}).options.pictureMemoryMb, 16);
  EXPECT_EQ(ParseCommandLine({"--picture-memory", "4096"}).options.pictureMemoryMb, 4096);
  EXPECT_TRUE(o.overwrite);
  EXPECT_TRUE(o.quiet);
  EXPECT_EQ(o.rest, std::vector<std::string>{"/s"});
}

TEST(ParseCommandLine, InputScriptAndDesktopSwitch) {
  auto p = ParseCommandLine({"--input", "keys.txt", "/a", "77"});
  ASSERT_TRUE(p.ok()) << p.error;
  EXPECT_EQ(p.options.inputScript, "keys.txt");
  EXPECT_EQ(p.options.rest, (std::vector<std::string>{"/a", "77"}));
  for (uint32_t v : {0u, 1u}) {
    p = ParseCommandLine({"--set-desktop=ScreenSaveUsePassword=" + std::to_string(v)});
    ASSERT_TRUE(p.ok()) << p.error;
    ASSERT_TRUE(p.options.setDesktop);
    EXPECT_EQ(p.options.setDesktop->first, "ScreenSaveUsePassword");
    EXPECT_EQ(p.options.setDesktop->second, v);
  }
}

TEST(ParseCommandLine, ArchiveLocations) {
  auto a = app::ParseArchiveLocation("/tmp/x.scr");
  ASSERT_TRUE(a);
  EXPECT_FALSE(a->offset);
  a = app::ParseArchiveLocation("/tmp/me@home/x@4096");
  ASSERT_TRUE(a);
  EXPECT_EQ(a->path, "/tmp/me@home/x");
  EXPECT_EQ(a->offset, 4096u);
  a = app::ParseArchiveLocation("mail@example");  // not a number: part of the name
  ASSERT_TRUE(a);
  EXPECT_EQ(a->path, "mail@example");
  EXPECT_FALSE(app::ParseArchiveLocation("x@99999999999999999999999"));
  EXPECT_FALSE(app::ParseArchiveLocation("@12"));
}

TEST(ParseCommandLine, BadValuesAreNamed) {
  struct Case {
    std::vector<std::string> args;
    const char* mentions;
  };
  std::vector<Case> cases = {
      {{"--size", "800"}, "--size"},
      {{"--size", "0x600"}, "--size"},
      {{"--size", "40000x1"}, "--size"},
      {{"--size", "8x-1"}, "--size"},
      {{"--fps", "0"}, "--fps"},
      {{"--fps", "abc"}, "--fps"},
      {{"--seconds", "-1"}, "--seconds"},
      {{"--seconds", "nan"}, "--seconds"},
      // One range in real and in show time: nothing that means "never" or overflows.
      {{"--seconds", "0"}, "--seconds"},
      {{"--seconds", "1000000.5"}, "--seconds"},
      {{"--seconds", "1e12"}, "--seconds"},
      {{"--seconds", "1e300"}, "--seconds"},
      {{"--seconds", "inf"}, "--seconds"},
      {{"--seconds"}, "--seconds"},
      {{"--frames="}, "--frames"},
      {{"--audio-out="}, "--audio-out"},
      {{"--audio-out"}, "--audio-out"},
      {{"--full-quality-sound=1"}, "--full-quality-sound"},
      {{"--bogus"}, "--bogus"},
      {{"--dump=1"}, "--dump"},
      {{"--archive", "x@99999999999999999999999"}, "--archive"},
      {{"--render="}, "--render"},
      {{"--png-level", "10"}, "--png-level"},
      {{"--picture-memory", "15"}, "--picture-memory"},
      {{"--picture-memory=4097"}, "--picture-memory"},
      {{"--picture-memory", "1G"}, "--picture-memory"},
      {{"--crf", "64"}, "--crf"},
      {{"--crf", "-1"}, "--crf"},
      {{"--quiet=yes"}, "--quiet"},
      {{"--frames", "f", "--render", "v.mp4"}, "--render"},
      {{"--input="}, "--input"},
      {{"--input"}, "--input"},
      {{"--set-desktop", "Wallpaper=1"}, "--set-desktop"},
      {{"--set-desktop", "ScreenSaveUsePassword=2"}, "--set-desktop"},
      {{"--set-desktop", "ScreenSaveUsePassword"}, "--set-desktop"},
  };
  for (const char* ok : {"0.001", "1e6"})
    EXPECT_TRUE(ParseCommandLine({"--seconds", ok}).ok()) << ok;
  for (const auto& c : cases) {
    auto p = ParseCommandLine(c.args);
    EXPECT_FALSE(p.ok()) << c.args[0];
    EXPECT_NE(p.error.find(c.mentions), std::string::npos) << p.error;
  }
}

}  // namespace
