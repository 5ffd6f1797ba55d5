// Pictures on their way into a show: formats told by content, converted pictures decoded
// by the player as they looked, JPEGs turned upright by their Exif orientation, and
// refusals that say why.

#include "scenepack/picture_file.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "imaging/image_decoder.h"
#include "scenepack/exif_orientation.h"
#include "scenepack/saver_file.h"
#include "tools/scenepack/test_pictures.h"

namespace {

namespace fs = std::filesystem;
using scenepack::PictureOptions;
using namespace testpictures;

void ExpectNear(std::array<int, 3> got, std::array<int, 3> want, int tolerance,
                const std::string& what) {
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(got[c], want[c], tolerance) << what << " channel " << c;
}

class PictureFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "scenepack-pic-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }

  // A picture made by ImageMagick, read back.
  std::vector<uint8_t> Convert(const std::string& args, const std::string& name) {
    const std::string cmd = "convert " + args + " '" + (dir_ / name).string() + "' 2>/dev/null";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return scenepack::ReadRegularFile(dir_ / name, 1 << 26);
  }

  fs::path dir_;
};

TEST_F(PictureFile, EveryFormatIsToldByContentAndLooksTheSameToThePlayer) {
  PictureOptions options;
  options.background = 0x996633;  // #336699
  const std::array<int, 3> kBackground = {0x33, 0x66, 0x99};
  struct Case {
    const char* name;
    std::string args;  // for convert
    const char* format;
    const char* storedAs;
    PictureOptions::Store store;
    int w, h;
    std::array<int, 3> centre;
    std::array<int, 3> corner;  // the top-left pixel
    int tolerance;
  };
  using S = PictureOptions::Store;
  const Case cases[] = {
      {"a.jpg",
       "-size 40x20 xc:#c81e1e",
       "JPEG",
       "JPEG",
       S::Jpeg,
       40,
       20,
       {200, 30, 30},
       {200, 30, 30},
       6},
      {"b.bmp",
       "-size 30x10 xc:#10e010 BMP3:",
       "BMP",
       "BMP",
       S::Jpeg,
       30,
       10,
       {16, 224, 16},
       {16, 224, 16},
       0},
      // Transparent corners are laid on the background colour.
      {"c.png",
       "-size 40x40 xc:none -fill 'rgb(255,255,0)' -draw 'rectangle 10,10 29,29' PNG32:",
       "PNG",
       "JPEG",
       S::Jpeg,
       40,
       40,
       {255, 255, 0},
       kBackground,
       6},
      {"c.png",
       "-size 40x40 xc:none -fill 'rgb(255,255,0)' -draw 'rectangle 10,10 29,29' PNG32:",
       "PNG",
       "BMP",
       S::Bmp,
       40,
       40,
       {255, 255, 0},
       kBackground,
       0},
      // A PNG called .jpg is still a PNG.
      {"d.jpg",
       "-size 24x16 xc:#2040ff PNG24:",
       "PNG",
       "JPEG",
       S::Jpeg,
       24,
       16,
       {32, 64, 255},
       {32, 64, 255},
       6},
      {"e.gif",
       "-size 33x17 xc:#ff8000",
       "GIF",
       "BMP",
       S::Bmp,
       33,
       17,
       {255, 128, 0},
       {255, 128, 0},
       0},
      {"f.webp",
       "-size 32x32 xc:#00ffff -define webp:lossless=true",
       "WebP",
       "BMP",
       S::Bmp,
       32,
       32,
       {0, 255, 255},
       {0, 255, 255},
       0},
      {"g.tiff",
       "-size 20x30 xc:#808080",
       "TIFF",
       "BMP",
       S::Bmp,
       20,
       30,
       {128, 128, 128},
       {128, 128, 128},
       1},
      {"h.tif",
       "-size 21x11 xc:#ff00ff -compress lzw",
       "TIFF",
       "JPEG",
       S::Jpeg,
       21,
       11,
       {255, 0, 255},
       {255, 0, 255},
       6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + c.storedAs);
    std::string args = c.args;
    std::string out = c.name;
    // A trailing "FORMAT:" prefixes the output name.
    if (const auto colon = args.rfind(' '); args.back() == ':') {
      out = args.substr(colon + 1) + c.name;
      args = args.substr(0, colon);
    }
    const std::string cmd =
        "convert " + args + " '" + out.insert(out.find(':') + 1, (dir_ / "").string()) + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    const auto file = scenepack::ReadRegularFile(dir_ / c.name, 1 << 26);
    options.store = c.store;
    const auto packed = scenepack::PackPicture(file, options);
    EXPECT_EQ(packed.format, c.format);
    EXPECT_EQ(packed.storedAs, c.storedAs);
    // JPEG and BMP files go in as they are.
    EXPECT_EQ(packed.converted, std::string(c.format) != "JPEG" && std::string(c.format) != "BMP");
    if (!packed.converted) {
      EXPECT_EQ(packed.bytes, file);
    }
    const Pixels p = PlayerDecode(packed.bytes);
    ASSERT_EQ(p.w, c.w);
    ASSERT_EQ(p.h, c.h);
    EXPECT_EQ(packed.width, c.w);
    EXPECT_EQ(packed.height, c.h);
    ExpectNear(p.At(c.w / 2, c.h / 2), c.centre, c.tolerance, "centre");
    ExpectNear(p.At(0, 0), c.corner, c.tolerance, "corner");
  }
}

TEST_F(PictureFile, GifShowsItsFirstFrame) {
  ASSERT_EQ(std::system(("convert -size 16x16 xc:red xc:blue -loop 0 '" +
                         (dir_ / "anim.gif").string() + "'")
                            .c_str()),
            0);
  PictureOptions options;
  options.store = PictureOptions::Store::Bmp;
  const auto packed =
      scenepack::PackPicture(scenepack::ReadRegularFile(dir_ / "anim.gif", 1 << 20), options);
  ExpectNear(PlayerDecode(packed.bytes).At(8, 8), {255, 0, 0}, 0, "first frame");
}

TEST_F(PictureFile, RefusalsSayWhy) {
  auto jpeg = Convert("-size 64x64 plasma:", "real.jpg");
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    const char* reason;
  };
  std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + 200);
  std::vector<uint8_t> png = Convert("-size 64x64 xc:red", "x.png");
  std::vector<uint8_t> huge = png;
  png.resize(png.size() / 2);
  const std::string text = "just some notes";
  // A header that declares 60000 x 60000 pixels in a file of a few bytes.
  for (int i : {16, 20}) {
    huge[i] = 0;
    huge[i + 1] = 0;
    huge[i + 2] = 0xEA;
    huge[i + 3] = 0x60;
  }
  const uLong crc = crc32(0, huge.data() + 12, 17);
  for (int k = 0; k < 4; ++k) huge[29 + k] = static_cast<uint8_t>(crc >> (24 - 8 * k));
  const Case cases[] = {
      {"cut JPEG", cut, "the player's decoder refuses it"},
      {"JPEG header only", {0xFF, 0xD8, 0xFF, 0xE0, 0, 4, 1, 2}, "the player's decoder refuses it"},
      {"cut PNG", png, "the PNG cannot be"},
      {"text", {text.begin(), text.end()}, "not a picture format"},
      {"PNG of 60000 x 60000", huge, "more than a show may hold"},
      {"GIF header only", {'G', 'I', 'F', '8', '9', 'a', 1, 0}, "the GIF cannot be read"},
      {"TIFF header only", {'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0}, "the TIFF"},
      {"WebP header only", {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P'}, "the WebP"},
  };
  for (const Case& c : cases) {
    try {
      scenepack::PackPicture(c.bytes, {});
      ADD_FAILURE() << c.what << " was taken";
    } catch (const scenepack::PictureError& e) {
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos)
          << c.what << ": " << e.what();
    }
  }
}

// ---- Exif orientation ----

TEST(ExifOrientation, EveryOrientationStandsUprightAfterPacking) {
  struct Size {
    int w, h;
    bool trim;
    const char* how;  // expected in the note
  };
  // 64 x 32 turns losslessly; 60 x 36 has partial blocks: encoded again, or trimmed.
  const Size sizes[] = {{64, 32, false, "losslessly"},
                        {60, 36, false, "encoding again"},
                        {60, 36, true, "losslessly"}};
  for (const Size& size : sizes) {
    for (int o = 1; o <= 8; ++o) {
      for (bool big : {false, true}) {
        SCOPED_TRACE("orientation " + std::to_string(o) + (big ? " MM " : " II ") +
                     std::to_string(size.w) + "x" + std::to_string(size.h) +
                     (size.trim ? " trim" : ""));
        const Pixels s = Stored(o, size.w, size.h);
        const auto jpeg = WithExif(scenepack::EncodeJpeg(s.rgb, s.w, s.h, 95), o, big);
        PictureOptions options;
        options.trimEdges = size.trim;
        const auto packed = scenepack::PackPicture(jpeg, options);
        if (o == 1) {
          EXPECT_EQ(packed.bytes, jpeg);
          EXPECT_TRUE(packed.note.empty());
        } else {
          // A transpose never meets a partial block: it is always lossless.
          const char* how = o == 5 ? "losslessly" : size.how;
          EXPECT_NE(packed.note.find(how), std::string::npos) << packed.note;
          // The stored picture tells no viewer to turn it again.
          const auto left = scenepack::FindExifOrientation(packed.bytes);
          EXPECT_TRUE(!left || left->value == 1);
        }
        const Pixels p = PlayerDecode(packed.bytes);
        // Trimming drops the partial blocks only, less than one block (8 pixels) a side.
        const int dx = size.w - p.w, dy = size.h - p.h;
        EXPECT_TRUE(dx >= 0 && dx < 8 && dy >= 0 && dy < 8) << p.w << "x" << p.h;
        if (!size.trim) {
          EXPECT_EQ(dx, 0);
          EXPECT_EQ(dy, 0);
        }
        // The quadrants where they belong; a trimmed picture lost its columns and rows on
        // one side or the other.
        bool upright = false;
        for (int ox : {0, dx})
          for (int oy : {0, dy}) {
            bool all = true;
            for (auto [fx, fy] : {std::pair{1, 1}, {3, 1}, {1, 3}, {3, 3}}) {
              const int x = p.w * fx / 8, y = p.h * fy / 8;
              const auto got = p.At(x, y);
              const auto want = Quadrant(x + ox, y + oy, size.w, size.h);
              for (int c = 0; c < 3; ++c) all = all && std::abs(got[c] - want[c]) <= 24;
            }
            upright = upright || all;
          }
        EXPECT_TRUE(upright);
      }
    }
  }
}

TEST(MaxSize, LargerPicturesAreScaledDownToFitKeepingTheirAspect) {
  struct Case {
    int w, h, maxW, maxH;
    int wantW, wantH;
    bool scaled;
  };
  const Case cases[] = {
      {256, 128, 100, 100, 100, 50, true}, {128, 256, 100, 100, 50, 100, true},
      {256, 128, 64, 16, 32, 16, true},    {64, 32, 64, 32, 64, 32, false},
      {640, 320, 150, 100, 150, 75, true}, {40, 20, 1920, 1080, 40, 20, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " in " + std::to_string(c.maxW) +
                 "x" + std::to_string(c.maxH));
    const Pixels upright = Stored(1, c.w, c.h);
    const auto jpeg = scenepack::EncodeJpeg(upright.rgb, c.w, c.h, 95);
    PictureOptions options;
    options.maxWidth = c.maxW;
    options.maxHeight = c.maxH;
    const auto packed = scenepack::PackPicture(jpeg, options);
    EXPECT_EQ(packed.converted, c.scaled);
    if (!c.scaled) {
      EXPECT_EQ(packed.bytes, jpeg);
    }
    const Pixels p = PlayerDecode(packed.bytes);
    ASSERT_EQ(p.w, c.wantW);
    ASSERT_EQ(p.h, c.wantH);
    for (auto [fx, fy] : {std::pair{1, 1}, {3, 1}, {1, 3}, {3, 3}})
      ExpectNear(p.At(p.w * fx / 4, p.h * fy / 4), Quadrant(c.w * fx / 4, c.h * fy / 4, c.w, c.h),
                 30, "quadrant " + std::to_string(fx) + "," + std::to_string(fy));
  }
}

TEST(ExifOrientation, ReaderStaysInsideItsBlock) {
  const std::vector<uint8_t> soi = {0xFF, 0xD8};
  auto file = [&](std::vector<uint8_t> block) {
    std::vector<uint8_t> f = soi;
    f.insert(f.end(), block.begin(), block.end());
    f.insert(f.end(), {0xFF, 0xDA, 0, 2, 0xFF, 0xD9});
    return f;
  };
  auto good = ExifBlock(6, false);
  // The entry count (after "Exif\0\0" and the 8-byte header) claims 65535 entries.
  auto manyEntries = good;
  manyEntries[18] = 0xFF;
  manyEntries[19] = 0xFF;
  // ... and no orientation among those inside the block.
  auto manyOthers = manyEntries;
  manyOthers[32] = 0x13;
  // The first IFD offset points far beyond the block.
  auto farIfd = good;
  farIfd[14] = 0xFF;
  farIfd[15] = 0xFF;
  farIfd[16] = 0xFF;
  farIfd[17] = 0x7F;
  // A block that declares 65535 bytes in a file of a few dozen.
  auto longBlock = good;
  longBlock[2] = 0xFF;
  longBlock[3] = 0xFF;
  auto badValue = ExifBlock(9, true);
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    int expected;  // 0: none found
  };
  const Case cases[] = {
      {"good", file(good), 6},
      {"65535 entries, orientation second", file(manyEntries), 6},
      {"65535 entries, no orientation", file(manyOthers), 0},
      {"IFD far away", file(farIfd), 0},
      {"block of 65535 bytes in a tiny file", file(longBlock), 0},
      {"orientation 9", file(badValue), 0},
      {"no Exif", file({0xFF, 0xE0, 0, 4, 1, 2}), 0},
      {"Exif after the picture data",
       [&] {
         auto f = file({});
         f.insert(f.end(), good.begin(), good.end());
         return f;
       }(),
       0},
      {"cut in the middle",
       [&] {
         auto f = file(good);
         f.resize(20);
         return f;
       }(),
       0},
      {"not a JPEG", {'B', 'M', 0, 0}, 0},
  };
  for (const Case& c : cases) {
    const auto found = scenepack::FindExifOrientation(c.bytes);
    EXPECT_EQ(found ? found->value : 0, c.expected) << c.what;
  }
}

}  // namespace
