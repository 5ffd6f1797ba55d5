#pragma once
// The application: decides the run mode from the command line, prepares what every mode
// shares, runs the mode, and on the way out removes its temporary files and opens the web
// address that the show's link left behind.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/command_line.h"
#include "scene/scene_list.h"

namespace store {
class Store;
class Profile;
}  // namespace store

namespace app {

class SignalWatcher;

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
  // Writes the desktop snapshot and the wallpaper picture (startup, every mode). A host's
  // window is not ours: no snapshot of the screen is taken for it.
  void MakeDesktopPictures(const Options& options, RunMode mode, bool hosted);
  // hostWindow: play on a window a screen-saver host gave us (0: the root window).
  int RunShow(const Options& options, std::optional<uint64_t> hostWindow);
  int RunPreview(const Options& options, uint64_t parent);
  void ExitActions();

  std::string executablePath_;
  SignalWatcher* signals_;
  std::string appName_;
  std::unique_ptr<store::Store> store_;
  std::unique_ptr<store::Profile> profile_;
  scene::SceneList sceneList_;
  bool exitActionsDone_ = false;
};

// The registry key of every profile path: "Quillmoor\Screen Saver".
std::string RegistryKeyName();

}  // namespace app
