// The data units as the window runtime uses them: created from their blocks, linked by unit name
// once all exist, their type properties, the grid's adopted editor, its events 0 and 1, and the
// commands' work once the unit is found. The window is a stand-in LiveWindow over a headless
// native window; events go through the real dispatcher, over a store loaded from a segment.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/input.h"
#include "runtime/heap.h"
#include "runtime/literal.h"
#include "tests/ui/grid/grid_test_util.h"
#include "ui/data_units/data_commands.h"
#include "ui/data_units/data_units.h"
#include "ui/format/segment.h"
#include "ui/window/events.h"
#include "ui/window/property_numbers.h"
#include "ui/window/property_values.h"
#include "ui/window/window_runtime.h"

namespace memo::ui::testing {
namespace {

using property::kDataSrcDeleteAllowed;
using property::kDataSrcInsertAllowed;
using property::kDataSrcProviderName;
using property::kDataSrcReadOnly;
using property::kGridBackground;
using property::kGridDataSourceName;
using property::kGridScale;
using property::kProviderFileName;
using property::kProviderShowByteSets;
using property::OwnIndex;

constexpr uint32_t kWindowId = 0x52010001;
constexpr uint32_t kWindowUnitId = 0x06010000;
constexpr uint32_t kProviderId = 0x16010004;
constexpr uint32_t kSourceId = 0x16010003;
constexpr uint32_t kGridId = 0x16010002;

// A window the units live in, as the runtime's live window would present it.
class StandInWindow : public LiveWindow {
 public:
  StandInWindow(platform::Window* native, WindowRecord record)
      : native_(native), record_(std::move(record)) {
    units_.resize(record_.units.size());
    native_->on_input = [this](platform::Control* target, const platform::InputEvent& event) {
      auto it = adopted_.find(target);
      if (it != adopted_.end()) return it->second->FilterChildInput(target, event);
      return platform::InputDecision::Pass();
    };
  }
  ~StandInWindow() override {
    for (auto& unit : units_) {
      if (unit) unit->Destroying();
    }
    native_->on_input = nullptr;
  }

  uint32_t window_id() const override { return record_.id; }
  uint32_t window_unit_id() const override { return record_.units[0].id; }
  platform::Window* native() const override { return native_; }
  const WindowRecord& record() const override { return record_; }
  Unit* UnitAt(int index) const override {
    return index >= 0 && static_cast<size_t>(index) < units_.size()
               ? units_[static_cast<size_t>(index)].get()
               : nullptr;
  }
  Unit* FindUnit(uint32_t unit_id) const override {
    for (size_t i = 0; i < record_.units.size(); ++i) {
      if (record_.units[i].id == unit_id) return units_[i].get();
    }
    return nullptr;
  }
  Unit* FindUnitByName(std::string_view name_gbk) const override {
    for (size_t i = 0; i < record_.units.size(); ++i) {
      if (record_.units[i].name == name_gbk) return units_[i].get();
    }
    return nullptr;
  }
  Unit* UnitOfControl(const platform::Control* control) const override {
    for (const auto& unit : units_) {
      if (unit && unit->control() == control) return unit.get();
    }
    return nullptr;
  }
  void AdoptChild(platform::Control* child, Unit* owner) override { adopted_[child] = owner; }
  void ForgetChild(platform::Control* child) override { adopted_.erase(child); }
  bool modal() const override { return false; }
  bool closing() const override { return false; }
  bool loaded() const override { return true; }

  // Creates unit `index` with `factory`, as loading step 4 would.
  template <typename Factory>
  Unit* Create(int index, Factory factory) {
    UnitCreation creation;
    creation.context =
        UnitContext{this, record_.id, record_.units[static_cast<size_t>(index)].id, index};
    creation.record = &record_.units[static_cast<size_t>(index)];
    creation.native = native_;
    const UnitRecord& r = record_.units[static_cast<size_t>(index)];
    creation.placement.rect = platform::Rect{r.left, r.top, r.width, r.height};
    creation.placement.child_id = 100 + 10 * index;
    units_[static_cast<size_t>(index)] = factory(creation);
    return units_[static_cast<size_t>(index)].get();
  }
  // Loading step 8: every unit, last to first, hears that all exist.
  void AllCreated() {
    for (size_t i = units_.size(); i-- > 0;) {
      if (units_[i]) units_[i]->AllUnitsCreated();
    }
  }
  const std::map<platform::Control*, Unit*>& adopted() const { return adopted_; }

 private:
  platform::Window* native_;
  WindowRecord record_;
  std::vector<std::unique_ptr<Unit>> units_;
  std::map<platform::Control*, Unit*> adopted_;
};

UnitRecord Record(uint32_t id, uint32_t type, const std::string& name, platform::Rect rect) {
  UnitRecord unit;
  unit.id = id;
  unit.type = type;
  unit.name = name;
  unit.left = rect.left;
  unit.top = rect.top;
  unit.width = rect.width;
  unit.height = rect.height;
  unit.flags = kFlagVisible;
  return unit;
}

struct Raised {
  int32_t event;
  int32_t row;
  int32_t column;
  friend bool operator==(const Raised&, const Raised&) = default;
};
std::vector<Raised>* g_raised = nullptr;

void RecordEvent(EventCall& call) {
  if (g_raised) {
    g_raised->push_back(Raised{call.event, static_cast<int32_t>(call.args[0].low),
                               static_cast<int32_t>(call.args[1].low)});
  }
}

class DataUnitsTest : public GridTest {
 protected:
  void SetUp() override {
    GridTest::SetUp();
    WriteMemoTable(dir_.File("a.mcn"), 30);
    WindowRecord record;
    record.id = kWindowId;
    record.units.push_back(Record(kWindowUnitId, unit_type::kWindow, "", {50, 50, 678, 469}));
    record.units.push_back(
        Record(kProviderId, unit_type::kDBProvider, G("数据库提供者1"), {160, 144, 32, 24}));
    record.units.push_back(
        Record(kSourceId, unit_type::kDataSrc, G("数据源1"), {208, 144, 132, 22}));
    UnitRecord grid = Record(kGridId, unit_type::kGrid, G("表格1"), {1, 2, 600, 374});
    grid.events = {{0, 0}, {1, 0}};
    record.units.push_back(grid);

    // The dispatcher looks the units' event bindings up in the store.
    DefinitionStore store;
    store.windows.push_back(record);
    std::string segment = WriteSegment(store);
    ASSERT_TRUE(LoadSegment(reinterpret_cast<const uint8_t*>(segment.data()), segment.size()));
    static const EventRoutine kRoutines[] = {RecordEvent};
    SetRoutineTable(kRoutines, 1);
    g_raised = &raised_;

    stand_in_ = std::make_unique<StandInWindow>(window_, record);
    DBProviderBlock provider_block;
    provider_unit_ = stand_in_->Create(
        1, [&](const UnitCreation& c) { return CreateDBProviderUnitFromBlock(c, provider_block); });
    DataSrcBlock source_block;
    source_block.provider = G("数据库提供者1");
    source_unit_ = stand_in_->Create(
        2, [&](const UnitCreation& c) { return CreateDataSrcUnitFromBlock(c, source_block); });
    GridBlock grid_block;
    grid_block.data_source = G("数据源1");
    grid_unit_ = stand_in_->Create(
        3, [&](const UnitCreation& c) { return CreateGridUnitFromBlock(c, grid_block); });
    ASSERT_TRUE(provider_unit_ && source_unit_ && grid_unit_);
    stand_in_->AllCreated();
  }

  void TearDown() override {
    stand_in_.reset();
    g_raised = nullptr;
    ReleaseWindows();
    GridTest::TearDown();
  }

  void SetFileName(const std::string& name) {
    std::string text = name;
    TypedValue value;
    value.tag = TypeTag::kText;
    value.SetPointer(text.c_str());
    ASSERT_TRUE(provider_unit_->WriteProperty(OwnIndex(kProviderFileName), -1, value));
  }

  std::string ReadText(Unit* unit, int k) {
    TypedValue value;
    EXPECT_TRUE(unit->ReadProperty(k, -1, &value));
    std::string text = NonNullText(static_cast<const char*>(value.Pointer()));
    ReleaseValue(&value);
    return text;
  }

  int32_t ReadInt(Unit* unit, int k) {
    TypedValue value;
    EXPECT_TRUE(unit->ReadProperty(k, -1, &value));
    return static_cast<int32_t>(value.low);
  }

  platform::HeadlessCanvas* GridCanvas() {
    return static_cast<platform::HeadlessCanvas*>(grid_unit_->control());
  }

  std::unique_ptr<StandInWindow> stand_in_;
  Unit* provider_unit_ = nullptr;
  Unit* source_unit_ = nullptr;
  Unit* grid_unit_ = nullptr;
  std::vector<Raised> raised_;
};

TEST_F(DataUnitsTest, TheChainLinksByNameAndTheFileNameConnects) {
  Grid* grid = GridOfUnit(grid_unit_);
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(grid->data_source(), DataSourceOfUnit(source_unit_));
  EXPECT_EQ(DataSourceOfUnit(source_unit_)->provider(), ProviderOfUnit(provider_unit_));
  EXPECT_EQ(GridOfUnit(source_unit_), nullptr);
  EXPECT_EQ(ProviderOfUnit(grid_unit_), nullptr);
  EXPECT_EQ(provider_unit_->control(), nullptr);

  EXPECT_EQ(grid->DataRowCount(), 0);
  SetFileName(dir_.File("a.mcn"));
  EXPECT_EQ(ReadText(provider_unit_, OwnIndex(kProviderFileName)), dir_.File("a.mcn"));
  EXPECT_EQ(grid->DataRowCount(), 30);
  EXPECT_EQ(grid->CellText(2, 3), "memo 2");
  SetFileName("");
  EXPECT_EQ(grid->DataRowCount(), 0);
  EXPECT_EQ(ReadText(provider_unit_, OwnIndex(kProviderFileName)), "");
}

TEST_F(DataUnitsTest, TypePropertiesOfTheThreeUnits) {
  // DBProvider: the byte-set display flag and the password.
  EXPECT_EQ(ReadInt(provider_unit_, OwnIndex(kProviderShowByteSets)), 0);
  ASSERT_TRUE(provider_unit_->WriteProperty(OwnIndex(kProviderShowByteSets), -1, BoolResult(true)));
  EXPECT_TRUE(ProviderOfUnit(provider_unit_)->show_byte_sets());
  EXPECT_FALSE(provider_unit_->ReadProperty(9, -1, nullptr));
  // DataSrc: the three switches and the provider's name.
  EXPECT_EQ(ReadInt(source_unit_, OwnIndex(kDataSrcReadOnly)), 0);
  EXPECT_EQ(ReadInt(source_unit_, OwnIndex(kDataSrcInsertAllowed)), 1);
  EXPECT_EQ(ReadInt(source_unit_, OwnIndex(kDataSrcDeleteAllowed)), 1);
  ASSERT_TRUE(source_unit_->WriteProperty(OwnIndex(kDataSrcReadOnly), -1, BoolResult(true)));
  EXPECT_TRUE(DataSourceOfUnit(source_unit_)->read_only());
  EXPECT_EQ(ReadText(source_unit_, OwnIndex(kDataSrcProviderName)), G("数据库提供者1"));
  // Grid: the nine words, the scale held in its range, the data source's name.
  EXPECT_EQ(ReadInt(grid_unit_, OwnIndex(kGridBackground)), 0xFFFFFF);
  EXPECT_EQ(ReadInt(grid_unit_, OwnIndex(kGridScale)), 100);
  ASSERT_TRUE(grid_unit_->WriteProperty(OwnIndex(kGridScale), -1, IntResult(5)));
  EXPECT_EQ(ReadInt(grid_unit_, OwnIndex(kGridScale)), 20);
  EXPECT_EQ(ReadText(grid_unit_, OwnIndex(kGridDataSourceName)), G("数据源1"));
  TypedValue none = TextResult("nothing");
  ASSERT_TRUE(grid_unit_->WriteProperty(OwnIndex(kGridDataSourceName), -1, none));
  ReleaseValue(&none);
  EXPECT_EQ(GridOfUnit(grid_unit_)->data_source(), nullptr);
}

TEST_F(DataUnitsTest, TheGridRaisesEventZeroAndOneWithTheCornersCells) {
  ASSERT_NE(FindUnitType(unit_type::kGrid), nullptr)
      << "the grid is not in the unit type table, so its events cannot run";
  SetFileName(dir_.File("a.mcn"));
  Grid* grid = GridOfUnit(grid_unit_);
  platform::HeadlessCanvas* canvas = GridCanvas();
  ASSERT_TRUE(window_->UserClickAt(canvas, grid->CellClientRect(4, 2).Centre()));
  EXPECT_EQ(raised_, (std::vector<Raised>{{0, 4, 2}, {1, 4, 2}}));
  raised_.clear();
  ASSERT_TRUE(window_->UserKey(canvas, platform::vk::kDown, platform::kShiftShift));
  EXPECT_EQ(raised_, (std::vector<Raised>{{1, 5, 2}}));
}

TEST_F(DataUnitsTest, TheEditorIsAdoptedAndItsKeysReachTheGrid) {
  SetFileName(dir_.File("a.mcn"));
  Grid* grid = GridOfUnit(grid_unit_);
  platform::HeadlessCanvas* canvas = GridCanvas();
  grid->on_corners_changed = nullptr;  // this test looks at the editor, not at the events
  const platform::Point at = grid->CellClientRect(3, 3).Centre();
  ASSERT_TRUE(window_->UserClickAt(canvas, at));
  ASSERT_TRUE(window_->UserClickAt(canvas, at));
  ASSERT_TRUE(grid->editor_open());
  ASSERT_EQ(stand_in_->adopted().count(grid->editor()), 1u);
  EXPECT_EQ(stand_in_->adopted().at(grid->editor()), grid_unit_);
  ASSERT_TRUE(window_->UserType(grid->editor(), "typed"));
  ASSERT_TRUE(window_->UserKey(grid->editor(), platform::vk::kReturn));
  EXPECT_FALSE(grid->editor_open());
  EXPECT_EQ(grid->CellText(3, 3), "typed");
  // Destroying the units forgets the editor again.
  platform::EditControl* editor = grid->editor();
  grid_unit_->Destroying();
  EXPECT_EQ(stand_in_->adopted().count(editor), 0u);
}

TEST_F(DataUnitsTest, CommandsWorkOnTheUnitsTheyAreGiven) {
  SetFileName(dir_.File("a.mcn"));
  char* text = CellTextOfUnit(source_unit_, 2, 1);
  EXPECT_EQ(std::string(NonNullText(text)), "c2");
  Release(text);
  text = CellTextOfUnit(source_unit_, 0, 1);  // row 0 is outside the table
  EXPECT_EQ(text, nullptr);
  Release(text);
  text = CellTextOfUnit(source_unit_, 31, 1);
  EXPECT_EQ(text, nullptr);
  EXPECT_TRUE(SetCellTextOfUnit(source_unit_, 2, 1, "new"));
  EXPECT_FALSE(SetCellTextOfUnit(source_unit_, 31, 1, "new"));
  EXPECT_TRUE(SetCellTextOfUnit(source_unit_, 2, 3, nullptr));  // a missing text is empty
  text = CellTextOfUnit(source_unit_, 2, 3);
  EXPECT_EQ(text, nullptr);
  Release(text);
  EXPECT_EQ(RowCountOfUnit(source_unit_), 30);
  EXPECT_TRUE(DeleteRowsOfUnit(source_unit_, 29, 5));  // rows 29 and 30 only
  EXPECT_EQ(RowCountOfUnit(source_unit_), 28);
  EXPECT_TRUE(DeleteRowsOfUnit(source_unit_, 1, 1));
  text = CellTextOfUnit(source_unit_, 1, 1);
  EXPECT_EQ(std::string(NonNullText(text)), "new");
  Release(text);
  SaveOfUnit(source_unit_);
  EXPECT_EQ(CursorRowOfUnit(grid_unit_), 1);
  EXPECT_EQ(CursorColumnOfUnit(grid_unit_), 1);
  // Units of another type give the empty results.
  EXPECT_EQ(RowCountOfUnit(grid_unit_), 0);
  EXPECT_FALSE(SetCellTextOfUnit(provider_unit_, 1, 1, "x"));
  EXPECT_EQ(CursorRowOfUnit(source_unit_), 0);
}

TEST_F(DataUnitsTest, TheNavigationBarMovesTheCurrentRow) {
  SetFileName(dir_.File("a.mcn"));
  auto* bar = static_cast<platform::HeadlessCanvas*>(source_unit_->control());
  ASSERT_NE(bar, nullptr);
  bar->RepaintNow();
  EXPECT_EQ(bar->PaintedTexts(), (std::vector<std::string>{"|<", "<", ">", ">|", "+", "-"}));
  const int width = bar->ClientSize().width;
  const int y = bar->ClientSize().height / 2;
  auto press = [&](int button) {
    platform::InputEvent event;
    event.x = width * button / 6 + width / 12;
    event.y = y;
    event.kind = platform::InputKind::kLeftDown;
    bar->on_input(event);
    event.kind = platform::InputKind::kLeftUp;
    bar->on_input(event);
  };
  db::DataSource* source = DataSourceOfUnit(source_unit_);
  press(3);  // last
  EXPECT_EQ(source->current_row(), 29);
  EXPECT_EQ(GridOfUnit(grid_unit_)->cursor().row, 30);
  press(1);  // previous
  EXPECT_EQ(source->current_row(), 28);
  press(0);  // first
  EXPECT_EQ(source->current_row(), 0);
  press(4);  // insert
  EXPECT_EQ(source->RowCount(), 31);
  EXPECT_EQ(source->current_row(), 30);
  press(5);  // delete
  EXPECT_EQ(source->RowCount(), 30);
  bar->SetEnabled(false);  // a disabled data source's buttons do nothing
  press(0);
  EXPECT_EQ(source->current_row(), 29);
}

}  // namespace
}  // namespace memo::ui::testing
