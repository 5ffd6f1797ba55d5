// The dialog engine: units to pixels, the dialog manager's keyboard and mouse, edit
// controls, and what the painting puts where.
#include "platform/ui/dialog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using ui::ControlKind;
using ui::DialogItem;

TEST(DialogUnits, MulDivRoundsHalfAwayFromZero) {
  struct Case {
    int a, b, c, want;
  } cases[] = {
      {79, 6, 4, 119},  // 118.5
      {119, 13, 8, 193}, {14, 13, 8, 23}, {50, 6, 4, 75}, {-79, 6, 4, -119},
      {1, 1, 2, 1},      {-1, 1, 2, -1},  {7, 3, 0, -1},  {0, 5, 3, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ui::MulDiv(c.a, c.b, c.c), c.want) << c.a << "*" << c.b << "/" << c.c;
}

TEST(DialogUnits, ControlsConvertPositionAndSizeOneByOne) {
  // The classic 8-point dialog font has base units 6 x 13: a 50 x 14 button is 75 x 23.
  const ui::BaseUnits units{6, 13};
  EXPECT_EQ(ui::DialogUnitsToPixels(79, 119, 50, 14, units), (gfx::Rect{119, 193, 194, 216}));
  // Right edge from the converted width, not from converting x + cx (which gives 195).
  EXPECT_EQ(ui::DialogUnitsToPixels(79, 0, 51, 8, units).right, 119 + 77);
  EXPECT_EQ(ui::DialogUnitsToPixels(7, 114, 122, 1, units), (gfx::Rect{11, 185, 194, 187}));
}

ui::DialogTemplate TestTemplate() {
  ui::DialogTemplate t;
  t.caption = "Test";
  t.cx = 200;
  t.cy = 100;
  t.fontFace = "MS Sans Serif";
  t.style = ui::WS_CAPTION | ui::WS_SYSMENU;
  const uint32_t tab = ui::WS_TABSTOP;
  t.items = {
      DialogItem{ui::IDC_STATIC, ControlKind::Static, "&Name", 5, 5, 40, 8, 0},
      DialogItem{10, ControlKind::Edit, "", 5, 15, 60, 13,
                 tab | ui::WS_BORDER | ui::ES_AUTOHSCROLL},
      DialogItem{20, ControlKind::AutoCheckBox, "&Loud", 5, 32, 60, 10, tab},
      DialogItem{30, ControlKind::AutoRadioButton, "&Red", 5, 45, 60, 10, tab | ui::WS_GROUP},
      DialogItem{31, ControlKind::AutoRadioButton, "&Green", 5, 56, 60, 10, 0},
      DialogItem{32, ControlKind::AutoRadioButton, "Bl&ue", 5, 67, 60, 10, 0},
      DialogItem{ui::IDOK, ControlKind::DefPushButton, "OK", 140, 5, 50, 14, tab | ui::WS_GROUP},
      DialogItem{ui::IDCANCEL, ControlKind::PushButton, "Cancel", 140, 22, 50, 14, tab},
  };
  return t;
}

class TestDialog : public ui::Dialog {
 public:
  TestDialog() : ui::Dialog(TestTemplate()) {}
  std::vector<int> commands;

 protected:
  void OnInitDialog() override { CheckRadioButton(30, 32, 31); }
  void OnCommand(int id) override { commands.push_back(id); }
};

ui::Message Key(uint32_t vk, uint32_t state = 0) { return {ui::WM_KEYDOWN, vk, 0, 0, state}; }
ui::Message KeyUp(uint32_t vk) { return {ui::WM_KEYUP, vk, 0, 0, 0}; }
void Type(ui::Dialog& d, const std::string& s) {
  for (unsigned char c : s) d.HandleMessage({ui::WM_CHAR, c, 0, 0, 0});
}
void ClickAt(ui::Dialog& d, int x, int y) {
  d.HandleMessage({ui::WM_LBUTTONDOWN, ui::MK_LBUTTON, x, y, 0});
  d.HandleMessage({ui::WM_LBUTTONUP, 0, x, y, 0});
}
void Click(ui::Dialog& d, int id) {
  const gfx::Rect r = d.ControlRect(id);
  ClickAt(d, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

TEST(Dialog, TabWalksTheTabStopsAndEntersARadioGroupAtItsCheckedButton) {
  TestDialog d;
  d.Init();
  EXPECT_EQ(d.FocusId(), 10);  // the first tab stop
  const int forward[] = {20, 31, ui::IDOK, ui::IDCANCEL, 10};
  for (int want : forward) {
    d.HandleMessage(Key(ui::VK_TAB));
    EXPECT_EQ(d.FocusId(), want);
  }
  const int backward[] = {ui::IDCANCEL, ui::IDOK, 31, 20, 10};
  for (int want : backward) {
    d.HandleMessage(Key(ui::VK_TAB, ui::KS_SHIFT));
    EXPECT_EQ(d.FocusId(), want);
  }
  // A disabled control is passed over.
  d.EnableControl(20, false);
  d.HandleMessage(Key(ui::VK_TAB));
  EXPECT_EQ(d.FocusId(), 31);
}

TEST(Dialog, ArrowsMoveAndCheckWithinTheRadioGroupOnly) {
  TestDialog d;
  d.Init();
  d.GotoDlgCtrl(31);
  d.HandleMessage(Key(ui::VK_DOWN));
  EXPECT_EQ(d.FocusId(), 32);
  EXPECT_TRUE(d.IsChecked(32));
  EXPECT_FALSE(d.IsChecked(31));
  d.HandleMessage(Key(ui::VK_DOWN));  // wraps inside the group, not onto OK
  EXPECT_EQ(d.FocusId(), 30);
  EXPECT_TRUE(d.IsChecked(30));
  d.HandleMessage(Key(ui::VK_UP));
  EXPECT_EQ(d.FocusId(), 32);
  EXPECT_EQ(d.commands, (std::vector<int>{32, 30, 32}));
}

TEST(Dialog, SpaceMnemonicsEnterAndEscape) {
  {
    TestDialog d;
    d.Init();
    d.GotoDlgCtrl(20);
    d.HandleMessage(Key(ui::VK_SPACE));
    EXPECT_FALSE(d.IsChecked(20));  // a press clicks when the key comes up
    d.HandleMessage(KeyUp(ui::VK_SPACE));
    EXPECT_TRUE(d.IsChecked(20));
    // Alt+letter: the check box toggles, the radio button is chosen.
    d.HandleMessage({ui::WM_SYSKEYDOWN, 'L', 0, 0, ui::KS_ALT});
    EXPECT_FALSE(d.IsChecked(20));
    d.HandleMessage({ui::WM_SYSKEYDOWN, 'U', 0, 0, ui::KS_ALT});
    EXPECT_TRUE(d.IsChecked(32));
    EXPECT_EQ(d.FocusId(), 32);
    // A label's mnemonic hands the focus to the control after it.
    d.HandleMessage({ui::WM_SYSKEYDOWN, 'N', 0, 0, ui::KS_ALT});
    EXPECT_EQ(d.FocusId(), 10);
    // In an edit a plain letter is text, not a mnemonic.
    Type(d, "r");
    EXPECT_EQ(d.GetDlgItemText(10), "r");
    EXPECT_TRUE(d.IsChecked(32));
    d.HandleMessage(Key(ui::VK_RETURN));
    EXPECT_TRUE(d.Ended());
    EXPECT_EQ(d.Result(), ui::IDOK);
  }
  {
    TestDialog d;
    d.Init();
    d.HandleMessage(Key(ui::VK_ESCAPE));
    EXPECT_EQ(d.Result(), ui::IDCANCEL);
  }
  {
    // Enter on a focused push button presses that button, not the default one.
    TestDialog d;
    d.Init();
    d.GotoDlgCtrl(ui::IDCANCEL);
    d.HandleMessage(Key(ui::VK_RETURN));
    EXPECT_EQ(d.Result(), ui::IDCANCEL);
  }
}

TEST(Dialog, MouseClicksActOnReleaseInsideTheControl) {
  TestDialog d;
  d.Init();
  Click(d, 20);
  EXPECT_TRUE(d.IsChecked(20));
  EXPECT_EQ(d.FocusId(), 20);
  // Pressed, dragged off and released: nothing happens.
  const gfx::Rect r = d.ControlRect(20);
  d.HandleMessage({ui::WM_LBUTTONDOWN, ui::MK_LBUTTON, r.left + 2, r.top + 2, 0});
  d.HandleMessage({ui::WM_MOUSEMOVE, ui::MK_LBUTTON, r.right + 30, r.top + 2, 0});
  d.HandleMessage({ui::WM_LBUTTONUP, 0, r.right + 30, r.top + 2, 0});
  EXPECT_TRUE(d.IsChecked(20));
  // Disabled controls and empty space take no clicks.
  d.EnableControl(20, false);
  Click(d, 20);
  EXPECT_TRUE(d.IsChecked(20));
  ClickAt(d, 1, d.ClientHeight() - 1);
  Click(d, ui::IDCANCEL);
  EXPECT_EQ(d.Result(), ui::IDCANCEL);
}

TEST(Dialog, EditTypesSelectsDeletesAndKeepsTheCaretInView) {
  TestDialog d;
  d.Init();
  ASSERT_EQ(d.FocusId(), 10);
  Type(d, "hello");
  d.HandleMessage(Key(ui::VK_LEFT, ui::KS_SHIFT));
  d.HandleMessage(Key(ui::VK_LEFT, ui::KS_SHIFT));
  EXPECT_EQ(d.EditCaret(10), 3u);
  EXPECT_EQ(d.EditAnchor(10), 5u);
  Type(d, "p!");  // replaces the selection
  EXPECT_EQ(d.GetDlgItemText(10), "help!");
  d.HandleMessage(Key(ui::VK_HOME));
  d.HandleMessage(Key(ui::VK_DELETE));
  d.HandleMessage(Key(ui::VK_END));
  d.HandleMessage(Key(ui::VK_BACK));
  EXPECT_EQ(d.GetDlgItemText(10), "elp");
  // Control characters are not text.
  d.HandleMessage({ui::WM_CHAR, '\t', 0, 0, 0});
  EXPECT_EQ(d.GetDlgItemText(10), "elp");

  // A long text scrolls: the caret stays inside the box, and Home brings the start back.
  Type(d, std::string(200, 'W'));
  EXPECT_GT(d.EditFirstVisible(10), 0u);
  EXPECT_EQ(d.EditCaret(10), 203u);
  d.HandleMessage(Key(ui::VK_HOME));
  EXPECT_EQ(d.EditFirstVisible(10), 0u);
  // Tabbing in selects everything, so typing replaces it.
  d.HandleMessage(Key(ui::VK_TAB));
  d.HandleMessage(Key(ui::VK_TAB, ui::KS_SHIFT));
  Type(d, "x");
  EXPECT_EQ(d.GetDlgItemText(10), "x");
  // Nothing beyond the hard limit is taken.
  Type(d, std::string(40000, 'a'));
  EXPECT_EQ(d.GetDlgItemText(10).size(), 32767u);
}

uint32_t Px(const gfx::Surface& s, int x, int y) { return s.At(x, y) & 0xFFFFFF; }

TEST(Dialog, PaintsTheClassicLook) {
  TestDialog d;
  d.Init();
  d.CheckDlgButton(20, true);
  ASSERT_GT(d.Units().x, 3);
  ASSERT_GT(d.Units().y, 8);
  gfx::Surface s(d.FramedWidth() + 10, d.FramedHeight() + 10, 0x123456);
  gfx::Canvas dc(s);
  d.PaintFramed(dc, 5, 5);
  const int cx = 5 + ui::kDialogFrame, cy = 5 + ui::kDialogFrame + ui::kDialogCaption;
  EXPECT_EQ(Px(s, 0, 0), 0x123456u);  // nothing outside the frame
  EXPECT_EQ(Px(s, cx + d.ClientWidth() - 1, cy + d.ClientHeight() - 1), 0xC0C0C0u);
  EXPECT_EQ(Px(s, 5 + 20, 5 + ui::kDialogFrame + 1), 0x000080u);  // caption bar
  // The default button has a black outer frame; the edit a grey then black sunken edge.
  const gfx::Rect ok = d.ControlRect(ui::IDOK);
  EXPECT_EQ(Px(s, cx + ok.left, cy + ok.top), 0u);
  EXPECT_EQ(Px(s, cx + ok.right - 1, cy + ok.bottom - 1), 0u);
  const gfx::Rect e = d.ControlRect(10);
  EXPECT_EQ(Px(s, cx + e.left, cy + e.top), 0x808080u);
  EXPECT_EQ(Px(s, cx + e.left + 1, cy + e.top + 1), 0u);
  EXPECT_EQ(Px(s, cx + e.left + 1, cy + e.bottom - 1), 0xFFFFFFu);
  // A checked box shows black pixels in its white square; an unchecked one none.
  auto blackInBox = [&](int id) {
    const gfx::Rect r = d.ControlRect(id);
    const int by = cy + r.top + (r.Height() - 13) / 2;
    int n = 0;
    for (int y = by + 2; y < by + 11; ++y)
      for (int x = cx + r.left + 2; x < cx + r.left + 11; ++x) n += Px(s, x, y) == 0;
    return n;
  };
  EXPECT_GT(blackInBox(20), 10);
  d.CheckDlgButton(20, false);
  d.PaintFramed(dc, 5, 5);
  EXPECT_EQ(blackInBox(20), 0);
  // Focus in the edit: a caret, one pixel wide, in text colour.
  const gfx::Rect in{cx + e.left + 2, cy + e.top + 2, cx + e.right - 2, cy + e.bottom - 2};
  int dark = 0;
  for (int y = in.top; y < in.bottom; ++y)
    for (int x = in.left; x < in.right; ++x) dark += Px(s, x, y) == 0;
  EXPECT_GT(dark, 4);
  EXPECT_LE(dark, in.Height());
}

TEST(Dialog, RevisionChangesWithWhatIsShown) {
  TestDialog d;
  d.Init();
  const uint64_t before = d.Revision();
  d.HandleMessage({ui::WM_MOUSEMOVE, 0, 1, 1, 0});
  EXPECT_EQ(d.Revision(), before);
  Type(d, "a");
  EXPECT_NE(d.Revision(), before);
}

}  // namespace
