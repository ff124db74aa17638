// The clipboard's plain text as another program reads it: a small reader of tab-separated text
// as spreadsheets write and read it (quoted fields, doubled quotes, tabs and line breaks inside
// quotes) gets back every cell the grid copied; text pasted from another program is refused with
// a message and changes nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ui/grid/grid_test_util.h"
#include "ui/grid/grid_cells_format.h"

namespace memo::ui::testing {
namespace {

constexpr int kCtrl = platform::kShiftCtrl;
constexpr int kShift = platform::kShiftShift;

// Reads tab-separated text: rows end with CR LF (or LF), fields with a tab; a field that starts
// with a double quote runs to the next lone double quote, "" standing for one. Returns false on
// text that does not follow these rules (a quote left open, bytes after a closing quote).
bool ReadTsv(const std::string& text, std::vector<std::vector<std::string>>* rows) {
  rows->clear();
  std::vector<std::string> row;
  std::string field;
  size_t at = 0;
  while (at < text.size()) {
    if (text[at] == '"') {
      ++at;
      for (;;) {
        if (at >= text.size()) return false;
        if (text[at] == '"') {
          if (at + 1 < text.size() && text[at + 1] == '"') {
            field += '"';
            at += 2;
            continue;
          }
          ++at;
          break;
        }
        field += text[at++];
      }
      if (at < text.size() && text[at] != '\t' && text[at] != '\r' && text[at] != '\n') {
        return false;
      }
    }
    while (at < text.size() && text[at] != '\t' && text[at] != '\r' && text[at] != '\n') {
      field += text[at++];
    }
    if (at >= text.size()) return false;  // every row ends with a line break
    if (text[at] == '\t') {
      row.push_back(std::move(field));
      field.clear();
      ++at;
      continue;
    }
    if (text[at] == '\r') ++at;
    if (at >= text.size() || text[at] != '\n') return false;
    ++at;
    row.push_back(std::move(field));
    field.clear();
    rows->push_back(std::move(row));
    row.clear();
  }
  return true;
}

TEST(GridCellsText, CellsWithTabsLineBreaksAndQuotesSurviveASpreadsheetReader) {
  CellBlock block;
  block.cells = {
      {"plain", "with\ttab", "two\r\nlines"},
      {"say \"hi\"", "\"", ""},
      {"lone\nfeed", "cr\ronly", G("中文\t\"引号\"")},
      {"\"\"", " spaced ", "end"},
  };
  const std::string text = GridCellsAsText(block);
  std::vector<std::vector<std::string>> rows;
  ASSERT_TRUE(ReadTsv(text, &rows)) << text;
  EXPECT_EQ(rows, block.cells);
  // Cells without those characters are written as they are.
  EXPECT_EQ(text.substr(0, 6), "plain\t");
  EXPECT_NE(text.find("\"say \"\"hi\"\"\""), std::string::npos);
  EXPECT_NE(text.find("\t\"\"\"\"\t\r\n"), std::string::npos);  // a lone quote, then an empty cell
}

class GridPasteTextTest : public GridTest {
 protected:
  void SetUp() override {
    GridTest::SetUp();
    WriteMemoTable(dir_.File("a.mcn"), 5);
    MakeGrid();
    Connect(dir_.File("a.mcn"));
  }
};

TEST_F(GridPasteTextTest, CopiedMemosWithLineBreaksReadBackAsTheirCells) {
  ASSERT_TRUE(source_.SetCellText(1, 2, "first line\r\nsecond\t\"quoted\""));
  Click(1, 1);
  Click(3, 3, kShift);
  Key('C', kCtrl);
  std::vector<std::vector<std::string>> rows;
  ASSERT_TRUE(ReadTsv(backend_.ClipboardText().value_or(""), &rows));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1][0], "c2");
  EXPECT_EQ(rows[1][2], "first line\r\nsecond\t\"quoted\"");
  EXPECT_EQ(rows[2][2], "memo 3");
}

TEST_F(GridPasteTextTest, TextFromAnotherProgramIsRefusedWithAMessage) {
  platform::ClipboardContent foreign;
  foreign.text_gbk = "\"a\tb\"\tc\r\n";
  backend_.SetClipboard(foreign);
  Click(2, 3);
  const size_t boxes = backend_.boxes().size();
  Key('V', kCtrl);
  ASSERT_EQ(backend_.boxes().size(), boxes + 1);
  EXPECT_EQ(backend_.boxes().back().title_gbk, G("温馨提示"));
  EXPECT_EQ(backend_.boxes().back().text_gbk, G("只能粘贴从本表格复制的单元格"));
  EXPECT_EQ(grid_->CellText(2, 3), "memo 2");
  EXPECT_EQ(grid_->CellText(2, 1), "c2");
  // An empty clipboard is no paste and no message.
  backend_.SetClipboard(platform::ClipboardContent{});
  Key('V', kCtrl);
  EXPECT_EQ(backend_.boxes().size(), boxes + 1);
}

}  // namespace
}  // namespace memo::ui::testing
