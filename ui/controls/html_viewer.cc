// HTML viewer: a browser view over the whole control, opening its stored address at creation
// when there is one. Its own properties are the block's three words, then the address
// (property::kHtmlAddress): writing it stores and opens it.
#include <type_traits>

#include "platform/controls.h"
#include "ui/format/type_blocks.h"
#include "ui/window/property_numbers.h"
#include "ui/window/property_values.h"
#include "ui/window/standard_units.h"

namespace memo::ui {

namespace {

static_assert(property::kHtmlAddress - property::kHtmlFirstWord ==
              std::extent_v<decltype(HtmlViewerBlock::words)>);

class HtmlViewerUnit : public Unit {
 public:
  HtmlViewerUnit(const UnitContext& context, const HtmlViewerBlock& block,
                 platform::BrowserControl* browser)
      : Unit(context), block_(block), browser_(browser) {}

  platform::Control* control() const override { return browser_; }

  bool ReadProperty(int k, int sub_index, TypedValue* out) override {
    (void)sub_index;
    const int32_t number = property::OwnNumber(k);
    if (number >= property::kHtmlFirstWord && number < property::kHtmlAddress) {
      *out = IntResult(static_cast<int32_t>(block_.words[number - property::kHtmlFirstWord]));
      return true;
    }
    if (number == property::kHtmlAddress) {
      *out = TextResult(block_.address);
      return true;
    }
    return false;
  }

  bool WriteProperty(int k, int sub_index, const TypedValue& value) override {
    (void)sub_index;
    const int32_t number = property::OwnNumber(k);
    if (number >= property::kHtmlFirstWord && number < property::kHtmlAddress) {
      block_.words[number - property::kHtmlFirstWord] = static_cast<uint32_t>(PropertyInt(value));
      return true;
    }
    if (number == property::kHtmlAddress) {
      block_.address = PropertyText(value);
      browser_->Navigate(block_.address);
      return true;
    }
    return false;
  }

 private:
  HtmlViewerBlock block_;
  platform::BrowserControl* browser_;
};

}  // namespace

std::unique_ptr<Unit> CreateHtmlViewerUnit(const UnitCreation& creation) {
  HtmlViewerBlock block;
  if (ReadHtmlViewerBlock(creation.record->type_block, &block) != BlockStatus::kOk) {
    return nullptr;
  }
  platform::BrowserControl* browser =
      creation.native->CreateBrowser(creation.placement, block.address);
  if (!browser) return nullptr;
  return std::make_unique<HtmlViewerUnit>(creation.context, block, browser);
}

}  // namespace memo::ui
