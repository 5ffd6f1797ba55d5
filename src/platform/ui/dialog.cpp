#include "platform/ui/dialog.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "platform/text/text_output.h"

namespace ui {

namespace {
// An edit control takes no more than this, whatever is typed.
constexpr size_t kEditHardLimit = 32767;
}  // namespace

struct Dialog::Control {
  DialogItem item;
  gfx::Rect rect;
  bool enabled = true;
  bool checked = false;
  bool pressed = false;
  std::string text;  // edit contents, or the item's text
  size_t caret = 0, anchor = 0, firstVisible = 0;
  char mnemonic = 0;  // upper case; 0 when none

  bool IsButton() const {
    return item.kind == ControlKind::PushButton || item.kind == ControlKind::DefPushButton;
  }
  bool IsClickable() const {
    return IsButton() || item.kind == ControlKind::AutoCheckBox ||
           item.kind == ControlKind::AutoRadioButton;
  }
};

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  const int64_t p = static_cast<int64_t>(a) * b;
  const int64_t half = std::llabs(static_cast<int64_t>(c)) / 2;
  const int64_t q =
      ((p < 0) != (c < 0)) ? (p - (c < 0 ? -half : half)) / c : (p + (c < 0 ? -half : half)) / c;
  return static_cast<int>(q);
}

BaseUnits DialogBaseUnits(const text::Font& font) {
  static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  const text::SIZE size = text::GetTextExtentPoint32(font, kLetters);
  return {(size.cx / 26 + 1) / 2, font.Metrics().tmHeight};
}

gfx::Rect DialogUnitsToPixels(int x, int y, int cx, int cy, BaseUnits units) {
  const int left = MulDiv(x, units.x, 4), top = MulDiv(y, units.y, 8);
  return {left, top, left + MulDiv(cx, units.x, 4), top + MulDiv(cy, units.y, 8)};
}

text::LOGFONT DialogFont(const DialogTemplate& t) {
  text::LOGFONT lf;
  lf.lfHeight = -MulDiv(t.pointSize, 96, 72);
  lf.lfWeight = text::FW_NORMAL;
  lf.lfFaceName = t.fontFace;
  lf.lfPitchAndFamily = text::FF_SWISS;
  // The dialog font of the classic look is a bitmap font: no smoothing.
  lf.lfQuality = text::NONANTIALIASED_QUALITY;
  return lf;
}

namespace {

// The text without its '&' marks ("&&" is one '&'), and where the underlined letter is.
std::string StripMnemonic(const std::string& s, int* underline, char* key) {
  std::string out;
  if (underline) *underline = -1;
  if (key) *key = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '&' && i + 1 < s.size()) {
      ++i;
      if (s[i] != '&') {
        if (underline && *underline < 0) *underline = static_cast<int>(out.size());
        if (key && *key == 0)
          *key = static_cast<char>(std::toupper(static_cast<unsigned char>(s[i])));
      }
    }
    out += s[i];
  }
  return out;
}

}  // namespace

Dialog::Dialog(const DialogTemplate& t) : caption_(t.caption), style_(t.style) {
  text::LOGFONT lf = DialogFont(t);
  font_ = text::Font::Create(lf);
  lf.lfWeight = text::FW_BOLD;
  boldFont_ = text::Font::Create(lf);
  units_ = DialogBaseUnits(*font_);
  clientW_ = MulDiv(t.cx, units_.x, 4);
  clientH_ = MulDiv(t.cy, units_.y, 8);
  for (const DialogItem& item : t.items) {
    Control c;
    c.item = item;
    c.rect = DialogUnitsToPixels(item.x, item.y, item.cx, item.cy, units_);
    c.enabled = (item.style & WS_DISABLED) == 0;
    c.text = item.kind == ControlKind::Edit ? std::string() : item.text;
    StripMnemonic(item.text, nullptr, &c.mnemonic);
    controls_.push_back(std::move(c));
  }
}

Dialog::~Dialog() = default;

void Dialog::Init() {
  OnInitDialog();
  if (focus_ < 0) {
    // The first control that takes Tab gets the focus.
    for (size_t i = 0; i < controls_.size(); ++i) {
      if ((controls_[i].item.style & WS_TABSTOP) && Focusable(controls_[i])) {
        SetFocusIndex(static_cast<int>(i), true);
        break;
      }
    }
  }
  Changed();
}

Dialog::Control* Dialog::Find(int id) {
  for (Control& c : controls_) {
    if (c.item.id == id) return &c;
  }
  return nullptr;
}

const Dialog::Control* Dialog::Find(int id) const {
  for (const Control& c : controls_) {
    if (c.item.id == id) return &c;
  }
  return nullptr;
}

int Dialog::IndexOf(const Control* c) const {
  return c ? static_cast<int>(c - controls_.data()) : -1;
}

gfx::Rect Dialog::ControlRect(int id) const {
  const Control* c = Find(id);
  return c ? c->rect : gfx::Rect{};
}

std::vector<int> Dialog::ControlIds() const {
  std::vector<int> ids;
  for (const Control& c : controls_) ids.push_back(c.item.id);
  return ids;
}

bool Dialog::IsChecked(int id) const {
  const Control* c = Find(id);
  return c && c->checked;
}

void Dialog::CheckDlgButton(int id, bool checked) {
  if (Control* c = Find(id); c && c->checked != checked) {
    c->checked = checked;
    Changed();
  }
}

void Dialog::CheckRadioButton(int first, int last, int id) {
  for (Control& c : controls_) {
    if (c.item.id >= first && c.item.id <= last) {
      c.checked = c.item.id == id;
    }
  }
  Changed();
}

bool Dialog::IsEnabled(int id) const {
  const Control* c = Find(id);
  return c && c->enabled;
}

void Dialog::EnableControl(int id, bool enabled) {
  Control* c = Find(id);
  if (!c || c->enabled == enabled) return;
  c->enabled = enabled;
  if (!enabled && focus_ == IndexOf(c)) MoveTab(false);
  Changed();
}

std::string Dialog::GetDlgItemText(int id) const {
  const Control* c = Find(id);
  return c ? c->text : std::string();
}

void Dialog::SetDlgItemText(int id, const std::string& text) {
  Control* c = Find(id);
  if (!c) return;
  c->text = text.substr(0, kEditHardLimit);
  c->caret = c->anchor = c->text.size();
  c->firstVisible = 0;
  if (c->item.kind == ControlKind::Edit) ScrollToCaret(*c);
  Changed();
}

void Dialog::GotoDlgCtrl(int id) {
  if (Control* c = Find(id)) SetFocusIndex(IndexOf(c), true);
}

int Dialog::FocusId() const { return focus_ >= 0 ? controls_[focus_].item.id : 0; }

size_t Dialog::EditCaret(int id) const {
  const Control* c = Find(id);
  return c ? c->caret : 0;
}
size_t Dialog::EditAnchor(int id) const {
  const Control* c = Find(id);
  return c ? c->anchor : 0;
}
size_t Dialog::EditFirstVisible(int id) const {
  const Control* c = Find(id);
  return c ? c->firstVisible : 0;
}

void Dialog::EndDialog(int result) {
  ended_ = true;
  result_ = result;
}

bool Dialog::Focusable(const Control& c) const {
  return c.enabled && (c.IsClickable() || c.item.kind == ControlKind::Edit);
}

void Dialog::SetFocusIndex(int index, bool fromTab) {
  if (index < 0 || index >= static_cast<int>(controls_.size())) return;
  Control& c = controls_[index];
  if (!Focusable(c)) return;
  focus_ = index;
  // An edit reached from the keyboard has its whole text selected.
  if (fromTab && c.item.kind == ControlKind::Edit) {
    c.anchor = 0;
    c.caret = c.text.size();
    ScrollToCaret(c);
  }
  Changed();
}

void Dialog::MoveTab(bool backwards) {
  const int n = static_cast<int>(controls_.size());
  if (n == 0) return;
  int i = focus_ < 0 ? (backwards ? 0 : n - 1) : focus_;
  for (int step = 0; step < n; ++step) {
    i = backwards ? (i + n - 1) % n : (i + 1) % n;
    const Control& c = controls_[i];
    if (!(c.item.style & WS_TABSTOP) || !Focusable(c)) continue;
    // Into a group of radio buttons: the checked one takes the focus. Leaving a group
    // backwards passes over its own tab stop.
    if (c.item.kind == ControlKind::AutoRadioButton) {
      int end = i + 1;
      while (end < n && !(controls_[end].item.style & WS_GROUP)) ++end;
      if (focus_ > i && focus_ < end) continue;
      for (int j = i; j < end; ++j) {
        if (controls_[j].item.kind == ControlKind::AutoRadioButton && controls_[j].checked &&
            Focusable(controls_[j])) {
          SetFocusIndex(j, true);
          return;
        }
      }
    }
    SetFocusIndex(i, true);
    return;
  }
}

void Dialog::MoveInGroup(bool backwards) {
  if (focus_ < 0) return;
  const int n = static_cast<int>(controls_.size());
  // The group runs from the last control marked WS_GROUP up to the next one.
  int first = focus_;
  while (first > 0 && !(controls_[first].item.style & WS_GROUP)) --first;
  int last = focus_ + 1;
  while (last < n && !(controls_[last].item.style & WS_GROUP)) ++last;
  const int size = last - first;
  int i = focus_;
  for (int step = 1; step < size; ++step) {
    i = first + ((i - first + (backwards ? size - 1 : 1)) % size);
    Control& c = controls_[i];
    if (!Focusable(c)) continue;
    SetFocusIndex(i, false);
    if (c.item.kind == ControlKind::AutoRadioButton) Click(c);
    return;
  }
}

int Dialog::DefaultButtonIndex() const {
  // A push button with the focus is the default while it has it.
  if (focus_ >= 0 && controls_[focus_].IsButton()) return focus_;
  for (size_t i = 0; i < controls_.size(); ++i) {
    if (controls_[i].item.kind == ControlKind::DefPushButton) return static_cast<int>(i);
  }
  return -1;
}

bool Dialog::Mnemonic(char key) {
  const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(key)));
  // The search starts after the focused control, so that equal letters take turns.
  const size_t n = controls_.size();
  for (size_t step = 1; step <= n; ++step) {
    const size_t i = (static_cast<size_t>(focus_ < 0 ? -1 : focus_) + step) % n;
    Control& c = controls_[i];
    if (c.mnemonic != upper || c.mnemonic == 0) continue;
    if (c.item.kind == ControlKind::Static || c.item.kind == ControlKind::GroupBox) {
      // A label hands the focus to the next control that can take it.
      for (size_t j = i + 1; j < controls_.size(); ++j) {
        if (Focusable(controls_[j])) {
          SetFocusIndex(static_cast<int>(j), true);
          return true;
        }
      }
      return true;
    }
    if (!c.enabled) continue;
    SetFocusIndex(static_cast<int>(i), false);
    Click(c);
    return true;
  }
  return false;
}

void Dialog::Click(Control& c) {
  if (!c.enabled) return;
  switch (c.item.kind) {
    case ControlKind::AutoCheckBox:
      c.checked = !c.checked;
      break;
    case ControlKind::AutoRadioButton: {
      // Unchecks the other radio buttons of its group.
      const int index = IndexOf(&c);
      int first = index;
      while (first > 0 && !(controls_[first].item.style & WS_GROUP)) --first;
      for (int j = first; j < static_cast<int>(controls_.size()); ++j) {
        if (j > first && (controls_[j].item.style & WS_GROUP)) break;
        if (controls_[j].item.kind == ControlKind::AutoRadioButton) controls_[j].checked = false;
      }
      c.checked = true;
      break;
    }
    default:
      break;
  }
  Changed();
  Command(c.item.id);
}

void Dialog::Command(int id) {
  if (id == IDOK) {
    OnOK();
  } else if (id == IDCANCEL) {
    OnCancel();
  } else {
    OnCommand(id);
  }
  Changed();
}

Dialog::Control* Dialog::HitTest(int x, int y) {
  for (Control& c : controls_) {
    if (c.item.kind == ControlKind::GroupBox || c.item.kind == ControlKind::Static ||
        c.item.kind == ControlKind::EtchedHorz)
      continue;
    if (x >= c.rect.left && x < c.rect.right && y >= c.rect.top && y < c.rect.bottom) return &c;
  }
  return nullptr;
}

void Dialog::HandleMessage(const Message& m) {
  if (ended_) return;
  Control* focused = focus_ >= 0 ? &controls_[focus_] : nullptr;
  const bool shift = (m.keyState & KS_SHIFT) != 0;
  switch (m.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      const uint32_t vk = m.wParam;
      if (m.message == WM_SYSKEYDOWN || (m.keyState & KS_ALT)) {
        if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) Mnemonic(static_cast<char>(vk));
        return;
      }
      if (vk == VK_TAB) {
        MoveTab(shift);
      } else if (vk == VK_RETURN) {
        const int def = DefaultButtonIndex();
        Command(def >= 0 ? controls_[def].item.id : IDOK);
      } else if (vk == VK_ESCAPE) {
        Command(IDCANCEL);
      } else if (focused && focused->item.kind == ControlKind::Edit) {
        EditKey(*focused, vk, m.keyState);
      } else if (vk == VK_SPACE && focused && focused->IsClickable()) {
        focused->pressed = true;
        spacePressed_ = focus_;
        Changed();
      } else if (vk == VK_LEFT || vk == VK_UP) {
        MoveInGroup(true);
      } else if (vk == VK_RIGHT || vk == VK_DOWN) {
        MoveInGroup(false);
      }
      return;
    }
    case WM_KEYUP:
      if (m.wParam == VK_SPACE && spacePressed_ >= 0) {
        Control& c = controls_[spacePressed_];
        spacePressed_ = -1;
        c.pressed = false;
        Click(c);
      }
      return;
    case WM_CHAR: {
      const char ch = static_cast<char>(m.wParam);
      if (focused && focused->item.kind == ControlKind::Edit) {
        EditChar(*focused, ch);
      } else if (ch != ' ') {
        // Controls that take no characters let a plain letter act as a mnemonic.
        Mnemonic(ch);
      }
      return;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      Control* c = HitTest(m.x, m.y);
      if (!c || !c->enabled) return;
      SetFocusIndex(IndexOf(c), false);
      if (c->item.kind == ControlKind::Edit) {
        // The caret goes to the gap nearest the click.
        const bool password = (c->item.style & ES_PASSWORD) != 0;
        const int textX = m.x - (c->rect.left + 3);
        size_t pos = c->firstVisible;
        int x = 0;
        while (pos < c->text.size()) {
          const std::string ch = password ? std::string("*") : c->text.substr(pos, 1);
          const int w = text::GetTextExtentPoint32(*font_, ch).cx;
          if (x + w / 2 > textX) break;
          x += w;
          ++pos;
        }
        c->caret = c->anchor = pos;
        Changed();
        return;
      }
      c->pressed = true;
      captured_ = IndexOf(c);
      Changed();
      return;
    }
    case WM_MOUSEMOVE:
      if (captured_ >= 0) {
        Control& c = controls_[captured_];
        const bool inside =
            m.x >= c.rect.left && m.x < c.rect.right && m.y >= c.rect.top && m.y < c.rect.bottom;
        if (inside != c.pressed) {
          c.pressed = inside;
          Changed();
        }
      }
      return;
    case WM_LBUTTONUP:
      if (captured_ >= 0) {
        Control& c = controls_[captured_];
        captured_ = -1;
        const bool inside = c.pressed;
        c.pressed = false;
        Changed();
        if (inside) Click(c);
      }
      return;
    case WM_CLOSE:
      Command(IDCANCEL);
      return;
    default:
      return;
  }
}

void Dialog::EditKey(Control& c, uint32_t vk, uint32_t keyState) {
  const bool shift = (keyState & KS_SHIFT) != 0;
  const size_t selStart = std::min(c.caret, c.anchor), selEnd = std::max(c.caret, c.anchor);
  switch (vk) {
    case VK_LEFT:
      if (!shift && selStart != selEnd) {
        c.caret = selStart;
      } else if (c.caret > 0) {
        --c.caret;
      }
      break;
    case VK_RIGHT:
      if (!shift && selStart != selEnd) {
        c.caret = selEnd;
      } else if (c.caret < c.text.size()) {
        ++c.caret;
      }
      break;
    case VK_HOME:
      c.caret = 0;
      break;
    case VK_END:
      c.caret = c.text.size();
      break;
    case VK_DELETE:
      if (selStart != selEnd) {
        c.text.erase(selStart, selEnd - selStart);
        c.caret = selStart;
      } else if (c.caret < c.text.size()) {
        c.text.erase(c.caret, 1);
      }
      c.anchor = c.caret;
      ScrollToCaret(c);
      Changed();
      return;
    case VK_BACK:
      if (selStart != selEnd) {
        c.text.erase(selStart, selEnd - selStart);
        c.caret = selStart;
      } else if (c.caret > 0) {
        c.text.erase(--c.caret, 1);
      }
      c.anchor = c.caret;
      ScrollToCaret(c);
      Changed();
      return;
    default:
      return;
  }
  if (!shift) c.anchor = c.caret;
  ScrollToCaret(c);
  Changed();
}

void Dialog::EditChar(Control& c, char ch) {
  const auto u = static_cast<unsigned char>(ch);
  if (u < 0x20 || u == 0x7F) return;  // Backspace, Tab and Enter come as keys
  const size_t selStart = std::min(c.caret, c.anchor), selEnd = std::max(c.caret, c.anchor);
  if (c.text.size() - (selEnd - selStart) >= kEditHardLimit) return;
  c.text.replace(selStart, selEnd - selStart, 1, ch);
  c.caret = c.anchor = selStart + 1;
  ScrollToCaret(c);
  Changed();
}

void Dialog::ScrollToCaret(Control& c) {
  const bool password = (c.item.style & ES_PASSWORD) != 0;
  const int room = std::max(1, c.rect.Width() - 6);
  if (c.caret < c.firstVisible) c.firstVisible = c.caret;
  auto width = [&](size_t from, size_t to) {
    if (password) return static_cast<int>(to - from) * text::GetTextExtentPoint32(*font_, "*").cx;
    return text::GetTextExtentPoint32(*font_, std::string_view(c.text).substr(from, to - from)).cx;
  };
  while (c.firstVisible < c.caret && width(c.firstVisible, c.caret) > room) ++c.firstVisible;
  // Deleting at the end brings text back into view from the left.
  while (c.firstVisible > 0 && width(c.firstVisible - 1, c.text.size()) <= room) --c.firstVisible;
}

// ---- painting

namespace {

constexpr gfx::COLORREF kFace = gfx::RGB(192, 192, 192);
constexpr gfx::COLORREF kLight = gfx::RGB(223, 223, 223);
constexpr gfx::COLORREF kHighlight = gfx::RGB(255, 255, 255);
constexpr gfx::COLORREF kShadow = gfx::RGB(128, 128, 128);
constexpr gfx::COLORREF kDarkShadow = gfx::RGB(0, 0, 0);
constexpr gfx::COLORREF kWindow = gfx::RGB(255, 255, 255);
constexpr gfx::COLORREF kText = gfx::RGB(0, 0, 0);
constexpr gfx::COLORREF kGrayText = gfx::RGB(128, 128, 128);
constexpr gfx::COLORREF kSelection = gfx::RGB(0, 0, 128);
constexpr gfx::COLORREF kCaption = gfx::RGB(0, 0, 128);

void HLine(gfx::Canvas& dc, int x1, int x2, int y, gfx::COLORREF c) {
  dc.FillRect({x1, y, x2, y + 1}, c);
}
void VLine(gfx::Canvas& dc, int x, int y1, int y2, gfx::COLORREF c) {
  dc.FillRect({x, y1, x + 1, y2}, c);
}

// One ring of a 3D edge: top and left in `tl`, bottom and right in `br`.
void Ring(gfx::Canvas& dc, const gfx::Rect& r, gfx::COLORREF tl, gfx::COLORREF br) {
  HLine(dc, r.left, r.right - 1, r.top, tl);
  VLine(dc, r.left, r.top, r.bottom - 1, tl);
  HLine(dc, r.left, r.right, r.bottom - 1, br);
  VLine(dc, r.right - 1, r.top, r.bottom, br);
}

gfx::Rect Inset(const gfx::Rect& r, int d) {
  return {r.left + d, r.top + d, r.right - d, r.bottom - d};
}

void Raised(gfx::Canvas& dc, const gfx::Rect& r) {
  Ring(dc, r, kLight, kDarkShadow);
  Ring(dc, Inset(r, 1), kHighlight, kShadow);
}

void Sunken(gfx::Canvas& dc, const gfx::Rect& r) {
  Ring(dc, r, kShadow, kHighlight);
  Ring(dc, Inset(r, 1), kDarkShadow, kLight);
}

void FocusRect(gfx::Canvas& dc, const gfx::Rect& r) {
  if (r.IsEmpty()) return;
  for (int x = r.left; x < r.right; ++x) {
    if (((x - r.left) & 1) == 0) {
      dc.FillRect({x, r.top, x + 1, r.top + 1}, kText);
      dc.FillRect({x, r.bottom - 1, x + 1, r.bottom}, kText);
    }
  }
  for (int y = r.top; y < r.bottom; ++y) {
    if (((y - r.top) & 1) == 0) {
      dc.FillRect({r.left, y, r.left + 1, y + 1}, kText);
      dc.FillRect({r.right - 1, y, r.right, y + 1}, kText);
    }
  }
}

// Text with its mnemonic underlined, clipped to `clip`; greyed and embossed when disabled.
// Returns the text's box.
gfx::Rect Label(gfx::Canvas& dc, const text::Font& font, const std::string& raw, int x, int y,
                const gfx::Rect& clip, bool enabled) {
  int underline = -1;
  const std::string shown = StripMnemonic(raw, &underline, nullptr);
  const text::SIZE size = text::GetTextExtentPoint32(font, shown);
  auto draw = [&](int dx, int dy, gfx::COLORREF color) {
    dc.SetBkMode(gfx::TRANSPARENT);
    dc.SetTextColor(color);
    gfx::Rect r = {clip.left + dx, clip.top + dy, clip.right + dx, clip.bottom + dy};
    gfx::Rect box{x + dx, y + dy, std::min(r.right, x + dx + size.cx + 1), r.bottom};
    box.left = std::max(box.left, r.left);
    box.top = std::max(box.top, r.top);
    if (box.IsEmpty()) return;
    // DrawText draws from the rectangle's corner: start at the text's own position.
    gfx::Rect at{x + dx, y + dy, box.right, box.bottom};
    text::DrawText(dc, font, shown, at, text::DT_LEFT | text::DT_TOP | text::DT_SINGLELINE);
    if (underline >= 0 && underline < static_cast<int>(shown.size())) {
      const int ux =
          x + dx +
          text::GetTextExtentPoint32(font, std::string_view(shown).substr(0, underline)).cx;
      const int uw = text::GetTextExtentPoint32(font, shown.substr(underline, 1)).cx;
      const int uy = y + dy + font.Metrics().tmAscent + 1;
      const gfx::Rect line = gfx::Intersect({ux, uy, ux + uw, uy + 1}, r);
      if (!line.IsEmpty()) dc.FillRect(line, color);
    }
  };
  if (enabled) {
    draw(0, 0, kText);
  } else {
    draw(1, 1, kHighlight);
    draw(0, 0, kGrayText);
  }
  return {x, y, x + size.cx, y + size.cy};
}

// Pictures of the small controls: one letter per pixel.
constexpr const char* kRadio[12] = {
    "....DDDD....", "..DDBBBBDD..", ".DBBWWWWLLH.", ".DBWWWWWWLH.", "DBWWWWWWWWLH", "DBWWWWWWWWLH",
    "DBWWWWWWWWLH", "DBWWWWWWWWLH", ".DBWWWWWWLH.", ".DLLWWWWLLH.", "..HHLLLLHH..", "....HHHH....",
};
constexpr const char* kRadioDot[4] = {".KK.", "KKKK", "KKKK", ".KK."};
constexpr const char* kTick[7] = {
    "......K", ".....KK", "K...KKK", "KK.KKK.", "KKKKK..", ".KKK...", "..K....",
};

void Picture(gfx::Canvas& dc, int x, int y, const char* const* rows, int h, gfx::COLORREF inner) {
  for (int j = 0; j < h; ++j) {
    for (int i = 0; rows[j][i]; ++i) {
      gfx::COLORREF c;
      switch (rows[j][i]) {
        case 'D':
          c = kShadow;
          break;
        case 'B':
          c = kDarkShadow;
          break;
        case 'W':
          c = inner;
          break;
        case 'L':
          c = kLight;
          break;
        case 'H':
          c = kHighlight;
          break;
        case 'K':
          c = kText;
          break;
        default:
          continue;
      }
      dc.FillRect({x + i, y + j, x + i + 1, y + j + 1}, c);
    }
  }
}

// The message icons, drawn from their shapes: a yellow triangle with '!', a white
// speech circle with 'i', a red circle with a cross.
void MessageIcon32(gfx::Canvas& dc, int x0, int y0, char kind) {
  auto dot = [&](int x, int y, gfx::COLORREF c) {
    dc.FillRect({x0 + x, y0 + y, x0 + x + 1, y0 + y + 1}, c);
  };
  if (kind == '!') {
    for (int y = 1; y < 30; ++y) {
      const int half = (y * 15) / 29;
      for (int x = 15 - half; x <= 16 + half; ++x) {
        const bool edge = x == 15 - half || x == 16 + half || y == 29;
        dot(x, y, edge ? kText : gfx::RGB(255, 255, 0));
      }
    }
    dc.FillRect({x0 + 14, y0 + 10, x0 + 18, y0 + 22}, kText);
    dc.FillRect({x0 + 14, y0 + 24, x0 + 18, y0 + 27}, kText);
    return;
  }
  const gfx::COLORREF fill = kind == 'x' ? gfx::RGB(255, 0, 0) : kHighlight;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const int dx = 2 * x - 31, dy = 2 * y - 31, d = dx * dx + dy * dy;
      if (d <= 29 * 29) dot(x, y, fill);
      if (d > 27 * 27 && d <= 31 * 31) dot(x, y, kText);
    }
  }
  if (kind == 'x') {
    for (int i = 0; i < 12; ++i) {
      dc.FillRect({x0 + 10 + i, y0 + 10 + i, x0 + 12 + i, y0 + 11 + i}, kHighlight);
      dc.FillRect({x0 + 20 - i, y0 + 10 + i, x0 + 22 - i, y0 + 11 + i}, kHighlight);
    }
  } else {
    dc.FillRect({x0 + 14, y0 + 6, x0 + 18, y0 + 10}, gfx::RGB(0, 0, 255));
    dc.FillRect({x0 + 14, y0 + 12, x0 + 18, y0 + 26}, gfx::RGB(0, 0, 255));
  }
}

}  // namespace

void Dialog::PaintControl(gfx::Canvas& dc, const Control& c, int ox, int oy, bool isDefault) {
  const gfx::Rect r{c.rect.left + ox, c.rect.top + oy, c.rect.right + ox, c.rect.bottom + oy};
  const text::Font& font = *font_;
  const int lineH = font.Metrics().tmHeight;
  const bool focused = focus_ == IndexOf(&c);
  switch (c.item.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: {
      dc.FillRect(r, kFace);
      gfx::Rect edge = r;
      if (isDefault) {
        Ring(dc, edge, kDarkShadow, kDarkShadow);
        edge = Inset(edge, 1);
      }
      if (c.pressed) {
        if (!isDefault) {
          Ring(dc, edge, kDarkShadow, kDarkShadow);
          edge = Inset(edge, 1);
        }
        Ring(dc, edge, kShadow, kShadow);
      } else {
        Raised(dc, edge);
      }
      const std::string shown = StripMnemonic(c.text, nullptr, nullptr);
      const int tw = text::GetTextExtentPoint32(font, shown).cx;
      const int shift = c.pressed ? 1 : 0;
      const int tx = r.left + (r.Width() - tw) / 2 + shift;
      const int ty = r.top + (r.Height() - lineH) / 2 + shift;
      Label(dc, font, c.text, tx, ty, Inset(r, 2), c.enabled);
      if (focused) FocusRect(dc, Inset(r, 4));
      break;
    }
    case ControlKind::AutoCheckBox:
    case ControlKind::AutoRadioButton: {
      dc.FillRect(r, kFace);
      const bool radio = c.item.kind == ControlKind::AutoRadioButton;
      const int box = radio ? 12 : 13;
      const int by = r.top + (r.Height() - box) / 2;
      const gfx::COLORREF inner = (c.pressed || !c.enabled) ? kFace : kWindow;
      if (radio) {
        Picture(dc, r.left, by, kRadio, 12, inner);
        if (c.checked) Picture(dc, r.left + 4, by + 4, kRadioDot, 4, c.enabled ? kText : kShadow);
      } else {
        const gfx::Rect b{r.left, by, r.left + 13, by + 13};
        Sunken(dc, b);
        dc.FillRect(Inset(b, 2), inner);
        if (c.checked) {
          const char* const* rows = kTick;
          for (int j = 0; j < 7; ++j) {
            for (int i = 0; rows[j][i]; ++i) {
              if (rows[j][i] == 'K')
                dc.FillRect({b.left + 3 + i, b.top + 3 + j, b.left + 4 + i, b.top + 4 + j},
                            c.enabled ? kText : kShadow);
            }
          }
        }
      }
      const int tx = r.left + box + 4;
      const int ty = r.top + (r.Height() - lineH) / 2;
      const gfx::Rect textBox = Label(dc, font, c.text, tx, ty, r, c.enabled);
      if (focused) {
        FocusRect(dc, gfx::Intersect(
                          {textBox.left - 1, textBox.top, textBox.right + 1, textBox.bottom}, r));
      }
      break;
    }
    case ControlKind::GroupBox: {
      const int mid = r.top + lineH / 2;
      const gfx::Rect frame{r.left, mid, r.right, r.bottom};
      // Etched: a shadow line with a highlight line below and right of it.
      Ring(dc, {frame.left, frame.top, frame.right - 1, frame.bottom - 1}, kShadow, kShadow);
      Ring(dc, {frame.left + 1, frame.top + 1, frame.right, frame.bottom}, kHighlight, kHighlight);
      HLine(dc, frame.left + 1, frame.right - 2, frame.top, kShadow);
      VLine(dc, frame.left + 1, frame.top + 2, frame.bottom - 2, kHighlight);
      if (!c.text.empty()) {
        const std::string shown = StripMnemonic(c.text, nullptr, nullptr);
        const int tw = text::GetTextExtentPoint32(font, shown).cx;
        const int tx = r.left + units_.x + 2;
        dc.FillRect({tx - 2, r.top, tx + tw + 2, r.top + lineH}, kFace);
        Label(dc, font, c.text, tx, r.top, r, c.enabled);
      }
      break;
    }
    case ControlKind::Static:
      dc.FillRect(r, kFace);
      Label(dc, font, c.text, r.left, r.top, r, c.enabled);
      break;
    case ControlKind::Icon:
      dc.FillRect(r, kFace);
      MessageIcon32(dc, r.left, r.top, c.text.empty() ? '!' : c.text[0]);
      break;
    case ControlKind::EtchedHorz:
      HLine(dc, r.left, r.right, r.top, kShadow);
      HLine(dc, r.left, r.right, r.top + 1, kHighlight);
      break;
    case ControlKind::Edit: {
      Sunken(dc, r);
      const gfx::Rect inner = Inset(r, 2);
      dc.FillRect(inner, c.enabled ? kWindow : kFace);
      const bool password = (c.item.style & ES_PASSWORD) != 0;
      const std::string shown = password ? std::string(c.text.size(), '*') : c.text;
      const size_t selStart = std::min(c.caret, c.anchor), selEnd = std::max(c.caret, c.anchor);
      const int ty = inner.top + 1;
      int x = inner.left + 1;
      int caretX = x;
      dc.SetBkMode(gfx::TRANSPARENT);
      for (size_t i = c.firstVisible; i <= shown.size() && x < inner.right; ++i) {
        if (i == c.caret) caretX = x;
        if (i == shown.size()) break;
        const std::string ch = shown.substr(i, 1);
        const int w = text::GetTextExtentPoint32(font, ch).cx;
        const bool selected = focused && i >= selStart && i < selEnd;
        const gfx::Rect cell = gfx::Intersect({x, ty, x + w, ty + lineH}, inner);
        if (selected) dc.FillRect(cell, kSelection);
        dc.SetTextColor(selected ? kHighlight : (c.enabled ? kText : kGrayText));
        gfx::Rect at{x, ty, std::min(x + w, inner.right), std::min(ty + lineH, inner.bottom)};
        text::DrawText(dc, font, ch, at, text::DT_LEFT | text::DT_TOP | text::DT_SINGLELINE);
        x += w;
      }
      if (focused && selStart == selEnd && caretX < inner.right) {
        dc.FillRect(gfx::Intersect({caretX, ty, caretX + 1, ty + lineH}, inner), kText);
      }
      break;
    }
  }
}

void Dialog::PaintClient(gfx::Canvas& dc, int x, int y) {
  dc.FillRect({x, y, x + clientW_, y + clientH_}, kFace);
  const int def = DefaultButtonIndex();
  for (size_t i = 0; i < controls_.size(); ++i) {
    PaintControl(dc, controls_[i], x, y, static_cast<int>(i) == def);
  }
}

void Dialog::PaintFramed(gfx::Canvas& dc, int x, int y) {
  const gfx::Rect outer{x, y, x + FramedWidth(), y + FramedHeight()};
  dc.FillRect(outer, kFace);
  Raised(dc, outer);
  const gfx::Rect bar{x + kDialogFrame, y + kDialogFrame, outer.right - kDialogFrame,
                      y + kDialogFrame + kDialogCaption - 1};
  dc.FillRect(bar, kCaption);
  const int th = boldFont_->Metrics().tmHeight;
  dc.SetBkMode(gfx::TRANSPARENT);
  dc.SetTextColor(kHighlight);
  gfx::Rect at{bar.left + 3, bar.top + (bar.Height() - th) / 2, bar.right - 20, bar.bottom};
  text::DrawText(dc, *boldFont_, caption_, at, text::DT_LEFT | text::DT_TOP | text::DT_SINGLELINE);
  if (HasCloseBox()) {
    const gfx::Rect b{bar.right - 18, bar.top + 2, bar.right - 2, bar.top + 16};
    dc.FillRect(b, kFace);
    Raised(dc, b);
    // The cross: two diagonals two pixels thick.
    for (int i = 0; i < 6; ++i) {
      const int cx = b.left + 4 + i, cy = b.top + 3 + i;
      dc.FillRect({cx, cy, cx + 2, cy + 1}, kText);
      dc.FillRect({b.left + 4 + 5 - i, cy, b.left + 4 + 7 - i, cy + 1}, kText);
    }
  }
  PaintClient(dc, x + kDialogFrame, y + kDialogFrame + kDialogCaption);
}

}  // namespace ui
