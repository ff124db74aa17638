// Cell contents as values: what getting a cell yields in every case, every conversion and refusal
// of setting one, check-box and picture columns, and the command operations' arguments.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <string>

#include "runtime/dispatch.h"
#include "runtime/heap.h"
#include "runtime/text.h"
#include "tests/ui/advanced_grid/egrid_test_support.h"
#include "ui/advanced_grid/egrid_cell_values.h"
#include "ui/advanced_grid/egrid_command_ops.h"

namespace memo::ui {
namespace {

using testing::G;

EGridSettings Sized(int rows, int columns, int fixed_rows, int fixed_columns) {
  EGridSettings s;
  s.rows = rows;
  s.columns = columns;
  s.fixed_rows = fixed_rows;
  s.fixed_columns = fixed_columns;
  return s;
}

std::string TextOf(const TypedValue& value) {
  const char* text = static_cast<const char*>(value.Pointer());
  return text ? text : "";
}

std::string BytesOf(const TypedValue& value) {
  const uint8_t* data = ByteSetData(value.Pointer());
  return data ? std::string(reinterpret_cast<const char*>(data),
                            static_cast<size_t>(ByteSetSize(value.Pointer())))
              : std::string();
}

// A set of kind 1 on a fresh text cell, and the text it stored (or "<refused>").
std::string TextSetBy(const TypedValue& value) {
  EGridModel model(Sized(2, 2, 0, 0));
  if (!SetCellContent(model, 1, 1, egrid_content::kText, value)) return "<refused>";
  return std::string(model.CellText(1, 1));
}

// --- Getting a cell ------------------------------------------------------------------------------

TEST(EGridGetCell, OutsideTheGridIsLogicalFalseOrAnEmptyByteSetInAPictureColumn) {
  EGridModel model(Sized(2, 3, 0, 0));
  ASSERT_TRUE(model.SetColumnKind(2, EGridColumnKind::kPicture));
  for (CellPos outside :
       {CellPos{5, 0}, CellPos{2, 1}, CellPos{-1, 0}, CellPos{0, 3}, CellPos{0, -1}}) {
    ValueOwner value(CellContent(model, outside.row, outside.column));
    EXPECT_EQ(value.get().tag, TypeTag::kBool) << outside.row << "," << outside.column;
    EXPECT_EQ(value.get().low, 0u);
  }
  ValueOwner picture(CellContent(model, 5, 2));
  EXPECT_EQ(picture.get().tag, TypeTag::kByteSet);
  EXPECT_EQ(ByteSetSize(picture.get().Pointer()), 0);
}

TEST(EGridGetCell, TextCellsGiveACopyOfTheirText) {
  EGridModel model(Sized(2, 2, 0, 0));
  ASSERT_TRUE(model.SetCellText(1, 1, G("跟进内容")));
  ValueOwner value(CellContent(model, 1, 1));
  EXPECT_EQ(value.get().tag, TypeTag::kText);
  EXPECT_EQ(TextOf(value.get()), G("跟进内容"));
  ASSERT_TRUE(model.SetCellText(1, 1, "changed"));
  EXPECT_EQ(TextOf(value.get()), G("跟进内容"));  // the result is the caller's own block

  ValueOwner empty(CellContent(model, 0, 0));
  EXPECT_EQ(empty.get().tag, TypeTag::kText);
  EXPECT_EQ(empty.get().Pointer(), nullptr);
}

TEST(EGridGetCell, CheckBoxAndPictureCellsGiveTheirStateOrPicture) {
  EGridModel model(Sized(3, 3, 1, 0));
  ASSERT_TRUE(model.SetColumnKind(1, EGridColumnKind::kCheckBox));
  ASSERT_TRUE(model.SetColumnKind(2, EGridColumnKind::kPicture));
  ASSERT_TRUE(model.SetCellChecked(2, 1, true));
  ASSERT_TRUE(model.SetCellPicture(2, 2, std::string("BM\0\x01", 4)));
  ASSERT_TRUE(model.SetCellText(0, 1, G("完成")));  // headings are texts

  ValueOwner checked(CellContent(model, 2, 1));
  EXPECT_EQ(checked.get().tag, TypeTag::kBool);
  EXPECT_EQ(checked.get().low, 1u);
  ValueOwner unchecked(CellContent(model, 1, 1));
  EXPECT_EQ(unchecked.get().tag, TypeTag::kBool);
  EXPECT_EQ(unchecked.get().low, 0u);
  ValueOwner picture(CellContent(model, 2, 2));
  EXPECT_EQ(picture.get().tag, TypeTag::kByteSet);
  EXPECT_EQ(BytesOf(picture.get()), std::string("BM\0\x01", 4));
  ValueOwner no_picture(CellContent(model, 1, 2));
  EXPECT_EQ(no_picture.get().tag, TypeTag::kByteSet);
  EXPECT_EQ(no_picture.get().Pointer(), nullptr);
  ValueOwner heading(CellContent(model, 0, 1));
  EXPECT_EQ(heading.get().tag, TypeTag::kText);
  EXPECT_EQ(TextOf(heading.get()), G("完成"));
}

// --- Setting text --------------------------------------------------------------------------------

TEST(EGridSetText, NumbersAreWrittenInTheirFormats) {
  EXPECT_EQ(TextSetBy(TextValue("plain text")), "plain text");
  EXPECT_EQ(TextSetBy(TextValue(nullptr)), "");
  EXPECT_EQ(TextSetBy(ByteValue(200)), "200");
  EXPECT_EQ(TextSetBy(ShortValue(-5)), "-5");
  EXPECT_EQ(TextSetBy(IntValue(std::numeric_limits<int32_t>::min())), "-2147483648");
  EXPECT_EQ(TextSetBy(LongValue(1234567890123LL)), "1234567890123");
  EXPECT_EQ(TextSetBy(LongValue(std::numeric_limits<int64_t>::min())), "-9223372036854775808");
  EXPECT_EQ(TextSetBy(FloatValue(3.14159274f)), "3.14159");
  EXPECT_EQ(TextSetBy(FloatValue(1e10f)), "1e+10");
  EXPECT_EQ(TextSetBy(FloatValue(0.1f)), "0.1");
  EXPECT_EQ(TextSetBy(DoubleValue(3.14159265358979)), "3.14159265359");
  EXPECT_EQ(TextSetBy(DoubleValue(0.1)), "0.1");
  EXPECT_EQ(TextSetBy(DoubleValue(1e20)), "1e+20");
  EXPECT_EQ(TextSetBy(DoubleValue(-2.5)), "-2.5");
}

TEST(EGridSetText, OtherTypesAreRefused) {
  static const uint8_t kBytes[] = {1, 0, 0, 0, 1, 0, 0, 0, 'x'};
  TypedValue array = IntValue(0);
  array.tag = TypeTag::kInt | kArrayFlag;
  TypedValue library = IntValue(0);
  library.tag = 0x00010005;
  for (const TypedValue& value :
       {BoolValue(true), DateTimeValue(41830.5), ByteSetValue(kBytes), Omitted(), array, library}) {
    EXPECT_EQ(TextSetBy(value), "<refused>") << std::hex << value.tag;
  }
}

TEST(EGridSetText, RefusedOutsideAndInNonFixedCheckBoxAndPictureCells) {
  EGridModel model(Sized(3, 3, 1, 0));
  ASSERT_TRUE(model.SetColumnKind(1, EGridColumnKind::kCheckBox));
  ASSERT_TRUE(model.SetColumnKind(2, EGridColumnKind::kPicture));
  TypedValue text = TextValue("t");
  EXPECT_FALSE(SetCellContent(model, 3, 0, egrid_content::kText, text));
  EXPECT_FALSE(SetCellContent(model, 0, 3, egrid_content::kText, text));
  EXPECT_FALSE(SetCellContent(model, 1, 1, egrid_content::kText, text));
  EXPECT_FALSE(SetCellContent(model, 1, 2, egrid_content::kText, text));
  EXPECT_TRUE(SetCellContent(model, 0, 1, egrid_content::kText, text));  // heading row
  EXPECT_TRUE(SetCellContent(model, 1, 0, egrid_content::kText, text));
  EXPECT_EQ(model.CellText(1, 0), "t");
  EXPECT_EQ(model.Cell(1, 1), nullptr);
}

// --- Check states and pictures -------------------------------------------------------------------

TEST(EGridSetCheck, OnlyLogicalValuesInNonFixedCheckBoxCells) {
  EGridModel model(Sized(3, 2, 1, 0));
  ASSERT_TRUE(model.SetColumnKind(1, EGridColumnKind::kCheckBox));
  EXPECT_TRUE(SetCellContent(model, 2, 1, egrid_content::kCheck, BoolValue(true)));
  EXPECT_TRUE(model.Cell(2, 1)->checked);
  EXPECT_TRUE(SetCellContent(model, 2, 1, egrid_content::kCheck, BoolValue(false)));
  EXPECT_FALSE(model.Cell(2, 1)->checked);
  EXPECT_FALSE(SetCellContent(model, 2, 1, egrid_content::kCheck, IntValue(1)));
  EXPECT_FALSE(SetCellContent(model, 0, 1, egrid_content::kCheck, BoolValue(true)));
  EXPECT_FALSE(SetCellContent(model, 2, 0, egrid_content::kCheck, BoolValue(true)));
  EXPECT_FALSE(SetCellContent(model, 3, 1, egrid_content::kCheck, BoolValue(true)));
}

class EGridPictureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = ::testing::TempDir() + "egrid_pictures_" + std::to_string(getpid()) + "/";
    std::filesystem::create_directories(dir_);
    ASSERT_TRUE(model_.SetColumnKind(1, EGridColumnKind::kPicture));
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  std::string Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ + name, std::ios::binary) << bytes;
    return dir_ + name;
  }

  std::string dir_;
  EGridModel model_{Sized(3, 2, 1, 0)};
};

TEST_F(EGridPictureTest, ByteSetsAndBitmapFilesInNonFixedPictureCells) {
  std::string bitmap = "BM" + std::string(60, '\x07');
  BlockOwner<void> block(MakeByteSet(bitmap.data(), static_cast<int32_t>(bitmap.size())));
  EXPECT_TRUE(SetCellContent(model_, 1, 1, egrid_content::kPicture, ByteSetValue(block.get())));
  EXPECT_EQ(model_.Cell(1, 1)->picture, bitmap);
  EXPECT_FALSE(SetCellContent(model_, 1, 0, egrid_content::kPicture, ByteSetValue(block.get())));
  EXPECT_FALSE(SetCellContent(model_, 0, 1, egrid_content::kPicture, ByteSetValue(block.get())));
  EXPECT_FALSE(SetCellContent(model_, 1, 1, egrid_content::kPicture, IntValue(3)));

  std::string from_file = "BM" + std::string(40, 'f');
  std::string path = Write("a.bmp", from_file);
  EXPECT_TRUE(SetCellContent(model_, 2, 1, egrid_content::kPicture, TextValue(path.c_str())));
  EXPECT_EQ(model_.Cell(2, 1)->picture, from_file);

  // Files that are missing, empty, too short for a bitmap's header or of another format.
  std::string missing = dir_ + "missing.bmp";
  std::string gif = Write("b.gif", "GIF89a" + std::string(40, 'g'));
  std::string tiny = Write("c.bmp", "BM12");
  std::string empty = Write("d.bmp", "");
  for (const std::string& name : {missing, gif, tiny, empty, std::string()}) {
    EXPECT_FALSE(SetCellContent(model_, 2, 1, egrid_content::kPicture, TextValue(name.c_str())))
        << name;
  }
  EXPECT_EQ(model_.Cell(2, 1)->picture, from_file);
}

TEST(EGridSetContent, UnknownKindsAreRefused) {
  EGridModel model(Sized(2, 2, 0, 0));
  for (int32_t kind : {0, 2, 3, 4, 7, -1}) {
    EXPECT_FALSE(SetCellContent(model, 1, 1, kind, TextValue("x"))) << kind;
  }
  EXPECT_EQ(model.Cell(1, 1), nullptr);
}

// --- Command operations --------------------------------------------------------------------------

class EGridCommandOpsTest : public testing::HeadlessGridTest {
 protected:
  TypedValue Run(void (*op)(EGrid&, TypedValue*, int32_t, const TypedValue*), ArgList args) {
    TypedValue result;
    op(*grid_, &result, args.size(), args.data());
    return result;
  }
};

TEST_F(EGridCommandOpsTest, CurrentCellIsTheFocusOrMinusOne) {
  EGridSettings settings = testing::FollowUpSettings();
  Make(settings);
  ASSERT_TRUE(grid_->model().SetRowCount(3));
  ASSERT_TRUE(grid_->model().SetFocus(CellPos{2, 1}));
  TypedValue row, column;
  egrid_ops::CurrentRow(*grid_, &row);
  egrid_ops::CurrentColumn(*grid_, &column);
  EXPECT_EQ(static_cast<int32_t>(row.low), 2);
  EXPECT_EQ(static_cast<int32_t>(column.low), 1);
  ASSERT_TRUE(grid_->model().SetFixedRows(3));  // no non-fixed cell is left
  egrid_ops::CurrentRow(*grid_, &row);
  egrid_ops::CurrentColumn(*grid_, &column);
  EXPECT_EQ(static_cast<int32_t>(row.low), -1);
  EXPECT_EQ(static_cast<int32_t>(column.low), -1);
}

TEST_F(EGridCommandOpsTest, FollowUpFillThroughTheCommands) {
  Make(testing::FollowUpSettings());
  TypedValue result;
  egrid_ops::Reset(*grid_, &result);
  EXPECT_EQ(result.low, 1u);
  EXPECT_EQ(Run(egrid_ops::SetColumnWidth, {IntValue(0), IntValue(170)}).low, 1u);
  EXPECT_EQ(Run(egrid_ops::SetColumnWidth, {IntValue(1), IntValue(400)}).low, 1u);
  for (const char* entry : {"one", "two"}) {
    EXPECT_EQ(Run(egrid_ops::InsertRow, {Omitted(), IntValue(1)}).low, 1u);
    EXPECT_EQ(
        Run(egrid_ops::SetCell, {IntValue(1), IntValue(1), IntValue(1), TextValue(entry)}).low, 1u);
  }
  ValueOwner top(Run(egrid_ops::GetCell, {IntValue(1), IntValue(1)}));
  EXPECT_EQ(top.get().tag, TypeTag::kText);
  EXPECT_EQ(TextOf(top.get()), "two");
  ValueOwner outside(Run(egrid_ops::GetCell, {IntValue(5), IntValue(1)}));
  EXPECT_EQ(outside.get().tag, TypeTag::kBool);
  EXPECT_EQ(outside.get().low, 0u);
  EXPECT_EQ(grid_->model().column_width(0), 170);
  EXPECT_EQ(grid_->model().column_width(1), 400);
}

TEST_F(EGridCommandOpsTest, ColumnWidthOutsideTheColumnsChangesNothing) {
  Make(testing::FollowUpSettings());
  EXPECT_EQ(Run(egrid_ops::SetColumnWidth, {IntValue(2), IntValue(50)}).low, 0u);
  EXPECT_EQ(Run(egrid_ops::SetColumnWidth, {IntValue(-1), IntValue(50)}).low, 0u);
  EXPECT_EQ(Run(egrid_ops::SetColumnWidth, {IntValue(0)}).low, 0u);
  EXPECT_EQ(grid_->model().column_width(0), 325);
  EXPECT_EQ(grid_->model().column_width(1), 325);
  EXPECT_EQ(Run(egrid_ops::SetColumnWidth, {IntValue(1), IntValue(-20)}).low, 1u);
  EXPECT_EQ(grid_->model().column_width(1), 0);
  EXPECT_EQ(Run(egrid_ops::SetColumnWidth, {DoubleValue(0.9), IntValue(7)}).low, 1u);
  EXPECT_EQ(grid_->model().column_width(0), 7);  // numbers are truncated toward zero
}

TEST_F(EGridCommandOpsTest, InsertRowHeadingsAndPositions) {
  Make(testing::FollowUpSettings());
  EXPECT_EQ(Run(egrid_ops::InsertRow, {IntValue(7)}).low, 1u);
  EXPECT_EQ(grid_->model().CellText(1, 0), "7");
  EXPECT_EQ(Run(egrid_ops::InsertRow, {TextValue("h"), IntValue(1)}).low, 1u);
  EXPECT_EQ(grid_->model().CellText(1, 0), "h");
  EXPECT_EQ(Run(egrid_ops::InsertRow, {}).low, 1u);
  EXPECT_EQ(grid_->model().rows(), 4);
  // A heading or a position of a type that says nothing inserts nothing.
  EXPECT_EQ(Run(egrid_ops::InsertRow, {BoolValue(true)}).low, 0u);
  EXPECT_EQ(Run(egrid_ops::InsertRow, {Omitted(), TextValue("1")}).low, 0u);
  EXPECT_EQ(grid_->model().rows(), 4);
}

TEST_F(EGridCommandOpsTest, MissingOrNonNumericCoordinatesFail) {
  Make(testing::FollowUpSettings());
  ValueOwner no_column(Run(egrid_ops::GetCell, {IntValue(0)}));
  EXPECT_EQ(no_column.get().tag, TypeTag::kBool);
  EXPECT_EQ(no_column.get().low, 0u);
  ValueOwner text_row(Run(egrid_ops::GetCell, {TextValue("0"), IntValue(0)}));
  EXPECT_EQ(text_row.get().tag, TypeTag::kBool);
  EXPECT_EQ(Run(egrid_ops::SetCell, {IntValue(0), IntValue(0), IntValue(1)}).low, 0u);
  EXPECT_EQ(Run(egrid_ops::SetCell, {IntValue(0), IntValue(0), Omitted(), TextValue("x")}).low, 0u);
  EXPECT_EQ(grid_->model().Cell(0, 0), nullptr);
}

}  // namespace
}  // namespace memo::ui
