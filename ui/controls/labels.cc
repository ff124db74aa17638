// Label and transparent label: static text. A label shows several lines separated by CR LF; a
// transparent label has no background of its own, the window shows through around its text.
#include "platform/controls.h"
#include "ui/format/type_blocks.h"
#include "ui/window/font_property.h"
#include "ui/window/property_numbers.h"
#include "ui/window/property_values.h"
#include "ui/window/standard_units.h"

namespace memo::ui {

namespace {

class StaticUnit : public Unit {
 public:
  StaticUnit(const UnitContext& context, platform::StaticControl* label, StoredFont font,
             bool has_font)
      : Unit(context), label_(label), font_(std::move(font)), has_font_(has_font) {}

  platform::Control* control() const override { return label_; }

  bool ReadProperty(int k, int sub_index, TypedValue* out) override {
    const int32_t number = property::OwnNumber(k);
    if (number == property::kLabelText) {
      *out = TextResult(label_->Text());
      return true;
    }
    if (number == property::kLabelFont && has_font_) {
      *out = ReadFontProperty(font_, sub_index);
      return true;
    }
    return false;
  }

  bool WriteProperty(int k, int sub_index, const TypedValue& value) override {
    const int32_t number = property::OwnNumber(k);
    if (number == property::kLabelText) {
      label_->SetText(PropertyText(value));
      return true;
    }
    if (number == property::kLabelFont && has_font_) {
      if (WriteFontProperty(&font_, sub_index, value)) label_->SetFont(FontSpecOf(font_));
      return true;
    }
    return false;
  }

 private:
  platform::StaticControl* label_;
  StoredFont font_;
  bool has_font_;
};

}  // namespace

std::unique_ptr<Unit> CreateLabelUnit(const UnitCreation& creation) {
  LabelBlock block;
  if (ReadLabelBlock(creation.record->type_block, &block) != BlockStatus::kOk) return nullptr;
  platform::StaticStyle style;
  style.text_gbk = block.text;
  style.word_wrap = true;
  platform::StaticControl* label = creation.native->CreateStatic(creation.placement, style);
  if (!label) return nullptr;
  return std::make_unique<StaticUnit>(creation.context, label, StoredFont{}, false);
}

std::unique_ptr<Unit> CreateTransLabelUnit(const UnitCreation& creation) {
  TransLabelBlock block;
  if (ReadTransLabelBlock(creation.record->type_block, &block) != BlockStatus::kOk) {
    return nullptr;
  }
  platform::StaticStyle style;
  style.text_gbk = block.text;
  style.transparent = true;
  style.word_wrap = true;
  style.font = FontSpecOf(block.font);
  platform::StaticControl* label = creation.native->CreateStatic(creation.placement, style);
  if (!label) return nullptr;
  return std::make_unique<StaticUnit>(creation.context, label, block.font, true);
}

}  // namespace memo::ui
