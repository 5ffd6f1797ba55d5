#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "app/project_loader.h"
#include "app/scene_dump.h"
#include "scene/archive_builder.h"
#include "scene/items.h"
#include "scene/scene_list.h"

namespace {

using namespace scene;
using scene_test::ArchiveBuilder;
namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "sp_dump_XXXXXX").string();
    path = mkdtemp(tmpl.data());
  }
  ~TempDir() { fs::remove_all(path); }
  fs::path path;
};

void WriteFile(const fs::path& p, const std::vector<uint8_t>& bytes,
               const std::string& prefix = "") {
  std::ofstream out(p, std::ios::binary);
  out << prefix;
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

ArchiveBuilder EveryKind() {
  ArchiveBuilder b;
  b.Header(4.31f, 14);
  b.Item(kPictureItem, "pic\xE9", 0, 42).I32(1).I32(1).I32(1).I32(0).I32(0).I32(0).I32(0);
  b.I32(0x112233).I32(0x445566).Scr("Hi \x80");
  std::vector<uint8_t> font(60, 0);
  font[0] = 0xF5;
  font[1] = font[2] = font[3] = 0xFF;
  std::string face = "Courier New";
  std::copy(face.begin(), face.end(), font.begin() + 28);
  b.ScrBlock(font);
  b.Item(kShowPictureItem, "show").Path({1, 2, 3, 4}).Color(0x808080, 1, 1, 0);
  b.Item(kMovePictureItem, "move").Path().Color();
  b.Item(kHidePictureItem, "hide").Path().Color();
  b.Item(kPauseItem, "pause").I32(1500).I32(1);
  b.Item(kBackgroundItem, "bg").Color(0xFF, 2, 0, 1);
  b.Item(kLoopStartItem, "ls");
  b.Item(kLoopEndItem, "le").I32(3).I32(0);
  b.Item(kLineItem, "line").Color(0x00FF00).Path({10, 20, 30, 40}).I32(2).I32(5);
  std::vector<uint8_t> media(20);
  for (size_t i = 0; i < media.size(); ++i) media[i] = static_cast<uint8_t>(0xA0 + i);
  b.Item(kMediaItem, "media").I32(20).Scr("song.mp3").I32(2).ScrBlock(media);
  b.Item(kPlayMediaItem, "play").I32(2).I32(1).I32(1).I32(0).I32(5).I32(6);
  b.Item(kStopMediaItem, "stop");
  b.Item(kCommentItem, "c").Scr("note");
  b.Item(kLinkItem, "link").I32(0).I32(3).Scr("http://example.org/");
  b.I32(3).I32(1).I32(2).I32(3);  // picture used by show, move, hide
  b.I32(2).I32(10).I32(11);       // media used by play, stop
  return b;
}

TEST(SceneDump, EveryKindWithTheDocumentedKeys) {
  TempDir dir;
  WriteFile(dir.path / "show.bin", EveryKind().bytes, "junk");
  SceneList list;
  app::LoadFailure failure;
  ASSERT_TRUE(app::LoadProjectArchive(app::ArchiveLocation{(dir.path / "show.bin").string(), 4},
                                      list, false, &failure))
      << failure.what;
  const auto j = nlohmann::json::parse(app::DumpScene(list));
  EXPECT_EQ(j["offset"], 4);
  EXPECT_EQ(j["identification"], "SceneProject");
  EXPECT_EQ(j["version"].get<double>(), 4.31);
  const auto& items = j["items"];
  ASSERT_EQ(items.size(), 14u);
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i]["index"], i);
    EXPECT_EQ(items[i]["kind"], i);
    EXPECT_EQ(items[i]["class"], ItemClassName(static_cast<int32_t>(i)));
  }
  const auto& pic = items[0];
  EXPECT_EQ(pic["name"], "pic\xC3\xA9");
  EXPECT_EQ(pic["tagValue"], 42);
  EXPECT_EQ(pic["text"], "Hi \xE2\x82\xAC");
  EXPECT_EQ(pic["textColor"], 0x112233);
  EXPECT_EQ(pic["font"]["height"], -11);
  EXPECT_EQ(pic["font"]["faceName"], "Courier New");
  EXPECT_EQ(pic["references"], nlohmann::json::array({1, 2, 3}));
  for (const char* key : {"source", "textOpaque", "imageOrigin", "width", "height", "fitScreen",
                          "keepAspect", "backColor", "fileName", "dataSize", "dataHead"}) {
    EXPECT_TRUE(pic.contains(key)) << key;
  }
  for (const char* key :
       {"width", "escapement", "orientation", "weight", "italic", "underline", "strikeOut",
        "charSet", "outPrecision", "clipPrecision", "quality", "pitchAndFamily"}) {
    EXPECT_TRUE(pic["font"].contains(key)) << key;
  }
  const auto& show = items[1];
  EXPECT_EQ(show["picture"], 0);
  EXPECT_EQ(show["path"]["x2"], 3);
  EXPECT_EQ(show["path"]["effectSpeed"], 300);
  EXPECT_EQ(show["path"].size(), 24u);
  EXPECT_EQ(
      show["color"],
      (nlohmann::json{
          {"color", 0x808080}, {"paintMode", 1}, {"randomColor", 1}, {"useWindowBackground", 0}}));
  EXPECT_EQ(items[4]["pauseMs"], 1500);
  EXPECT_EQ(items[4]["randomPause"], 1);
  EXPECT_EQ(items[5]["color"]["paintMode"], 2);
  EXPECT_EQ(items[7]["repeatCount"], 3);
  EXPECT_EQ(items[7]["endless"], 0);
  EXPECT_EQ(items[8]["penWidth"], 5);
  EXPECT_EQ(items[8]["path"]["y2"], 40);
  EXPECT_EQ(items[8]["color"]["color"], 0x00FF00);
  EXPECT_EQ(items[9]["dataHead"], "a0a1a2a3a4a5a6a7a8a9aaabacadaeaf");
  EXPECT_EQ(items[9]["fileName"], "song.mp3");
  EXPECT_EQ(items[9]["mediaType"], 2);
  EXPECT_EQ(items[9]["references"], nlohmann::json::array({10, 11}));
  EXPECT_EQ(items[10]["media"], 9);
  EXPECT_EQ(items[10]["videoY"], 6);
  EXPECT_EQ(items[10]["waitUntilDone"], 1);
  EXPECT_EQ(items[11]["media"], 9);
  EXPECT_EQ(items[12]["comment"], "note");
  EXPECT_EQ(items[13]["url"], "http://example.org/");
  EXPECT_EQ(items[13]["linkMode"], 3);
}

TEST(SceneDump, UnlinkedHolderIsNull) {
  TempDir dir;
  ArchiveBuilder b;
  b.Header(2.0f, 1).Item(kStopMediaItem, "stop");
  WriteFile(dir.path / "a", b.bytes);
  SceneList list;
  ASSERT_TRUE(
      app::LoadProjectArchive(app::ArchiveLocation{(dir.path / "a").string(), {}}, list, false));
  const auto j = nlohmann::json::parse(app::DumpScene(list));
  EXPECT_TRUE(j["items"][0]["media"].is_null());
  EXPECT_EQ(j["version"].get<double>(), 2.0);
}

// Runs the player; returns the exit status and fills out/err.
int RunPlayer(const std::string& command, std::string& out, std::string& err, const fs::path& dir) {
  const std::string full = command + " >" + (dir / "out").string() + " 2>" + (dir / "err").string();
  const int status = std::system(full.c_str());
  auto slurp = [](const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  out = slurp(dir / "out");
  err = slurp(dir / "err");
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

fs::path Player() { return SP_PLAYER_PATH; }

TEST(SceneplayerDump, SaverFileAndBareArchive) {
  ASSERT_TRUE(fs::exists(Player()));
  TempDir dir;
  const auto archive = EveryKind().bytes;
  // A saver file: the player with the archive appended at its ELF end.
  fs::copy_file(Player(), dir.path / "saver");
  {
    std::ofstream out(dir.path / "saver", std::ios::binary | std::ios::app);
    out.write(reinterpret_cast<const char*>(archive.data()),
              static_cast<std::streamsize>(archive.size()));
  }
  fs::permissions(dir.path / "saver", fs::perms::owner_all);
  std::string out, err;
  EXPECT_EQ(RunPlayer((dir.path / "saver").string() + " --dump", out, err, dir.path), 0) << err;
  auto j = nlohmann::json::parse(out);
  EXPECT_EQ(j["items"].size(), 14u);
  EXPECT_EQ(j["offset"], fs::file_size(Player()));

  EXPECT_EQ(RunPlayer(Player().string() + " --dump --archive " + (dir.path / "saver").string(), out,
                      err, dir.path),
            0)
      << err;

  WriteFile(dir.path / "bare", archive);
  EXPECT_EQ(RunPlayer(Player().string() + " --dump --archive " + (dir.path / "bare").string(), out,
                      err, dir.path),
            0);
  EXPECT_EQ(nlohmann::json::parse(out)["offset"], 0);
}

TEST(SceneplayerDump, FailuresPrintOneLineWithTheOffset) {
  ASSERT_TRUE(fs::exists(Player()));
  TempDir dir;
  ArchiveBuilder cut;
  cut.Header(4.31f, 2).Item(kCommentItem, "c").Scr("x").Item(kPauseItem, "p").I32(100);
  WriteFile(dir.path / "cut", cut.bytes);
  std::string out, err;
  EXPECT_EQ(RunPlayer(Player().string() + " --dump --archive " + (dir.path / "cut").string(), out,
                      err, dir.path),
            1);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(err, "sceneplayer: unexpected end of archive in item 1 (PauseItem) at byte " +
                     std::to_string(cut.bytes.size()) + "\n");

  ArchiveBuilder badTag;
  badTag.Header(4.31f, 1).I32(99);
  WriteFile(dir.path / "tag", badTag.bytes);
  EXPECT_EQ(RunPlayer(Player().string() + " --dump --archive " + (dir.path / "tag").string(), out,
                      err, dir.path),
            1);
  EXPECT_EQ(err, "sceneplayer: item 0: type tag 99 out of range at byte 25\n");

  // The bare player has nothing appended.
  EXPECT_EQ(RunPlayer(Player().string() + " --dump", out, err, dir.path), 1);
  EXPECT_NE(err.find("at byte " + std::to_string(fs::file_size(Player()))), std::string::npos)
      << err;

  EXPECT_EQ(RunPlayer(Player().string() + " --dump --archive " + (dir.path / "missing").string(),
                      out, err, dir.path),
            1);
  EXPECT_NE(err.find("cannot open"), std::string::npos);
  EXPECT_EQ(RunPlayer(Player().string() + " --fps 0", out, err, dir.path), 2);
  EXPECT_EQ(RunPlayer(Player().string() + " --help", out, err, dir.path), 0);
  EXPECT_NE(out.find("--archive"), std::string::npos);
}

}  // namespace
