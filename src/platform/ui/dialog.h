#pragma once
// Modal dialogs made from dialog templates: controls laid out by the dialog font's base
// units, keyboard and mouse handled the way the Windows dialog manager handles them, and
// painted in the classic grey look onto any canvas.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/canvas.h"
#include "platform/text/font.h"
#include "platform/ui/dialog_template.h"
#include "platform/ui/messages.h"

namespace ui {

// MulDiv: a * b / c rounded half away from zero; -1 when c is 0.
int MulDiv(int a, int b, int c);

// Horizontal base unit: the average width of the 52 Latin letters, rounded; vertical: the
// font's height. Four horizontal and eight vertical dialog units make one base unit.
struct BaseUnits {
  int x = 0, y = 0;
};
BaseUnits DialogBaseUnits(const text::Font& font);
// A control's rectangle in pixels: position and size are converted one by one.
gfx::Rect DialogUnitsToPixels(int x, int y, int cx, int cy, BaseUnits units);
// The dialog font of a template at 96 pixels per inch.
text::LOGFONT DialogFont(const DialogTemplate& t);

// The frame drawn around a dialog's client area when it is painted with its caption.
inline constexpr int kDialogFrame = 3;
inline constexpr int kDialogCaption = 19;  // caption bar and the line below it

class Dialog {
 public:
  explicit Dialog(const DialogTemplate& t);
  virtual ~Dialog();
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // Runs OnInitDialog and picks the first focus; call once before the first message.
  void Init();

  const std::string& Caption() const { return caption_; }
  bool HasCloseBox() const { return (style_ & WS_SYSMENU) != 0; }
  BaseUnits Units() const { return units_; }
  int ClientWidth() const { return clientW_; }
  int ClientHeight() const { return clientH_; }
  int FramedWidth() const { return clientW_ + 2 * kDialogFrame; }
  int FramedHeight() const { return clientH_ + 2 * kDialogFrame + kDialogCaption; }

  // Controls by identifier (the first control with that id).
  gfx::Rect ControlRect(int id) const;  // client coordinates; empty when there is none
  std::vector<int> ControlIds() const;
  bool IsChecked(int id) const;
  void CheckDlgButton(int id, bool checked);
  // Checks `id` and unchecks the other radio buttons from `first` to `last`.
  void CheckRadioButton(int first, int last, int id);
  bool IsEnabled(int id) const;
  void EnableControl(int id, bool enabled);
  std::string GetDlgItemText(int id) const;
  void SetDlgItemText(int id, const std::string& text);
  void GotoDlgCtrl(int id);
  int FocusId() const;
  // Caret and selection of an edit control (byte offsets; anchor == caret: no selection).
  size_t EditCaret(int id) const;
  size_t EditAnchor(int id) const;
  size_t EditFirstVisible(int id) const;

  void EndDialog(int result);
  bool Ended() const { return ended_; }
  int Result() const { return result_; }

  // Input in client coordinates.
  void HandleMessage(const Message& m);

  // Paints the client area with its top-left corner at (x, y).
  void PaintClient(gfx::Canvas& dc, int x, int y);
  // Paints frame, caption and client area with the frame's corner at (x, y).
  void PaintFramed(gfx::Canvas& dc, int x, int y);
  // Changes whenever what the dialog shows changes.
  uint64_t Revision() const { return revision_; }

 protected:
  virtual void OnInitDialog() {}
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  // A click (BN_CLICKED) on a control other than OK and Cancel.
  virtual void OnCommand(int id) { (void)id; }

 private:
  struct Control;
  Control* Find(int id);
  const Control* Find(int id) const;
  int IndexOf(const Control* c) const;
  bool Focusable(const Control& c) const;
  void SetFocusIndex(int index, bool fromTab);
  void MoveTab(bool backwards);
  void MoveInGroup(bool backwards);
  bool Mnemonic(char key);
  void Click(Control& c);
  void Command(int id);
  void EditKey(Control& c, uint32_t vk, uint32_t keyState);
  void EditChar(Control& c, char ch);
  void ScrollToCaret(Control& c);
  int DefaultButtonIndex() const;
  Control* HitTest(int x, int y);
  void Changed() { ++revision_; }
  void PaintControl(gfx::Canvas& dc, const Control& c, int ox, int oy, bool isDefault);

  std::string caption_;
  uint32_t style_ = 0;
  std::shared_ptr<const text::Font> font_, boldFont_;
  BaseUnits units_;
  int clientW_ = 0, clientH_ = 0;
  std::vector<Control> controls_;
  int focus_ = -1;
  int captured_ = -1;  // control pressed by the mouse
  int spacePressed_ = -1;
  bool ended_ = false;
  int result_ = 0;
  uint64_t revision_ = 1;
};

}  // namespace ui
