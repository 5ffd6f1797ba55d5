// Modal dialogs on a display: overlays over the screen, scripted input, message boxes over
// a dialog, and every way a dialog ends.
#include "platform/ui/modal_loop.h"

#include <gtest/gtest.h>

#include "platform/ui/message_dialog.h"

namespace ui {
namespace {

std::unique_ptr<Display> Headless(int w, int h) {
  DisplayOptions o;
  o.mode = DisplayMode::Headless;
  o.width = w;
  o.height = h;
  std::string error;
  auto d = Display::Create(o, &error);
  EXPECT_TRUE(d) << error;
  return d;
}

uint32_t Px(const gfx::Surface& s, int x, int y) { return s.At(x, y) & 0xFFFFFF; }

TEST(DisplayOverlay, LiesOverTheScreenByLayerUntilCleared) {
  auto d = Headless(40, 30);
  {
    auto lock = d->LockScreen();
    lock.Canvas().FillRect({0, 0, 40, 30}, gfx::RGB(0, 0, 255));
  }
  d->TakeDirty();
  gfx::Surface red(10, 10, gfx::MakePixel(255, 0, 0)), green(4, 4, gfx::MakePixel(0, 255, 0));
  d->SetOverlay(green, 12, 12, 1);
  d->SetOverlay(red, 5, 5, 0);
  EXPECT_EQ(d->PeekDirty(), (gfx::Rect{5, 5, 16, 16}));
  gfx::Surface s = d->ComposedScreen();
  EXPECT_EQ(Px(s, 4, 4), 0x0000FFu);
  EXPECT_EQ(Px(s, 5, 5), 0xFF0000u);
  EXPECT_EQ(Px(s, 13, 13), 0x00FF00u);  // the higher layer wins where they meet
  EXPECT_EQ(Px(s, 15, 15), 0x00FF00u);
  // The screen itself is untouched: what the show draws goes below.
  {
    auto lock = d->LockScreen();
    EXPECT_EQ(lock.Surface().At(6, 6) & 0xFFFFFF, 0x0000FFu);
  }
  d->ClearOverlay(0);
  s = d->ComposedScreen();
  EXPECT_EQ(Px(s, 6, 6), 0x0000FFu);
  EXPECT_EQ(Px(s, 13, 13), 0x00FF00u);
  d->ClearOverlay(1);
  d->ClearOverlay(7);  // none there: nothing happens
  EXPECT_EQ(Px(d->ComposedScreen(), 13, 13), 0x0000FFu);
  // Partly off the screen: the dirty area stays on it.
  d->TakeDirty();
  d->SetOverlay(red, 35, -5);
  EXPECT_EQ(d->PeekDirty(), (gfx::Rect{35, 0, 40, 5}));
}

DialogTemplate Small() {
  DialogTemplate t;
  t.caption = "Ask";
  t.cx = 120;
  t.cy = 40;
  t.fontFace = "MS Sans Serif";
  t.items = {
      DialogItem{10, ControlKind::Edit, "", 5, 5, 60, 13, WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL},
      DialogItem{IDOK, ControlKind::DefPushButton, "OK", 70, 5, 40, 14, WS_TABSTOP},
      DialogItem{IDCANCEL, ControlKind::PushButton, "Cancel", 70, 22, 40, 14, WS_TABSTOP},
  };
  return t;
}

// A dialog that shows a message box over itself when OK finds its edit empty.
class Nagging : public Dialog {
 public:
  Nagging(Display& d, InputPlayer* input) : Dialog(Small()), display_(d), input_(input) {}
  int boxes = 0;
  std::vector<gfx::Surface> seenUnderBox;

 protected:
  void OnOK() override {
    if (!GetDlgItemText(10).empty()) {
      EndDialog(IDOK);
      return;
    }
    SetDlgItemText(10, "");
    ++boxes;
    Dialog box(MessageBoxTemplate("Nag", "Type something & press OK.", MessageIcon::Exclamation));
    ModalOptions o;
    o.overlay = true;
    o.overlayLayer = 1;
    o.x = 200;
    o.y = 150;
    o.input = input_;
    o.endWhenInputDone = true;
    o.onFrame = [this](const gfx::Surface& s) { seenUnderBox.push_back(s); };
    RunModalDialog(box, display_, o);
  }

 private:
  Display& display_;
  InputPlayer* input_;
};

std::unique_ptr<InputPlayer> Script(const std::string& text) {
  std::string error;
  auto s = ParseInputScript(text, &error);
  EXPECT_TRUE(s) << error;
  return std::make_unique<InputPlayer>(std::move(*s));
}

TEST(ModalLoop, ScriptedInputDrivesTheDialogAndItsMessageBoxes) {
  auto d = Headless(400, 300);
  auto input = Script("key Enter\nkey Enter\ntext typed\nclick 1\n");
  Nagging dialog(*d, input.get());
  ModalOptions o;
  o.x = 20;
  o.y = 30;
  o.overlay = true;
  o.input = input.get();
  o.endWhenInputDone = true;
  int frames = 0;
  o.onFrame = [&](const gfx::Surface&) { ++frames; };
  EXPECT_EQ(RunModalDialog(dialog, *d, o), IDOK);
  EXPECT_EQ(dialog.boxes, 1);
  EXPECT_EQ(dialog.GetDlgItemText(10), "typed");
  EXPECT_GE(frames, 6);  // the first picture, each letter, the press of OK
  // Both overlays are gone once their dialogs ended.
  EXPECT_EQ(Px(d->ComposedScreen(), 25, 35), 0u);
  ASSERT_FALSE(dialog.seenUnderBox.empty());
  // Under the box, the dialog shows at its place in the classic grey.
  EXPECT_EQ(Px(dialog.seenUnderBox.front(), 20 + kDialogFrame + 1,
               30 + kDialogFrame + kDialogCaption + 1),
            0xC0C0C0u);
}

TEST(ModalLoop, EndsAsCancelWhenNobodyAnswersOrTimeIsUp) {
  auto d = Headless(300, 200);
  {
    Dialog dialog(Small());
    ModalOptions o;
    o.endWhenInputDone = true;
    EXPECT_EQ(RunModalDialog(dialog, *d, o), IDCANCEL);
  }
  {
    // A script that waits an hour does not hold a run with a deadline.
    auto input = Script("wait 3600\nkey Enter\n");
    Dialog dialog(Small());
    ModalOptions o;
    o.input = input.get();
    o.deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunModalDialog(dialog, *d, o), IDCANCEL);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  }
  {
    // A message for the program around the dialog ends it when asked to and is kept.
    Dialog dialog(Small());
    ModalOptions o;
    o.foreign = [](const Message& m) { return m.message == 0x8002; };
    d->PostMessage({0x8001, 1, 0, 0});
    d->PostMessage({0x8002, 2, 0, 0});
    EXPECT_EQ(RunModalDialog(dialog, *d, o), IDCANCEL);
    Message m;
    ASSERT_TRUE(d->GetMessage(m, std::chrono::milliseconds(0)));
    EXPECT_EQ(m.message, 0x8001u);
    ASSERT_TRUE(d->GetMessage(m, std::chrono::milliseconds(0)));
    EXPECT_EQ(m.message, 0x8002u);
  }
  {
    // Clicks arrive in screen coordinates: the frame and caption are taken off.
    auto input = Script("click 77\nclick 1\n");
    Dialog dialog(Small());
    ModalOptions o;
    o.x = 50;
    o.y = 40;
    o.input = input.get();
    std::string warned;
    o.warn = [&](const std::string& w) { warned = w; };
    EXPECT_EQ(RunModalDialog(dialog, *d, o), IDOK);
    EXPECT_NE(warned.find("no control 77"), std::string::npos) << warned;
  }
}

TEST(MessageBoxTemplate, FitsItsTextAndCentresItsButton) {
  for (const char* text : {"Short.", "The new and confirmed passwords do not match.",
                           "Two\r\nlines, the second one longer than the first"}) {
    for (MessageIcon icon : {MessageIcon::None, MessageIcon::Information, MessageIcon::Stop}) {
      const DialogTemplate t = MessageBoxTemplate("Caption", text, icon);
      Dialog d(t);
      const gfx::Rect ok = d.ControlRect(IDOK);
      EXPECT_NEAR(ok.left + ok.right, d.ClientWidth(), 2) << text;
      int bottom = 0;
      for (const DialogItem& item : t.items) {
        if (item.id == IDOK) continue;
        const gfx::Rect r = DialogUnitsToPixels(item.x, item.y, item.cx, item.cy, d.Units());
        EXPECT_LE(r.right, d.ClientWidth()) << text;
        EXPECT_LT(r.bottom, ok.top) << text;
        bottom = std::max(bottom, r.bottom);
      }
      EXPECT_LE(ok.bottom, d.ClientHeight());
      // One static per line, each wide enough for its text.
      const size_t statics = static_cast<size_t>(
          std::count_if(t.items.begin(), t.items.end(),
                        [](const DialogItem& i) { return i.kind == ControlKind::Static; }));
      EXPECT_EQ(statics, std::string(text).find('\n') == std::string::npos ? 1u : 2u);
      d.Init();
      EXPECT_EQ(d.FocusId(), IDOK);
    }
  }
}

}  // namespace
}  // namespace ui
