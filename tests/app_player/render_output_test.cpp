// The parts of a render below the show: the ordered encoding pool, the PNG frame folder, the
// video file output and the screen grabber that tells changed frames from unchanged ones.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "app/encode_pool.h"
#include "app/frame_recorder.h"
#include "app/png_frame_folder.h"
#include "app/render_session.h"
#include "app/video_file_output.h"
#include "platform/ui/display.h"
#include "support/png_frame.h"

namespace fs = std::filesystem;

namespace {

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "sp-render-XXXXXX").string();
    path_ = mkdtemp(tmpl.data());
  }
  ~TempDir() { fs::remove_all(path_); }
  fs::path operator/(const std::string& name) const { return fs::path(path_) / name; }

 private:
  std::string path_;
};

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TEST(EncodePool, CommitsInSubmissionOrderWhateverTheWorkTakes) {
  std::vector<int> committed;
  std::mt19937 rng(7);
  {
    app::EncodePool pool(3, 4);
    for (int i = 0; i < 60; ++i) {
      const int delay = static_cast<int>(rng() % 3);
      std::function<void()> work;
      // Every third job has no work (an unchanged frame) and is ready at once.
      if (i % 3) work = [delay] { std::this_thread::sleep_for(std::chrono::milliseconds(delay)); };
      pool.Submit(work, [&committed, i] { committed.push_back(i); });
    }
    pool.Wait();
    EXPECT_EQ(committed.size(), 60u);
  }
  for (int i = 0; i < 60; ++i) ASSERT_EQ(committed[i], i);
}

// Pictures with runs of repeats: frame k shows picture k / 3.
std::shared_ptr<const gfx::Surface> Picture(int k) {
  auto s = std::make_shared<gfx::Surface>(40, 30, 0x102030u * static_cast<uint32_t>(k / 3 + 1));
  s->At(k / 3, 5) = 0xFFFFFF;
  return s;
}

std::string Frame(const fs::path& dir, int k) {
  return (dir / app::FrameRecorder::FrameName(k)).string();
}

TEST(PngFrameFolder, RepeatedFramesAreLinksWithTheBytesAFullEncodingGives) {
  TempDir tmp;
  std::string error;
  for (bool reuse : {true, false}) {
    auto folder =
        app::PngFrameFolder::Open((tmp / (reuse ? "reuse" : "full")).string(), false, 1, 2, &error);
    ASSERT_TRUE(folder) << error;
    for (int k = 0; k < 12; ++k) folder->Add(k, reuse && k % 3 ? nullptr : Picture(k));
    ASSERT_TRUE(folder->Finish(&error)) << error;
    EXPECT_EQ(folder->FramesWritten(), 12);
  }
  for (int k = 0; k < 12; ++k) {
    EXPECT_EQ(Slurp(Frame(tmp / "reuse", k)), Slurp(Frame(tmp / "full", k))) << k;
    struct stat a {
    }, b{};
    stat(Frame(tmp / "reuse", k).c_str(), &a);
    stat(Frame(tmp / "reuse", k - k % 3).c_str(), &b);
    EXPECT_EQ(a.st_ino, b.st_ino) << k;  // one file, linked
    auto png = testsupport::ReadPngFrame(Frame(tmp / "reuse", k));
    ASSERT_EQ(png.width, 40);
    EXPECT_EQ(png.At(k / 3, 5), 0xFFFFFFu);
    EXPECT_EQ(png.At(39, 29), (0x102030u * static_cast<uint32_t>(k / 3 + 1)) & 0xFFFFFF);
  }
}

TEST(PngFrameFolder, OldFramesAreRefusedUnlessOverwrittenAndAFailedFrameEndsTheRender) {
  TempDir tmp;
  const fs::path dir = tmp / "frames";
  std::string error;
  {
    auto folder = app::PngFrameFolder::Open(dir.string(), false, 1, 2, &error);
    ASSERT_TRUE(folder) << error;
    for (int k = 0; k < 5; ++k) folder->Add(k, Picture(k));
    ASSERT_TRUE(folder->Finish(&error));
  }
  std::ofstream(dir / "notes.txt") << "mine";
  EXPECT_FALSE(app::PngFrameFolder::Open(dir.string(), false, 1, 2, &error));
  EXPECT_NE(error.find("--overwrite"), std::string::npos) << error;
  EXPECT_TRUE(fs::exists(Frame(dir, 4)));  // refused: nothing touched

  // Overwriting removes every old frame (none of them mixes with the new ones) and nothing
  // else; frame 2 cannot be written because a folder stands in its place.
  auto folder = app::PngFrameFolder::Open(dir.string(), true, 1, 2, &error);
  ASSERT_TRUE(folder) << error;
  EXPECT_FALSE(fs::exists(Frame(dir, 4)));
  EXPECT_TRUE(fs::exists(dir / "notes.txt"));
  fs::create_directory(Frame(dir, 2));
  for (int k = 0; k < 5; ++k) folder->Add(k, k == 1 ? nullptr : Picture(k));
  EXPECT_FALSE(folder->Finish(&error));
  EXPECT_TRUE(folder->Failed());
  EXPECT_EQ(folder->FramesWritten(), 2);
  EXPECT_NE(error.find("cannot write frame 2"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(Frame(dir, 3)));  // nothing after the failed frame

  std::ofstream(tmp / "file") << "x";
  EXPECT_FALSE(app::PngFrameFolder::Open((tmp / "file" / "sub").string(), false, 1, 2, &error));
  EXPECT_NE(error.find("cannot make the frames folder"), std::string::npos) << error;
}

TEST(VideoFileOutput, RepeatsThroughThePoolGiveTheFileOfAFullEncoding) {
  TempDir tmp;
  std::string error;
  video::EncoderSettings settings{40, 30, 10, -1};
  for (bool reuse : {true, false}) {
    const std::string path = (tmp / (reuse ? "reuse.mp4" : "full.mp4")).string();
    auto out = app::VideoFileOutput::Open(path, false, settings, nullptr, 2, &error);
    ASSERT_TRUE(out) << error;
    for (int k = 0; k < 12; ++k) out->Add(k, reuse && k % 3 ? nullptr : Picture(k));
    ASSERT_TRUE(out->Finish(&error)) << error;
    EXPECT_EQ(out->FramesWritten(), 12);
  }
  EXPECT_EQ(Slurp(tmp / "reuse.mp4"), Slurp(tmp / "full.mp4"));
  EXPECT_FALSE(
      app::VideoFileOutput::Open((tmp / "full.mp4").string(), false, settings, nullptr, 2, &error));
  EXPECT_NE(error.find("already exists"), std::string::npos) << error;
  // An output dropped before it is finished leaves nothing behind, and the file it was to
  // replace stays as it was.
  const std::string before = Slurp(tmp / "full.mp4");
  {
    auto out =
        app::VideoFileOutput::Open((tmp / "full.mp4").string(), true, settings, nullptr, 2, &error);
    ASSERT_TRUE(out) << error;
    out->Add(0, Picture(0));
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(tmp / ""), fs::directory_iterator()), 2);
  EXPECT_TRUE(Slurp(tmp / "full.mp4") == before);
}

TEST(ScreenGrabber, OnlyAScreenThatReallyChangedIsCopied) {
  std::string error;
  auto display = ui::Display::Create({ui::DisplayMode::Headless, 64, 48}, &error);
  ASSERT_TRUE(display) << error;
  app::ScreenGrabber grabber;
  auto first = grabber.Grab(*display);
  ASSERT_TRUE(first);
  EXPECT_FALSE(grabber.Grab(*display));  // nothing drawn
  {
    auto lock = display->LockScreen();
    lock.Canvas().FillRect({0, 0, 64, 48}, 0);  // drawn, but the same black
  }
  EXPECT_FALSE(grabber.Grab(*display));
  {
    auto lock = display->LockScreen();
    lock.Canvas().FillRect({10, 10, 12, 12}, 0x00FF00);
  }
  auto second = grabber.Grab(*display);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->At(11, 11), 0x00FF00u);
  EXPECT_EQ(first->At(11, 11), 0u);  // the earlier frame keeps its own pixels
  EXPECT_FALSE(grabber.Grab(*display));
}

}  // namespace
