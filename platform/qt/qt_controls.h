// The Qt control wrappers: each implements a seam control on one widget (or a small group of
// them) and routes the widgets' input through its window (platform/qt/qt_window.h).
#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

#include "platform/controls.h"
#include "platform/qt/qt_window.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;
class QTextBrowser;
class QToolButton;

namespace memo::platform::qt {

// What every wrapper keeps: its window, its widget, its input router.
class QtControlCommon {
 public:
  QtControlCommon(QtWindow* window, Control* self, QWidget* widget,
                  const ControlPlacement& placement);
  virtual ~QtControlCommon();
  QtControlCommon(const QtControlCommon&) = delete;
  QtControlCommon& operator=(const QtControlCommon&) = delete;

  QWidget* widget() const { return widget_; }
  InputRouter* router() const { return router_.get(); }
  // The widget controls placed inside this one live in (containers only).
  virtual QWidget* ContainerWidget() const { return nullptr; }

 protected:
  QtWindow* window_;
  QPointer<QWidget> widget_;
  std::unique_ptr<InputRouter> router_;  // also the context object of the widget's connections
  Rect rect_;
};

QtControlCommon* QtCommonOf(Control* control);

template <typename Base>
class QtControl : public Base, public QtControlCommon {
 public:
  QtControl(QtWindow* window, QWidget* widget, const ControlPlacement& placement)
      : Base(placement.child_id), QtControlCommon(window, this, widget, placement) {}

  void SetGeometry(const Rect& rect) override;
  Rect Geometry() const override { return rect_; }
  void SetVisible(bool visible) override;
  bool IsVisible() const override;
  void SetEnabled(bool enabled) override;
  bool IsEnabled() const override;
  void SetFocus() override;
  bool HasFocus() const override;
  void SetFont(const FontSpec& font) override;
  void SetColors(Color text, Color background) override;
  void SetCursor(CursorShape shape) override;
  bool SetCursorImage(std::string_view image_bytes) override;
  void SetParent(Control* parent) override;
  void PlaceAfter(Control* previous) override;
  void Invalidate() override;
  void RepaintNow() override;

 protected:
  // The widget's own height where the control cannot be as tall as its rectangle (combo boxes).
  virtual int ShownHeight(int height) const { return height; }
};

// Defined, for every kind of control, with the common members in qt_controls.cc.
extern template class QtControl<EditControl>;
extern template class QtControl<ButtonControl>;
extern template class QtControl<ComboControl>;
extern template class QtControl<StaticControl>;
extern template class QtControl<UpDownControl>;
extern template class QtControl<BrowserControl>;
extern template class QtControl<CanvasControl>;

class QtEdit : public QtControl<EditControl> {
 public:
  QtEdit(QtWindow* window, const ControlPlacement& placement, const EditStyle& style);

  void SetText(std::string_view text_gbk) override;
  std::string Text() const override;
  void SetSelection(int start, int length) override;
  void GetSelection(int* start, int* length) const override;
  void ReplaceSelection(std::string_view text_gbk) override;
  void SetReadOnly(bool read_only) override;
  void SetPasswordChar(uint16_t password_char) override;
  void SetAlign(Align align) override;

 private:
  // A change of the widget's text: reported when the user made it.
  void Changed();

  EditStyle style_;
  QLineEdit* line_ = nullptr;        // single line (owned by the widget tree)
  QPlainTextEdit* lines_ = nullptr;  // multi-line
  QString last_text_;                // multi-line: the text at the last change
  bool calling_ = false;             // inside one of the calls above: nothing to report
};

class QtButton : public QtControl<ButtonControl> {
 public:
  QtButton(QtWindow* window, const ControlPlacement& placement, const ButtonStyle& style);
  void SetCaption(std::string_view caption_gbk) override;
  std::string Caption() const override { return caption_; }
  void SetDefault(bool default_button) override;
  void Click() override;

 private:
  QPushButton* button_;
  std::string caption_;
};

// A QComboBox as a view: QComboBox changes its current item on its own (when the first item is
// added, when the current one is removed, when the user picks one); every such change is put
// back to what the view was told, and a pick is only reported.
class QtCombo : public QtControl<ComboControl> {
 public:
  QtCombo(QtWindow* window, const ControlPlacement& placement, const ComboStyle& style);
  void InsertItem(int index, std::string_view text_gbk) override;
  void RemoveItem(int index) override;
  void ClearItems() override;
  void ShowCurrent(int index) override;
  void ShowEditText(std::string_view text_gbk) override;
  void SetEditSelection(int start, int length) override;
  void GetEditSelection(int* start, int* length) const override;
  void ShowDropDown(bool show) override;

 protected:
  int ShownHeight(int height) const override;

 private:
  // Shows the marked item and the edit text again where Qt changed them.
  void Reassert();

  ComboStyle style_;
  QComboBox* combo_;
  int current_ = -1;   // the item marked by the last call
  QString edit_text_;  // the edit field's text: as last shown, or as the user left it
};

class QtStatic : public QtControl<StaticControl> {
 public:
  QtStatic(QtWindow* window, const ControlPlacement& placement, const StaticStyle& style);
  void SetText(std::string_view text_gbk) override;
  std::string Text() const override { return text_; }
  void SetAlign(Align align, VAlign valign) override;
  void SetFont(const FontSpec& font) override;

 protected:
  // At least as tall as every line of the text needs.
  int ShownHeight(int height) const override;

 private:
  QLabel* label_ = nullptr;
  std::string text_;
};

class QtUpDown : public QtControl<UpDownControl> {
 public:
  QtUpDown(QtWindow* window, const ControlPlacement& placement, const UpDownStyle& style);
};

class QtBrowser : public QtControl<BrowserControl> {
 public:
  QtBrowser(QtWindow* window, const ControlPlacement& placement, std::string_view address_gbk);
  void Navigate(std::string_view address_gbk) override;
  std::string Address() const override { return address_; }

 private:
  QTextBrowser* browser_;
  std::string address_;
};

class CanvasViewport;

class QtCanvas : public QtControl<CanvasControl> {
 public:
  QtCanvas(QtWindow* window, const ControlPlacement& placement, const CanvasStyle& style);
  ~QtCanvas() override;
  Size ClientSize() const override;
  void InvalidateRect(const Rect& rect) override;
  void SetScrollBar(Orientation which, bool shown, const ScrollInfo& info) override;
  ScrollInfo ScrollBar(Orientation which) const override;
  void SetMouseCapture(bool capture) override;
  void ShowTip(const Rect& rect, std::string_view text_gbk, const FontSpec& font) override;
  void Invalidate() override;
  void RepaintNow() override;
  void SetFocus() override;
  QWidget* ContainerWidget() const override;

  // Called by the viewport.
  void Paint(const QRect& dirty);
  void Input(const InputEvent& event);
  void Layout();
  void PointerLeft();

 private:
  CanvasStyle style_;
  QFrame* frame_;
  QPointer<CanvasViewport> viewport_;
  QScrollBar* bars_[2];
  bool shown_[2];
  bool setting_scroll_ = false;
  QPointer<QLabel> tip_;
};

}  // namespace memo::platform::qt
