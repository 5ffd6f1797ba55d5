// Taking shows apart: unpacking then packing gives the very bytes again, at old archive
// versions and in 16-bit strings too, and nothing is written outside the folder.

#include "scenepack/unpack.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "scenepack/manifest.h"
#include "scenepack/picture_file.h"
#include "scenepack/saver_file.h"
#include "scenepack/show_writer.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

class Unpack : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "scenepack-unpack-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    fs::create_directory(dir_ / "in");
    std::vector<uint8_t> rgb(24 * 16 * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 13);
    Write(dir_ / "in" / "photo.jpg", scenepack::EncodeJpeg(rgb, 24, 16, 90));
    Write(dir_ / "in" / "tile.bmp", scenepack::EncodeBmp(rgb, 24, 16));
    std::vector<uint8_t> song(3000);
    for (size_t i = 0; i < song.size(); ++i) song[i] = static_cast<uint8_t>(i * 7 + 1);
    Write(dir_ / "in" / "song.mp3", song);
  }
  void TearDown() override { fs::remove_all(dir_); }

  static void Write(const fs::path& p, const std::vector<uint8_t>& bytes) {
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  static std::vector<uint8_t> Archive(const json& doc, const fs::path& base) {
    return scenepack::WriteArchive(scenepack::ParseManifest(doc, base));
  }

  // A show of every kind with what version v can store.
  static json ShowAt(float v, bool wide) {
    json path = {{"modeX1", 1}, {"modeY1", 3}, {"x2", 40}, {"moveSpeed", 99000}};
    if (v > 2.9f) path.update({{"effect", "WipeDown"}, {"effectSpeed", 400}});
    json photo = {{"class", "PictureItem"},
                  {"name", "photo"},
                  {"file", "photo.jpg"},
                  {"fileName", "C:\\Urlaub\\..\\fötö.jpg"}};
    if (v > 4.21f) photo.update({{"fitScreen", 1}, {"keepAspect", 1}});
    json play = {
        {"class", "PlayMediaItem"}, {"name", "play"}, {"media", "song"}, {"waitUntilDone", 1}};
    if (v >= 2.1f) play["videoX"] = 12;
    return {
        {"version", v},
        {"wideStrings", wide},
        {"items",
         {{{"class", "CommentItem"}, {"comment", "Grüße – €5, ok"}, {"tagValue", 7}},
          photo,
          {{"class", "PictureItem"},
           {"name", "same file name"},
           {"file", "tile.bmp"},
           {"fileName", "fötö.jpg"},
           {"disabled", 1}},
          {{"class", "PictureItem"},
           {"name", "greeting"},
           {"source", 1},
           {"text", "Привет"},
           {"textColor", "#ff8000"},
           {"font", {{"height", -20}, {"charSet", 204}, {"faceName", "Arial"}}}},
          {{"class", "MediaItem"},
           {"name", "song"},
           {"file", "song.mp3"},
           {"mediaType", 2},
           {"fileName", "../../../escape.mp3"}},
          {{"class", "BackgroundItem"},
           {"color", {{"color", "#102030"}, {"useWindowBackground", 0}}}},
          {{"class", "LoopStartItem"}, {"name", "loop"}},
          {{"class", "ShowPictureItem"}, {"name", "show"}, {"picture", "photo"}, {"path", path}},
          {{"class", "PauseItem"}, {"pauseMs", 1500}, {"randomPause", 1}},
          {{"class", "MovePictureItem"}, {"picture", "greeting"}, {"path", path}},
          {{"class", "HidePictureItem"}, {"picture", "photo"}},
          play,
          {{"class", "StopMediaItem"}, {"media", "song"}},
          {{"class", "LineItem"}, {"penWidth", 3}, {"path", {{"x1", 5}, {"y2", 9}}}},
          {{"class", "LoopEndItem"}, {"repeatCount", 3}},
          {{"class", "LinkItem"}, {"url", "https://example.org/"}, {"linkMode", 0}}}}};
  }

  fs::path dir_;
};

TEST_F(Unpack, PackingAgainGivesTheSameBytes) {
  struct Case {
    float version;
    bool wide;
    bool saver;
  };
  const Case cases[] = {{2.0f, false, false}, {2.0f, true, true},   {3.1f, false, false},
                        {3.1f, true, false},  {4.31f, false, true}, {4.31f, true, false}};
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.version) + (c.wide ? " wide" : " narrow") +
                 (c.saver ? " saver" : " bare"));
    const auto archive = Archive(ShowAt(c.version, c.wide), dir_ / "in");
    std::vector<uint8_t> file = archive;
    if (c.saver) {
      // Any ELF image will do as the player.
      file = scenepack::PlayerImage("/proc/self/exe");
      file.insert(file.end(), archive.begin(), archive.end());
    }
    const fs::path input = dir_ / ("show" + std::to_string(n));
    const fs::path out = dir_ / ("out" + std::to_string(n++));
    Write(input, file);
    const auto result = scenepack::Unpack(input, out);
    EXPECT_TRUE(result.identical) << result.difference;
    EXPECT_EQ(result.files, 3u);
    // Names made safe and unique; the stored names stay in the manifest.
    EXPECT_TRUE(fs::is_regular_file(out / "fötö.jpg"));
    EXPECT_TRUE(fs::is_regular_file(out / "fötö-2.jpg"));
    EXPECT_TRUE(fs::is_regular_file(out / "escape.mp3"));
    EXPECT_FALSE(fs::exists(dir_ / "escape.mp3"));
    // Packed again from the folder, independently of Unpack's own check.
    const auto again = scenepack::WriteArchive(scenepack::LoadManifest(out / "show.json"));
    EXPECT_EQ(again, archive);
    const json doc = json::parse(std::ifstream(out / "show.json"));
    EXPECT_EQ(doc["items"][3]["text"], "Привет");
    EXPECT_EQ(doc["items"][1]["fileName"], "C:\\Urlaub\\..\\fötö.jpg");
    if (c.version > 2.9f) {
      EXPECT_EQ(doc["items"][7]["path"]["effect"], "WipeDown");
    }
  }
}

TEST_F(Unpack, TheDemoPacksAgainAsItWas) {
  const fs::path demo = fs::path(SP_SOURCE_DIR) / "demo" / "show.json";
  const auto archive = scenepack::WriteArchive(scenepack::LoadManifest(demo));
  Write(dir_ / "demo.arc", archive);
  const auto result = scenepack::Unpack(dir_ / "demo.arc", dir_ / "demo");
  EXPECT_TRUE(result.identical) << result.difference;
  EXPECT_EQ(scenepack::WriteArchive(scenepack::LoadManifest(dir_ / "demo" / "show.json")), archive);
  EXPECT_TRUE(fs::is_regular_file(dir_ / "demo" / "music.mp3"));
}

TEST_F(Unpack, NamesAreMadeSafe) {
  struct Case {
    const char* stored;
    const char* safe;
  };
  const Case cases[] = {
      {"photo.jpg", "photo.jpg"},
      {"photo.jpg", "photo-2.jpg"},
      {"../../etc/passwd", "passwd"},
      {"C:\\pics\\..\\x.bmp", "x.bmp"},
      {"/abs/olute.jpg", "olute.jpg"},
      {".hidden.jpg", "hidden.jpg"},
      {"..", "picture-1"},
      {"", "picture-1-2"},
      {"dir/", "picture-1-3"},
      {"a\x01:b.jpg", "a__b.jpg"},
      {"show.json", "picture-1-4"},
      {"photo", "photo"},
      {"photo", "photo-2"},
  };
  std::vector<std::string> taken = {"show.json"};
  for (const Case& c : cases)
    EXPECT_EQ(scenepack::SafeFileName(c.stored, "picture-1", taken), c.safe) << c.stored;
  EXPECT_EQ(scenepack::SafeFileName(std::string(300, 'x') + ".jpg", "f", taken).size(), 200u);
}

TEST_F(Unpack, NothingIsWrittenOutsideTheFolder) {
  const auto archive = Archive(ShowAt(4.31f, false), dir_ / "in");
  Write(dir_ / "show.arc", archive);
  fs::create_directory(dir_ / "elsewhere");

  // The folder is a link to another one.
  fs::create_directory_symlink(dir_ / "elsewhere", dir_ / "linked");
  EXPECT_THROW(scenepack::Unpack(dir_ / "show.arc", dir_ / "linked"), std::runtime_error);

  // A file in the folder is a link that leads outside.
  fs::create_directory(dir_ / "trap");
  fs::create_symlink(dir_ / "elsewhere" / "escape.mp3", dir_ / "trap" / "escape.mp3");
  try {
    scenepack::Unpack(dir_ / "show.arc", dir_ / "trap");
    ADD_FAILURE() << "unpacked over a link";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("exists already"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(fs::is_empty(dir_ / "elsewhere"));

  // An existing file is never replaced.
  fs::create_directory(dir_ / "full");
  Write(dir_ / "full" / "show.json", {'{', '}'});
  EXPECT_THROW(scenepack::Unpack(dir_ / "show.arc", dir_ / "full"), std::runtime_error);
  EXPECT_EQ(fs::file_size(dir_ / "full" / "show.json"), 2u);
}

TEST_F(Unpack, BrokenArchivesAreRefusedWithTheirByte) {
  auto archive = Archive(ShowAt(4.31f, false), dir_ / "in");
  for (size_t cut : {size_t{3}, size_t{40}, archive.size() / 2, archive.size() - 1}) {
    Write(dir_ / "cut.arc", std::vector<uint8_t>(archive.begin(), archive.begin() + cut));
    try {
      scenepack::Unpack(dir_ / "cut.arc", dir_ / ("cut" + std::to_string(cut)));
      ADD_FAILURE() << "cut at " << cut << " was taken";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find("at byte"), std::string::npos) << e.what();
    }
  }
}

}  // namespace
