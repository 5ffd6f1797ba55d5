#include "app/saver_app.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <thread>

#include "app/background.h"
#include "app/calibration.h"
#include "app/caption_scroller.h"
#include "app/password_dialog.h"
#include "app/png_frame_folder.h"
#include "app/project_loader.h"
#include "app/render_session.h"
#include "app/saver_window.h"
#include "app/scene_thread.h"
#include "app/settings_dialog.h"
#include "app/signals.h"
#include "app/track_buffer.h"
#include "desktop/desktop_pictures.h"
#include "imaging/image_decoder.h"
#include "platform/audio/audio_device.h"
#include "platform/audio/sound_track.h"
#include "platform/gfx/png_writer.h"
#include "platform/shell/shell.h"
#include "platform/shell/url_launcher.h"
#include "platform/store/profile.h"
#include "platform/store/registry.h"
#include "platform/sys/clock.h"
#include "platform/sys/printable.h"
#include "platform/sys/temp_file.h"
#include "platform/ui/display.h"
#include "platform/ui/input_script.h"
#include "platform/ui/message_box.h"
#include "platform/ui/message_dialog.h"
#include "platform/ui/modal_loop.h"
#include "platform/ui/screen_grab.h"
#include "platform/ui/sdl_message_presenter.h"
#include "resources/preview_logo.h"
#include "resources/string_table.h"
#include "scene/properties.h"

namespace app {
namespace {

// Where the desktop's password switch lives.
constexpr const char* kDesktopKey = "Control Panel\\Desktop";

// The screen of a display, held through its lock.
class DisplayScreen final : public ScreenAccess {
 public:
  explicit DisplayScreen(ui::Display& display) : display_(display) {
    auto lock = display.LockScreen();
    surface_ = &lock.Surface();
  }
  gfx::Surface& Surface() override { return *surface_; }
  void Acquire() override { lock_.emplace(display_.LockScreen()); }
  void Release(const gfx::Rect& drawn) override {
    if (!lock_) return;
    if (!drawn.IsEmpty()) lock_->Canvas().MarkDirty(drawn);
    lock_.reset();
  }
  std::chrono::nanoseconds PresentPeriod() const override {
    if (!display_.HasWindow()) return {};
    return std::chrono::nanoseconds(1'000'000'000 / std::max(display_.RefreshRate(), 1));
  }
  void Present(const gfx::Rect& drawn) override {
    Release(drawn);
    display_.AwaitPresent(PresentPeriod());
    Acquire();
  }

 private:
  ui::Display& display_;
  gfx::Surface* surface_ = nullptr;
  std::optional<ui::Display::ScreenLock> lock_;
};

// The calibration values in the key shared by every saver file.
class RegistryCalibrationCache final : public CalibrationCache {
 public:
  explicit RegistryCalibrationCache(store::Store& store) : store_(store) {}
  void Read(std::string& sysInfo, uint32_t& times) override {
    auto key = store::RegistryKey::Create(store_, store::Root::CurrentUser, KeyPath());
    if (!key) return;
    if (auto s = key->ReadString(res::LoadString(res::IDS_VALUE_SYSINFO))) {
      sysInfo = s->substr(0, 260);
    }
    if (auto t = key->ReadDword(res::LoadString(res::IDS_VALUE_TIMES))) times = *t;
  }
  void Write(const std::string& sysInfo, uint32_t times) override {
    auto key = store::RegistryKey::Create(store_, store::Root::CurrentUser, KeyPath());
    if (!key) return;
    key->WriteString(res::LoadString(res::IDS_VALUE_SYSINFO), sysInfo);
    key->WriteDword(res::LoadString(res::IDS_VALUE_TIMES), times);
  }

 private:
  static std::string KeyPath() { return "Software\\" + RegistryKeyName(); }
  store::Store& store_;
};

// The saver window's ties to the display, the settings and the application.
class WindowHost final : public SaverWindowHost {
 public:
  WindowHost(ui::Display& display, store::Store& store, store::Profile& profile, SaverApp& app)
      : display_(display), store_(store), profile_(profile), app_(app) {}

  void SetWindow(SaverWindow* window) { window_ = window; }
  void SetSceneThread(SceneThread* thread) { thread_ = thread; }

  int32_t ProfileInt(const std::string& section, const std::string& entry,
                     int32_t defaultValue) override {
    return static_cast<int32_t>(
        profile_.GetProfileInt(section, entry, static_cast<uint32_t>(defaultValue)));
  }
  std::string ProfileString(const std::string& section, const std::string& entry) override {
    return profile_.GetProfileString(section, entry);
  }
  uint32_t ScreenSaveUsePassword() override {
    auto key = store::RegistryKey::Open(store_, store::Root::CurrentUser, kDesktopKey);
    if (!key) return 0;
    auto value = key->Read("ScreenSaveUsePassword");
    if (!value) return 0;
    uint32_t v = 0;
    for (size_t i = 0; i < value->data.size() && i < 4; ++i) {
      v |= static_cast<uint32_t>(static_cast<uint8_t>(value->data[i])) << (8 * i);
    }
    return v;
  }
  void Post(const ui::Message& message) override { display_.PostMessage(message); }
  bool AskPassword(const std::string& stored) override {
    PasswordDialog dialog(stored);
    ui::ModalOptions o;
    o.overlay = true;
    o.framed = true;
    o.x = std::max(0, (display_.Width() - dialog.FramedWidth()) / 2);
    o.y = std::max(0, (display_.Height() - dialog.FramedHeight()) / 2);
    o.input = input_;
    // Without a user nobody would ever answer: the script's end is a Cancel.
    o.endWhenInputDone = !display_.HasWindow();
    o.deadline = deadline_;
    o.foreign = [](const ui::Message& m) {
      return m.message == WM_APP_END_SHOW || m.message == ui::WM_QUIT;
    };
    o.warn = [](const std::string& w) {
      std::fprintf(stderr, "sceneplayer: %s\n", sys::EscapeControls(w).c_str());
    };
    return ui::RunModalDialog(dialog, display_, o) == ui::IDOK;
  }
  void SetInput(ui::InputPlayer* input,
                std::optional<std::chrono::steady_clock::time_point> deadline) {
    input_ = input;
    deadline_ = deadline;
  }
  void ShowArrowCursor(bool arrow) override {
    display_.SetCursor(arrow ? ui::kArrowCursor : ui::kBlankCursor);
    display_.ShowCursor(arrow);
  }
  void CursorPosition(int32_t& x, int32_t& y) override {
    x = lastX_;
    y = lastY_;
  }
  void DestroyWindow() override {
    if (window_) window_->HandleMessage({ui::WM_DESTROY, 0, 0, 0});
  }
  void WindowDestroyed() override {
    // Gone from the screen first: what the scene thread still draws nobody sees.
    display_.Hide();
    if (thread_) thread_->Stop();
  }
  void SetPendingUrl(const std::string& url) override { app_.pendingUrl = url; }
  void SetTransparentCursorArea(const gfx::Rect& area) override {
    display_.SetBlankCursorArea(area);
  }
  void EraseBackground(gfx::COLORREF color, uint32_t rasterOp) override {
    auto lock = display_.LockScreen();
    EraseWithBackground(lock.Canvas(), color, rasterOp);
  }
  void NoteMouse(const ui::Message& m) {
    if (m.message == ui::WM_MOUSEMOVE) {
      lastX_ = m.x;
      lastY_ = m.y;
    }
  }

 private:
  ui::Display& display_;
  store::Store& store_;
  store::Profile& profile_;
  SaverApp& app_;
  SaverWindow* window_ = nullptr;
  SceneThread* thread_ = nullptr;
  int32_t lastX_ = 0, lastY_ = 0;
  ui::InputPlayer* input_ = nullptr;
  std::optional<std::chrono::steady_clock::time_point> deadline_;
};

// Message boxes of the UI thread over a running show: drawn over it like the password
// dialog, since a window of their own could stay hidden behind the show's. Other threads'
// messages go to the fallback.
class OverlayMessagePresenter final : public ui::MessagePresenter {
 public:
  OverlayMessagePresenter(ui::Display& display, std::string caption, ui::MessagePresenter& fallback)
      : display_(display),
        caption_(std::move(caption)),
        fallback_(fallback),
        uiThread_(std::this_thread::get_id()) {}
  void SetInput(ui::InputPlayer* input,
                std::optional<std::chrono::steady_clock::time_point> deadline) {
    input_ = input;
    deadline_ = deadline;
  }
  void Show(const std::string& text, ui::MessageIcon icon) override {
    if (std::this_thread::get_id() != uiThread_) {
      fallback_.Show(text, icon);
      return;
    }
    ui::Dialog box(ui::MessageBoxTemplate(caption_, text, icon));
    ui::ModalOptions o;
    o.overlay = true;
    o.overlayLayer = 1;
    o.x = std::max(0, (display_.Width() - box.FramedWidth()) / 2);
    o.y = std::max(0, (display_.Height() - box.FramedHeight()) / 2);
    o.input = input_;
    o.deadline = deadline_;
    o.foreign = [](const ui::Message& m) {
      return m.message == WM_APP_END_SHOW || m.message == ui::WM_QUIT;
    };
    ui::RunModalDialog(box, display_, o);
  }

 private:
  ui::Display& display_;
  std::string caption_;
  ui::MessagePresenter& fallback_;
  std::thread::id uiThread_;
  ui::InputPlayer* input_ = nullptr;
  std::optional<std::chrono::steady_clock::time_point> deadline_;
};

std::unique_ptr<ui::Display> OpenDisplay(const Options& options, ui::DisplayMode wanted,
                                         uint64_t parent, const std::string& title) {
  ui::DisplayOptions d;
  d.title = title;
  d.mode = options.headless
               ? ui::DisplayMode::Headless
               : (options.window && wanted == ui::DisplayMode::FullScreen ? ui::DisplayMode::Window
                                                                          : wanted);
  if (options.width) d.width = *options.width;
  if (options.height) d.height = *options.height;
  d.parentWindow = parent;
  d.span = options.span;
  std::string error;
  if (d.mode != ui::DisplayMode::Headless && !ui::WindowSystemReachable(&error)) {
    std::fprintf(stderr, "sceneplayer: %s\n", error.c_str());
    return nullptr;
  }
  auto display = ui::Display::Create(d, &error);
  if (!display) std::fprintf(stderr, "sceneplayer: cannot open the display: %s\n", error.c_str());
  return display;
}

}  // namespace

std::string RegistryKeyName() { return res::LoadString(res::IDS_REGISTRY_KEY); }

SaverApp::SaverApp(std::string executablePath, SignalWatcher* signals)
    : executablePath_(std::move(executablePath)), signals_(signals) {}

SaverApp::~SaverApp() { ExitActions(); }

int SaverApp::Run(const Options& given) {
  // A render plays unseen, whatever else is asked: a window would take the drawn areas that
  // tell changed frames, and the desktop pictures must not depend on the machine's screen.
  Options options = given;
  if (options.framesDir || options.renderPath) options.headless = true;
  imaging::InitDecoder();
  store_ = store::Store::OpenDefault();
  if (options.setDesktop)
    return SetDesktopValue(options.setDesktop->first, options.setDesktop->second);
  if (options.seconds) {
    deadline_ = std::chrono::steady_clock::now() +
                std::chrono::milliseconds(static_cast<int64_t>(*options.seconds * 1000));
  }
  if (options.inputScript) {
    std::string error;
    auto script = ui::LoadInputScript(*options.inputScript, &error);
    if (!script) {
      std::fprintf(stderr, "sceneplayer: %s\n", sys::EscapeControls(error).c_str());
      return 2;
    }
    input_ =
        std::make_unique<ui::InputPlayer>(std::move(*script), std::chrono::steady_clock::now());
  }
  const ModeChoice choice = ChooseMode(options.rest);
  const bool hosted = options.windowId || options.root;
  MakeDesktopPictures(options, hosted ? RunMode::Show : choice.mode, hosted);
  // Only the show has work of its own to do meanwhile (loading the project).
  const bool show = hosted || choice.mode == RunMode::Show;
  if (!show) AwaitDesktopPictures();

  appName_ = shell::DisplayName(executablePath_);
  profile_ = std::make_unique<store::Profile>(*store_, RegistryKeyName(), appName_);

  // A screen-saver host runs its hacks with -root or -window-id and whatever switch: that
  // always means the show, on the host's window.
  if (options.windowId) return RunShow(options, *options.windowId);
  if (options.root) {
    const char* named = std::getenv("XSCREENSAVER_WINDOW");
    if (named == nullptr || *named == '\0') return RunShow(options, 0);
    auto id = ParseWindowId(named);
    if (!id) {
      std::fprintf(stderr, "sceneplayer: XSCREENSAVER_WINDOW is not a window id: '%s'\n", named);
      return 1;
    }
    return RunShow(options, *id);
  }

  switch (choice.mode) {
    case RunMode::Show:
      return RunShow(options, std::nullopt);
    case RunMode::Preview:
      return RunPreview(options, choice.handle);
    case RunMode::ConfigureNoOwner:
      return RunSettings(options, 0);
    case RunMode::Configure:
      // The foreground window of an X session is not ours to own a dialog: none.
      return RunSettings(options, 0);
    case RunMode::ChangePassword:
      return RunChangePassword(options, choice.handle);
    case RunMode::None:
      return 0;
  }
  return 0;
}

void SaverApp::MakeDesktopPictures(const Options& options, RunMode mode, bool hosted) {
  // The pictures are laid out for the screen the show will have, before any window of ours
  // exists (the desktop snapshot must not show it).
  ui::ScreenSize screen;
  if (options.width) screen.width = *options.width;
  if (options.height) screen.height = *options.height;
  const bool fullScreen = !hosted && !options.headless && !options.window &&
                          (mode == RunMode::Show || mode == RunMode::Preview);
  if (fullScreen) {
    if (auto desktop = ui::QueryDesktopSize()) screen = *desktop;
  }
  ui::SetScreenSize(screen);

  desktop::DesktopSources sources;
  sources.store = store_.get();
  if (!options.headless && !hosted) {
    // The snapshot is taken now, before any window of ours exists; it is written out with
    // the wallpaper while the show loads.
    auto shot = std::make_shared<std::optional<gfx::Surface>>(ui::GrabScreen());
    sources.grabScreen = [shot] { return std::move(*shot); };
  }
  // The exit actions know both names before the files exist, a signal's exit too.
  desktopPath = sys::TempFilePath("desktop.bmp");
  if (!desktopPath.empty()) sys::AdoptTempFile(desktopPath);
  wallpaperPath = sys::TempFilePath("wallpaper.bmp");
  if (!wallpaperPath.empty()) sys::AdoptTempFile(wallpaperPath);
  // Both are plain files on disk the show reads only when one of its pictures asks for them.
  auto make = [this, sources] {
    try {
      desktop::MakeDesktopFiles(desktopPath, wallpaperPath, wallpaperStyle, sources);
    } catch (const std::exception&) {
      // No pictures: a show that uses one shows nothing there, as with an unreadable file.
    }
  };
  try {
    desktopPictures_ = std::thread(make);
  } catch (const std::system_error&) {
    make();  // no thread to be had: now
  }
}

void SaverApp::AwaitDesktopPictures() {
  std::lock_guard lock(desktopPicturesMutex_);
  if (desktopPictures_.joinable()) desktopPictures_.join();
}

int SaverApp::RunShow(const Options& options, std::optional<uint64_t> hostWindow) {
  const bool recording = options.framesDir.has_value() || options.renderPath.has_value();
  std::unique_ptr<sys::Clock> clock;
  sys::VirtualClock* virtualClock = nullptr;
  if (recording) {
    auto v = std::make_unique<sys::VirtualClock>();
    virtualClock = v.get();
    clock = std::move(v);
  } else {
    clock = std::make_unique<sys::RealClock>();
  }
  // Items take time-seeded random values when they are made: in virtual time, so two
  // recordings of a show are the same.
  scene::SetSeedClock(virtualClock);
  struct SeedClockReset {
    ~SeedClockReset() { scene::SetSeedClock(nullptr); }
  } seedClockReset;
  // Decoded pictures the show keeps: the option, else the saver's setting (megabytes), else
  // what suits this machine. Pictures fitted to the screen keep only their fitted form for
  // the screen expected here (a screen found to be another size is coped with when shown).
  const uint32_t storedMb =
      profile_->GetProfileInt(res::LoadString(res::IDS_SECTION_SETTINGS), "PictureMemory", 0);
  const int64_t pictureMb = options.pictureMemoryMb.value_or(std::min<uint32_t>(storedMb, 4096));
  sceneList_.SetPictureMemory(pictureMb > 0 ? std::max<int64_t>(pictureMb, 16) << 20
                                            : scene::DefaultPictureMemory());
  // A host's window has a size of its own, asked of the window system now; when it cannot
  // be had, pictures keep their own size.
  std::optional<ui::ScreenSize> expected;
  if (hostWindow && !options.headless) expected = ui::QueryHostWindowSize(*hostWindow);
  if (!expected && (!hostWindow || options.width)) expected = ui::GetScreenSize();
  if (expected) {
    sceneList_.screenWidth = expected->width;
    sceneList_.screenHeight = expected->height;
  }
  LoadFailure failure;
  if (!LoadProjectArchive(options.archive, sceneList_, /*prepare=*/true, &failure)) {
    std::string line = "sceneplayer: cannot load the show: " + failure.what;
    if (failure.offset) line += " at byte " + std::to_string(*failure.offset);
    std::fprintf(stderr, "%s\n", sys::EscapeControls(line).c_str());
    return 1;
  }

  auto display = hostWindow ? OpenDisplay(options, ui::DisplayMode::Host, *hostWindow, appName_)
                            : OpenDisplay(options, ui::DisplayMode::FullScreen, 0, appName_);
  if (!display) return 1;
  ui::SetScreenSize({display->Width(), display->Height()});
  // The output is made before the show starts, so a path that cannot be written fails at once.
  std::unique_ptr<RenderSession> render;
  // A video render takes the show's mixed sound as its sound track.
  std::optional<TrackBuffer> videoSound;
  if (recording) {
    RenderRequest request;
    request.framesDir = options.framesDir;
    request.videoPath = options.renderPath;
    request.fps = options.fps.value_or(25);
    request.seconds = options.seconds;
    request.overwrite = options.overwrite;
    request.quiet = options.quiet;
    request.pngLevel = options.pngLevel.value_or(request.pngLevel);
    request.crf = options.crf.value_or(request.crf);
    std::string error;
    if (options.renderPath) videoSound.emplace();
    render = RenderSession::Open(request, display->Width(), display->Height(),
                                 videoSound ? &*videoSound : nullptr, &error);
    if (!render) {
      std::fprintf(stderr, "sceneplayer: %s\n", error.c_str());
      return 1;
    }
  }
  std::optional<ui::SdlMessagePresenter> presenter;
  std::optional<OverlayMessagePresenter> overlayPresenter;
  struct PresenterReset {
    ~PresenterReset() { ui::SetMessagePresenter(nullptr); }
  } presenterReset;
  if (display->HasWindow()) {
    presenter.emplace(appName_);
    overlayPresenter.emplace(*display, appName_, *presenter);
    overlayPresenter->SetInput(recording ? nullptr : input_.get(),
                               recording ? std::nullopt : deadline_);
    ui::SetMessagePresenter(&*overlayPresenter);
  }

  WindowHost host(*display, *store_, *profile_, *this);
  // Scripted input in virtual time would race the render: it drives real-time shows only.
  host.SetInput(recording ? nullptr : input_.get(), recording ? std::nullopt : deadline_);
  SaverWindow window(host);
  host.SetWindow(&window);
  window.OnCreate();
  // The pacing wait no longer counts polls, but the measurement stays cached for savers
  // that share the key. Frames in virtual time need no calibration.
  if (!recording) {
    RegistryCalibrationCache cache(*store_);
    calibration = Calibrate(cache, MachineText(), MeasurePollRate);
  }

  // The sound goes to the virtual-time device for frames, a null device that keeps real
  // time when headless, else to SDL audio (or the null device when there is no output).
  std::optional<audio::WavFileSink> audioFile;
  std::optional<audio::SoundTrack> track;
  if (options.audioOut) {
    std::string error;
    audioFile.emplace();
    if (!audioFile->Open(*options.audioOut, &error)) {
      std::fprintf(stderr, "sceneplayer: cannot write the sound file %s\n", error.c_str());
      return 1;
    }
  }
  audio::TrackSink* sink = audioFile ? &*audioFile : nullptr;
  if (videoSound) {
    videoSound->SetAlso(sink);
    sink = &*videoSound;
  }
  if (sink) track.emplace(*sink);
  audio::SoundTrack* trackPtr = track ? &*track : nullptr;
  std::unique_ptr<audio::AudioDevice> audioDevice;
  audio::VirtualAudioDevice* virtualAudio = nullptr;
  if (recording) {
    auto v = std::make_unique<audio::VirtualAudioDevice>(trackPtr);
    virtualAudio = v.get();
    audioDevice = std::move(v);
  } else if (!options.headless) {
    std::string error;
    audioDevice = audio::OpenSdlAudioDevice(*clock, trackPtr, &error);
  }
  if (!audioDevice) audioDevice = audio::OpenNullAudioDevice(*clock, trackPtr);
  const media::SoundQuality quality{
      options.fullQualitySound ||
      host.ProfileInt(res::LoadString(res::IDS_SECTION_SETTINGS), "FullQualitySound", 0) != 0};

  DisplayScreen screen(*display);
  auto profileInt = [&host](const std::string& s, const std::string& e, int32_t d) {
    return host.ProfileInt(s, e, d);
  };
  SceneThread thread(sceneList_, window, screen, *clock, profileInt);
  host.SetSceneThread(&thread);
  thread.SetPicturePaths(desktopPath, wallpaperPath, [this] { AwaitDesktopPictures(); });
  thread.SetAudio(audioDevice.get(), quality);
  thread.SetOnFinished([&] { display->PostMessage({WM_APP_SCENE_FINISHED, 0, 0, 0}); });

  if (recording) {
    virtualClock->SetObserver([&](auto from, auto to) {
      virtualAudio->OnAdvance(from, to);
      if (!render->OnAdvance(*display, from, to)) {
        thread.RequestStop();
        display->PostMessage({WM_APP_END_SHOW, 0, 0, 0});
      }
    });
  }

  if (signals_) {
    signals_->SetHandler([d = display.get()] { d->PostMessage({WM_APP_END_SHOW, 0, 0, 0}); });
  }

  thread.Start();

  // Real-time shows with --seconds end after that long, as a user exit would.
  std::optional<std::chrono::steady_clock::time_point> deadline;
  if (options.seconds && !recording) {
    deadline = std::chrono::steady_clock::now() +
               std::chrono::milliseconds(static_cast<int64_t>(*options.seconds * 1000));
  }
  if (SignalWatcher::Requested()) display->PostMessage({WM_APP_END_SHOW, 0, 0, 0});

  ui::InputPlayer* scripted = recording ? nullptr : input_.get();
  // The script's time starts with the show's.
  if (scripted) scripted->Start(std::chrono::steady_clock::now());
  while (!window.Destroyed()) {
    auto timeout = ui::Display::kInfinite;
    if (deadline) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          *deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) {
        window.HandleMessage({ui::WM_DESTROY, 0, 0, 0});
        break;
      }
      timeout = left + std::chrono::milliseconds(1);
    }
    ui::Message m;
    bool got = display->GetMessage(m, std::chrono::milliseconds(0));
    if (!got && scripted) {
      std::string warning;
      got = scripted->TakeNext(std::chrono::steady_clock::now(), nullptr, m, &warning);
      if (!warning.empty()) {
        std::fprintf(stderr, "sceneplayer: %s\n", sys::EscapeControls(warning).c_str());
      }
      if (!got && !warning.empty()) continue;
      if (!got) {
        if (auto due = scripted->NextDue()) {
          auto left =
              std::chrono::ceil<std::chrono::milliseconds>(*due - std::chrono::steady_clock::now());
          timeout = std::min(timeout, std::max(left, std::chrono::milliseconds(0)));
        }
      }
    }
    if (!got && !display->GetMessage(m, timeout)) continue;
    switch (m.message) {
      case WM_APP_END_SHOW:
        window.HandleMessage({ui::WM_DESTROY, 0, 0, 0});
        break;
      case WM_APP_SCENE_FINISHED:
        // The last picture stays until the user ends the saver; frames end with the list.
        if (recording) window.HandleMessage({ui::WM_DESTROY, 0, 0, 0});
        break;
      case ui::WM_QUIT:
        window.HandleMessage({ui::WM_DESTROY, 0, 0, 0});
        break;
      default:
        host.NoteMouse(m);
        window.HandleMessage(m);
        break;
    }
  }
  thread.Stop();
  if (track) {
    // The track ends with the show (the last frame, or --seconds).
    auto end = clock->Elapsed();
    if (options.seconds && recording) {
      end = std::min(end, std::chrono::nanoseconds(static_cast<int64_t>(*options.seconds * 1e9)));
    }
    if (virtualClock) virtualClock->SetObserver(nullptr);
    audioDevice.reset();
    track->PadTo(audio::TrackFrameAt(end));
    std::string error;
    if (audioFile && !audioFile->Close(&error)) {
      std::fprintf(stderr, "sceneplayer: %s %s\n", error.c_str(), options.audioOut->c_str());
    }
  }
  if (render) {
    virtualClock->SetObserver(nullptr);
    const int status =
        render->Finish(*display, virtualClock->Elapsed(), SignalWatcher::Requested());
    render.reset();
    if (signals_) signals_->SetHandler(nullptr);
    return status;
  }
  if (signals_) signals_->SetHandler(nullptr);
  return 0;
}

int SaverApp::RunPreview(const Options& options, uint64_t parent) {
  auto display = OpenDisplay(options, ui::DisplayMode::Embedded, parent, appName_);
  if (!display) return 1;
  {
    auto lock = display->LockScreen();
    gfx::Canvas& canvas = lock.Canvas();
    canvas.FillRect({0, 0, canvas.Width(), canvas.Height()}, 0);
    gfx::Surface logo = res::PreviewLogo();
    // The logo area is one pixel wider than the picture.
    canvas.BitBlt(0, 0, res::kPreviewLogoWidth + 1, res::kPreviewLogoHeight, logo, 0, 0,
                  gfx::SRCCOPY);
  }
  sys::RealClock clock;
  CaptionScroller scroller(*display, res::kPreviewLogoWidth + 1, appName_, clock);
  scroller.Start();
  bool quit = false;
  if (signals_)
    signals_->SetHandler([d = display.get()] { d->PostMessage({ui::WM_QUIT, 0, 0, 0}); });
  if (SignalWatcher::Requested()) quit = true;
  std::optional<std::chrono::steady_clock::time_point> deadline;
  if (options.seconds) {
    deadline = std::chrono::steady_clock::now() +
               std::chrono::milliseconds(static_cast<int64_t>(*options.seconds * 1000));
  }
  while (!quit) {
    auto timeout = ui::Display::kInfinite;
    if (deadline) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          *deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      timeout = left + std::chrono::milliseconds(1);
    }
    ui::Message m;
    if (!display->GetMessage(m, timeout)) continue;
    quit = m.message == ui::WM_CLOSE || m.message == ui::WM_QUIT;
  }
  scroller.Stop();
  if (signals_) signals_->SetHandler(nullptr);
  return 0;
}

int SaverApp::SetDesktopValue(const std::string& name, uint32_t value) {
  auto key = store::RegistryKey::Create(*store_, store::Root::CurrentUser, kDesktopKey);
  if (!key || !key->WriteDword(name, value)) {
    std::fprintf(stderr, "sceneplayer: cannot store %s in the settings\n", name.c_str());
    return 1;
  }
  return 0;
}

int SaverApp::RunDialog(ui::Dialog& dialog, const Options& options, uint64_t owner) {
  ui::DisplayOptions d;
  d.title = dialog.Caption();
  // Headless, the picture holds the frame and the caption; a window has the window
  // manager's own.
  d.mode = options.headless ? ui::DisplayMode::Headless : ui::DisplayMode::Window;
  d.width = options.headless ? dialog.FramedWidth() : dialog.ClientWidth();
  d.height = options.headless ? dialog.FramedHeight() : dialog.ClientHeight();
  d.ownerWindow = owner;
  d.fixedSize = true;
  std::string error;
  if (!options.headless && !ui::WindowSystemReachable(&error)) {
    std::fprintf(stderr, "sceneplayer: %s\n", error.c_str());
    return 0;
  }
  auto display = ui::Display::Create(d, &error);
  if (!display) {
    std::fprintf(stderr, "sceneplayer: cannot open the display: %s\n", error.c_str());
    return 0;
  }
  // A message box of its own waits for a user; a script cannot answer it (and it would
  // hold a run past --seconds), so scripted runs say their messages on stderr.
  std::optional<ui::SdlMessagePresenter> presenter;
  if (display->HasWindow() && !input_) {
    presenter.emplace(appName_);
    ui::SetMessagePresenter(&*presenter);
  }
  struct PresenterReset {
    ~PresenterReset() { ui::SetMessagePresenter(nullptr); }
  } presenterReset;
  ui::ModalOptions o;
  o.framed = options.headless;
  o.input = input_.get();
  o.endWhenInputDone = options.headless;
  o.deadline = deadline_;
  o.foreign = [](const ui::Message& m) { return m.message == ui::WM_QUIT; };
  o.warn = [](const std::string& w) {
    std::fprintf(stderr, "sceneplayer: %s\n", sys::EscapeControls(w).c_str());
  };
  if (dialogFrames_) {
    o.onFrame = [this](const gfx::Surface& screen) {
      dialogFrames_->Add(dialogFrameCount_++, std::make_shared<const gfx::Surface>(screen));
    };
  }
  if (signals_)
    signals_->SetHandler([p = display.get()] { p->PostMessage({ui::WM_QUIT, 0, 0, 0}); });
  if (SignalWatcher::Requested()) display->PostMessage({ui::WM_QUIT, 0, 0, 0});
  const int result = ui::RunModalDialog(dialog, *display, o);
  if (signals_) signals_->SetHandler(nullptr);
  return result;
}

namespace {
// Frames of the dialog modes go to the --frames folder; false when it cannot be used.
bool OpenDialogFrames(const Options& options, std::unique_ptr<PngFrameFolder>& out) {
  if (!options.framesDir) return true;
  std::string error;
  out = PngFrameFolder::Open(*options.framesDir, options.overwrite, options.pngLevel.value_or(6), 1,
                             &error);
  if (!out) std::fprintf(stderr, "sceneplayer: %s\n", error.c_str());
  return out != nullptr;
}

int FinishDialogFrames(std::unique_ptr<PngFrameFolder>& frames) {
  if (!frames) return 0;
  std::string error;
  const bool ok = frames->Finish(&error);
  if (!ok) std::fprintf(stderr, "sceneplayer: %s\n", error.c_str());
  frames.reset();
  return ok ? 0 : 1;
}
}  // namespace

int SaverApp::RunSettings(const Options& options, uint64_t owner) {
  if (!OpenDialogFrames(options, dialogFrames_)) return 1;
  SettingsDialog dialog(*profile_);
  RunDialog(dialog, options, owner);
  return FinishDialogFrames(dialogFrames_);
}

int SaverApp::RunChangePassword(const Options& options, uint64_t owner) {
  if (!OpenDialogFrames(options, dialogFrames_)) return 1;
  const std::string stored = profile_->GetProfileString(kPasswordSection, kPasswordEntry);
  bool allowed = stored.empty();
  if (!allowed) {
    PasswordDialog ask(stored);
    allowed = RunDialog(ask, options, owner) == ui::IDOK;
  }
  if (allowed) {
    NewPasswordDialog change(*profile_);
    RunDialog(change, options, owner);
  }
  return FinishDialogFrames(dialogFrames_);
}

void SaverApp::ExitActions() {
  if (exitActionsDone_) return;
  exitActionsDone_ = true;
  AwaitDesktopPictures();
  sceneList_.Clear();
  // Both live in the process's own folder: whatever is there, the process made.
  if (!desktopPath.empty()) sys::RemoveFile(desktopPath);
  if (!wallpaperPath.empty()) sys::RemoveFile(wallpaperPath);
  sys::RemoveOwnTempFiles();
  // This platform is class 0: the address goes to the desktop's opener, not waited for.
  // Only web and mail addresses are opened; anything else from an archive is refused.
  if (!pendingUrl.empty() && shell::GetPlatformClass() == 0) {
    if (!shell::OpenUrl(pendingUrl)) {
      std::fprintf(stderr, "sceneplayer: not opening the link address %s\n",
                   sys::EscapeControls(pendingUrl).c_str());
    }
  }
}

}  // namespace app
