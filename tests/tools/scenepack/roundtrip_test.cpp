// scenepack -> sceneplayer --dump: every stored field of every kind comes back as written,
// at every archive version, in both string widths, bare and appended to the player.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "platform/sys/elf_image.h"
#include "scenepack/picture_file.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

struct Case {
  float version;
  bool wide = false;
  bool saver = false;
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << "version " << c.version << (c.wide ? ", 16-bit strings" : "")
      << (c.saver ? ", saver file" : ", bare archive");
}

std::string Hex(const std::string& bytes) {
  static const char* kDigits = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < bytes.size() && i < 16; ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

// Runs a command, returns its exit status and stdout.
int Capture(const std::string& cmd, std::string& out) {
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return -1;
  std::array<char, 4096> buf{};
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
  const int status = pclose(p);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class RoundTrip : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "scenepack-rt-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    // scenepack tries every picture with the player's decoder: a real one.
    const std::vector<uint8_t> rgb(16 * 8 * 3, 0x40);
    const auto jpeg = scenepack::EncodeJpeg(rgb, 16, 8, 90);
    photo_.assign(jpeg.begin(), jpeg.end());
    song_ = std::string(3000, '\0');
    for (size_t i = 0; i < song_.size(); ++i) song_[i] = static_cast<char>(i * 7 + 1);
    std::ofstream(dir_ / "photo.jpg", std::ios::binary) << photo_;
    std::ofstream(dir_ / "song.bin", std::ios::binary) << song_;
  }
  void TearDown() override { fs::remove_all(dir_); }

  // A path with as many non-default fields as version v can store.
  static json PathAt(float v, int salt) {
    const bool none = !(v == 1.0f) && !(v > 1.1f && v < 2.1f) && !(v > 2.0f && v < 3.0f) &&
                      !(v > 2.9f && v < 3.2f) && !(v > 3.2f);
    json p = {{"x1", 0},
              {"y1", 0},
              {"x2", 0},
              {"y2", 0},
              {"stopX", 0},
              {"stopY", 0},
              {"dx", 1},
              {"dy", 1},
              {"modeX1", 5},
              {"modeY1", 5},
              {"modeX2", 5},
              {"modeY2", 5},
              {"compareX", 0},
              {"bothConditions", 0},
              {"compareY", 0},
              {"moveSpeed", 100000},
              {"textSpeed", 2000},
              {"effect", 0},
              {"effectSpeed", 100},
              {"freeMotion", 0},
              {"horizontal", 1},
              {"textAnimation", 0},
              {"keepScreen", 0},
              {"saveBackground", 0}};
    if (none) return p;
    p.update(json{{"x1", 10 + salt},
                  {"y1", -20},
                  {"x2", 630},
                  {"y2", 470 - salt},
                  {"stopX", 600},
                  {"stopY", -5},
                  {"dx", 3},
                  {"dy", -2},
                  {"compareX", 1},
                  {"bothConditions", 1},
                  {"compareY", 3},
                  {"moveSpeed", 99000 + salt},
                  {"textSpeed", 1500},
                  {"freeMotion", 1},
                  {"horizontal", 0},
                  {"textAnimation", 2},
                  {"modeX1", 3},
                  {"modeY2", 3}});
    if (v > 3.2f) {
      p.update(json{{"modeY1", 0}, {"modeX2", 4}, {"modeY2", 2}});
    } else if (v != 1.0f) {
      p["modeY1"] = 1;  // centred
    }
    if (v != 1.0f) p.update(json{{"keepScreen", 1}, {"saveBackground", 1}});
    if (v > 2.0f) p["effect"] = 40 + salt;
    if (v > 2.9f) p["effectSpeed"] = 700;
    return p;
  }

  // Builds the show for the case; manifest_ gets what scenepack reads, expected_ what the
  // dump must print for each item.
  void Build(const Case& c) {
    const float v = c.version;
    json items = json::array();
    expected_ = json::array();
    auto add = [&](json stored, json manifestOnly, json dumpOnly) {
      json m = stored;
      m.update(manifestOnly);
      items.push_back(m);
      json e = stored;
      e.erase("class");
      e.update(dumpOnly);
      e["index"] = expected_.size();
      e["class"] = stored["class"];
      expected_.push_back(e);
    };
    const int origin = v >= 2.11f ? 3 : (v >= 1.01f && v <= 2.1f) ? 2 : 1;
    json sized = json::object();
    if (v > 4.01f) sized = {{"width", 320}, {"height", 240}, {"fitScreen", 1}};
    if (v > 4.21f) sized["keepAspect"] = 1;

    json photo = {{"class", "PictureItem"}, {"name", "photo"}, {"tagValue", 7},
                  {"disabled", 0},          {"source", 0},     {"textOpaque", 0},
                  {"imageOrigin", origin}};
    photo.update(sized);
    add(photo, {{"file", "photo.jpg"}},
        {{"kind", 0},
         {"fileName", "photo.jpg"},
         {"dataSize", photo_.size()},
         {"dataHead", Hex(photo_)},
         {"references", {4, 5}}});

    json text = {{"class", "PictureItem"},
                 {"name", "Caf\u00e9 \u20ac"},
                 {"tagValue", -1},
                 {"disabled", 0},
                 {"source", 1},
                 {"textOpaque", 1},
                 {"imageOrigin", 1},
                 {"textColor", 0x0000FF},
                 {"backColor", 0x00EEFF00},
                 {"text", "Hello, w\u00f6rld \u2026"},
                 {"font",
                  {{"height", -24},
                   {"width", 3},
                   {"escapement", 900},
                   {"orientation", 450},
                   {"weight", 700},
                   {"italic", 1},
                   {"underline", 1},
                   {"strikeOut", 0},
                   {"charSet", 1},
                   {"outPrecision", 2},
                   {"clipPrecision", 3},
                   {"quality", 4},
                   {"pitchAndFamily", 34},
                   {"faceName", "DejaVu Sans \u00c9"}}}};
    text.update(sized);
    add(text, json::object(), {{"kind", 0}, {"dataSize", 0}, {"references", {6}}});

    json song = {{"class", "MediaItem"},
                 {"name", "song"},
                 {"tagValue", 0},
                 {"disabled", 0},
                 {"fileName", "lied \u00e4.mp3"},
                 {"mediaType", v >= 2.0f ? 2 : 0}};
    add(song, {{"file", "song.bin"}},
        {{"kind", 9},
         {"dataSize", song_.size()},
         {"dataHead", Hex(song_)},
         {"references", {12, 13}}});
    add({{"class", "MediaItem"}, {"name", "empty"}, {"tagValue", 0}, {"disabled", 1}},
        json::object(),
        {{"kind", 9}, {"dataSize", 0}, {"mediaType", 0}, {"references", json::array()}});

    const json color = {
        {"color", 0x123456}, {"paintMode", 2}, {"randomColor", 1}, {"useWindowBackground", 0}};
    add({{"class", "ShowPictureItem"},
         {"name", "show"},
         {"tagValue", 1},
         {"disabled", 0},
         {"path", PathAt(v, 0)},
         {"color", color}},
        {{"picture", "photo"}}, {{"kind", 1}, {"picture", 0}});
    add({{"class", "MovePictureItem"},
         {"name", "move"},
         {"tagValue", 2},
         {"disabled", 0},
         {"path", PathAt(v, 5)},
         {"color",
          {{"color", 0}, {"paintMode", 0}, {"randomColor", 0}, {"useWindowBackground", 1}}}},
        {{"picture", "photo"}}, {{"kind", 2}, {"picture", 0}});
    add({{"class", "HidePictureItem"},
         {"name", "hide"},
         {"tagValue", 3},
         {"disabled", 1},
         {"path", PathAt(v, 9)},
         {"color", color}},
        {{"picture", "Caf\u00e9 \u20ac"}}, {{"kind", 3}, {"picture", 1}});
    add({{"class", "PauseItem"},
         {"name", "pause"},
         {"tagValue", 4},
         {"disabled", 0},
         {"pauseMs", 1234},
         {"randomPause", 1}},
        json::object(), {{"kind", 4}});
    add({{"class", "BackgroundItem"},
         {"name", "bg"},
         {"tagValue", 5},
         {"disabled", 0},
         {"color",
          {{"color", 0xABCDEF}, {"paintMode", 1}, {"randomColor", 0}, {"useWindowBackground", 0}}}},
        json::object(), {{"kind", 5}});
    add({{"class", "LoopStartItem"}, {"name", "loop"}, {"tagValue", 6}, {"disabled", 0}},
        json::object(), {{"kind", 6}});
    add({{"class", "LineItem"},
         {"name", "line"},
         {"tagValue", 8},
         {"disabled", 0},
         {"color", color},
         {"path", PathAt(v, 2)},
         {"penStyle", 2},
         {"penWidth", 5}},
        json::object(), {{"kind", 8}});
    add({{"class", "LoopEndItem"},
         {"name", "again"},
         {"tagValue", 7},
         {"disabled", 0},
         {"repeatCount", 3},
         {"endless", 1}},
        json::object(), {{"kind", 7}});
    json play = {{"class", "PlayMediaItem"},
                 {"name", "play"},
                 {"tagValue", 10},
                 {"disabled", 0},
                 {"repeatCount", 2},
                 {"endless", 0},
                 {"waitUntilDone", 1},
                 {"loopInBackground", 1},
                 {"videoX", 0},
                 {"videoY", 0}};
    if (v >= 2.1f) play.update(json{{"videoX", 33}, {"videoY", -44}});
    add(play, {{"media", "song"}}, {{"kind", 10}, {"media", 2}});
    add({{"class", "StopMediaItem"}, {"name", "stop"}, {"tagValue", 11}, {"disabled", 0}},
        {{"media", "song"}}, {{"kind", 11}, {"media", 2}});
    std::string longText;  // needs the 16-bit length form
    for (int i = 0; i < 40; ++i) longText += "caf\u00e9 \u00bb ";
    add({{"class", "CommentItem"},
         {"name", ""},
         {"tagValue", 12},
         {"disabled", 0},
         {"comment", longText}},
        json::object(), {{"kind", 12}});
    add({{"class", "LinkItem"},
         {"name", "link"},
         {"tagValue", 13},
         {"disabled", 0},
         {"clearLink", 1},
         {"linkMode", 2},
         {"url", "https://example.org/\u00fc"}},
        json::object(), {{"kind", 13}});
    add({{"class", "ShowPictureItem"},
         {"name", "unlinked"},
         {"tagValue", 0},
         {"disabled", 1},
         {"path", PathAt(v, 1)},
         {"color", color}},
        json::object(), {{"kind", 1}, {"picture", nullptr}});

    manifest_ = {{"version", v}, {"items", items}};
    if (c.wide) manifest_["wideStrings"] = true;
  }

  json Dump(const Case& c) {
    std::ofstream(dir_ / "show.json") << manifest_.dump(1);
    const fs::path out = dir_ / (c.saver ? "show.scr" : "show.arc");
    std::string cmd = std::string(SCENEPACK_EXE) + " '" + (dir_ / "show.json").string() + "' -o '" +
                      out.string() + "'";
    cmd += c.saver ? std::string(" --player '") + SCENEPLAYER_EXE + "'" : " --archive-only";
    std::string ignored;
    EXPECT_EQ(Capture(cmd, ignored), 0) << cmd;
    std::string text;
    const std::string dump = "XDG_CONFIG_HOME='" + dir_.string() + "' SDL_VIDEODRIVER=dummy '" +
                             SCENEPLAYER_EXE + "' --dump --archive '" + out.string() + "'";
    EXPECT_EQ(Capture(dump, text), 0) << dump;
    try {
      return json::parse(text);
    } catch (const json::exception& e) {
      ADD_FAILURE() << "--dump printed no JSON: " << e.what() << "\n" << text.substr(0, 400);
      return json::object();
    }
  }

  fs::path dir_;
  std::string photo_, song_;
  json manifest_, expected_;
};

TEST_P(RoundTrip, EveryFieldComesBack) {
  const Case c = GetParam();
  Build(c);
  const json got = Dump(c);
  ASSERT_TRUE(got.contains("items")) << got.dump().substr(0, 400);

  EXPECT_EQ(got.value("reserved", -1), 0);
  EXPECT_EQ(got.value("identification", ""), "SceneProject");
  ASSERT_TRUE(got["version"].is_number());
  EXPECT_EQ(static_cast<float>(got["version"].get<double>()), c.version);
  uint64_t offset = 0;
  if (c.saver) {
    const auto end = sys::ElfImageEnd(std::string(SCENEPLAYER_EXE));
    ASSERT_TRUE(end);
    offset = *end;
  }
  EXPECT_EQ(got.value("offset", UINT64_MAX), offset);

  ASSERT_EQ(got["items"].size(), expected_.size());
  for (size_t i = 0; i < expected_.size(); ++i) {
    const json& want = expected_[i];
    const json& have = got["items"][i];
    for (const auto& [key, value] : want.items()) {
      ASSERT_TRUE(have.contains(key)) << "item " << i << " lacks " << key;
      if (value.is_object()) {
        for (const auto& [sub, subValue] : value.items())
          EXPECT_EQ(have[key][sub], subValue) << "item " << i << " " << key << "." << sub;
      } else {
        EXPECT_EQ(have[key], value) << "item " << i << " " << key;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Versions, RoundTrip,
                         ::testing::Values(Case{1.0f}, Case{2.0f}, Case{2.1f}, Case{2.11f},
                                           Case{2.5f}, Case{3.0f}, Case{3.1f}, Case{3.2f},
                                           Case{4.0f}, Case{4.3f}, Case{4.31f}, Case{4.31f, true},
                                           Case{2.0f, true}, Case{1.0f, true},
                                           Case{4.31f, false, true}, Case{2.1f, true, true}),
                         [](const auto& info) {
                           std::string name =
                               "V" +
                               std::to_string(static_cast<int>(info.param.version * 100 + 0.5f));
                           if (info.param.wide) name += "Wide";
                           if (info.param.saver) name += "Saver";
                           return name;
                         });

// The bundled demo builds and reads back with its links in place.
TEST(DemoShow, BuildsAndDumps) {
  const char* src = SP_SOURCE_DIR;
  const fs::path demo = fs::path(src) / "demo" / "show.json";
  std::string tmpl = (fs::temp_directory_path() / "scenepack-demo-XXXXXX").string();
  ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
  const fs::path out = fs::path(tmpl) / "demo.scr";
  std::string ignored, text;
  ASSERT_EQ(Capture(std::string(SCENEPACK_EXE) + " '" + demo.string() + "' -o '" + out.string() +
                        "' --player '" + SCENEPLAYER_EXE + "'",
                    ignored),
            0);
  const int status = Capture("XDG_CONFIG_HOME='" + tmpl + "' '" + out.string() + "' --dump", text);
  fs::remove_all(tmpl);
  ASSERT_EQ(status, 0);
  const json got = json::parse(text, nullptr, false);
  ASSERT_FALSE(got.is_discarded());
  std::ifstream in(demo);
  const json manifest = json::parse(in);
  ASSERT_EQ(got["items"].size(), manifest["items"].size());
  for (size_t i = 0; i < manifest["items"].size(); ++i) {
    const json& m = manifest["items"][i];
    const json& d = got["items"][i];
    EXPECT_EQ(d["class"], m["class"]);
    EXPECT_EQ(d["name"], m["name"]);
    if (m.contains("picture")) {
      ASSERT_TRUE(d["picture"].is_number()) << i;
      EXPECT_EQ(got["items"][d["picture"].get<size_t>()]["name"], m["picture"]);
    }
  }
}

}  // namespace
