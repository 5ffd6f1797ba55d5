#include "imaging_test_util.h"

namespace imaging::test {
namespace {

std::vector<PaletteEntry> Table(int n) {
  std::vector<PaletteEntry> t;
  for (int i = 0; i < n; ++i)
    t.push_back({static_cast<uint8_t>(i * 10 + 1), static_cast<uint8_t>(i * 7 + 2),
                 static_cast<uint8_t>(255 - i)});
  return t;
}

Bytes ColourOf(const std::vector<PaletteEntry>& t, std::initializer_list<int> indices) {
  Bytes out;
  for (int i : indices) {
    if (i < 0 || i >= static_cast<int>(t.size()))
      out.insert(out.end(), {0, 0, 0});
    else
      out.insert(out.end(), {t[i].red, t[i].green, t[i].blue});
  }
  return out;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST(ReadBmp, TopDownAndBottomUpGiveTheSameBuffer) {
  BmpLayout s;
  s.width = 3;
  s.height = 2;
  // Stored rows: first row in the file is the bottom one for a positive height.
  const Bytes top = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0};
  const Bytes bottom = {10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0};
  s.data = Concat({bottom, top});
  Decoded up = DecodeBytes(MakeBmp(s), false);
  s.height = -2;
  s.data = Concat({top, bottom});
  Decoded down = DecodeBytes(MakeBmp(s), false);
  ASSERT_TRUE(up.pixels && down.pixels);
  EXPECT_EQ(up.error, kOk);
  EXPECT_EQ(down.height, 2);
  EXPECT_EQ(Rgb(up), Rgb(down));
  EXPECT_EQ(Rgb(up), (Bytes{3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10, 15, 14, 13, 18, 17, 16}));
}

TEST(ReadBmp, SixteenBitsFreedLowBitsAreOnes) {
  BmpLayout s;
  s.width = 4;
  s.bits = 16;
  s.data = {0xFF, 0x7F, 0x00, 0x00, 0x00, 0x7C, 0x00, 0x80};  // 7FFF, 0000, 7C00, 8000
  Decoded d = DecodeBytes(MakeBmp(s), false);
  EXPECT_EQ(d.error, kOk);
  EXPECT_EQ(Rgb(d), (Bytes{255, 255, 255, 7, 7, 7, 255, 7, 7, 7, 7, 7}));

  // 5-6-5 through bit fields: green keeps six bits, two freed bits set.
  s.compression = 3;
  s.masks = {0xF800, 0x07E0, 0x001F};
  s.data = {0xE0, 0x07, 0x20, 0x00, 0x00, 0xF8, 0x1F, 0x00};  // 07E0, 0020, F800, 001F
  d = DecodeBytes(MakeBmp(s), false);
  EXPECT_EQ(d.error, kOk);
  EXPECT_EQ(Rgb(d), (Bytes{7, 255, 7, 7, 7, 7, 255, 3, 7, 7, 3, 255}));

  // Bit fields inside a 108-byte header are found at the same place.
  s.infoSize = 108;
  s.masks.clear();
  Bytes file = MakeBmp(s);
  const uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};
  for (int i = 0; i < 3; ++i)
    for (int b = 0; b < 4; ++b) file[54 + 4 * i + b] = static_cast<uint8_t>(masks[i] >> (8 * b));
  d = DecodeBytes(file, false);
  EXPECT_EQ(Rgb(d), (Bytes{7, 255, 7, 7, 7, 7, 255, 3, 7, 7, 3, 255}));
}

TEST(ReadBmp, ThirtyTwoBitsIgnoreMasks) {
  BmpLayout s;
  s.width = 2;
  s.bits = 32;
  s.compression = 3;
  s.masks = {0xFF, 0xFF00, 0xFF0000};
  s.data = {0x10, 0x20, 0x30, 0x40, 0x01, 0x02, 0x03, 0x04};
  Decoded d = DecodeBytes(MakeBmp(s), false);
  EXPECT_EQ(d.error, kOk);
  EXPECT_EQ(Rgb(d), (Bytes{0x30, 0x20, 0x10, 0x03, 0x02, 0x01}));
}

TEST(ReadBmp, LargerHeadersAndTheDataOffset) {
  BmpLayout s;
  s.width = 2;
  s.height = 1;
  s.infoSize = 108;
  s.data = {1, 2, 3, 4, 5, 6, 0, 0};
  Decoded d = DecodeBytes(MakeBmp(s), false);
  EXPECT_EQ(d.error, kOk);
  EXPECT_EQ(Rgb(d), (Bytes{3, 2, 1, 6, 5, 4}));
  // A gap between the headers and the rows is skipped.
  s.infoSize = 40;
  s.dataOffset = 54 + 100;
  d = DecodeBytes(MakeBmp(s), false);
  EXPECT_EQ(Rgb(d), (Bytes{3, 2, 1, 6, 5, 4}));
  // An offset past the end of the file is a structure error.
  s.dataOffset = 5000;
  Bytes file = MakeBmp(s);
  file.resize(200);
  d = DecodeBytes(file, false);
  EXPECT_FALSE(d.pixels);
  EXPECT_EQ(d.error, kErrBmpStructure);
  // An offset back into the headers is honoured: the pixel is the file's first bytes.
  s.dataOffset = 0;
  s.width = 1;
  d = DecodeBytes(MakeBmp(s), false);
  EXPECT_EQ(Rgb(d), (Bytes{MakeBmp(s)[2], 'M', 'B'}));
}

TEST(ReadBmp, IndexedDepthsAndIndicesBeyondTheTable) {
  BmpLayout s;
  s.width = 4;
  s.bits = 8;
  s.coloursUsed = 16;
  s.table = Table(16);
  s.data = {3, 200, 15, 16};
  Decoded d = DecodeBytes(MakeBmp(s), false);
  EXPECT_EQ(d.error, kOk);
  EXPECT_EQ(Rgb(d), ColourOf(s.table, {3, -1, 15, -1}));

  s.bits = 4;
  s.width = 5;
  s.data = {0x12, 0xF3, 0x40, 0};  // most significant nibble first
  d = DecodeBytes(MakeBmp(s), false);
  EXPECT_EQ(Rgb(d), ColourOf(s.table, {1, 2, 15, 3, 4}));

  s.bits = 1;
  s.width = 10;
  s.coloursUsed = 0;
  s.table = Table(2);
  s.data = {0xA5, 0x80, 0, 0};
  d = DecodeBytes(MakeBmp(s), false);
  EXPECT_EQ(Rgb(d), ColourOf(s.table, {1, 0, 1, 0, 0, 1, 0, 1, 1, 0}));

  // Indexed output hands back the indices and the table.
  s.bits = 8;
  s.width = 2;
  s.coloursUsed = 3;
  s.table = Table(3);
  s.data = {2, 9, 0, 0};
  const Bytes file = MakeBmp(s);
  StreamHandle h = OpenMemorySource(file);
  int w = 0, ht = 0;
  Palette palette;
  PixelBuffer px = ReadBmp(h, &w, &ht, 8, &palette);
  CloseSource(h);
  ASSERT_TRUE(px);
  EXPECT_EQ(Bytes(px.data(), px.data() + px.size()), (Bytes{2, 9}));
  EXPECT_EQ(palette, s.table);
}

TEST(ReadBmp, StructureErrors) {
  auto error = [](const Bytes& file, int bits = 24) {
    StreamHandle h = OpenMemorySource(file);
    int w = 7, ht = 7;
    PixelBuffer px = ReadBmp(h, &w, &ht, bits);
    int e = GetLastErrorCode();
    CloseSource(h);
    EXPECT_FALSE(px);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(ht, 0);
    return e;
  };
  BmpLayout s;
  s.data = {1, 2, 3, 0};
  Bytes good = MakeBmp(s);
  Bytes bad = good;
  bad[0] = 'b';
  EXPECT_EQ(error(bad), kErrBmpStructure);
  EXPECT_EQ(error(Bytes(good.begin(), good.begin() + 13)), kErrShort);
  EXPECT_EQ(error(Bytes(good.begin(), good.begin() + 53)), kErrShort);
  EXPECT_EQ(error(good, 16), kErrArgument);
  EXPECT_EQ(error(good, 8), kErrArgument);  // no colour table to index

  for (int32_t width : {0, -5}) {
    BmpLayout w = s;
    w.width = width;
    EXPECT_EQ(error(MakeBmp(w)), kErrBmpStructure);
  }
  for (auto [bits, compression] : {std::pair{24, 5}, {4, 1}, {8, 2}, {24, 1}, {7, 0}, {0, 0}}) {
    BmpLayout c = s;
    c.bits = static_cast<uint16_t>(bits);
    c.compression = static_cast<uint32_t>(compression);
    EXPECT_EQ(error(MakeBmp(c)), kErrBmpStructure) << bits << "/" << compression;
  }
  BmpLayout masks = s;
  masks.bits = 16;
  masks.compression = 3;
  const Bytes masksFile = MakeBmp(masks);
  EXPECT_EQ(error(Bytes(masksFile.begin(), masksFile.begin() + 60)), kErrShort);
  BmpLayout table = s;
  table.bits = 8;
  table.table = Table(10);
  const Bytes tableFile = MakeBmp(table);
  EXPECT_EQ(error(Bytes(tableFile.begin(), tableFile.begin() + 54 + 20)), kErrShort);
  // Sizes beyond the limits fail as memory exhaustion before anything is allocated.
  BmpLayout big = s;
  big.width = 60000;
  big.height = 60000;
  EXPECT_EQ(error(MakeBmp(big)), kErrNoMemory);
  big.width = 0x7FFFFFFF;
  big.height = 1;
  EXPECT_EQ(error(MakeBmp(big)), kErrNoMemory);
}

TEST(ReadBmp, TruncatedRowsGiveAPartialBuffer) {
  BmpLayout s;
  s.width = 1;
  s.height = 4;
  s.data = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8};  // two whole rows, then a broken one
  Decoded d = DecodeBytes(MakeBmp(s), false);
  ASSERT_TRUE(d.pixels);
  EXPECT_EQ(d.error, kErrShort);
  EXPECT_EQ(d.width, 1);
  EXPECT_EQ(d.height, 4);
  EXPECT_EQ(Rgb(d), (Bytes{0, 0, 0, 0, 0, 0, 6, 5, 4, 3, 2, 1}));
}

TEST(ReadBmpRows, SameRowsAndCodesAsTheWholeRead) {
  BmpLayout colour;
  colour.width = 3;
  colour.height = 2;
  colour.data = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0};
  BmpLayout cut = colour;
  cut.height = 4;  // two whole rows of four
  BmpLayout indexed;
  indexed.width = 4;
  indexed.height = -2;
  indexed.bits = 8;
  indexed.table = Table(4);
  indexed.data = {0, 1, 2, 3, 3, 2, 1, 9};
  BmpLayout broken = colour;
  broken.infoSize = 20;
  for (const BmpLayout& layout : {colour, cut, indexed, broken}) {
    const Bytes file = MakeBmp(layout);
    const Decoded whole = DecodeBytes(file, false);
    RowCollector rows(3);
    StreamHandle h = OpenMemorySource(file);
    EXPECT_EQ(ReadBmpRows(h, 24, rows), static_cast<bool>(whole.pixels));
    EXPECT_EQ(GetLastErrorCode(), whole.error);
    CloseSource(h);
    EXPECT_EQ(rows.rows, Rgb(whole)) << layout.width << " x " << layout.height;
  }
  RowCollector refusing(3, true);
  const Bytes file = MakeBmp(colour);
  StreamHandle h = OpenMemorySource(file);
  EXPECT_FALSE(ReadBmpRows(h, 24, refusing));
  EXPECT_EQ(GetLastErrorCode(), kErrNoMemory);
  CloseSource(h);
}

BmpLayout Rle(int bits, int width, int height, Bytes data) {
  BmpLayout s;
  s.bits = static_cast<uint16_t>(bits);
  s.compression = bits == 8 ? 1 : 2;
  s.width = width;
  s.height = height;
  s.coloursUsed = 16;
  s.table = Table(16);
  s.data = std::move(data);
  return s;
}

TEST(ReadBmp, RunLengthEscapes) {
  // Bottom row: run of three 1s, literal 2 3 4 (padded); end of line; delta (1, 1);
  // run of two 5s on the top row; end of bitmap. The middle row keeps colour 0.
  BmpLayout s = Rle(8, 6, 3, {3, 1, 0, 3, 2, 3, 4, 0, 0, 0, 0, 2, 1, 1, 2, 5, 0, 1});
  Decoded d = DecodeBytes(MakeBmp(s), false);
  EXPECT_EQ(d.error, kOk);
  EXPECT_EQ(Rgb(d), ColourOf(s.table, {0, 5, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 2, 3, 4}));

  // RLE4: alternating nibbles in runs, an odd literal padded to a word.
  s = Rle(4, 8, 2, {5, 0x12, 0, 3, 0x34, 0x50, 0, 0, 0, 5, 0x67, 0x89, 0xA0, 0, 0, 1});
  d = DecodeBytes(MakeBmp(s), false);
  EXPECT_EQ(d.error, kOk);
  EXPECT_EQ(Rgb(d), ColourOf(s.table, {6, 7, 8, 9, 10, 0, 0, 0, 1, 2, 1, 2, 1, 3, 4, 5}));

  // Indexed output of the same picture.
  const Bytes file = MakeBmp(s);
  StreamHandle h = OpenMemorySource(file);
  int w = 0, ht = 0;
  PixelBuffer idx = ReadBmp(h, &w, &ht, 8);
  CloseSource(h);
  ASSERT_TRUE(idx);
  EXPECT_EQ(Bytes(idx.data(), idx.data() + idx.size()),
            (Bytes{6, 7, 8, 9, 10, 0, 0, 0, 1, 2, 1, 2, 1, 3, 4, 5}));
}

TEST(ReadBmp, RunLengthNeverWritesOutsideThePicture) {
  // Runs and literals past the right edge are cut there and do not wrap.
  BmpLayout s = Rle(8, 4, 2, {2, 1, 255, 3, 0, 0, 0, 2, 0, 0, 0, 7, 9, 9, 9, 9, 9, 9, 9, 0, 0, 1});
  Decoded d = DecodeBytes(MakeBmp(s), false);
  EXPECT_EQ(d.error, kOk);
  EXPECT_EQ(Rgb(d), ColourOf(s.table, {9, 9, 9, 9, 1, 1, 3, 3}));

  // Deltas and line ends beyond the last row end the picture quietly.
  s = Rle(8, 3, 2, {1, 2, 0, 2, 255, 255, 3, 4, 0, 0, 0, 0, 0, 0, 5, 5, 0, 1});
  d = DecodeBytes(MakeBmp(s), false);
  EXPECT_EQ(d.error, kOk);
  EXPECT_EQ(Rgb(d), ColourOf(s.table, {0, 0, 0, 2, 0, 0}));

  // Indices beyond the table are black; a missing end of bitmap is a short file.
  s = Rle(8, 2, 1, {1, 200, 1, 3});
  d = DecodeBytes(MakeBmp(s), false);
  ASSERT_TRUE(d.pixels);
  EXPECT_EQ(d.error, kErrShort);
  EXPECT_EQ(Rgb(d), ColourOf(s.table, {-1, 3}));
  // A literal cut short by the end of the file.
  s = Rle(4, 8, 1, {0, 9, 0x11});
  d = DecodeBytes(MakeBmp(s), false);
  ASSERT_TRUE(d.pixels);
  EXPECT_EQ(d.error, kErrShort);
}

TEST(ReadBmp, RunLengthStructure) {
  // The rows may not start inside the colour table.
  BmpLayout s = Rle(8, 2, 1, {0, 1});
  s.dataOffset = 54 + 4 * 8;
  Decoded d = DecodeBytes(MakeBmp(s), false);
  EXPECT_FALSE(d.pixels);
  EXPECT_EQ(d.error, kErrBmpStructure);
  // The whole declared table must be in the file.
  s = Rle(8, 2, 1, {});
  s.coloursUsed = 200;
  d = DecodeBytes(MakeBmp(s), false);
  EXPECT_FALSE(d.pixels);
  EXPECT_EQ(d.error, kErrShort);
}

Bytes WriteToBytes(const Bytes& px, int w, int h, int bits, int colours = 0,
                   const Palette* palette = nullptr, int64_t* length = nullptr,
                   int* error = nullptr) {
  TempDir dir;
  StreamHandle t = OpenTarget(dir.File("w.bmp"));
  int64_t n = WriteBmp(t, px, w, h, bits, colours, palette);
  if (error) *error = GetLastErrorCode();
  if (length) *length = n;
  CloseTarget(t);
  return ReadFile(dir.File("w.bmp"));
}

TEST(WriteBmp, RoundTrips) {
  for (int w : {1, 2, 3, 4, 5, 13}) {
    const int h = 3;
    const Bytes px = TestPicture(w, h, static_cast<uint32_t>(w));
    int64_t length = 0;
    Bytes file = WriteToBytes(px, w, h, 24, 0, nullptr, &length);
    const int64_t rowBytes = ((w * 24 + 31) / 32) * 4;
    EXPECT_EQ(length, 54 + h * rowBytes);
    EXPECT_EQ(static_cast<int64_t>(file.size()), length);
    Decoded d = DecodeBytes(file, false);
    EXPECT_EQ(d.error, kOk);
    EXPECT_EQ(Rgb(d), px) << "width " << w;
  }
  // 16 bits keep the top five bits of each channel.
  const Bytes px = TestPicture(7, 2);
  Decoded d16 = DecodeBytes(WriteToBytes(px, 7, 2, 16), false);
  ASSERT_EQ(d16.error, kOk);
  Bytes expect = px;
  for (uint8_t& v : expect) v = static_cast<uint8_t>((v & 0xF8) | 7);
  EXPECT_EQ(Rgb(d16), expect);

  // Indexed depths with a palette.
  for (int bits : {1, 4, 8}) {
    const int colours = 1 << bits;
    Palette pal = Table(colours);
    Bytes idx(9 * 3);
    for (size_t i = 0; i < idx.size(); ++i) idx[i] = static_cast<uint8_t>((i * 5) % colours);
    Bytes file = WriteToBytes(idx, 9, 3, bits, colours, &pal);
    EXPECT_EQ(file[46], colours & 0xFF);  // colours used
    StreamHandle h = OpenMemorySource(file);
    int w = 0, ht = 0;
    Palette back;
    PixelBuffer got = ReadBmp(h, &w, &ht, 8, &back);
    CloseSource(h);
    ASSERT_TRUE(got) << bits;
    EXPECT_EQ(Bytes(got.data(), got.data() + got.size()), idx) << bits;
    EXPECT_EQ(back, pal);
  }
}

TEST(WriteBmp, BadArguments) {
  const Bytes px = TestPicture(4, 4);
  int error = 0;
  Palette pal = Table(4);
  EXPECT_EQ(WriteToBytes(px, 4, 4, 32, 0, nullptr, nullptr, &error).size(), 0u);
  EXPECT_EQ(error, kErrArgument);
  WriteToBytes(px, 4, 4, 8, 0, nullptr, nullptr, &error);
  EXPECT_EQ(error, kErrArgument);
  WriteToBytes(px, 4, 4, 8, 256, &pal, nullptr, &error);  // palette shorter than colours
  EXPECT_EQ(error, kErrArgument);
  WriteToBytes(px, 0, 4, 24, 0, nullptr, nullptr, &error);
  EXPECT_EQ(error, kErrArgument);
  WriteToBytes(px, 4, 5, 24, 0, nullptr, nullptr, &error);  // buffer too small
  EXPECT_EQ(error, kErrArgument);
  WriteToBytes({}, 4, 4, 24, 0, nullptr, nullptr, &error);
  EXPECT_EQ(error, kErrArgument);
  // A stream opened for reading cannot take the file.
  StreamHandle h = OpenMemorySource(px);
  EXPECT_EQ(WriteBmp(h, px, 4, 4), 0);
  EXPECT_EQ(GetLastErrorCode(), kErrNoMemory);
  CloseSource(h);
}

// Pictures made by ImageMagick decode to the same pixels as ImageMagick reads them.
TEST(ReadBmp, SamePixelsAsAnIndependentDecoder) {
  if (!HaveTool("convert")) GTEST_SKIP() << "ImageMagick convert not installed";
  TempDir dir;
  const int w = 37, h = 23;
  WritePpm(dir.File("src.ppm"), TestPicture(w, h, 5), w, h);
  const std::vector<std::pair<std::string, std::string>> variants = {
      {"b24", "bmp3:"},
      {"b24v5", "bmp:"},
      {"b32", "-type TrueColorAlpha bmp:"},
      {"b8", "-colors 200 -type Palette -compress None bmp3:"},
      {"b8rle", "-colors 200 -type Palette -compress RLE bmp3:"},
      {"b4", "-colors 16 -type Palette -compress None bmp3:"},
      {"b1", "-colors 2 -type Palette bmp3:"},
      {"topdown", "-define bmp:top-down=true bmp3:"},
  };
  for (const auto& [name, args] : variants) {
    const std::string bmp = dir.File(name + ".bmp");
    const std::string ref = dir.File(name + ".ppm");
    const std::string opts = args.substr(0, args.rfind(' ') + 1);
    const std::string fmt = args.substr(args.rfind(' ') + 1);
    ASSERT_EQ(
        RunCommand("convert " + dir.File("src.ppm") + " " + opts + fmt + bmp + " 2>/dev/null"), 0)
        << name;
    ASSERT_EQ(RunCommand("convert " + bmp + " -depth 8 ppm:" + ref), 0) << name;
    Ppm expect;
    ASSERT_TRUE(ParsePnm(ReadFile(ref), &expect)) << name;
    Decoded d = DecodeBytes(ReadFile(bmp), false);
    EXPECT_EQ(d.error, kOk) << name;
    EXPECT_EQ(d.width, expect.width) << name;
    EXPECT_EQ(d.height, expect.height) << name;
    EXPECT_EQ(Rgb(d), expect.pixels) << name;
  }
}

}  // namespace
}  // namespace imaging::test
