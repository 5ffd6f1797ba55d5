// The sceneimg tool end to end, against the reference tools.

#include "imaging_test_util.h"

namespace imaging::test {
namespace {

// The tool of the same build tree: from SP_BINARY_DIR, else beside this test's own folder.
std::string Tool() {
  std::vector<std::string> candidates;
  if (const char* bin = std::getenv("SP_BINARY_DIR"))
    candidates.push_back(std::string(bin) + "/tools/sceneimg/sceneimg");
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec)
    candidates.push_back((self.parent_path() / "../../tools/sceneimg/sceneimg").string());
  for (const std::string& path : candidates)
    if (::access(path.c_str(), X_OK) == 0) return path;
  return "";
}

std::string Capture(const std::string& command, int* status) {
  FILE* p = ::popen(command.c_str(), "r");
  std::string out;
  char buf[256];
  while (p && std::fgets(buf, sizeof buf, p)) out += buf;
  int rc = p ? ::pclose(p) : -1;
  *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

TEST(Sceneimg, DecodeMatchesTheReferenceDecoders) {
  const std::string tool = Tool();
  if (tool.empty()) GTEST_SKIP() << "sceneimg not built";
  if (!HaveTool("convert") || !HaveTool("djpeg") || !HaveTool("cjpeg"))
    GTEST_SKIP() << "reference tools missing";
  TempDir dir;
  WritePpm(dir.File("src.ppm"), TestPicture(21, 11, 2), 21, 11);
  ASSERT_EQ(RunCommand("convert " + dir.File("src.ppm") + " -colors 50 -type Palette -compress None bmp3:" + dir.File("a.bmp")), 0);
  ASSERT_EQ(RunCommand("cjpeg -progressive " + dir.File("src.ppm") + " > " + dir.File("a.jpg")), 0);
  ASSERT_EQ(RunCommand("convert " + dir.File("a.bmp") + " -depth 8 ppm:" + dir.File("bmp.ref")), 0);
  ASSERT_EQ(RunCommand("djpeg -ppm " + dir.File("a.jpg") + " > " + dir.File("jpg.ref")), 0);
  for (const std::string name : {"bmp", "jpg"}) {
    int status = -1;
    std::string out = Capture(tool + " decode " + dir.File("a." + name) + " " + dir.File(name + ".out"), &status);
    EXPECT_EQ(status, 0) << name;
    EXPECT_EQ(out, "21 11 0\n") << name;
    EXPECT_EQ(ReadFile(dir.File(name + ".out")), ReadFile(dir.File(name + ".ref"))) << name;
  }
  int status = -1;
  EXPECT_EQ(Capture(tool + " detect " + dir.File("a.jpg"), &status), "3 JPEG\n");

  // A truncated picture still gives its rows and exit 0; garbage gives exit 1.
  Bytes bmp = ReadFile(dir.File("a.bmp"));
  ASSERT_GT(bmp.size(), 100u);
  bmp.erase(bmp.end() - 30, bmp.end());
  WriteFile(dir.File("cut.bmp"), bmp);
  EXPECT_EQ(Capture(tool + " decode " + dir.File("cut.bmp") + " " + dir.File("cut.ppm"), &status), "21 11 3\n");
  EXPECT_EQ(status, 0);
  WriteFile(dir.File("junk.jpg"), Bytes{0xFF, 0xD8, 0xFF, 0xE0, 1, 2, 3});
  EXPECT_EQ(Capture(tool + " decode " + dir.File("junk.jpg") + " " + dir.File("junk.ppm") + " 2>/dev/null", &status), "0 0 3\n");
  EXPECT_EQ(status, 1);

  // Encode and resize round through the library.
  EXPECT_EQ(RunCommand(tool + " encode " + dir.File("src.ppm") + " " + dir.File("e.bmp") + " >/dev/null"), 0);
  Capture(tool + " decode " + dir.File("e.bmp") + " " + dir.File("e.ppm"), &status);
  EXPECT_EQ(ReadFile(dir.File("e.ppm")), ReadFile(dir.File("src.ppm")));
  EXPECT_EQ(RunCommand(tool + " encode " + dir.File("src.ppm") + " " + dir.File("e.jpg") + " --quality 100 --progressive >/dev/null"), 0);
  EXPECT_EQ(Capture(tool + " detect " + dir.File("e.jpg"), &status), "3 JPEG\n");
  EXPECT_EQ(RunCommand(tool + " resize " + dir.File("src.ppm") + " " + dir.File("r.ppm") + " 7 3"), 0);
  Ppm r;
  ASSERT_TRUE(ParsePnm(ReadFile(dir.File("r.ppm")), &r));
  EXPECT_EQ(r.width, 7);
  EXPECT_EQ(r.height, 3);
}

}  // namespace
}  // namespace imaging::test
