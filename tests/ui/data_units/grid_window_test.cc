// The data units in a window loaded by the window runtime, as the main window has them: the
// chain linked by unit name, property 8 of the provider connecting, the commands through unit
// references, the grid's events 0 and 1 reaching the window's routines, and the window closing
// with an edit open. These need the three types in the unit type table; until they are there
// the tests say so and skip.
#include <gtest/gtest.h>

#include <string>

#include "db/engine_code.h"
#include "platform/headless/headless_controls.h"
#include "runtime/dispatch.h"
#include "runtime/heap.h"
#include "runtime/literal.h"
#include "tests/support/test_util.h"
#include "tests/support/window_test_support.h"
#include "ui/data_units/data_commands.h"
#include "ui/data_units/data_units.h"
#include "ui/window/property_numbers.h"
#include "ui/window/window_commands.h"

namespace memo::testing {
namespace {

using ui::property::kProviderFileName;

constexpr uint32_t kWin = 0x52010001;
constexpr uint32_t kWinUnit = 0x06010000;
constexpr uint32_t kProvider = 0x16010004;
constexpr uint32_t kSource = 0x16010003;
constexpr uint32_t kGrid = 0x16010002;

bool TypesRegistered() {
  return ui::FindUnitType(ui::unit_type::kGrid) && ui::FindUnitType(ui::unit_type::kDataSrc) &&
         ui::FindUnitType(ui::unit_type::kDBProvider);
}

class GridWindowTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ASSERT_TRUE(TypesRegistered()) << "Grid, DataSrc and DBProvider are not in the unit type table";
    path_ = dir_.File("a.mcn");
    db::testing::MustCreate(path_, db::testing::MemoTableFields());
    auto handle = db::testing::MustOpen(path_);
    for (int r = 1; r <= 6; ++r) {
      std::string category = "c" + std::to_string(r);
      std::string text = "memo " + std::to_string(r);
      TypedValue values[] = {db::testing::TextCell(category), db::testing::DateTimeCell(41830.0),
                             db::testing::TextCell(text)};
      ASSERT_EQ(handle->AddRecord(values, 3), db::kOk);
    }
  }

  bool Load() {
    ui::GridBlock grid;
    grid.data_source = G("数据源1");
    ui::DataSrcBlock source;
    source.provider = G("数据库提供者1");
    ui::DBProviderBlock provider;
    provider.file_name = "C:\\memo\\db.edb";  // design time: nothing there
    WindowBuilder window(kWin, kWinUnit);
    window.WindowRect({50, 50, 678, 469})
        .Add(kProvider, ui::unit_type::kDBProvider, "数据库提供者1", {160, 144, 32, 24},
             ui::WriteDBProviderBlock(provider), 0)
        .Add(kSource, ui::unit_type::kDataSrc, "数据源1", {208, 144, 132, 22},
             ui::WriteDataSrcBlock(source), 4)
        .Add(kGrid, ui::unit_type::kGrid, "表格1", {1, 2, 671, 374}, ui::WriteGridBlock(grid), 5,
             {{0, 0}, {1, 1}});
    Install({window.Build()});
    bool loaded = ui::LoadWindow(kWin, nullptr, false);
    routine_log.clear();
    return loaded;
  }

  void SetFileName(const std::string& name) {
    ui::WriteProperty(kWin, kProvider, kProviderFileName, -1, TextValue(name.c_str()));
  }
  TypedValue Call(CommandRoutine command, uint32_t unit, uint32_t type, ArgList args) {
    ArgList all{ui::UnitReference(kWin, unit, type)};
    for (int32_t i = 0; i < args.size(); ++i) all.Add(args[static_cast<size_t>(i)]);
    return CallCommand(command, all);
  }
  std::string CellText(int row, int column) {
    TypedValue text = Call(ui::DataSrcGetCellText, kSource, ui::unit_type::kDataSrc,
                           {IntValue(row), IntValue(column)});
    std::string out = NonNullText(static_cast<const char*>(text.Pointer()));
    Release(text.Pointer());
    return out;
  }
  ui::Grid* Grid() { return ui::GridOfUnit(ui::FindUnitObject(kWin, kGrid)); }

  db::testing::TempDir dir_;
  std::string path_;
};

TEST_F(GridWindowTest, TheChainLinksAndTheFileNamePropertyConnects) {
  ASSERT_TRUE(Load());
  ASSERT_NE(Grid(), nullptr);
  EXPECT_FALSE(ControlOf(kWin, kSource)->IsVisible());  // hidden in this window
  EXPECT_EQ(ControlOf(kWin, kProvider), nullptr);
  TypedValue name = ui::ReadProperty(kWin, kProvider, kProviderFileName, -1);
  EXPECT_STREQ(static_cast<const char*>(name.Pointer()), "C:\\memo\\db.edb");
  ReleaseValue(&name);
  EXPECT_EQ(Grid()->DataRowCount(), 0);
  SetFileName(path_);
  EXPECT_EQ(Grid()->DataRowCount(), 6);
  EXPECT_EQ(Call(ui::DataSrcRowCount, kSource, ui::unit_type::kDataSrc, {}).low, 6u);
  EXPECT_EQ(CellText(2, 1), "c2");
  EXPECT_EQ(CellText(0, 1), "");
  SetFileName("");
  EXPECT_EQ(Call(ui::DataSrcRowCount, kSource, ui::unit_type::kDataSrc, {}).low, 0u);
}

TEST_F(GridWindowTest, ClicksRaiseEventZeroAndOneWithTheCornersCells) {
  ASSERT_TRUE(Load());
  SetFileName(path_);
  auto* canvas = static_cast<platform::HeadlessCanvas*>(ControlOf(kWin, kGrid));
  ASSERT_TRUE(Native(kWin)->UserClickAt(canvas, Grid()->CellClientRect(4, 3).Centre()));
  ASSERT_EQ(routine_log.size(), 2u);
  EXPECT_EQ(routine_log[0].event, 0);
  EXPECT_EQ(routine_log[0].args, (std::vector<uint32_t>{4, 3}));
  EXPECT_EQ(routine_log[1].event, 1);
  EXPECT_EQ(routine_log[1].args, (std::vector<uint32_t>{4, 3}));
  EXPECT_EQ(Call(ui::GridCursorRow, kGrid, ui::unit_type::kGrid, {}).low, 4u);
  EXPECT_EQ(Call(ui::GridCursorColumn, kGrid, ui::unit_type::kGrid, {}).low, 3u);
  routine_log.clear();
  ASSERT_TRUE(Native(kWin)->UserKey(canvas, platform::vk::kUp, platform::kShiftShift));
  EXPECT_EQ(EventsOf(kGrid), (std::vector<int32_t>{1}));
  EXPECT_EQ(Call(ui::GridCursorRow, kGrid, ui::unit_type::kGrid, {}).low, 3u);
}

TEST_F(GridWindowTest, DataSourceCommands) {
  ASSERT_TRUE(Load());
  SetFileName(path_);
  EXPECT_EQ(Call(ui::DataSrcSetCellText, kSource, ui::unit_type::kDataSrc,
                 {IntValue(2), IntValue(3), TextValue("changed")})
                .low,
            1u);
  EXPECT_EQ(CellText(2, 3), "changed");
  EXPECT_EQ(Call(ui::DataSrcSetCellText, kSource, ui::unit_type::kDataSrc,
                 {IntValue(7), IntValue(3), TextValue("x")})
                .low,
            0u);
  EXPECT_EQ(
      Call(ui::DataSrcDeleteRows, kSource, ui::unit_type::kDataSrc, {IntValue(5), IntValue(9)}).low,
      1u);
  EXPECT_EQ(Call(ui::DataSrcRowCount, kSource, ui::unit_type::kDataSrc, {}).low, 4u);
  EXPECT_EQ(Call(ui::DataSrcDeleteRows, kSource, ui::unit_type::kDataSrc, {IntValue(1)}).low, 1u);
  EXPECT_EQ(CellText(1, 1), "c2");
  Call(ui::DataSrcSave, kSource, ui::unit_type::kDataSrc, {});
  // A unit of another type gives the empty result.
  EXPECT_EQ(Call(ui::DataSrcRowCount, kGrid, ui::unit_type::kGrid, {}).low, 0u);
}

TEST_F(GridWindowTest, ClosingTheWindowWithAnEditOpenWritesTheEdit) {
  ASSERT_TRUE(Load());
  SetFileName(path_);
  auto* canvas = static_cast<platform::HeadlessCanvas*>(ControlOf(kWin, kGrid));
  const platform::Point at = Grid()->CellClientRect(3, 3).Centre();
  ASSERT_TRUE(Native(kWin)->UserClickAt(canvas, at));
  ASSERT_TRUE(Native(kWin)->UserClickAt(canvas, at));
  ASSERT_TRUE(Grid()->editor_open());
  ASSERT_TRUE(Native(kWin)->UserType(Grid()->editor(), "last words"));
  ui::CloseWindow(kWin, kWinUnit, true);
  EXPECT_EQ(ui::FindLiveWindow(kWin), nullptr);
  db::DBProvider check;
  ASSERT_TRUE(check.Connect(path_));
  EXPECT_EQ(check.CellText(2, 2), "last words");
}

}  // namespace
}  // namespace memo::testing
