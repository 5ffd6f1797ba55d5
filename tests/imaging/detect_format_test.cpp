#include "imaging_test_util.h"

namespace imaging::test {
namespace {

// Detects the format of `head` padded to `size` bytes, stored under `name`.
int Detect(const Bytes& head, const std::string& name = "picture.dat", size_t size = 64,
           int* error = nullptr) {
  TempDir dir;
  Bytes data = head;
  data.resize(std::max(size, head.size()), 0x11);
  if (size < head.size()) data.resize(size);
  WriteFile(dir.File(name), data);
  StreamHandle h = OpenSource(dir.File(name));
  int code = DetectFormat(h);
  if (error) *error = GetLastErrorCode();
  CloseSource(h);
  return code;
}

TEST(DetectFormat, SignatureTable) {
  struct Case {
    Bytes head;
    int code;
  };
  const std::vector<Case> cases = {
      {{'B', 'M'}, kFormatBmp},
      {{'P', 'A', 'X'}, kFormatPax},
      {{'G', 'I', 'F', '8', '9', 'a'}, kFormatGif},
      {{'G', 'I', 'F', '8', '7', 'a'}, kFormatGif},
      {{'G', 'I', 'F', '8', '8', 'a'}, kFormatNone},
      {{0xFF, 0xD8, 0xFF, 0xE0}, kFormatJpeg},
      {{0xFF, 0xD8, 0xFF, 0xE1}, kFormatJpeg},  // no JFIF marker: second JPEG row
      {{0xFF, 0xD8, 0xFE}, kFormatNone},
      {{0x0A, 0x00}, kFormatPcx},
      {{0x0A, 0x02}, kFormatPcx},
      {{0x0A, 0x03}, kFormatPcx},
      {{0x0A, 0x05}, kFormatPcx},
      {{0x0A, 0x04}, kFormatNone},
      {{'M', 'M'}, kFormatTiff},
      {{'I', 'I'}, kFormatTiff},
      {{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, kFormatPng},
      {{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0B}, kFormatNone},
      {{0x01, 0x00, 0x09, 0x00, 0x00}, kFormatWmf},
      {{0xD7, 0xCD, 0xC6, 0x9A}, kFormatWmf},
      {{'8', 'B', 'P', 'S'}, kFormatPsd},
      {{'T', 'L', 'A', 0x01}, kFormat11},
      {{'T', 'L', 'A', 'U'}, kFormat12},
      {{0x00, 0x00}, kFormatWbmp},
  };
  for (const Case& c : cases) {
    int error = -1;
    EXPECT_EQ(Detect(c.head, "picture.dat", 64, &error), c.code) << "first byte " << int(c.head[0]);
    EXPECT_EQ(error, kOk);
  }
  Bytes emf(40, 0x01);
  emf.insert(emf.end(), {' ', 'E', 'M', 'F'});
  EXPECT_EQ(Detect(emf), kFormatEmf);
  // An earlier row wins over the EMF mark at offset 40.
  emf[0] = 'B';
  emf[1] = 'M';
  EXPECT_EQ(Detect(emf), kFormatBmp);
}

TEST(DetectFormat, ShortFilesGiveNoneWithError3) {
  int error = -1;
  EXPECT_EQ(Detect({'B', 'M'}, "a.bmp", 43, &error), kFormatNone);
  EXPECT_EQ(error, kErrShort);
  EXPECT_EQ(Detect({'B', 'M'}, "a.bmp", 44, &error), kFormatBmp);
  EXPECT_EQ(error, kOk);
  EXPECT_EQ(Detect({}, "empty.bmp", 0, &error), kFormatNone);
  EXPECT_EQ(error, kErrShort);
}

TEST(DetectFormat, NameRulesForTgaAndWbmp) {
  const Bytes zeros = {0x00, 0x00, 0x02};
  EXPECT_EQ(Detect(zeros, "pic.tga"), kFormatTga);
  EXPECT_EQ(Detect(zeros, "PIC.TGA"), kFormatTga);
  EXPECT_EQ(Detect(zeros, "pic.tga.bmp"), kFormatWbmp);
  EXPECT_EQ(Detect(zeros, "pic.dat"), kFormatWbmp);
  EXPECT_EQ(Detect(zeros, "pic.wbmp"), kFormatWbmp);
  EXPECT_EQ(Detect(zeros, "noextension"), kFormatWbmp);
  // A TGA that does not start with two zero bytes is not recognised whatever its name.
  EXPECT_EQ(Detect({0x00, 0x01, 0x01}, "pic.tga"), kFormatNone);
  EXPECT_EQ(Detect({0x1A, 0x00}, "pic.wbmp"), kFormatNone);
  // "BM" wins whatever the name says.
  EXPECT_EQ(Detect({'B', 'M'}, "photo.jpg"), kFormatBmp);
  EXPECT_EQ(Detect({'B', 'M'}, "photo.tga"), kFormatBmp);
}

TEST(DetectFormat, LeavesPositionAfterTheProbe) {
  TempDir dir;
  WriteFile(dir.File("a.bin"), Bytes(100, 0x42));
  StreamHandle h = OpenSource(dir.File("a.bin"));
  DetectFormat(h);
  EXPECT_EQ(CloseSource(h), 44);
}

TEST(DetectFormat, MemoryStreamsHaveNoName) {
  Bytes zeros(50, 0);
  StreamHandle h = OpenMemorySource(zeros);
  EXPECT_EQ(DetectFormat(h), kFormatWbmp);
  CloseSource(h);
}

}  // namespace
}  // namespace imaging::test
