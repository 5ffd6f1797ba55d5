// A show from a folder of pictures as a user makes and plays it: scenepack --from-folder,
// then the player's headless frames, looked at picture by picture.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "scenepack/picture_file.h"
#include "scenepack/saver_file.h"
#include "support/player_process.h"
#include "support/png_frame.h"
#include "tools/scenepack/test_pictures.h"

namespace {

namespace fs = std::filesystem;

struct RunResult {
  int status = -1;
  std::string err;
};

class FolderShow : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "scenepack-folder-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    for (const char* d : {"config", "tmp", "pics"}) fs::create_directories(dir_ / d);
  }
  void TearDown() override { fs::remove_all(dir_); }

  RunResult Run(const std::vector<std::string>& args) {
    const pid_t pid = testsupport::SpawnInHome(args, dir_.string(), (dir_ / "stderr.txt").string());
    RunResult r;
    int st = 0;
    if (pid < 0 || waitpid(pid, &st, 0) < 0) return r;
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    std::stringstream ss;
    ss << std::ifstream(dir_ / "stderr.txt").rdbuf();
    r.err = ss.str();
    return r;
  }
  RunResult Pack(std::vector<std::string> more) {
    std::vector<std::string> args = {SCENEPACK_EXE};
    args.insert(args.end(), more.begin(), more.end());
    return Run(args);
  }
  void Picture(const std::string& name, const std::string& convertArgs) {
    const std::string cmd = "convert " + convertArgs + " '" + (dir_ / "pics" / name).string() + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  }
  std::vector<uint8_t> Bytes(const fs::path& p) { return scenepack::ReadRegularFile(p, 1 << 28); }

  fs::path dir_;
};

constexpr int kW = 160, kH = 120;

struct Rect {
  int x, y, w, h;
};
// Fit inside the screen keeping the aspect, centred.
Rect Fitted(int w, int h) {
  Rect r{};
  if (int64_t{w} * kH >= int64_t{h} * kW) {
    r.w = kW;
    r.h = static_cast<int>(int64_t{h} * kW / w);
  } else {
    r.h = kH;
    r.w = static_cast<int>(int64_t{w} * kH / h);
  }
  r.x = (kW - r.w) / 2;
  r.y = (kH - r.h) / 2;
  return r;
}

uint32_t Rgb(int r, int g, int b) { return static_cast<uint32_t>(r << 16 | g << 8 | b); }

bool Near(uint32_t a, uint32_t b, int tolerance) {
  for (int s = 0; s < 24; s += 8)
    if (std::abs(static_cast<int>((a >> s) & 255) - static_cast<int>((b >> s) & 255)) > tolerance)
      return false;
  return true;
}

TEST_F(FolderShow, MixedFormatsPlayFitAndCentredInNameOrder) {
  struct Pic {
    const char* name;
    std::string args;
    int w, h;
    uint32_t colour;
  };
  // Name order is the playing order; a PNG named .jpg is still a PNG.
  const Pic pics[] = {
      {"1-wide.jpg", "-size 400x100 xc:#c81e1e", 400, 100, Rgb(200, 30, 30)},
      {"2-tall.png", "-size 50x200 xc:#1ec81e", 50, 200, Rgb(30, 200, 30)},
      {"3-small.gif", "-size 20x15 xc:#1e1ec8", 20, 15, Rgb(30, 30, 200)},
      {"4-square.webp", "-size 80x80 xc:#e0e020 -define webp:lossless=true", 80, 80,
       Rgb(224, 224, 32)},
      {"5-flat.tiff", "-size 300x150 xc:#c01ec8", 300, 150, Rgb(192, 30, 200)},
      {"6-renamed.jpg", "-size 90x60 xc:#20e0e0 PNG24:", 90, 60, Rgb(32, 224, 224)},
  };
  for (const Pic& p : pics) {
    std::string args = p.args, name = p.name;
    if (args.ends_with("PNG24:")) {
      args.resize(args.size() - 6);
      ASSERT_EQ(
          std::system(
              ("convert " + args + " 'PNG24:" + (dir_ / "pics" / name).string() + "'").c_str()),
          0);
    } else {
      Picture(name, args);
    }
  }
  // The phone photo: stored sideways, its Exif block says to turn it 90 degrees.
  const testpictures::Pixels sideways = testpictures::Stored(6, 64, 32);
  {
    auto jpeg = testpictures::WithExif(
        scenepack::EncodeJpeg(sideways.rgb, sideways.w, sideways.h, 95), 6, false);
    std::ofstream(dir_ / "pics" / "7-phone.jpg", std::ios::binary)
        .write(reinterpret_cast<const char*>(jpeg.data()),
               static_cast<std::streamsize>(jpeg.size()));
  }
  std::ofstream(dir_ / "pics" / "notes.txt") << "not a picture";

  const std::string show = (dir_ / "show.arc").string();
  RunResult r = Pack({"--from-folder", (dir_ / "pics").string(), "-o", show, "--archive-only",
                      "--pause", "1", "--effect", "PlacePlain", "--effect-speed", "100",
                      "--manifest-out", (dir_ / "used.json").string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("skipped notes.txt: not a picture"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("turned upright losslessly"), std::string::npos) << r.err;

  // Picture k is on screen from k to k + 1 s; frames at 2 fps, the odd ones mid-pause.
  r = Run({SCENEPLAYER_EXE, "--headless", "--size", "160x120", "--archive", show, "--frames",
           (dir_ / "frames").string(), "--fps", "2", "--seconds", "7.2", "/s"});
  ASSERT_EQ(r.status, 0) << r.err;
  auto frame = [&](int k) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06d.png", 2 * k + 1);
    return testsupport::ReadPngFrame((dir_ / "frames" / name).string());
  };
  for (size_t k = 0; k < std::size(pics); ++k) {
    const Pic& p = pics[k];
    SCOPED_TRACE(p.name);
    const auto f = frame(static_cast<int>(k));
    ASSERT_EQ(f.width, kW);
    const Rect e = Fitted(p.w, p.h);
    // Inside, two pixels in from every edge, the picture; two pixels out, the black screen.
    for (auto [x, y] : {std::pair{e.x + 2, e.y + 2},
                        {e.x + e.w - 3, e.y + e.h - 3},
                        {e.x + e.w / 2, e.y + e.h / 2}})
      EXPECT_TRUE(Near(f.At(x, y), p.colour, 8)) << x << "," << y << ": " << std::hex << f.At(x, y);
    for (auto [x, y] : {std::pair{e.x - 3, e.y + e.h / 2},
                        {e.x + e.w + 2, e.y + e.h / 2},
                        {e.x + e.w / 2, e.y - 3},
                        {e.x + e.w / 2, e.y + e.h + 2}}) {
      if (x < 0 || y < 0 || x >= kW || y >= kH) continue;
      EXPECT_EQ(f.At(x, y), 0u) << x << "," << y;
    }
  }
  // The phone photo stands upright: 64 x 32 fit to 160 x 80, its quadrants where they belong.
  const auto f = frame(6);
  const Rect e = Fitted(64, 32);
  for (auto [qx, qy] : {std::pair{0, 0}, {1, 0}, {0, 1}, {1, 1}}) {
    const int x = e.x + e.w / 4 + qx * e.w / 2, y = e.y + e.h / 4 + qy * e.h / 2;
    const auto want = testpictures::Quadrant(qx * 32 + 16, qy * 16 + 8, 64, 32);
    EXPECT_TRUE(Near(f.At(x, y), Rgb(want[0], want[1], want[2]), 24))
        << "quadrant " << qx << "," << qy << ": " << std::hex << f.At(x, y);
  }

  // The manifest it used packs into the same show.
  r = Pack({(dir_ / "used.json").string(), "-o", (dir_ / "again.arc").string(), "--archive-only"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Bytes(dir_ / "again.arc"), Bytes(show));
}

TEST_F(FolderShow, EffectsByNameAndNumberAndSeedsGiveTheSameShow) {
  Picture("a.jpg", "-size 30x20 xc:red");
  Picture("b.png", "-size 20x30 xc:blue");
  Picture("c.gif", "-size 20x20 xc:green");
  const std::string pics = (dir_ / "pics").string();
  struct Case {
    std::vector<std::string> a, b;
  };
  const Case cases[] = {
      {{"--effect", "WipeDown"}, {"--effect", "37"}},
      {{"--effect", "fadeinfromblack"}, {}},  // the default, any letter case
      {{"--effect", "random"}, {"--effect", "RandomEffect"}},
      {{"--shuffle", "--seed", "12345"}, {"--shuffle", "--seed", "12345"}},
  };
  int n = 0;
  for (const Case& c : cases) {
    std::vector<std::vector<uint8_t>> shows;
    for (const auto* more : {&c.a, &c.b}) {
      const std::string out = (dir_ / ("s" + std::to_string(n++))).string();
      std::vector<std::string> args = {"--from-folder", pics, "-o", out, "--archive-only"};
      args.insert(args.end(), more->begin(), more->end());
      const RunResult r = Pack(args);
      ASSERT_EQ(r.status, 0) << r.err;
      shows.push_back(Bytes(out));
    }
    EXPECT_EQ(shows[0], shows[1]) << c.a[1];
  }
  // Shuffled without a seed: the seed is told, and gives the same order again.
  const std::string first = (dir_ / "shuffled").string(), second = (dir_ / "again").string();
  RunResult r = Pack({"--from-folder", pics, "-o", first, "--archive-only", "--shuffle"});
  ASSERT_EQ(r.status, 0) << r.err;
  const size_t at = r.err.find("--seed ");
  ASSERT_NE(at, std::string::npos) << r.err;
  const std::string seed =
      r.err.substr(at + 7, r.err.find_first_not_of("0123456789", at + 7) - at - 7);
  ASSERT_FALSE(seed.empty()) << r.err;
  r = Pack({"--from-folder", pics, "-o", second, "--archive-only", "--shuffle", "--seed", seed});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Bytes(first), Bytes(second));

  r = Pack({"--from-folder", pics, "-o", first, "--effect", "NoSuchEffect"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("no effect is called \"NoSuchEffect\""), std::string::npos) << r.err;
}

TEST_F(FolderShow, ACorruptPictureIsRefusedWithItsFileName) {
  Picture("a.jpg", "-size 30x20 xc:red");
  static const char kBroken[] = "\xFF\xD8\xFF\xE0\x00\x10JFIF\x00 and then nothing of a picture";
  std::ofstream(dir_ / "pics" / "b-broken.jpg", std::ios::binary)
      << std::string(kBroken, sizeof kBroken - 1);
  const fs::path out = dir_ / "show.scr";
  const RunResult r = Pack({"--from-folder", (dir_ / "pics").string(), "-o", out.string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("item 2 (\"b-broken.jpg\")"), std::string::npos) << r.err;
  EXPECT_NE(
      r.err.find((dir_ / "pics" / "b-broken.jpg").string() + ": the player's decoder refuses it"),
      std::string::npos)
      << r.err;
  EXPECT_FALSE(fs::exists(out));
}

TEST_F(FolderShow, ThePlayerNamesTheItemAndFileItCannotPrepare) {
  Picture("p.png", "-size 10x10 xc:red");
  // Kept as it is, the PNG reaches the player, which reads only JPEG and BMP.
  std::ofstream(dir_ / "pics" / "show.json") << R"({"keepPictureBytes": true, "items": [
      {"class": "PictureItem", "name": "beach", "file": "p.png"},
      {"class": "ShowPictureItem", "picture": "beach"}]})";
  const std::string show = (dir_ / "show.arc").string();
  RunResult r = Pack({(dir_ / "pics" / "show.json").string(), "-o", show, "--archive-only"});
  ASSERT_EQ(r.status, 0) << r.err;
  r = Run({SCENEPLAYER_EXE, "--headless", "--archive", show, "--seconds", "1", "/s"});
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("item 0 (PictureItem \"beach\", file \"p.png\") could not be prepared"),
            std::string::npos)
      << r.err;
}

}  // namespace
