#pragma once
// The application: decides the run mode from the command line, prepares what every mode
// shares, runs the mode, and on the way out removes its temporary files and opens the web
// address that the show's link left behind.

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "app/command_line.h"
#include "scene/scene_list.h"

namespace store {
class Store;
class Profile;
}  // namespace store

namespace ui {
class Dialog;
class InputPlayer;
}  // namespace ui

namespace app {

class SignalWatcher;
class PngFrameFolder;

// Private messages of the saver's message loop (WM_APP and above).
inline constexpr uint32_t WM_APP_SCENE_FINISHED = 0x8001;
inline constexpr uint32_t WM_APP_END_SHOW = 0x8002;  // end as a user exit would, no password

class SaverApp {
 public:
  // executablePath: this program's own file (used for the display name).
  SaverApp(std::string executablePath, SignalWatcher* signals);
  ~SaverApp();
  SaverApp(const SaverApp&) = delete;
  SaverApp& operator=(const SaverApp&) = delete;

  // Runs the startup sequence and the mode; returns the process exit status. The exit
  // actions run in the destructor.
  int Run(const Options& options);

  const std::string& ApplicationName() const { return appName_; }
  const std::string& PendingUrl() const { return pendingUrl; }

  // Fields the other parts of the player use.
  std::string pendingUrl;
  uint32_t calibration = 0;
  std::string desktopPath;
  std::string wallpaperPath;
  int32_t wallpaperStyle = 0;

 private:
  // Takes the desktop snapshot and starts writing it and the wallpaper picture (startup,
  // every mode). A host's window is not ours: no snapshot of the screen is taken for it.
  void MakeDesktopPictures(const Options& options, RunMode mode, bool hosted);
  // Waits until both pictures are written: before a picture of the show reads them and
  // before the exit actions remove them. Any thread.
  void AwaitDesktopPictures();
  // hostWindow: play on a window a screen-saver host gave us (0: the root window).
  int RunShow(const Options& options, std::optional<uint64_t> hostWindow);
  int RunPreview(const Options& options, uint64_t parent);
  // Configure mode: the settings dialog. owner: the window it belongs to (0: none).
  int RunSettings(const Options& options, uint64_t owner);
  // Change-password mode: the stored password first, then the new one.
  int RunChangePassword(const Options& options, uint64_t owner);
  // Runs one dialog of the configure or change-password modes in a window of its own, or
  // headless; returns its result (0 when no display could be opened).
  int RunDialog(ui::Dialog& dialog, const Options& options, uint64_t owner);
  // Stores a value of HKEY_CURRENT_USER\Control Panel\Desktop (--set-desktop).
  int SetDesktopValue(const std::string& name, uint32_t value);
  void ExitActions();

  std::string executablePath_;
  SignalWatcher* signals_;
  std::string appName_;
  std::unique_ptr<store::Store> store_;
  std::unique_ptr<store::Profile> profile_;
  scene::SceneList sceneList_;
  bool exitActionsDone_ = false;
  // --input, played into the dialogs and the show; --frames of the dialog modes.
  std::unique_ptr<ui::InputPlayer> input_;
  std::unique_ptr<PngFrameFolder> dialogFrames_;
  int64_t dialogFrameCount_ = 0;
  std::optional<std::chrono::steady_clock::time_point> deadline_;
  // Writes the desktop pictures while the show loads and starts.
  std::thread desktopPictures_;
  std::mutex desktopPicturesMutex_;
};

// The registry key of every profile path: "Quillmoor\Screen Saver".
std::string RegistryKeyName();

}  // namespace app
