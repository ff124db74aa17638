#include "ui/advanced_grid/egrid_unit.h"

#include "platform/controls.h"
#include "ui/advanced_grid/egrid_settings.h"
#include "ui/window/property_numbers.h"

namespace memo::ui {

namespace {

class EGridUnit final : public Unit {
 public:
  EGridUnit(const UnitContext& context, platform::CanvasControl* canvas,
            const EGridSettings& settings)
      : Unit(context), canvas_(canvas), grid_(canvas, settings) {
    grid_.SetLifeToken(LifeToken());
    grid_.RememberWidthsAs(uint64_t{context.window_id} << 32 | context.unit_id);
    grid_.SetEventSink(
        [this](int32_t event, std::initializer_list<int32_t> args) { Raise(event, args); });
  }

  EGrid& grid() { return grid_; }

  platform::Control* control() const override { return canvas_; }

  bool ReadProperty(int k, int sub_index, TypedValue* out) override {
    (void)sub_index;
    return grid_.ReadProperty(property::OwnNumber(k), out);
  }
  bool WriteProperty(int k, int sub_index, const TypedValue& value) override {
    (void)sub_index;
    return grid_.WriteProperty(property::OwnNumber(k), value);
  }

  // The canvas goes with the window right after this.
  void Destroying() override { grid_.Detach(); }

 private:
  platform::CanvasControl* canvas_;
  EGrid grid_;
};

}  // namespace

std::unique_ptr<Unit> CreateEGridUnit(const UnitCreation& creation) {
  EGridBlock block;
  if (ReadEGridBlock(creation.record->type_block, &block) != BlockStatus::kOk) return nullptr;
  return CreateEGridUnitFromBlock(creation, block);
}

std::unique_ptr<Unit> CreateEGridUnitFromBlock(const UnitCreation& creation,
                                               const EGridBlock& block) {
  EGridSettings settings;
  if (SettingsFromBlock(block, &settings) != EGridBlockError::kNone) return nullptr;
  platform::CanvasStyle style;
  style.border = settings.border;
  style.background = settings.background;
  style.horizontal_scroll_bar = false;  // the grid shows its bars once they are needed
  style.vertical_scroll_bar = false;
  style.wants_all_keys = false;  // arrows are the grid's; Tab and Enter stay the window's
  platform::CanvasControl* canvas = creation.native->CreateCanvas(creation.placement, style);
  if (!canvas) return nullptr;
  return std::make_unique<EGridUnit>(creation.context, canvas, settings);
}

EGrid* EGridOf(Unit* unit) {
  auto* grid = UnitAs<EGridUnit>(unit);
  return grid ? &grid->grid() : nullptr;
}

}  // namespace memo::ui
