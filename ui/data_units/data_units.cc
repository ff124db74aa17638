// The three data units. Each is a thin shell: the models (data/db_provider.h, data/data_source.h,
// ui/grid/grid.h) do the work; a unit holds its model, its control (if any), the stored names that
// link it to the others, and turns the model's reports into events.
//
// Linking: when every unit of the window exists (AllUnitsCreated), the grid looks up its data
// source and the data source its provider by unit name. The units of a window are destroyed
// together; each unlinks in Destroying, while all of them still exist.
#include "ui/data_units/data_units.h"

#include <utility>

#include "platform/window.h"
#include "runtime/dispatch.h"
#include "runtime/heap.h"
#include "runtime/text.h"
#include "ui/data_units/backend_data_host.h"
#include "ui/data_units/navigation_bar.h"
#include "ui/window/events.h"
#include "ui/window/property_numbers.h"
#include "ui/window/property_values.h"
#include "ui/window/window_runtime.h"

namespace memo::ui {

namespace {

// --- DBProvider ---------------------------------------------------------------------------------

class DBProviderUnit final : public Unit {
 public:
  DBProviderUnit(const UnitContext& context, const DBProviderBlock& block)
      : Unit(context), block_(block) {
    provider_.set_show_byte_sets(block_.word_after != 0);
    // The stored name is the design-time connection; a name that cannot be opened here leaves
    // the provider unconnected until the program names a file.
    if (!block_.file_name.empty()) provider_.Connect(block_.file_name);
  }

  db::DBProvider& provider() { return provider_; }

  bool ReadProperty(int k, int sub_index, TypedValue* out) override {
    (void)sub_index;
    switch (property::OwnNumber(k)) {
      case property::kProviderFileName: *out = TextResult(provider_.file_name()); return true;
      case property::kProviderShowByteSets:
        *out = BoolResult(provider_.show_byte_sets());
        return true;
      case property::kProviderPassword: *out = TextResult(provider_.password()); return true;
      default: return false;
    }
  }

  bool WriteProperty(int k, int sub_index, const TypedValue& value) override {
    (void)sub_index;
    switch (property::OwnNumber(k)) {
      case property::kProviderFileName: provider_.Connect(PropertyText(value)); return true;
      case property::kProviderShowByteSets:
        provider_.set_show_byte_sets(PropertyBool(value));
        return true;
      case property::kProviderPassword: provider_.set_password(PropertyText(value)); return true;
      default: return false;
    }
  }

  void Destroying() override { provider_.Disconnect(); }

 private:
  DBProviderBlock block_;
  db::DBProvider provider_;
};

// --- DataSrc ------------------------------------------------------------------------------------

class DataSrcUnit final : public Unit {
 public:
  DataSrcUnit(const UnitContext& context, const DataSrcBlock& block,
              platform::CanvasControl* canvas)
      : Unit(context), block_(block), canvas_(canvas), bar_(canvas) {
    source_.set_read_only(block_.words[DataSrcBlock::kReadOnlyWord] != 0);
    source_.set_insert_allowed(block_.words[DataSrcBlock::kInsertAllowedWord] != 0);
    source_.set_delete_allowed(block_.words[DataSrcBlock::kDeleteAllowedWord] != 0);
    bar_.on_button = [this](db::NavigationButton button) { source_.Navigate(button); };
  }

  db::DataSource& source() { return source_; }
  platform::Control* control() const override { return canvas_; }

  void AllUnitsCreated() override { ConnectByName(); }

  bool ReadProperty(int k, int sub_index, TypedValue* out) override {
    (void)sub_index;
    switch (property::OwnNumber(k)) {
      case property::kDataSrcReadOnly: *out = BoolResult(source_.read_only()); return true;
      case property::kDataSrcInsertAllowed:
        *out = BoolResult(source_.insert_allowed());
        return true;
      case property::kDataSrcDeleteAllowed:
        *out = BoolResult(source_.delete_allowed());
        return true;
      case property::kDataSrcProviderName: *out = TextResult(block_.provider); return true;
      default: return false;
    }
  }

  bool WriteProperty(int k, int sub_index, const TypedValue& value) override {
    (void)sub_index;
    switch (property::OwnNumber(k)) {
      case property::kDataSrcReadOnly: source_.set_read_only(PropertyBool(value)); return true;
      case property::kDataSrcInsertAllowed:
        source_.set_insert_allowed(PropertyBool(value));
        return true;
      case property::kDataSrcDeleteAllowed:
        source_.set_delete_allowed(PropertyBool(value));
        return true;
      case property::kDataSrcProviderName:
        block_.provider = PropertyText(value);
        ConnectByName();
        return true;
      default: return false;
    }
  }

  void Destroying() override {
    bar_.Detach();
    source_.Connect(nullptr);
  }

 private:
  void ConnectByName() {
    Unit* unit = window() ? window()->FindUnitByName(block_.provider) : nullptr;
    source_.Connect(ProviderOfUnit(unit));
  }

  DataSrcBlock block_;
  platform::CanvasControl* canvas_;
  NavigationBar bar_;
  db::DataSource source_;
};

// --- Grid ---------------------------------------------------------------------------------------

// The grid's own properties are its block's words, then the data source's name.
static_assert(property::kGridDataSourceName - property::kGridFirstWord == GridBlock::kWordCount);
static_assert(property::kGridBackground - property::kGridFirstWord == GridBlock::kBackgroundWord);
static_assert(property::kGridScale - property::kGridFirstWord == GridBlock::kScaleWord);
static_assert(property::kGridRangeSelection - property::kGridFirstWord ==
              GridBlock::kRangeSelectionWord);
static_assert(property::kGridHeadingSelection - property::kGridFirstWord ==
              GridBlock::kHeadingSelectionWord);

class GridUnit final : public Unit {
 public:
  GridUnit(const UnitContext& context, const GridBlock& block, platform::Window* native,
           platform::CanvasControl* canvas)
      : Unit(context),
        data_source_name_(block.data_source),
        canvas_(canvas),
        grid_(native, canvas, block) {
    grid_.on_editor_created = [this](platform::EditControl* editor) {
      if (window()) window()->AdoptChild(editor, this);
    };
    grid_.on_editor_destroying = [this](platform::EditControl* editor) {
      if (window()) window()->ForgetChild(editor);
    };
    grid_.on_corners_changed = [this](bool first, bool second) { RaiseCorners(first, second); };
    grid_.on_cell_editing = [this](int row, int column, const std::string& text) {
      return RaiseCellEditing(row, column, text);
    };
  }

  Grid& grid() { return grid_; }
  platform::Control* control() const override { return canvas_; }

  void AllUnitsCreated() override { BindByName(); }

  platform::InputDecision FilterChildInput(platform::Control* child,
                                           const platform::InputEvent& event) override {
    if (child && child == grid_.editor()) return grid_.FilterEditorInput(event);
    return platform::InputDecision::Pass();
  }

  bool ReadProperty(int k, int sub_index, TypedValue* out) override {
    (void)sub_index;
    const int32_t number = property::OwnNumber(k);
    if (number >= property::kGridFirstWord && number < property::kGridDataSourceName) {
      *out =
          IntResult(static_cast<int32_t>(grid_.block().words[number - property::kGridFirstWord]));
      return true;
    }
    if (number == property::kGridDataSourceName) {
      *out = TextResult(data_source_name_);
      return true;
    }
    return false;
  }

  bool WriteProperty(int k, int sub_index, const TypedValue& value) override {
    (void)sub_index;
    const int32_t number = property::OwnNumber(k);
    if (number >= property::kGridFirstWord && number < property::kGridDataSourceName) {
      grid_.SetBlockWord(number - property::kGridFirstWord,
                         static_cast<uint32_t>(PropertyInt(value)));
      return true;
    }
    if (number == property::kGridDataSourceName) {
      data_source_name_ = PropertyText(value);
      BindByName();
      return true;
    }
    return false;
  }

  void Destroying() override { grid_.Detach(); }

 private:
  void BindByName() {
    Unit* unit = window() ? window()->FindUnitByName(data_source_name_) : nullptr;
    grid_.Bind(DataSourceOfUnit(unit));
  }

  // Event 0 for the first corner, then event 1 for the second, each with its row and column.
  void RaiseCorners(bool first, bool second) {
    std::weak_ptr<char> life = LifeToken();
    const GridCell a = grid_.selection().first();
    const GridCell b = grid_.selection().second();
    if (first) {
      Raise(0, {a.row, a.column});
      if (life.expired()) return;
    }
    if (second) Raise(1, {b.row, b.column});
  }

  // Event kGridCellEditing: row, column (Int) and the new text (Text, a block of this call). Only
  // a routine that returns false refuses the write; no routine, or one that returns nothing,
  // lets it happen.
  bool RaiseCellEditing(int row, int column, const std::string& text) {
    TextOwner block(CopyStringAsText(text));
    ExtendedEventRecord record;
    record.window_id = window_id();
    record.unit_id = unit_id();
    record.event = kGridCellEditing;
    record.arg_count = 3;
    record.args[0].value = IntValue(row);
    record.args[1].value = IntValue(column);
    record.args[2].value = TextValue(block.get());
    if (!RaiseEvent(&record)) return true;
    return record.has_result == 0 || record.result != 0;
  }

  std::string data_source_name_;
  platform::CanvasControl* canvas_;
  Grid grid_;
};

}  // namespace

// --- Factories ----------------------------------------------------------------------------------

std::unique_ptr<Unit> CreateDBProviderUnitFromBlock(const UnitCreation& creation,
                                                    const DBProviderBlock& block) {
  InstallBackendDataHost();  // before the provider connects and measures its columns
  return std::make_unique<DBProviderUnit>(creation.context, block);
}

std::unique_ptr<Unit> CreateDataSrcUnitFromBlock(const UnitCreation& creation,
                                                 const DataSrcBlock& block) {
  InstallBackendDataHost();
  if (!creation.native) return nullptr;
  platform::CanvasStyle style;
  style.border = 1;
  style.wants_all_keys = false;
  platform::CanvasControl* canvas = creation.native->CreateCanvas(creation.placement, style);
  if (!canvas) return nullptr;
  return std::make_unique<DataSrcUnit>(creation.context, block, canvas);
}

std::unique_ptr<Unit> CreateGridUnitFromBlock(const UnitCreation& creation,
                                              const GridBlock& block) {
  InstallBackendDataHost();
  if (!creation.native) return nullptr;
  platform::CanvasStyle style;
  style.border = 1;
  style.background = block.words[GridBlock::kBackgroundWord];
  style.horizontal_scroll_bar = true;
  style.vertical_scroll_bar = true;
  style.wants_all_keys = true;
  platform::CanvasControl* canvas = creation.native->CreateCanvas(creation.placement, style);
  if (!canvas) return nullptr;
  return std::make_unique<GridUnit>(creation.context, block, creation.native, canvas);
}

Grid* GridOfUnit(Unit* unit) {
  auto* grid = UnitAs<GridUnit>(unit);
  return grid ? &grid->grid() : nullptr;
}

db::DataSource* DataSourceOfUnit(Unit* unit) {
  auto* source = UnitAs<DataSrcUnit>(unit);
  return source ? &source->source() : nullptr;
}

db::DBProvider* ProviderOfUnit(Unit* unit) {
  auto* provider = UnitAs<DBProviderUnit>(unit);
  return provider ? &provider->provider() : nullptr;
}

}  // namespace memo::ui
