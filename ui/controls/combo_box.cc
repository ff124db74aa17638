// Combo box: style 0 simple, 1 drop-down with an edit field, 2 drop-down list. The list is filled
// from the stored items with their item data, the current item set to the stored index (clamped
// to -1 .. count - 1), and for the kinds with an edit field the stored content and edit selection
// applied after it. Property 9 is the shown text, 19 the current item index.
#include "ui/controls/combo_box.h"

#include <algorithm>

#include "platform/controls.h"
#include "runtime/fatal.h"
#include "runtime/literal.h"
#include "ui/controls/combo_commands.h"
#include "ui/window/font_property.h"
#include "ui/window/property_numbers.h"
#include "ui/window/property_values.h"
#include "ui/window/standard_units.h"
#include "ui/window/window_runtime.h"

namespace memo::ui {

namespace {

platform::ComboKind KindOf(uint32_t style) {
  switch (style) {
    case 0: return platform::ComboKind::kSimple;
    case 2: return platform::ComboKind::kDropDownList;
    default: return platform::ComboKind::kDropDown;
  }
}

ComboBoxUnit* ComboArgument(int32_t arg_count, TypedValue* args) {
  if (arg_count < 1) FatalError(Gbk("指定窗口或窗口组件不存在或尚未载入"));
  ComboBoxUnit* combo = ComboBoxOf(UnitObject(args[0].low, args[0].high));
  if (!combo) FatalError(Gbk("指定窗口或窗口组件不存在或尚未载入"));
  return combo;
}

}  // namespace

ComboBoxUnit* ComboBoxOf(Unit* unit) { return UnitAs<ComboBoxUnit>(unit); }

ComboBoxUnit::ComboBoxUnit(const UnitContext& context, const ComboBoxBlock& block, ComboModel model,
                           platform::ComboControl* view)
    : Unit(context),
      block_(block),
      view_(view),
      presenter_(std::move(model), view, static_cast<int>(block.max_length)) {}

bool ComboBoxUnit::ReadProperty(int k, int sub_index, TypedValue* out) {
  const int32_t number = property::OwnNumber(k);
  const ComboModel& m = model();
  switch (number) {
    case property::kComboStyle: *out = IntResult(static_cast<int32_t>(block_.style)); return true;
    case property::kComboContent: *out = TextResult(m.ShownText()); return true;
    case property::kComboMaxLength:
      *out = IntResult(static_cast<int32_t>(block_.max_length));
      return true;
    case property::kComboSelectionStart:
    case property::kComboSelectionLength: {
      int start = 0;
      int length = 0;
      view_->GetEditSelection(&start, &length);
      *out = IntResult(number == property::kComboSelectionStart ? start : length);
      return true;
    }
    case property::kComboSorted: *out = BoolResult(m.sorted()); return true;
    case property::kComboExtraItemHeight:
      *out = IntResult(static_cast<int32_t>(block_.extra_item_height));
      return true;
    case property::kComboTextColour:
      *out = IntResult(static_cast<int32_t>(block_.text_colour));
      return true;
    case property::kComboBackground:
      *out = IntResult(static_cast<int32_t>(block_.background));
      return true;
    case property::kComboFont: *out = ReadFontProperty(block_.font, sub_index); return true;
    case property::kComboItemCount: *out = IntResult(m.count()); return true;
    case property::kComboCurrentIndex: *out = IntResult(m.current()); return true;
    case property::kComboCurrentItemData:
      *out = IntResult(static_cast<int32_t>(m.ItemData(m.current())));
      return true;
    default: return false;
  }
}

bool ComboBoxUnit::WriteProperty(int k, int sub_index, const TypedValue& value) {
  const int32_t number = property::OwnNumber(k);
  switch (number) {
    case property::kComboContent: presenter_.SetText(PropertyText(value)); return true;
    case property::kComboMaxLength:
      block_.max_length = static_cast<uint32_t>(std::max(0, PropertyInt(value)));
      presenter_.SetMaxEditBytes(static_cast<int>(block_.max_length));
      return true;
    case property::kComboSelectionStart: {
      int start = 0;
      int length = 0;
      view_->GetEditSelection(&start, &length);
      presenter_.SetEditSelection(std::max(0, PropertyInt(value)), 0);
      return true;
    }
    case property::kComboSelectionLength: {
      int start = 0;
      int length = 0;
      view_->GetEditSelection(&start, &length);
      presenter_.SetEditSelection(start, PropertyInt(value));
      return true;
    }
    case property::kComboTextColour:
    case property::kComboBackground:
      (number == property::kComboTextColour ? block_.text_colour : block_.background) =
          static_cast<uint32_t>(PropertyInt(value));
      view_->SetColors(block_.text_colour, block_.background);
      return true;
    case property::kComboFont:
      if (WriteFontProperty(&block_.font, sub_index, value))
        view_->SetFont(FontSpecOf(block_.font));
      return true;
    case property::kComboCurrentIndex: presenter_.SetCurrent(PropertyInt(value)); return true;
    case property::kComboCurrentItemData:
      presenter_.SetItemData(model().current(), static_cast<uint32_t>(PropertyInt(value)));
      return true;
    case property::kComboStyle:
    case property::kComboSorted:
    case property::kComboExtraItemHeight:
    case property::kComboItemCount: return true;  // fixed at creation, or read only
    default: return false;
  }
}

std::unique_ptr<Unit> CreateComboBoxUnit(const UnitCreation& creation) {
  ComboBoxBlock block;
  if (ReadComboBoxBlock(creation.record->type_block, &block) != BlockStatus::kOk) return nullptr;
  ComboModel model(KindOf(block.style), block.sorted != 0);
  for (size_t i = 0; i < block.items.size(); ++i) {
    model.AddItem(block.items[i], i < block.item_data.size() ? block.item_data[i] : 0);
  }
  model.SetCurrent(std::clamp(block.current_index, -1, model.count() - 1));
  if (model.HasEditField()) model.SetText(block.content);

  platform::ComboStyle style;
  style.kind = model.kind();
  style.extra_item_height = static_cast<int>(block.extra_item_height);
  style.text_color = block.text_colour;
  style.background = block.background;
  style.font = FontSpecOf(block.font);
  // The stored height of the drop-down kinds covers the box with its dropped list; the box
  // itself keeps the height the platform gives it, and its list sizes itself to its items.
  platform::ComboControl* view = creation.native->CreateCombo(creation.placement, style);
  if (!view) return nullptr;
  auto unit = std::make_unique<ComboBoxUnit>(creation.context, block, std::move(model), view);
  if (unit->model().HasEditField() && (block.selection_start != 0 || block.selection_length != 0)) {
    unit->presenter().SetEditSelection(static_cast<int>(block.selection_start),
                                       static_cast<int>(block.selection_length));
  }
  return unit;
}

void ComboItemCount(TypedValue* result, int32_t arg_count, TypedValue* args) {
  result->low = static_cast<uint32_t>(ComboArgument(arg_count, args)->model().count());
}

void ComboItemText(TypedValue* result, int32_t arg_count, TypedValue* args) {
  ComboBoxUnit* combo = ComboArgument(arg_count, args);
  int index = arg_count >= 2 && args[1].Present() ? PropertyInt(args[1]) : -1;
  TypedValue text = TextResult(combo->model().ItemView(index));
  result->low = text.low;
  result->high = text.high;
}

void ComboFindItem(TypedValue* result, int32_t arg_count, TypedValue* args) {
  ComboBoxUnit* combo = ComboArgument(arg_count, args);
  int found = -1;
  if (arg_count < 2 || args[1].tag == TypeTag::kText) {
    // A text is searched for where it lies: no copy per search.
    const char* text = arg_count >= 2 ? static_cast<const char*>(args[1].Pointer()) : nullptr;
    found = combo->model().FindItem(NonNullText(text));
  } else {
    found = combo->model().FindItem(PropertyText(args[1]));  // as the add command converts it
  }
  result->low = static_cast<uint32_t>(found);
}

void ComboAddItem(TypedValue* result, int32_t arg_count, TypedValue* args) {
  ComboBoxUnit* combo = ComboArgument(arg_count, args);
  std::string text = arg_count >= 2 ? PropertyText(args[1]) : std::string();
  uint32_t data =
      arg_count >= 3 && args[2].Present() ? static_cast<uint32_t>(PropertyInt(args[2])) : 0;
  result->low = static_cast<uint32_t>(combo->presenter().AddItem(text, data));
}

void ComboClear(TypedValue* result, int32_t arg_count, TypedValue* args) {
  (void)result;
  ComboArgument(arg_count, args)->presenter().Clear();
}

}  // namespace memo::ui
