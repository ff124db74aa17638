// The advanced grid on its canvas: draws the model, turns clicks, keys, the wheel and the scroll
// bars into focus moves and scrolling, shows title tips over cut-off texts, and raises the grid's
// events on the left button's release.
//
// Events go through an event sink (the unit's Raise in a window, a recorder in tests). Any event
// routine may destroy the grid (closing its window): after every event the grid checks its life
// tokens and, when one has expired, returns at once without touching a member.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>

#include "platform/controls.h"
#include "platform/font.h"
#include "platform/input.h"
#include "runtime/value.h"
#include "ui/advanced_grid/egrid_model.h"
#include "ui/advanced_grid/egrid_settings.h"

namespace memo::ui {

namespace egrid_event {
constexpr int32_t kFocusChanged = 0;      // no arguments
constexpr int32_t kLeftButtonUp = 5;      // x, y in client pixels
constexpr int32_t kFixedCellClicked = 8;  // row, column
}  // namespace egrid_event

class EGrid {
 public:
  using EventSink = std::function<void(int32_t event, std::initializer_list<int32_t> args)>;

  // Draws on `canvas` and takes its input, scroll and resize notifications until Detach() or
  // destruction. REQUIRES: the canvas outlives this object or is detached first.
  EGrid(platform::CanvasControl* canvas, const EGridSettings& settings);
  ~EGrid();
  EGrid(const EGrid&) = delete;
  EGrid& operator=(const EGrid&) = delete;

  void SetEventSink(EventSink sink) { sink_ = std::move(sink); }
  // A further token whose expiry means the grid is gone (the unit's, which expires when its
  // window destroys it, a moment before the object itself goes).
  void SetLifeToken(std::weak_ptr<char> token);
  // Forgets the canvas (its window is destroying it); the grid draws and raises nothing after.
  void Detach();

  EGridModel& model() { return model_; }
  const EGridModel& model() const { return model_; }
  platform::CanvasControl* canvas() const { return canvas_; }
  const platform::FontSpec& font() const { return font_; }
  void SetFont(const platform::FontSpec& font);

  // The grid's own properties by number (property::kEGridRowHeight ...). Reading fills *out
  // (owned by the caller); false for a number the grid does not have. A refused write is still
  // handled (true) and changes nothing.
  bool ReadProperty(int32_t number, TypedValue* out) const;
  bool WriteProperty(int32_t number, const TypedValue& value);

  // Scrolls so that the cell is fully shown (where it fits) and returns its client rectangle;
  // nullopt outside the grid or without a canvas. With model().rows(), columns(), CellText()
  // and focus() this is what a script inspects and clicks.
  std::optional<platform::Rect> CellClientRect(int row, int column);
  void ScrollIntoView(CellPos cell);
  // Fits a column to the widest text of its cells in view (fixed rows included), as a double
  // click on its border in a fixed row does.
  void FitColumn(int column);

  // Widths a person gave columns (by dragging or fitting) last for the run of the program: they
  // are kept under `key` (one per grid of a window definition) and win over the widths the
  // program sets, in this grid and in every later one under the same key.
  void RememberWidthsAs(uint64_t key);
  // The program's column width (the set-column-width command): false for a column outside the
  // grid; a width the person gave the column stays.
  bool SetProgramColumnWidth(int column, int width);

  // The canvas's input, scroll bars and resizing, as the canvas hands them over.
  void HandleInput(const platform::InputEvent& event);
  void HandleScroll(platform::Orientation which, platform::ScrollAction action, int track);

 private:
  void OnModelChanged();
  void UpdateScrollBars();
  void SendScrollBar(int i, bool shown, const platform::ScrollInfo& info);
  void Press(platform::Point at);
  void Release(platform::Point at);
  void MouseMoved(platform::Point at);
  void KeyDown(int key, int shift);
  void UpdateTip(platform::Point at);
  void HideTip();
  // Keeps the width a person gave a column for the later grids under the same key.
  void RememberUserWidth(int column);
  // The column whose right edge in a fixed row is under the point (resizing), or -1.
  int ResizableColumnAt(platform::Point at) const;
  platform::Size Client() const;
  // Raises an event; false when the grid is gone afterwards.
  bool Raise(int32_t event, std::initializer_list<int32_t> args);

  platform::CanvasControl* canvas_;
  EGridModel model_;
  platform::FontSpec font_;
  EventSink sink_;
  std::shared_ptr<char> alive_;
  std::weak_ptr<char> outer_life_;
  bool has_outer_life_ = false;
  bool wants_bars_[2];  // horizontal, vertical: what the type block allows
  bool bar_shown_[2];
  bool bar_sent_[2];  // whether the canvas has been told anything about the bar yet
  platform::ScrollInfo bar_info_[2];
  bool updating_bars_ = false;
  CellPos released_focus_;    // the focus cell as of the previous left-button release
  int resizing_column_ = -1;  // the column being resized by a drag, or -1
  int resizing_start_ = 0;    // its left edge in client pixels
  CellPos tip_cell_;
  bool tip_shown_ = false;
  bool sizing_pointer_ = false;  // the pointer shows the sizing shape over a column border
  uint64_t width_key_ = 0;
  bool has_width_key_ = false;
};

}  // namespace memo::ui
