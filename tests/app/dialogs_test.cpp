// The settings and password dialogs: their templates laid out in pixels, what they store,
// and the stored form of a password.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/password_dialog.h"
#include "app/scramble_password.h"
#include "app/settings_dialog.h"
#include "platform/store/profile.h"
#include "platform/store/registry.h"
#include "platform/ui/message_box.h"
#include "resources/dialog_templates.h"

namespace {

// ---- the stored form of a password, computed here from its description

std::string ReferenceScramble(const std::string& pw) {
  if (pw.empty()) return "";
  uint32_t state = 7349;
  auto draw = [&] {
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFF);
  };
  unsigned char out[52] = {'x'};
  const size_t step = 51 / pw.size();
  size_t k = 0;
  for (int i = 51; i >= 1; --i) {
    if (i % step == 0 && k < pw.size()) {
      out[i] = static_cast<unsigned char>(static_cast<unsigned char>(pw[k++]) * 4);
    } else {
      out[i] = static_cast<unsigned char>(draw() % 94 + 32);
    }
  }
  std::string s;
  for (unsigned char c : out) {
    if (c == 0) break;
    s += static_cast<char>(c);
  }
  return s;
}

TEST(ScramblePassword, MatchesTheStoredFormForEveryLength) {
  std::string pw;
  for (int n = 1; n <= 51; ++n) {
    // Letters, digits and punctuation; none of them a multiple of 64.
    static const std::string kChars = "aZ3!~ \xe9q#Lp0";
    pw += kChars[static_cast<size_t>(n * 7) % kChars.size()];
    const std::string s = app::ScramblePassword(pw);
    EXPECT_EQ(s, ReferenceScramble(pw)) << n;
    EXPECT_EQ(s.size(), 52u) << n;
    EXPECT_EQ(s[0], 'x');
  }
  EXPECT_EQ(app::ScramblePassword(""), "");
}

TEST(ScramblePassword, KnownShapes) {
  // 51 characters: every position holds one, the first at 51, counting down.
  std::string pw51;
  for (int i = 0; i < 51; ++i) pw51 += static_cast<char>('A' + i % 26);
  const std::string s51 = app::ScramblePassword(pw51);
  for (int i = 0; i < 51; ++i) {
    EXPECT_EQ(static_cast<unsigned char>(s51[51 - i]), static_cast<unsigned char>(pw51[i] * 4));
  }
  // 52 characters never reach it from the dialogs; only the first 51 count here.
  EXPECT_EQ(app::ScramblePassword(pw51 + "Z"), s51);
  // One character: at position 51, filler below it.
  const std::string a = app::ScramblePassword("a");
  EXPECT_EQ(static_cast<unsigned char>(a[51]), static_cast<unsigned char>('a' * 4));
  for (int i = 1; i < 51; ++i) {
    EXPECT_GE(a[i], ' ');
    EXPECT_LE(a[i], '~');
  }
  // '@' times four is 256: the text ends there.
  EXPECT_EQ(app::ScramblePassword("@"), "x" + ReferenceScramble("@").substr(1));
  EXPECT_EQ(app::ScramblePassword("@").size(), 51u);
  EXPECT_EQ(app::ScramblePassword("ab@cd"), ReferenceScramble("ab@cd"));
  // A character and the one 64 codes above it look the same once stored.
  EXPECT_EQ(app::ScramblePassword("A"), app::ScramblePassword("\x81"));
  EXPECT_EQ(app::ScramblePassword("pass"), app::ScramblePassword("p\xe1ss"));
  EXPECT_NE(app::ScramblePassword("Pass"), app::ScramblePassword("pass"));
}

// ---- layout

TEST(DialogTemplates, ControlsLieWhereTheirDialogUnitsPutThem) {
  for (int id : {res::IDD_NEW_PASSWORD, res::IDD_PASSWORD, res::IDD_SETTINGS}) {
    const ui::DialogTemplate* t = res::FindDialogTemplate(id);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->fontFace, "MS Sans Serif");
    EXPECT_EQ(t->pointSize, 8);
    ui::Dialog d(*t);
    const ui::BaseUnits u = d.Units();
    // The dialog font measures like an 8-point sans serif at 96 dpi.
    EXPECT_GE(u.x, 5);
    EXPECT_LE(u.x, 8);
    EXPECT_GE(u.y, 11);
    EXPECT_LE(u.y, 16);
    auto px = [](int v, int base, int div) { return (v * base * 2 + div) / (2 * div); };
    EXPECT_EQ(d.ClientWidth(), px(t->cx, u.x, 4));
    EXPECT_EQ(d.ClientHeight(), px(t->cy, u.y, 8));
    for (const ui::DialogItem& item : t->items) {
      if (item.id == ui::IDC_STATIC) continue;
      const gfx::Rect r = d.ControlRect(item.id);
      EXPECT_EQ(r.left, px(item.x, u.x, 4)) << id << "/" << item.id;
      EXPECT_EQ(r.top, px(item.y, u.y, 8)) << id << "/" << item.id;
      EXPECT_EQ(r.Width(), px(item.cx, u.x, 4)) << id << "/" << item.id;
      EXPECT_EQ(r.Height(), px(item.cy, u.y, 8)) << id << "/" << item.id;
      EXPECT_LE(r.right, d.ClientWidth());
      EXPECT_LE(r.bottom, d.ClientHeight());
    }
  }
  EXPECT_EQ(res::FindDialogTemplate(104), nullptr);
}

TEST(DialogTemplates, HoldTheirControlsInOrder) {
  struct Want {
    int dialog;
    std::vector<int> ids;
    std::string caption;
  } wants[] = {
      {res::IDD_NEW_PASSWORD, {-1, 1002, -1, 1001, 1, 2}, "New password"},
      {res::IDD_PASSWORD, {-1, 1000, 1, 2}, "Password"},
      {res::IDD_SETTINGS,
       {1, 2, 1007, 1008, 1009, 1010, -1, 1006, 1004, 1013, 1014, -1},
       "Settings"},
  };
  for (const Want& w : wants) {
    ui::Dialog d(*res::FindDialogTemplate(w.dialog));
    EXPECT_EQ(d.ControlIds(), w.ids);
    EXPECT_EQ(d.Caption(), w.caption);
  }
  // The password dialog has a system menu; the new-password dialog has none.
  EXPECT_TRUE(ui::Dialog(*res::FindDialogTemplate(res::IDD_PASSWORD)).HasCloseBox());
  EXPECT_FALSE(ui::Dialog(*res::FindDialogTemplate(res::IDD_NEW_PASSWORD)).HasCloseBox());
}

// ---- behaviour

class Recorder final : public ui::MessagePresenter {
 public:
  Recorder() { previous_ = ui::SetMessagePresenter(this); }
  ~Recorder() override { ui::SetMessagePresenter(previous_); }
  void Show(const std::string& text, ui::MessageIcon icon) override {
    texts.push_back(text);
    icons.push_back(icon);
  }
  std::vector<std::string> texts;
  std::vector<ui::MessageIcon> icons;

 private:
  ui::MessagePresenter* previous_;
};

void Type(ui::Dialog& d, const std::string& s) {
  for (unsigned char c : s) d.HandleMessage({ui::WM_CHAR, c, 0, 0, 0});
}
void Press(ui::Dialog& d, uint32_t vk, uint32_t state = 0) {
  d.HandleMessage({ui::WM_KEYDOWN, vk, 0, 0, state});
  d.HandleMessage({ui::WM_KEYUP, vk, 0, 0, state});
}
void Click(ui::Dialog& d, int id) {
  const gfx::Rect r = d.ControlRect(id);
  const int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
  d.HandleMessage({ui::WM_LBUTTONDOWN, ui::MK_LBUTTON, x, y, 0});
  d.HandleMessage({ui::WM_LBUTTONUP, 0, x, y, 0});
}

struct Settings {
  std::unique_ptr<store::Store> store = store::Store::InMemory();
  store::Profile profile{*store, "Quillmoor\\Screen Saver", "test"};
  int Get(const char* entry, int def = -7) {
    return static_cast<int>(profile.GetProfileInt("Settings", entry, static_cast<uint32_t>(def)));
  }
};

const char* const kExit[] = {"MouseMove", "ButtonDown", "DoubleClick", "KeyDown", "Escape"};
const int kBox[] = {1006, 1007, 1008, 1009, 1010};

TEST(SettingsDialog, OpensWithStoredValuesOrTheDefaults) {
  {
    Settings s;
    app::SettingsDialog d(s.profile);
    d.Init();
    EXPECT_TRUE(d.IsChecked(1013));
    EXPECT_FALSE(d.IsChecked(1014));
    for (int id : kBox) {
      EXPECT_FALSE(d.IsEnabled(id));
      EXPECT_FALSE(d.IsChecked(id));
    }
    EXPECT_FALSE(d.IsChecked(1004));
    EXPECT_EQ(d.FocusId(), 1);  // the first tab stop: OK
  }
  {
    Settings s;
    s.profile.WriteProfileInt("Settings", "Standard", 0);
    s.profile.WriteProfileInt("Settings", "ButtonDown", 1);
    s.profile.WriteProfileInt("Settings", "Escape", 5);  // any non-zero value checks
    s.profile.WriteProfileInt("Settings", "Mute", 1);
    app::SettingsDialog d(s.profile);
    d.Init();
    EXPECT_TRUE(d.IsChecked(1014));
    for (int i = 0; i < 5; ++i) {
      EXPECT_TRUE(d.IsEnabled(kBox[i]));
      EXPECT_EQ(d.IsChecked(kBox[i]), i == 1 || i == 4) << kBox[i];
    }
    EXPECT_TRUE(d.IsChecked(1004));
  }
  {
    // "Standard" other than 0 and 1 is not standard; stored boxes show while disabled.
    Settings s;
    s.profile.WriteProfileInt("Settings", "Standard", 2);
    s.profile.WriteProfileInt("Settings", "KeyDown", 1);
    app::SettingsDialog d(s.profile);
    d.Init();
    EXPECT_TRUE(d.IsChecked(1014));
    s.profile.WriteProfileInt("Settings", "Standard", 1);
    app::SettingsDialog d2(s.profile);
    d2.Init();
    EXPECT_TRUE(d2.IsChecked(1009));
    EXPECT_FALSE(d2.IsEnabled(1009));
  }
}

TEST(SettingsDialog, OkStoresTheChoiceCancelStoresNothing) {
  struct Case {
    const char* name;
    std::vector<int> clicks;  // controls clicked before OK (0: Cancel instead of OK)
    int standard;
    std::vector<int> exits;
    int mute;
  } cases[] = {
      {"untouched", {}, 1, {0, 0, 0, 0, 0}, 0},
      {"custom with nothing chosen", {1014}, 1, {0, 0, 0, 0, 0}, 0},
      {"custom", {1014, 1006, 1010}, 0, {1, 0, 0, 0, 1}, 0},
      {"custom then standard", {1014, 1007, 1008, 1013}, 1, {0, 0, 0, 0, 0}, 0},
      {"mute, standard", {1004}, 1, {0, 0, 0, 0, 0}, 1},
      {"mute, custom", {1014, 1009, 1004}, 0, {0, 0, 0, 1, 0}, 1},
      {"disabled boxes take no clicks", {1006, 1007}, 1, {0, 0, 0, 0, 0}, 0},
  };
  for (const Case& c : cases) {
    Settings s;
    app::SettingsDialog d(s.profile);
    d.Init();
    for (int id : c.clicks) Click(d, id);
    Click(d, 1);
    ASSERT_TRUE(d.Ended()) << c.name;
    EXPECT_EQ(d.Result(), ui::IDOK);
    EXPECT_EQ(s.Get("Standard"), c.standard) << c.name;
    for (int i = 0; i < 5; ++i) EXPECT_EQ(s.Get(kExit[i]), c.exits[i]) << c.name << " " << kExit[i];
    EXPECT_EQ(s.Get("Mute"), c.mute) << c.name;
  }
  Settings s;
  s.profile.WriteProfileInt("Settings", "Standard", 0);
  s.profile.WriteProfileInt("Settings", "KeyDown", 1);
  app::SettingsDialog d(s.profile);
  d.Init();
  Click(d, 1013);
  Click(d, 1004);
  Press(d, ui::VK_ESCAPE);
  EXPECT_EQ(d.Result(), ui::IDCANCEL);
  EXPECT_EQ(s.Get("Standard"), 0);
  EXPECT_EQ(s.Get("KeyDown"), 1);
  EXPECT_EQ(s.Get("Mute"), -7);
}

TEST(SettingsDialog, KeyboardAlone) {
  Settings s;
  app::SettingsDialog d(s.profile);
  d.Init();
  // Alt+C chooses custom, Alt+M ... the boxes; Tab order reaches the radio group.
  d.HandleMessage({ui::WM_SYSKEYDOWN, 'C', 0, 0, ui::KS_ALT});
  EXPECT_TRUE(d.IsChecked(1014));
  EXPECT_TRUE(d.IsEnabled(1006));
  d.HandleMessage({ui::WM_SYSKEYDOWN, 'M', 0, 0, ui::KS_ALT});  // "On Mouse &Move" comes first
  d.HandleMessage({ui::WM_SYSKEYDOWN, 'K', 0, 0, ui::KS_ALT});
  Press(d, ui::VK_UP);  // on a check box: the focus moves, nothing is checked
  Press(d, ui::VK_RETURN);
  EXPECT_EQ(s.Get("Standard"), 0);
  EXPECT_EQ(s.Get("KeyDown"), 1);
  EXPECT_EQ(s.Get("DoubleClick"), 0);
}

TEST(PasswordDialog, OnlyTheRightPasswordEndsIt) {
  Recorder rec;
  const std::string stored = app::ScramblePassword("Secret");
  struct Case {
    std::string typed;
    bool ok;
  } cases[] = {{"Secret", true}, {"secret", false},      {"", false},
               {"Secre", false}, {"S\xa5\x63ret", true}, {std::string(51, 'x'), false}};
  for (const Case& c : cases) {
    rec.texts.clear();
    app::PasswordDialog d(stored);
    d.Init();
    EXPECT_EQ(d.FocusId(), 1000);
    Type(d, c.typed);
    Press(d, ui::VK_RETURN);
    EXPECT_EQ(d.Ended(), c.ok) << c.typed;
    if (!c.ok) {
      EXPECT_EQ(rec.texts, std::vector<std::string>{"The password is not correct."});
      EXPECT_EQ(rec.icons.back(), ui::MessageIcon::Exclamation);
      EXPECT_EQ(d.GetDlgItemText(1000), "");
      EXPECT_EQ(d.FocusId(), 1000);
      Press(d, ui::VK_ESCAPE);
      EXPECT_EQ(d.Result(), ui::IDCANCEL);
    } else {
      EXPECT_TRUE(rec.texts.empty());
      EXPECT_EQ(d.Result(), ui::IDOK);
    }
  }
}

TEST(PasswordDialog, MoreThan51CharactersAreRefusedWithTheLimitNamed) {
  Recorder rec;
  const std::string pw51(51, 'q');
  app::PasswordDialog d(app::ScramblePassword(pw51));
  d.Init();
  Type(d, pw51 + "q");
  Press(d, ui::VK_RETURN);
  EXPECT_FALSE(d.Ended());
  EXPECT_EQ(rec.texts, std::vector<std::string>{"Please enter no more than 51 characters."});
  EXPECT_EQ(d.GetDlgItemText(1000).size(), 52u);  // kept as typed
  Press(d, ui::VK_END);
  Press(d, ui::VK_BACK);
  Press(d, ui::VK_RETURN);
  EXPECT_EQ(d.Result(), ui::IDOK);
}

TEST(NewPasswordDialog, StoresMatchingPasswordsOnly) {
  Recorder rec;
  Settings s;
  {
    app::NewPasswordDialog d(s.profile);
    d.Init();
    EXPECT_EQ(d.FocusId(), 1002);
    Type(d, "abc");
    Press(d, ui::VK_TAB);
    EXPECT_EQ(d.FocusId(), 1001);
    Type(d, "abd");
    Press(d, ui::VK_RETURN);
    EXPECT_FALSE(d.Ended());
    EXPECT_EQ(rec.texts.back(), "The new and confirmed passwords do not match.");
    EXPECT_EQ(d.GetDlgItemText(1002), "abc");
    EXPECT_EQ(d.GetDlgItemText(1001), "abd");
    EXPECT_EQ(s.profile.GetProfileString("Password", "Encrypt", "none"), "none");
    Press(d, ui::VK_BACK);
    Type(d, "c");
    Press(d, ui::VK_RETURN);
    EXPECT_EQ(d.Result(), ui::IDOK);
    EXPECT_EQ(rec.texts.back(), "The password has been successfully changed.");
    EXPECT_EQ(rec.icons.back(), ui::MessageIcon::Information);
    EXPECT_EQ(s.profile.GetProfileString("Password", "Encrypt"), app::ScramblePassword("abc"));
  }
  {
    // Empty twice: the protection goes, and the success message still shows.
    app::NewPasswordDialog d(s.profile);
    d.Init();
    Press(d, ui::VK_RETURN);
    EXPECT_EQ(d.Result(), ui::IDOK);
    EXPECT_EQ(rec.texts.back(), "The password has been successfully changed.");
    EXPECT_EQ(s.profile.GetProfileString("Password", "Encrypt", "none"), "");
  }
  {
    app::NewPasswordDialog d(s.profile);
    d.Init();
    Type(d, "zzz");
    Click(d, 2);
    EXPECT_EQ(d.Result(), ui::IDCANCEL);
    EXPECT_EQ(s.profile.GetProfileString("Password", "Encrypt", "none"), "");
  }
}

}  // namespace
