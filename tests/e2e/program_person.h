// The person at the running program: finds the live windows' widgets through the window runtime
// and works them with real input — QTest mouse clicks and key clicks, Chinese text committed as
// an input method commits it, menus opened from the menu bar and picked from, message boxes
// answered — and saves what a window shows.
#pragma once

#include <QPoint>
#include <QString>

#include <cstdint>
#include <string>

class QMenu;
class QMessageBox;
class QWidget;

namespace memo::ui {
class EGrid;
class Grid;
class Unit;
}  // namespace memo::ui

namespace memo::e2e {

// The top-level widget of an open window, or null.
QWidget* WindowWidgetOf(uint32_t window_id);
// Open, loaded, shown, exposed and not waiting behind a modal message box or pop-up.
bool WindowReady(uint32_t window_id);
// True when no window of that id is open any more.
bool WindowGone(uint32_t window_id);

// A unit of an open window by its definition name (UTF-8), or null.
ui::Unit* UnitNamed(uint32_t window_id, const char* name_utf8);
// The widget of that unit's control, or null.
QWidget* WidgetNamed(uint32_t window_id, const char* name_utf8);
// The grids behind those units, or null.
ui::Grid* GridNamed(uint32_t window_id, const char* name_utf8);
ui::EGrid* EGridNamed(uint32_t window_id, const char* name_utf8);
// The painted area of a grid's canvas (where clicks go).
QWidget* GridViewportNamed(uint32_t window_id, const char* name_utf8);

// The message box on top that says `text` (UTF-8), or null.
QMessageBox* BoxSaying(const char* text_utf8);
// Clicks the box's button with that caption (UTF-8); false when there is none.
bool PressBoxButton(QMessageBox* box, const char* caption_utf8);

// The open pop-up menu that offers `item` (UTF-8), or null.
QMenu* MenuOffering(const char* item_utf8);
// Clicks a menu's item; false when it has none of that caption.
bool ClickMenuItem(QMenu* menu, const char* item_utf8);
// Clicks the menu bar entry of a window's menu bar; false when there is none.
bool ClickMenuBarEntry(QWidget* window, const char* entry_utf8);

// A left click in the middle of the widget (or at `at`).
void Click(QWidget* widget);
void ClickAt(QWidget* widget, QPoint at);
// Types text into the widget that takes the control's keys (an editable combo box's edit field,
// an edit box): keyboard characters as key clicks, everything else committed the way an input
// method commits composed text.
void Type(QWidget* widget, const char* text_utf8);
void PressEnter(QWidget* widget);

// What an edit box, an editable combo box or a label shows (UTF-8).
std::string ShownText(QWidget* widget);

// Saves what the window shows as <dir>/<name>.png; false when it cannot be written.
bool SaveScreenshot(QWidget* window, const std::string& dir, const std::string& name);

}  // namespace memo::e2e
