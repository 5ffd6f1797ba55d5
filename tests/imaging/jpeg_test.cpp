#include <csetjmp>
#include <cstdio>
#include <cstring>

extern "C" {
#include <jpeglib.h>
}

#include "imaging_test_util.h"

namespace imaging::test {
namespace {

bool HaveJpegTools() { return HaveTool("cjpeg") && HaveTool("djpeg"); }

Bytes Encode(const Bytes& px, int w, int h, int quality, bool progressive, int bits = 24,
             const JpegDensity* density = nullptr) {
  TempDir dir;
  StreamHandle t = OpenTarget(dir.File("out.jpg"));
  int64_t n = WriteJpeg(t, px, w, h, quality, progressive, bits, density);
  EXPECT_EQ(GetLastErrorCode(), kOk);
  EXPECT_EQ(CloseTarget(t), n);
  Bytes file = ReadFile(dir.File("out.jpg"));
  EXPECT_EQ(static_cast<int64_t>(file.size()), n);
  return file;
}

// Where the marker `code` starts among the markers before the scan data, or npos.
size_t FindMarker(const Bytes& jpeg, uint8_t code) {
  size_t pos = 2;
  while (pos + 4 <= jpeg.size() && jpeg[pos] == 0xFF) {
    if (jpeg[pos + 1] == code) return pos;
    if (jpeg[pos + 1] == 0xDA) break;
    pos += 2 + (jpeg[pos + 2] << 8 | jpeg[pos + 3]);
  }
  return std::string::npos;
}

// Reference decode straight through libjpeg: the components as the library delivers them.
struct RawJpeg {
  int width = 0, height = 0, components = 0;
  Bytes samples;
};
struct JumpError {
  jpeg_error_mgr pub;
  jmp_buf jump;
};
void JumpExit(j_common_ptr c) { longjmp(reinterpret_cast<JumpError*>(c->err)->jump, 1); }

bool RawDecode(const Bytes& file, RawJpeg* out) {
  jpeg_decompress_struct cinfo;
  JumpError err;
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = JumpExit;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, file.data(), file.size());
  jpeg_read_header(&cinfo, TRUE);
  jpeg_start_decompress(&cinfo);
  out->width = static_cast<int>(cinfo.output_width);
  out->height = static_cast<int>(cinfo.output_height);
  out->components = cinfo.output_components;
  out->samples.resize(static_cast<size_t>(out->width) * out->height * out->components);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = out->samples.data() +
                   static_cast<size_t>(cinfo.output_scanline) * out->width * out->components;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

// A four-component JPEG in memory, CMYK or YCCK.
Bytes MakeCmykJpeg(int w, int h, bool ycck) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* mem = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &mem, &size);
  cinfo.image_width = static_cast<JDIMENSION>(w);
  cinfo.image_height = static_cast<JDIMENSION>(h);
  cinfo.input_components = 4;
  cinfo.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&cinfo);
  if (ycck) jpeg_set_colorspace(&cinfo, JCS_YCCK);
  jpeg_set_quality(&cinfo, 95, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  Bytes row(static_cast<size_t>(w) * 4);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      row[4 * x] = static_cast<uint8_t>(x * 8);
      row[4 * x + 1] = static_cast<uint8_t>(y * 8);
      row[4 * x + 2] = 128;
      row[4 * x + 3] = static_cast<uint8_t>(255 - x * 4);
    }
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&cinfo, &r, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes file(mem, mem + size);
  std::free(mem);
  return file;
}

TEST(ReadJpeg, SamePixelsAsDjpeg) {
  if (!HaveJpegTools()) GTEST_SKIP() << "cjpeg/djpeg not installed";
  TempDir dir;
  const int w = 37, h = 29;  // partial MCUs on both edges
  const Bytes px = TestPicture(w, h, 3);
  WritePpm(dir.File("src.ppm"), px, w, h);
  const std::vector<std::pair<std::string, std::string>> variants = {
      {"base", "-quality 75"},   {"q95", "-quality 95 -sample 1x1"},
      {"prog", "-progressive"},  {"grey", "-grayscale"},
      {"restart", "-restart 2"}, {"optimize", "-optimize -quality 50"},
      {"arith", "-arithmetic"},  {"h2v1", "-sample 2x1"},
  };
  for (const auto& [name, args] : variants) {
    const std::string jpg = dir.File(name + ".jpg");
    ASSERT_EQ(RunCommand("cjpeg " + args + " " + dir.File("src.ppm") + " > " + jpg), 0) << name;
    ASSERT_EQ(RunCommand("djpeg -pnm " + jpg + " > " + dir.File(name + ".pnm")), 0) << name;
    Ppm expect;
    ASSERT_TRUE(ParsePnm(ReadFile(dir.File(name + ".pnm")), &expect)) << name;
    if (expect.channels == 1) {  // greyscale comes back with R = G = B
      Bytes rgb;
      for (uint8_t v : expect.pixels) rgb.insert(rgb.end(), {v, v, v});
      expect.pixels = rgb;
    }
    Decoded d = DecodeBytes(ReadFile(jpg), true);
    EXPECT_EQ(d.error, kOk) << name;
    EXPECT_EQ(d.width, w) << name;
    EXPECT_EQ(d.height, h) << name;
    EXPECT_EQ(Rgb(d), expect.pixels) << name;
  }
  // Our own files decode like djpeg decodes them, too.
  WriteFile(dir.File("own.jpg"), Encode(px, w, h, 85, true));
  ASSERT_EQ(RunCommand("djpeg -pnm " + dir.File("own.jpg") + " > " + dir.File("own.pnm")), 0);
  Ppm expect;
  ASSERT_TRUE(ParsePnm(ReadFile(dir.File("own.pnm")), &expect));
  EXPECT_EQ(Rgb(DecodeBytes(ReadFile(dir.File("own.jpg")), true)), expect.pixels);
}

TEST(ReadJpeg, GreyOutputOfAColourPicture) {
  const Bytes px = TestPicture(16, 9);
  const Bytes file = Encode(px, 16, 9, 90, false);
  Decoded rgb = DecodeBytes(file, true, 24);
  Decoded grey = DecodeBytes(file, true, 8);
  ASSERT_TRUE(rgb.pixels && grey.pixels);
  EXPECT_EQ(grey.error, kOk);
  ASSERT_EQ(grey.pixels.size(), 16u * 9u);
  for (size_t i = 0; i < grey.pixels.size(); ++i) {
    const uint8_t* p = rgb.pixels.data() + 3 * i;
    EXPECT_EQ(grey.pixels.data()[i],
              static_cast<uint8_t>(0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]));
  }
  // A grey picture written at 8 bits reads back at 8 bits.
  Bytes greyPx(20 * 10);
  for (size_t i = 0; i < greyPx.size(); ++i) greyPx[i] = static_cast<uint8_t>(i);
  Decoded back = DecodeBytes(Encode(greyPx, 20, 10, 100, false, 8), true, 8);
  ASSERT_TRUE(back.pixels);
  for (size_t i = 0; i < greyPx.size(); ++i) EXPECT_NEAR(back.pixels.data()[i], greyPx[i], 3);
  // and at 24 bits as R = G = B.
  Decoded wide = DecodeBytes(Encode(greyPx, 20, 10, 100, false, 8), true, 24);
  ASSERT_TRUE(wide.pixels);
  for (size_t i = 0; i < greyPx.size(); ++i) {
    EXPECT_EQ(wide.pixels.data()[3 * i], back.pixels.data()[i]);
    EXPECT_EQ(wide.pixels.data()[3 * i + 1], back.pixels.data()[i]);
    EXPECT_EQ(wide.pixels.data()[3 * i + 2], back.pixels.data()[i]);
  }
}

TEST(ReadJpeg, FourComponentPictures) {
  for (bool ycck : {false, true}) {
    const Bytes file = MakeCmykJpeg(24, 16, ycck);
    RawJpeg raw;
    ASSERT_TRUE(RawDecode(file, &raw));
    ASSERT_EQ(raw.components, 4);
    Decoded d = DecodeBytes(file, true, 24);
    ASSERT_TRUE(d.pixels);
    EXPECT_EQ(d.error, kOk);
    Bytes expect;
    for (size_t i = 0; i < raw.samples.size(); i += 4) {
      const unsigned k = raw.samples[i + 3];
      for (int c = 0; c < 3; ++c)
        expect.push_back(static_cast<uint8_t>(raw.samples[i + c] * k / 255));
    }
    EXPECT_EQ(Rgb(d), expect) << (ycck ? "YCCK" : "CMYK");
    // There is no grey output of four components.
    Decoded grey = DecodeBytes(file, true, 8);
    EXPECT_FALSE(grey.pixels);
    EXPECT_EQ(grey.error, kErrJpegLayout);
    EXPECT_EQ(grey.width, 0);
  }
}

TEST(ReadJpeg, BrokenFiles) {
  const Bytes px = TestPicture(64, 64, 9);
  const Bytes full = Encode(px, 64, 64, 90, false);
  const Decoded whole = DecodeBytes(full, true);
  ASSERT_EQ(whole.error, kOk);

  // Cut inside the scan: the rows decoded so far come back with error 3, the rest is black.
  const Bytes cut(full.begin(), full.begin() + static_cast<long>(full.size() / 2));
  Decoded part = DecodeBytes(cut, true);
  ASSERT_TRUE(part.pixels);
  EXPECT_EQ(part.error, kErrShort);
  EXPECT_EQ(part.width, 64);
  const size_t stride = 64 * 3;
  EXPECT_TRUE(std::equal(part.pixels.data(), part.pixels.data() + stride, whole.pixels.data()));
  const uint8_t* last = part.pixels.data() + 63 * stride;
  EXPECT_TRUE(std::all_of(last, last + stride, [](uint8_t v) { return v == 0; }));

  // A progressive file needs all of its scans before the first row: no picture.
  const Bytes prog = Encode(px, 64, 64, 90, true);
  Decoded progCut =
      DecodeBytes(Bytes(prog.begin(), prog.begin() + static_cast<long>(prog.size() / 2)), true);
  EXPECT_FALSE(progCut.pixels);
  EXPECT_EQ(progCut.error, kErrJpegHeader);

  // Headers that cannot be read.
  for (const Bytes& bad : {Bytes{}, Bytes{0xFF, 0xD8}, Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 1, 2},
                           Bytes(full.begin(), full.begin() + 200), Bytes(300, 0x55)}) {
    Decoded d = DecodeBytes(bad, true);
    EXPECT_FALSE(d.pixels);
    EXPECT_EQ(d.error, kErrJpegHeader);
    EXPECT_EQ(d.width, 0);
  }

  // A frame header claiming a picture over the size limit: error 1 before any allocation.
  Bytes huge = full;
  const size_t sof = FindMarker(huge, 0xC0);
  ASSERT_NE(sof, std::string::npos);
  huge[sof + 5] = 0xFD;  // height 65000
  huge[sof + 6] = 0xE8;
  huge[sof + 7] = 0xFD;  // width 65000
  huge[sof + 8] = 0xE8;
  Decoded d = DecodeBytes(huge, true);
  EXPECT_FALSE(d.pixels);
  EXPECT_EQ(d.error, kErrNoMemory);

  // Unsupported output depths and missing out-parameters.
  StreamHandle h = OpenMemorySource(full);
  int w = 0, ht = 0;
  EXPECT_FALSE(ReadJpeg(h, &w, &ht, 16));
  EXPECT_EQ(GetLastErrorCode(), kErrArgument);
  EXPECT_FALSE(ReadJpeg(h, nullptr, &ht, 24));
  EXPECT_EQ(GetLastErrorCode(), kErrArgument);
  CloseSource(h);
}

TEST(ReadJpegRows, SameRowsAndCodesAsTheWholeRead) {
  const Bytes px = TestPicture(67, 45, 5);
  const Bytes base = Encode(px, 67, 45, 90, false);
  const Bytes prog = Encode(px, 67, 45, 90, true);
  Bytes grey(67 * 45);
  for (size_t i = 0; i < grey.size(); ++i) grey[i] = px[3 * i + 1];
  auto cut = [](const Bytes& b, double part) {
    return Bytes(b.begin(), b.begin() + static_cast<long>(static_cast<double>(b.size()) * part));
  };
  struct Case {
    const char* what;
    Bytes file;
  };
  const Case cases[] = {
      {"colour", base},
      {"progressive", prog},
      {"grey", Encode(grey, 67, 45, 85, false, 8)},
      {"CMYK", MakeCmykJpeg(33, 17, false)},
      {"YCCK", MakeCmykJpeg(33, 17, true)},
      {"cut at a third", cut(base, 0.33)},
      {"cut at a half", cut(base, 0.5)},
      {"cut near the end", cut(base, 0.97)},
      {"cut progressive", cut(prog, 0.5)},
      {"headers only", cut(base, 0.1)},
      {"no JPEG", Bytes(300, 0x55)},
  };
  for (const Case& c : cases) {
    for (int bits : {24, 8}) {
      SCOPED_TRACE(std::string(c.what) + ", " + std::to_string(bits) + " bits");
      const Decoded whole = DecodeBytes(c.file, true, bits);
      RowCollector rows(bits / 8);
      StreamHandle h = OpenMemorySource(c.file);
      const bool read = ReadJpegRows(h, bits, rows);
      EXPECT_EQ(GetLastErrorCode(), whole.error);
      CloseSource(h);
      EXPECT_EQ(read, static_cast<bool>(whole.pixels));
      EXPECT_EQ(rows.rows, Rgb(whole));
      if (read) {
        EXPECT_EQ(rows.width, whole.width);
        EXPECT_EQ(rows.height, whole.height);
      }
      EXPECT_LE(rows.begun, 1);
    }
  }
  // A sink that cannot take the picture: no memory, no rows.
  RowCollector refusing(3, true);
  StreamHandle h = OpenMemorySource(base);
  EXPECT_FALSE(ReadJpegRows(h, 24, refusing));
  EXPECT_EQ(GetLastErrorCode(), kErrNoMemory);
  EXPECT_TRUE(refusing.rows.empty());
  EXPECT_FALSE(ReadJpegRows(h, 16, refusing));
  EXPECT_EQ(GetLastErrorCode(), kErrArgument);
  CloseSource(h);
}

TEST(JpegMarkers, KeptForCommentsAndApp1To14Only) {
  SetJpegCommentsToAdd({"first comment", "second"});
  std::vector<JpegMarker> add;
  for (int n : {0, 1, 2, 14, 15})
    add.push_back({JPEG_APP0 + n, {static_cast<uint8_t>(n), 'x', 'y'}});
  SetJpegMarkersToAdd(add);
  const Bytes file = Encode(TestPicture(8, 8), 8, 8, 80, false);
  SetJpegCommentsToAdd({});
  SetJpegMarkersToAdd({});

  Decoded d = DecodeBytes(file, true);
  ASSERT_EQ(d.error, kOk);
  EXPECT_EQ(LastJpegComments(), (std::vector<std::string>{"first comment", "second"}));
  std::vector<int> codes;
  for (const JpegMarker& m : LastJpegMarkers()) {
    codes.push_back(m.code - JPEG_APP0);
    EXPECT_EQ(m.data, (Bytes{static_cast<uint8_t>(m.code - JPEG_APP0), 'x', 'y'}));
  }
  EXPECT_EQ(codes, (std::vector<int>{1, 2, 14}));

  // The next read starts with empty lists.
  Decoded plain = DecodeBytes(Encode(TestPicture(8, 8), 8, 8, 80, false), true);
  ASSERT_EQ(plain.error, kOk);
  EXPECT_TRUE(LastJpegComments().empty());
  EXPECT_TRUE(LastJpegMarkers().empty());
}

TEST(WriteJpeg, ProgressiveQuality100WithDefaultDensity) {
  // One hue at four brightnesses, so chroma subsampling loses nothing.
  const Bytes px = {100, 110, 120, 150, 160, 170, 50, 60, 70, 200, 210, 220};
  const Bytes file = Encode(px, 2, 2, 100, true);
  ASSERT_GT(file.size(), 20u);
  const size_t app0 = FindMarker(file, 0xE0);
  ASSERT_NE(app0, std::string::npos);
  EXPECT_EQ(std::memcmp(&file[app0 + 4], "JFIF\0", 5), 0);
  EXPECT_EQ(file[app0 + 11], 0);  // no unit
  EXPECT_EQ(file[app0 + 12] << 8 | file[app0 + 13], 1);
  EXPECT_EQ(file[app0 + 14] << 8 | file[app0 + 15], 1);
  EXPECT_NE(FindMarker(file, 0xC2), std::string::npos);  // progressive frame
  EXPECT_EQ(FindMarker(file, 0xC0), std::string::npos);
  Decoded d = DecodeBytes(file, true);
  ASSERT_TRUE(d.pixels);
  EXPECT_EQ(d.width, 2);
  for (size_t i = 0; i < px.size(); ++i) EXPECT_NEAR(d.pixels.data()[i], px[i], 3) << i;

  const JpegDensity density{72, 96, 1};
  const Bytes dpi = Encode(px, 2, 2, 75, false, 24, &density);
  const size_t a = FindMarker(dpi, 0xE0);
  ASSERT_NE(a, std::string::npos);
  EXPECT_EQ(dpi[a + 11], 1);
  EXPECT_EQ(dpi[a + 12] << 8 | dpi[a + 13], 72);
  EXPECT_EQ(dpi[a + 14] << 8 | dpi[a + 15], 96);
  EXPECT_NE(FindMarker(dpi, 0xC0), std::string::npos);  // baseline frame
}

TEST(WriteJpeg, QualityAndErrors) {
  const Bytes px = TestPicture(64, 48, 4);
  EXPECT_LT(Encode(px, 64, 48, 10, false).size(), Encode(px, 64, 48, 95, false).size());

  TempDir dir;
  StreamHandle t = OpenTarget(dir.File("x.jpg"));
  EXPECT_EQ(WriteJpeg(t, px, 64, 48, 75, false, 16), 0);
  EXPECT_EQ(GetLastErrorCode(), kErrArgument);
  EXPECT_EQ(WriteJpeg(t, px, 0, 48, 75, false), 0);
  EXPECT_EQ(GetLastErrorCode(), kErrArgument);
  EXPECT_EQ(WriteJpeg(t, px, 64, 49, 75, false), 0);  // buffer too small
  EXPECT_EQ(GetLastErrorCode(), kErrArgument);
  EXPECT_EQ(WriteJpeg(t, {}, 64, 48, 75, false), 0);
  EXPECT_EQ(GetLastErrorCode(), kErrArgument);
  CloseTarget(t);
  // A stream that cannot be written is a compression error.
  StreamHandle r = OpenMemorySource(px);
  EXPECT_EQ(WriteJpeg(r, px, 64, 48, 75, false), 0);
  EXPECT_EQ(GetLastErrorCode(), kErrWrite);
  CloseSource(r);
}

}  // namespace
}  // namespace imaging::test
