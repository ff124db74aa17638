#include "platform/qt/qt_convert.h"

#include <QKeyEvent>
#include <QWheelEvent>

#include <algorithm>

#include "platform/codec.h"
#include "platform/gbk.h"
#include "platform/key_chars.h"

namespace memo::platform::qt {

// Every conversion goes through the program's one codec (platform/codec.h), never through Qt's
// own GBK table, which decodes some codes differently: a text reads the same in a widget as in a
// file or on the console, and each GBK character is exactly one character of the QString.
QString FromGbk(std::string_view gbk) {
  if (gbk.empty()) return QString();
  return QString::fromStdString(GbkToUtf8(gbk));
}

std::string ToGbk(const QString& text) {
  if (text.isEmpty()) return std::string();
  QByteArray utf8 = text.toUtf8();
  return Utf8ToGbk(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

QString CharToQString(uint32_t character) { return FromGbk(GbkCharBytes(character)); }

uint32_t QStringToChar(const QString& text) {
  QByteArray utf8 = text.toUtf8();
  std::string bytes;
  if (text.isEmpty() ||
      !Utf8ToGbkStrict(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())),
                       &bytes) ||
      GbkCharCount(bytes) != 1) {
    return 0;
  }
  return GbkCharCodeAt(bytes, 0);
}

namespace {

// UTF-16 units of the character at `position` (a surrogate pair stays together).
qsizetype UnitsAt(const QString& text, qsizetype position) {
  return text.at(position).isHighSurrogate() && position + 1 < text.size() &&
                 text.at(position + 1).isLowSurrogate()
             ? 2
             : 1;
}

}  // namespace

std::vector<QString> SplitCharacters(const QString& text) {
  std::vector<QString> characters;
  for (qsizetype i = 0; i < text.size();) {
    qsizetype units = UnitsAt(text, i);
    characters.push_back(text.mid(i, units));
    i += units;
  }
  return characters;
}

int GbkLength(const QString& text) { return static_cast<int>(ToGbk(text).size()); }

int QtPositionOfByte(const QString& text, int byte_offset) {
  // The codec gives one GBK character per character of the QString, so the two walk in step.
  const std::string gbk = ToGbk(text);
  size_t byte = 0;
  qsizetype position = 0;
  while (position < text.size() && byte < gbk.size()) {
    size_t next = NextGbkChar(gbk, byte);
    if (next > static_cast<size_t>(std::max(0, byte_offset))) break;
    byte = next;
    position += UnitsAt(text, position);
  }
  return static_cast<int>(position);
}

int ByteOfQtPosition(const QString& text, int position) {
  if (position <= 0) return 0;
  return GbkLength(text.left(position));
}

QString ToQtLineBreaks(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QChar('\r'), QChar('\n'));
  return text;
}

QString ToCrLf(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QChar('\n'), QStringLiteral("\r\n"));
  return text;
}

namespace {

struct KeyPair {
  int qt;
  int vk;
};

// Keys whose codes differ between the two worlds. Letters and digits map onto their ASCII codes.
constexpr KeyPair kKeys[] = {
    {Qt::Key_Backspace, 8},
    {Qt::Key_Tab, 9},
    {Qt::Key_Backtab, 9},
    {Qt::Key_Clear, 12},
    {Qt::Key_Return, 13},
    {Qt::Key_Enter, 13},
    {Qt::Key_Shift, 16},
    {Qt::Key_Control, 17},
    {Qt::Key_Alt, 18},
    {Qt::Key_Pause, 19},
    {Qt::Key_CapsLock, 20},
    {Qt::Key_Escape, 27},
    {Qt::Key_Space, 32},
    {Qt::Key_PageUp, 33},
    {Qt::Key_PageDown, 34},
    {Qt::Key_End, 35},
    {Qt::Key_Home, 36},
    {Qt::Key_Left, 37},
    {Qt::Key_Up, 38},
    {Qt::Key_Right, 39},
    {Qt::Key_Down, 40},
    {Qt::Key_Print, 44},
    {Qt::Key_Insert, 45},
    {Qt::Key_Delete, 46},
    {Qt::Key_Help, 47},
    {Qt::Key_Meta, 91},
    {Qt::Key_Menu, 93},
    {Qt::Key_NumLock, 144},
    {Qt::Key_ScrollLock, 145},
    {Qt::Key_Semicolon, 186},
    {Qt::Key_Colon, 186},
    {Qt::Key_Equal, 187},
    {Qt::Key_Plus, 187},
    {Qt::Key_Comma, 188},
    {Qt::Key_Less, 188},
    {Qt::Key_Minus, 189},
    {Qt::Key_Underscore, 189},
    {Qt::Key_Period, 190},
    {Qt::Key_Greater, 190},
    {Qt::Key_Slash, 191},
    {Qt::Key_Question, 191},
    {Qt::Key_QuoteLeft, 192},
    {Qt::Key_AsciiTilde, 192},
    {Qt::Key_BracketLeft, 219},
    {Qt::Key_BraceLeft, 219},
    {Qt::Key_Backslash, 220},
    {Qt::Key_Bar, 220},
    {Qt::Key_BracketRight, 221},
    {Qt::Key_BraceRight, 221},
    {Qt::Key_Apostrophe, 222},
    {Qt::Key_QuoteDbl, 222},
    // Shifted digits on a US keyboard report their symbols.
    {Qt::Key_Exclam, '1'},
    {Qt::Key_At, '2'},
    {Qt::Key_NumberSign, '3'},
    {Qt::Key_Dollar, '4'},
    {Qt::Key_Percent, '5'},
    {Qt::Key_AsciiCircum, '6'},
    {Qt::Key_Ampersand, '7'},
    {Qt::Key_Asterisk, '8'},
    {Qt::Key_ParenLeft, '9'},
    {Qt::Key_ParenRight, '0'},
};

}  // namespace

int VirtualKeyOf(const QKeyEvent& event) {
  int key = event.key();
  bool keypad = (event.modifiers() & Qt::KeypadModifier) != 0;
  if (keypad) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return 96 + (key - Qt::Key_0);  // VK_NUMPAD0..9
    switch (key) {
      case Qt::Key_Asterisk: return 106;
      case Qt::Key_Plus: return 107;
      case Qt::Key_Minus: return 109;
      case Qt::Key_Period: return 110;
      case Qt::Key_Slash: return 111;
      default: break;
    }
  }
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return 'A' + (key - Qt::Key_A);
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return '0' + (key - Qt::Key_0);
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return 112 + (key - Qt::Key_F1);
  for (const KeyPair& pair : kKeys) {
    if (pair.qt == key) return pair.vk;
  }
  return 0;
}

int QtKeyOf(int virtual_key) {
  if (virtual_key >= 'A' && virtual_key <= 'Z') return Qt::Key_A + (virtual_key - 'A');
  if (virtual_key >= '0' && virtual_key <= '9') return Qt::Key_0 + (virtual_key - '0');
  if (virtual_key >= 112 && virtual_key <= 135) return Qt::Key_F1 + (virtual_key - 112);
  for (const KeyPair& pair : kKeys) {
    if (pair.vk == virtual_key) return pair.qt;
  }
  return Qt::Key_unknown;
}

InputEvent KeyInput(InputKind kind, const QKeyEvent& event) {
  InputEvent input;
  input.kind = kind;
  input.key = VirtualKeyOf(event) & 0x1FFF;
  input.shift = ShiftStateOf(event.modifiers());
  input.system_key = (event.modifiers() & Qt::AltModifier) != 0 || event.key() == Qt::Key_F10;
  input.auto_repeat = event.isAutoRepeat();
  return input;
}

QString TypedText(const QKeyEvent& event) {
  int key = event.key();
  if (key == Qt::Key_Delete) return QString();
  Qt::KeyboardModifiers modifiers = event.modifiers();
  if ((modifiers & Qt::ControlModifier) && !(modifiers & Qt::AltModifier)) {
    const uint32_t typed = CtrlCharacterOf(VirtualKeyOf(event));
    return typed ? QString(QChar(static_cast<char16_t>(typed))) : QString();
  }
  return event.text();
}

InputEvent WheelInput(const QWheelEvent& event) {
  InputEvent input;
  input.kind = InputKind::kWheel;
  input.wheel = event.angleDelta().y() / 120;
  input.shift = ShiftStateOf(event.modifiers());
  QPoint p = event.position().toPoint();
  input.x = p.x();
  input.y = p.y();
  return input;
}

int ShiftStateOf(Qt::KeyboardModifiers modifiers) {
  int shift = 0;
  if (modifiers & Qt::ControlModifier) shift |= kShiftCtrl;
  if (modifiers & Qt::ShiftModifier) shift |= kShiftShift;
  if (modifiers & Qt::AltModifier) shift |= kShiftAlt;
  return shift;
}

QFont ToQFont(const FontSpec& font, const QFont& default_font) {
  QFont out = default_font;
  if (font.IsDefault()) return out;
  if (!font.face_gbk.empty()) out.setFamily(FromGbk(font.face_gbk));
  // A negative LOGFONT height is the character height; a positive one the cell height, of
  // which the character takes about seven eighths.
  if (font.height < 0) out.setPixelSize(-font.height);
  if (font.height > 0) out.setPixelSize(std::max(1, font.height * 7 / 8));
  if (font.weight > 0) out.setWeight(font.weight >= 600 ? QFont::Bold : QFont::Normal);
  out.setItalic(font.italic);
  out.setUnderline(font.underline);
  out.setStrikeOut(font.strike_out);
  return out;
}

QColor ToQColor(Color color) { return QColor(RedOf(color), GreenOf(color), BlueOf(color)); }

Qt::CursorShape ToQtCursor(CursorShape shape) {
  switch (shape) {
    case CursorShape::kCross: return Qt::CrossCursor;
    case CursorShape::kIBeam: return Qt::IBeamCursor;
    case CursorShape::kWait: return Qt::WaitCursor;
    case CursorShape::kUpArrow: return Qt::UpArrowCursor;
    case CursorShape::kSizeAll: return Qt::SizeAllCursor;
    case CursorShape::kSizeNwse: return Qt::SizeFDiagCursor;
    case CursorShape::kSizeNesw: return Qt::SizeBDiagCursor;
    case CursorShape::kSizeWe: return Qt::SizeHorCursor;
    case CursorShape::kSizeNs: return Qt::SizeVerCursor;
    case CursorShape::kNo: return Qt::ForbiddenCursor;
    case CursorShape::kHand: return Qt::PointingHandCursor;
    case CursorShape::kAppStarting: return Qt::BusyCursor;
    case CursorShape::kHelp: return Qt::WhatsThisCursor;
    case CursorShape::kDefault:
    case CursorShape::kArrow:
    default: return Qt::ArrowCursor;
  }
}

}  // namespace memo::platform::qt
