// Button: a push button with the caption of its block. A click raises event 0; a default
// button (type 1) also takes an Enter pressed elsewhere in its window.
#include "platform/controls.h"
#include "ui/format/type_blocks.h"
#include "ui/window/events.h"
#include "ui/window/font_property.h"
#include "ui/window/property_numbers.h"
#include "ui/window/property_values.h"
#include "ui/window/standard_units.h"

namespace memo::ui {

namespace {

platform::Align AlignOf(uint32_t v) {
  return v == 0 ? platform::Align::kLeft
                : (v == 2 ? platform::Align::kRight : platform::Align::kCentre);
}
platform::VAlign VAlignOf(uint32_t v) {
  return v == 0 ? platform::VAlign::kTop
                : (v == 2 ? platform::VAlign::kBottom : platform::VAlign::kCentre);
}

class ButtonUnit : public Unit {
 public:
  ButtonUnit(const UnitContext& context, const ButtonBlock& block, platform::ButtonControl* button)
      : Unit(context), block_(block), button_(button) {
    button_->on_click = [this] { Raise(event::kClicked); };
  }

  platform::Control* control() const override { return button_; }
  bool TakesEnter(bool focused) const override { return focused || block_.type == 1; }
  std::string MnemonicCaption() const override { return block_.caption; }
  void Activate() override { button_->Click(); }

  bool ReadProperty(int k, int sub_index, TypedValue* out) override {
    const int32_t number = property::OwnNumber(k);
    switch (number) {
      case property::kButtonCaption: *out = TextResult(block_.caption); return true;
      case property::kButtonType: *out = IntResult(static_cast<int32_t>(block_.type)); return true;
      case property::kButtonHAlign:
        *out = IntResult(static_cast<int32_t>(block_.halign));
        return true;
      case property::kButtonVAlign:
        *out = IntResult(static_cast<int32_t>(block_.valign));
        return true;
      case property::kButtonPicture: *out = ByteSetResult(block_.picture); return true;
      case property::kButtonFont: *out = ReadFontProperty(block_.font, sub_index); return true;
      default: return false;
    }
  }

  bool WriteProperty(int k, int sub_index, const TypedValue& value) override {
    const int32_t number = property::OwnNumber(k);
    switch (number) {
      case property::kButtonCaption:
        block_.caption = PropertyText(value);
        button_->SetCaption(block_.caption);
        return true;
      case property::kButtonType:
        block_.type = PropertyInt(value) == 1 ? 1 : 0;
        button_->SetDefault(block_.type == 1);
        return true;
      case property::kButtonHAlign:
      case property::kButtonVAlign:
      case property::kButtonPicture: return true;  // fixed at creation
      case property::kButtonFont:
        if (WriteFontProperty(&block_.font, sub_index, value)) {
          button_->SetFont(FontSpecOf(block_.font));
        }
        return true;
      default: return false;
    }
  }

 private:
  ButtonBlock block_;
  platform::ButtonControl* button_;
};

}  // namespace

std::unique_ptr<Unit> CreateButtonUnit(const UnitCreation& creation) {
  ButtonBlock block;
  if (ReadButtonBlock(creation.record->type_block, &block) != BlockStatus::kOk) return nullptr;
  platform::ButtonStyle style;
  style.caption_gbk = block.caption;
  style.default_button = block.type == 1;
  style.align = AlignOf(block.halign);
  style.valign = VAlignOf(block.valign);
  style.picture_bytes = block.picture;
  style.font = FontSpecOf(block.font);
  platform::ButtonControl* button = creation.native->CreateButton(creation.placement, style);
  if (!button) return nullptr;
  return std::make_unique<ButtonUnit>(creation.context, block, button);
}

platform::FontSpec FontSpecOf(const StoredFont& font) {
  return font.present ? font.font.ToFontSpec() : platform::FontSpec{};
}

}  // namespace memo::ui
