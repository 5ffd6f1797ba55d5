#pragma once
// The exit settings: standard or custom, which input ends the saver, and mute.

#include "platform/ui/dialog.h"

namespace store {
class Profile;
}

namespace app {

class SettingsDialog final : public ui::Dialog {
 public:
  explicit SettingsDialog(store::Profile& profile);

 private:
  void OnInitDialog() override;
  void OnOK() override;
  void OnCommand(int id) override;
  void EnableExitBoxes(bool enabled);

  store::Profile& profile_;
};

}  // namespace app
