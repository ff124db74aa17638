// Conversions between the seam's terms and Qt's: GBK texts and QString, virtual-key codes and
// Qt keys, FontSpec and QFont, colours, cursors.
#pragma once

#include <QColor>
#include <QCursor>
#include <QFont>
#include <QString>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/controls.h"
#include "platform/font.h"
#include "platform/geometry.h"
#include "platform/input.h"

class QKeyEvent;
class QWheelEvent;

namespace memo::platform::qt {

// GBK bytes to QString and back. Characters with no GBK form become '?'.
QString FromGbk(std::string_view gbk);
std::string ToGbk(const QString& text);

// A code-page character (a byte, or (lead << 8) | trail) as a QString, and back (0 when the
// text does not hold exactly one character of the code page).
QString CharToQString(uint32_t character);
uint32_t QStringToChar(const QString& text);

// The characters of a text, each as its own QString (a surrogate pair stays together).
std::vector<QString> SplitCharacters(const QString& text);

// The byte length of a QString in GBK.
int GbkLength(const QString& text);
// The QString position of a GBK byte offset into `text` (cut at a whole character), and back.
int QtPositionOfByte(const QString& text, int byte_offset);
int ByteOfQtPosition(const QString& text, int position);

// CR LF and lone CR as LF, for Qt's plain-text widgets; and LF back as CR LF.
QString ToQtLineBreaks(QString text);
QString ToCrLf(QString text);

// The Windows virtual-key code of a key event (0 when it has none), and the runtime's shift state
// (1 Ctrl, 2 Shift, 4 Alt) of Qt modifiers.
int VirtualKeyOf(const QKeyEvent& event);
int ShiftStateOf(Qt::KeyboardModifiers modifiers);
// The Qt key of a virtual-key code (Qt::Key_unknown when there is none).
int QtKeyOf(int virtual_key);

// A key press or release as the runtime's input: the virtual-key code (0 when the key has none),
// the shift state, whether it is a system key (pressed with Alt, or F10) and auto-repeat.
InputEvent KeyInput(InputKind kind, const QKeyEvent& event);

// The characters a key press types, as the classic keyboard translation gives them whatever the
// platform put into the event: Ctrl with a letter types its control character (Ctrl+V is 22),
// Ctrl+Enter a line feed, Ctrl+Backspace 127, Ctrl with any other key and the Delete key nothing.
QString TypedText(const QKeyEvent& event);

// A wheel turn as the runtime's input: whole notches (positive away from the user), the shift
// state and the position in the receiving widget.
InputEvent WheelInput(const QWheelEvent& event);

QFont ToQFont(const FontSpec& font, const QFont& default_font);
QColor ToQColor(Color color);
Qt::CursorShape ToQtCursor(CursorShape shape);

inline QRect ToQRect(const Rect& r) { return QRect(r.left, r.top, r.width, r.height); }
inline Rect FromQRect(const QRect& r) { return Rect{r.x(), r.y(), r.width(), r.height()}; }

}  // namespace memo::platform::qt
