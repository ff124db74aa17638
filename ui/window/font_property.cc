#include "ui/window/font_property.h"

#include <cmath>
#include <cstdlib>

#include "platform/backend.h"
#include "runtime/text.h"
#include "ui/window/property_values.h"

namespace memo::ui {

namespace {

constexpr size_t kMaxFaceBytes = 31;

// The LOGFONT a sub-property write starts from: the stored one, or the default GUI font.
LogFont Effective(const StoredFont& font) {
  if (font.present) return font.font;
  LogFont log;
  if (platform::Backend* backend = platform::CurrentBackend()) {
    platform::FontSpec spec = backend->DefaultGuiFont();
    log.height = spec.height;
    log.weight = spec.weight;
    log.face = spec.face_gbk.substr(0, kMaxFaceBytes);
  }
  return log;
}

}  // namespace

int PointSizeOfHeight(int32_t height) {
  return static_cast<int>(std::lround(std::abs(static_cast<double>(height)) * 72.0 / 96.0));
}

int32_t HeightOfPointSize(int points) {
  return -static_cast<int32_t>(std::lround(static_cast<double>(points) * 96.0 / 72.0));
}

TypedValue ReadFontProperty(const StoredFont& font, int sub_index) {
  LogFont log = Effective(font);
  switch (sub_index) {
    case kFontWhole: return ByteSetResult(font.present ? WriteLogFont(font.font) : std::string());
    case kFontRotation: return IntResult(log.escapement);
    case kFontBold: return BoolResult(log.weight >= 700);
    case kFontItalic: return BoolResult(log.italic != 0);
    case kFontUnderline: return BoolResult(log.underline != 0);
    case kFontStrikeOut: return BoolResult(log.strike_out != 0);
    case kFontSize: return IntResult(PointSizeOfHeight(log.height));
    case kFontFace: return TextResult(log.face);
    default: return TypedValue{};
  }
}

bool WriteFontProperty(StoredFont* font, int sub_index, const TypedValue& value) {
  if (sub_index == kFontWhole) {
    std::string bytes = PropertyBytes(value);
    if (bytes.empty()) {
      *font = StoredFont{};
      return true;
    }
    LogFont log;
    if (!ReadLogFont(bytes, &log)) return false;
    font->present = true;
    font->font = log;
    return true;
  }
  LogFont log = Effective(*font);
  switch (sub_index) {
    case kFontRotation: {
      int32_t angle = PropertyInt(value) % 3600;
      if (angle < 0) angle += 3600;
      log.escapement = angle;
      log.orientation = angle;
      break;
    }
    case kFontBold: log.weight = PropertyBool(value) ? 700 : 0; break;
    case kFontItalic: log.italic = PropertyBool(value) ? 1 : 0; break;
    case kFontUnderline: log.underline = PropertyBool(value) ? 1 : 0; break;
    case kFontStrikeOut: log.strike_out = PropertyBool(value) ? 1 : 0; break;
    case kFontSize: {
      int points = PropertyInt(value);
      if (points <= 0) return false;
      log.height = HeightOfPointSize(points);
      break;
    }
    case kFontFace: {
      std::string face = PropertyText(value);
      if (face.empty() || face.size() > kMaxFaceBytes) return false;
      log.face = face;
      break;
    }
    default: return false;
  }
  font->present = true;
  font->font = log;
  return true;
}

}  // namespace memo::ui
