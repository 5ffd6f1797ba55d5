#include "scenepack/manifest.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/sys/elf_image.h"
#include "scenepack/show_writer.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

class ManifestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "scenepack-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    WriteFile("pic.jpg", std::string("\xFF\xD8\xFF\xE0 not really a JPEG", 23));
    WriteFile("clip.mp3", "ID3 and some frames");
  }
  void TearDown() override { fs::remove_all(dir_); }

  void WriteFile(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // A small show that uses every link kind; tests break one thing in it at a time.
  json GoodShow() {
    return json::parse(R"({"items": [
      {"class": "PictureItem", "name": "pic", "file": "pic.jpg"},
      {"class": "MediaItem", "name": "song", "file": "clip.mp3", "mediaType": 2},
      {"class": "ShowPictureItem", "name": "show", "picture": "pic",
       "path": {"modeX1": 1, "effect": 7}, "color": {"color": "#102030"}},
      {"class": "PlayMediaItem", "name": "play", "media": "song", "waitUntilDone": true},
      {"class": "LoopStartItem", "name": "loop"},
      {"class": "PauseItem", "name": "wait", "pauseMs": 500},
      {"class": "LoopEndItem", "name": "again", "repeatCount": 2},
      {"class": "StopMediaItem", "name": "stop", "media": "song"}
    ]})");
  }

  // The item and field of the fault ParseManifest reports, as "item:field".
  std::string Fault(const json& doc) {
    try {
      scenepack::ParseManifest(doc, dir_);
    } catch (const scenepack::ShowError& e) {
      const std::string what = e.what();
      if (e.item() >= 0) {
        EXPECT_NE(what.find("item " + std::to_string(e.item())), std::string::npos) << what;
        EXPECT_NE(what.find("\"" + e.itemName() + "\""), std::string::npos) << what;
      }
      EXPECT_NE(what.find("\"" + e.field() + "\""), std::string::npos) << what;
      return std::to_string(e.item()) + ":" + e.field();
    }
    return "accepted";
  }

  fs::path dir_;
};

TEST_F(ManifestTest, ReadsFieldsLinksAndFiles) {
  const auto show = scenepack::ParseManifest(GoodShow(), dir_);
  EXPECT_EQ(show.version, 4.31f);
  ASSERT_EQ(show.items.size(), 8u);
  const auto& pic = show.items[0].As<scene::PictureRecord>();
  EXPECT_EQ(pic.fileName, "pic.jpg");
  EXPECT_EQ(pic.data.size, 23u);
  EXPECT_EQ(pic.dataSize, 23);
  EXPECT_EQ(pic.textColor, scene::PictureRecord{}.textColor);
  EXPECT_EQ(show.items[1].As<scene::MediaRecord>().mediaType, 2);
  EXPECT_EQ(show.items[2].link, 0);
  const auto& shown = show.items[2].As<scene::PictureLinkRecord>();
  EXPECT_EQ(shown.path.modeX1, 1);
  EXPECT_EQ(shown.path.modeY1, 5);
  EXPECT_EQ(shown.path.effect, 7);
  EXPECT_EQ(shown.path.effectSpeed, 100);
  EXPECT_EQ(shown.color.color, 0x302010u);  // "#RRGGBB" is stored as COLORREF
  EXPECT_EQ(shown.color.useWindowBackground, 1);
  EXPECT_EQ(show.items[3].link, 1);
  EXPECT_EQ(show.items[3].As<scene::PlayMediaRecord>().waitUntilDone, 1);
  EXPECT_EQ(show.items[7].link, 1);
  EXPECT_EQ(show.items[6].As<scene::RepeatRecord>().repeatCount, 2);

  json doc = json::parse(R"({"version": 2.0, "wideStrings": true, "items": [
    {"class": "PictureItem", "name": "Caf\u00e9", "source": 1, "text": "\u20ac 5",
     "font": {"faceName": "Arial", "weight": 700, "italic": 1}, "textColor": 255},
    {"class": "LinkItem"}]})");
  const auto other = scenepack::ParseManifest(doc, dir_);
  EXPECT_EQ(other.version, 2.0f);
  EXPECT_TRUE(other.wideStrings);
  EXPECT_EQ(other.items[0].name, "Caf\xE9");
  const auto& text = other.items[0].As<scene::PictureRecord>();
  EXPECT_EQ(text.text, "\x80 5");
  EXPECT_EQ(text.font.FaceName(), "Arial");
  EXPECT_EQ(text.font.height, -11);
  EXPECT_EQ(text.font.italic, 1);
  EXPECT_EQ(text.textColor, 255u);
  EXPECT_EQ(other.items[1].As<scene::LinkRecord>().url, "http://");
  EXPECT_EQ(other.items[1].As<scene::LinkRecord>().linkMode, -1);
}

TEST_F(ManifestTest, TextIsStoredInTheCodePageOfItsFont) {
  struct Case {
    int charSet;
    const char* utf8;
    const char* stored;  // null: refused
  } cases[] = {
      {0, "Gr\u00fc\u00dfe aus K\u00f6ln",
       "Gr\xFC\xDF"
       "e aus K\xF6ln"},
      {204, "\u041f\u0440\u0438\u0432\u0435\u0442", "\xCF\xF0\xE8\xE2\xE5\xF2"},
      {161, "\u03a3", "\xD3"},
      {128, "\u3042a",
       "\x82\xA0"
       "a"},
      {0, "\u041f", nullptr},    // Cyrillic in a Latin font
      {204, "\u03a3", nullptr},  // Greek in a Cyrillic font
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.utf8);
    json doc = {
        {"items", json::array({json{{"class", "PictureItem"},
                                    {"name", "t"},
                                    {"source", 1},
                                    {"text", json::parse(std::string("\"") + c.utf8 + "\"")},
                                    {"font", {{"charSet", c.charSet}}}}})}};
    if (!c.stored) {
      EXPECT_EQ(Fault(doc), "0:text");
      continue;
    }
    EXPECT_EQ(scenepack::ParseManifest(doc, dir_).items[0].As<scene::PictureRecord>().text,
              c.stored);
  }
}

TEST_F(ManifestTest, FaultsNameTheItemAndField) {
  EXPECT_EQ(Fault(GoodShow()), "accepted");
  json d = GoodShow();
  d["items"][2]["class"] = "ShowPicture";
  EXPECT_EQ(Fault(d), "2:class");
  d = GoodShow();
  d["items"][5]["pauseMS"] = 1;
  EXPECT_EQ(Fault(d), "5:pauseMS");
  d = GoodShow();
  d["items"][2]["path"]["speed"] = 1;
  EXPECT_EQ(Fault(d), "2:path.speed");
  d = GoodShow();
  d["items"][5]["pauseMs"] = "long";
  EXPECT_EQ(Fault(d), "5:pauseMs");
  d = GoodShow();
  d["items"][5]["pauseMs"] = 4294967296LL;
  EXPECT_EQ(Fault(d), "5:pauseMs");
  d = GoodShow();
  d["items"][2]["color"]["color"] = "#12345";
  EXPECT_EQ(Fault(d), "2:color.color");
  d = GoodShow();
  d["items"][2]["path"] = 3;
  EXPECT_EQ(Fault(d), "2:path");
  d = GoodShow();
  d["items"][2]["picture"] = "nothing";
  EXPECT_EQ(Fault(d), "2:picture");
  d = GoodShow();
  d["items"][2]["picture"] = "song";  // a media item, not a picture
  EXPECT_EQ(Fault(d), "2:picture");
  d = GoodShow();
  d["items"][2].erase("picture");  // an enabled show needs its picture
  EXPECT_EQ(Fault(d), "2:picture");
  d["items"][2]["disabled"] = 1;
  EXPECT_EQ(Fault(d), "accepted");
  d = GoodShow();
  d["items"][7]["name"] = "pic";  // only resources must be unique
  EXPECT_EQ(Fault(d), "accepted");
  d["items"][1]["name"] = "pic";
  EXPECT_EQ(Fault(d), "1:name");
  d = GoodShow();
  d["items"][0]["file"] = "missing.jpg";
  EXPECT_EQ(Fault(d), "0:file");
  d["items"][0].erase("file");  // enabled image picture without an image
  EXPECT_EQ(Fault(d), "0:file");
  d["items"][0]["disabled"] = 1;  // still used by an enabled show
  EXPECT_EQ(Fault(d), "0:file");
  d["items"][2]["disabled"] = 1;
  EXPECT_EQ(Fault(d), "accepted");
  d = GoodShow();
  d["items"][0]["text"] = "hello";  // image pictures store no text
  EXPECT_EQ(Fault(d), "0:text");
  d = GoodShow();
  d["items"][0]["fileName"] = "\u03a9.jpg";
  EXPECT_EQ(Fault(d), "0:fileName");
  d = GoodShow();
  d["items"][0]["font"] = json::object();
  EXPECT_EQ(Fault(d), "0:font");
  d = GoodShow();
  d["items"][4]["class"] = "CommentItem";  // loop end without a start
  EXPECT_EQ(Fault(d), "6:class");
  d = GoodShow();
  d["items"][2]["path"]["effectSpeed"] = 200;
  d["version"] = 2.5;               // effectSpeed first stored at 2.9
  EXPECT_EQ(Fault(d), "accepted");  // the manifest is fine; writing refuses it
  try {
    scenepack::WriteArchive(scenepack::ParseManifest(d, dir_));
    ADD_FAILURE() << "effectSpeed written at 2.5";
  } catch (const scenepack::ShowError& e) {
    EXPECT_EQ(e.item(), 2);
    EXPECT_EQ(e.field(), "path.effectSpeed");
  }
  d = GoodShow();
  d["version"] = 4.4;
  EXPECT_EQ(Fault(d), "-1:version");
  d = GoodShow();
  d["item"] = json::array();
  EXPECT_EQ(Fault(d), "-1:item");
  d = GoodShow();
  d["items"][3]["name"] = "\u00e9t\u00e9";  // names in the message are given as written
  d["items"][3]["media"] = "none";
  EXPECT_EQ(Fault(d), "3:media");
}

// The command line: what it writes and that a fault leaves the output untouched.
int RunScenepack(const std::vector<std::string>& args) {
  std::string cmd = SCENEPACK_EXE;
  for (const auto& a : args) cmd += " '" + a + "'";
  cmd += " 2>/dev/null";
  const int status = std::system(cmd.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(ManifestTest, CommandWritesArchiveOrSaverFile) {
  const fs::path manifest = dir_ / "show.json";
  WriteFile("show.json", GoodShow().dump());
  const auto expected = scenepack::WriteArchive(scenepack::LoadManifest(manifest));
  const std::string archive(expected.begin(), expected.end());

  ASSERT_EQ(RunScenepack({manifest.string(), "-o", (dir_ / "show.arc").string(), "--archive-only"}),
            0);
  EXPECT_EQ(ReadFile(dir_ / "show.arc"), archive);

  // A saver file: this test executable stands in for the player.
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  const auto end = sys::ElfImageEnd(self);
  ASSERT_TRUE(end);
  const std::string image = ReadFile(self).substr(0, *end);
  ASSERT_EQ(RunScenepack({manifest.string(), "-o", (dir_ / "saver").string(), "--player", self}),
            0);
  EXPECT_EQ(ReadFile(dir_ / "saver"), image + archive);
  struct stat st {};
  ASSERT_EQ(stat((dir_ / "saver").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);

  // A saver file as the player: its old show is cut off, not kept.
  WriteFile("small.json", R"({"items": [{"class": "CommentItem", "comment": "x"}]})");
  const auto small = scenepack::WriteArchive(scenepack::LoadManifest(dir_ / "small.json"));
  ASSERT_EQ(RunScenepack({(dir_ / "small.json").string(), "-o", (dir_ / "saver2").string(),
                          "--player", (dir_ / "saver").string()}),
            0);
  EXPECT_EQ(ReadFile(dir_ / "saver2"), image + std::string(small.begin(), small.end()));
}

TEST_F(ManifestTest, CommandFaultWritesNothing) {
  json d = GoodShow();
  d["items"][2]["picture"] = "nothing";
  WriteFile("bad.json", d.dump());
  WriteFile("out", "previous");
  EXPECT_EQ(
      RunScenepack({(dir_ / "bad.json").string(), "-o", (dir_ / "out").string(), "--archive-only"}),
      1);
  EXPECT_EQ(
      RunScenepack({(dir_ / "bad.json").string(), "-o", (dir_ / "new").string(), "--archive-only"}),
      1);
  WriteFile("notjson.json", "{\"items\": [");
  EXPECT_EQ(RunScenepack({(dir_ / "notjson.json").string(), "-o", (dir_ / "out").string(),
                          "--archive-only"}),
            1);
  WriteFile("good.json", GoodShow().dump());
  EXPECT_EQ(RunScenepack({(dir_ / "good.json").string(), "-o", (dir_ / "out").string(), "--player",
                          (dir_ / "pic.jpg").string()}),
            1);                                                 // not an ELF executable
  EXPECT_EQ(RunScenepack({(dir_ / "good.json").string()}), 2);  // no output named
  EXPECT_EQ(ReadFile(dir_ / "out"), "previous");
  EXPECT_FALSE(fs::exists(dir_ / "new"));
  for (const auto& e : fs::directory_iterator(dir_))
    EXPECT_EQ(e.path().filename().string().find("out."), std::string::npos) << e.path();
}

TEST_F(ManifestTest, OnlyRegularFilesAreReadOrReplaced) {
  // Non-regular picture files: a device that never ends, a FIFO nobody writes to, a folder.
  ASSERT_EQ(mkfifo((dir_ / "fifo").c_str(), 0600), 0);
  fs::create_directory(dir_ / "folder");
  for (const std::string file :
       {std::string("/dev/zero"), (dir_ / "fifo").string(), (dir_ / "folder").string()}) {
    json d = GoodShow();
    d["items"][0]["file"] = file;
    EXPECT_EQ(Fault(d), "0:file") << file;
  }
  WriteFile("good.json", GoodShow().dump());
  EXPECT_EQ(RunScenepack({(dir_ / "fifo").string(), "-o", (dir_ / "out").string()}), 1);

  // Targets that are not regular files stay what they are; nothing is written beside them.
  // (The link stands for a device node: replacing it would be replacing the device.)
  fs::create_symlink("/dev/zero", dir_ / "zero-link");
  for (const char* target : {"fifo", "folder", "zero-link"}) {
    EXPECT_EQ(RunScenepack({(dir_ / "good.json").string(), "-o", (dir_ / target).string(),
                            "--archive-only"}),
              1)
        << target;
  }
  EXPECT_TRUE(fs::is_fifo(dir_ / "fifo"));
  EXPECT_TRUE(fs::is_directory(dir_ / "folder"));
  EXPECT_TRUE(fs::is_symlink(dir_ / "zero-link"));
  for (const auto& e : fs::directory_iterator(dir_)) {
    const std::string name = e.path().filename().string();
    EXPECT_TRUE(name.find('.') == std::string::npos || name.ends_with(".json") ||
                name.ends_with(".jpg") || name.ends_with(".mp3"))
        << "left behind: " << name;
  }
}

}  // namespace
