// What dump and export print, byte for byte: a table with every field type mcn writes, GBK
// texts, control characters, quotes and line breaks, long and empty memos, a deleted record,
// stored bytes that GBK has no character for, numbers that are not numbers and a broken chain.
// The expected outputs in golden/ were printed by mcn when it still read each field through
// the engine one at a time; the chunked reading must print the same. Then tables large enough for
// many chunks, chunks cut short by long memos, and deleted records at chunk edges (which info
// counts from the same chunks).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/mcn/mcn_fixture.h"

namespace memo::mcn::testing {
namespace {

std::string Golden(const std::string& name) {
  return ReadWholeFile(std::filesystem::path(MCN_GOLDEN_DIR) / name);
}

void PatchBytes(const std::filesystem::path& path, size_t offset, const std::string& bytes) {
  std::string file = ReadWholeFile(path);
  ASSERT_LE(offset + bytes.size(), file.size());
  file.replace(offset, bytes.size(), bytes);
  WriteWholeFile(path, file);
}

void PatchU64(const std::filesystem::path& path, size_t offset, uint64_t value) {
  std::string bytes(8, '\0');
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
  PatchBytes(path, offset, bytes);
}

// The every-type table: records start at 908, 60 bytes each.
constexpr size_t kStart = 908;
constexpr size_t kSize = 60;
size_t At(int record, size_t field_offset) { return kStart + kSize * record + field_offset; }

class DumpTest : public McnTest {
 protected:
  void MakeEveryTypeTable() {
    ASSERT_EQ(
        dir_.Run({"create", "t.mcn", "b:byte", "s:short", "i:int", "l:long", "f:float", "d:double",
                  "ok:bool", "at:datetime", "name:text:12", "note:memo", "raw:bytes"})
            .exit_code,
        0);
    std::string lines;
    for (int k = 1; k <= 40; ++k) {
      char line[64];
      std::snprintf(line, sizeof line, "say \"hi\" %02d, 第%d行", k, k);
      if (k > 1) lines += "\n";
      lines += line;
    }
    std::string hex;
    for (int n : {256, 256, 101}) {
      for (int b = 0; b < n; ++b) {
        hex += "0123456789abcdef"[b >> 4];
        hex += "0123456789abcdef"[b & 15];
      }
    }
    const std::vector<std::vector<std::string>> records = {
        {"255", "-32768", "-2147483648", "9223372036854775807", "3.4028235e38", "-1.5e-300", "true",
         "2014-07-10T09:05:00", "收款", "备注，含逗号, and a comma", "0x00ff10"},
        {"0", "0", "0", "0", "nan", "inf", "false", "9999-12-31", "ctl\x01\x1b[31m", lines, ""},
        {"1", "2", "3", "-4", "0.1", "-inf", "yes", "0100-01-01", " space ", "line1\r\nline2",
         "00"},
        {"", "", "", "", "", "", "", "", "", "", ""},
        {"7", "300", "70000", "-9000000000", "-0", "1e-310", "n", "2000-02-29T23:59:59",
         "一二三四五六", "tab\there\x7f€ and ￥", hex},
    };
    for (const std::vector<std::string>& values : records) {
      std::vector<std::string> args = {"add", "t.mcn"};
      args.insert(args.end(), values.begin(), values.end());
      McnResult add = dir_.Run(args);
      ASSERT_EQ(add.exit_code, 0) << add.err;
    }
    const std::filesystem::path table = dir_ / "t.mcn";
    PatchU32(table, At(2, 0), static_cast<uint32_t>(-3));  // record 3 deleted
    // Bytes GBK has no character for: a lone 0x80, a lead byte before DEL, 0xFF, a lead byte at
    // the end of the text.
    PatchBytes(table, At(3, 40),
               std::string("A\x80"
                           "B\x81\x7f\xff"
                           "C\xb0",
                           8));
    PatchU64(table, At(3, 23), 0xFFF8000000000001u);  // a negative NaN
    PatchU32(table, At(3, 19), 0x7FC00001u);          // a float NaN with a payload
  }
};

TEST_F(DumpTest, EveryNotationPrintsWhatTheFieldByFieldReadPrinted) {
  MakeEveryTypeTable();
  const struct {
    std::vector<std::string> args;
    const char* golden;
  } cases[] = {
      {{"dump", "t.mcn", "--csv"}, "every_type.csv"},
      {{"dump", "t.mcn", "--csv", "--all"}, "every_type_all.csv"},
      {{"dump", "t.mcn", "--json", "--all"}, "every_type_all.json"},
      {{"dump", "t.mcn", "--all"}, "every_type_all.txt"},
      {{"export", "t.mcn", "--csv"}, "every_type_export.csv"},
  };
  for (const auto& c : cases) {
    McnResult result = dir_.Run(c.args);
    EXPECT_EQ(result.exit_code, 0) << c.golden << ": " << result.err;
    EXPECT_EQ(result.err, "") << c.golden;
    const std::string expected = Golden(c.golden);
    ASSERT_FALSE(expected.empty()) << c.golden;
    EXPECT_EQ(result.out, expected) << c.golden;
  }
  McnResult info = dir_.Run({"info", "t.mcn"});
  EXPECT_EQ(info.exit_code, 0) << info.err;
  EXPECT_TRUE(Contains(info.out, "records:       5 (4 live, 1 deleted)\n")) << info.out;
}

TEST_F(DumpTest, ABrokenChainEmptiesItsFieldAndFailsTheDumpAsBefore) {
  MakeEveryTypeTable();
  PatchU32(dir_ / "t.mcn", At(0, 52), 9999);  // record 1's memo: a block past the end
  PatchU32(dir_ / "t.mcn", At(4, 56), 0);     // record 5's byte-set: empty
  McnResult result = dir_.Run({"dump", "t.mcn", "--csv", "--all"});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err, "record 1 field note: -59 访问数据库的辅助文件失败\n");
  EXPECT_EQ(result.out, Golden("broken_chain_all.csv"));
}

// `count` records through import: record i holds "cat" i mod 20, "note" a text of about 40
// bytes, and from record `long_from` on every `long_every`-th record a memo of `long_bytes`
// bytes instead.
std::string ImportRows(int count, int long_from, int long_every, size_t long_bytes,
                       std::string* expected_dump) {
  std::string csv = "cat,note\n";
  *expected_dump = "serial,deleted,cat,note\r\n";
  for (int i = 0; i < count; ++i) {
    char cat[16];
    std::snprintf(cat, sizeof cat, "分类%02d", i % 20);
    std::string note = "第" + std::to_string(i) + "条 memo text " + std::to_string(i * 7);
    if (i >= long_from && i % long_every == 0) {
      while (note.size() < long_bytes) note += " 很长的备注 " + std::to_string(note.size());
    }
    csv += std::string(cat) + "," + note + "\n";
    *expected_dump += std::to_string(i + 1) + ",false," + cat + "," + note + "\r\n";
  }
  return csv;
}

TEST_F(DumpTest, ManyChunksAndChunksCutShortByLongMemosPrintEveryRecordOnce) {
  // 24-byte records: 6826 to a full chunk. The second chunk holds 30 memos of 300 KB from
  // record 6900 on, and ends once its values pass 4 MB.
  ASSERT_EQ(dir_.Run({"create", "big.mcn", "cat:text:16", "note:memo"}).exit_code, 0);
  std::string expected;
  WriteWholeFile(dir_ / "rows.csv", ImportRows(8100, 6900, 40, 300 * 1024, &expected));
  McnResult import = dir_.Run({"import", "big.mcn", "rows.csv"});
  ASSERT_EQ(import.exit_code, 0) << import.err;

  McnResult dump = dir_.Run({"dump", "big.mcn", "--csv"});
  EXPECT_EQ(dump.exit_code, 0) << dump.err;
  EXPECT_EQ(dump.out, expected);

  // Deleted records on both sides of the first chunk's end and at the very end.
  const size_t start = 0x74 + 72 * 2, size = 24;
  const int chunk = static_cast<int>(160 * 1024 / size);
  for (int record : {chunk - 1, chunk, 8099}) {
    PatchU32(dir_ / "big.mcn", start + size * record, static_cast<uint32_t>(-(record + 1)));
  }
  dump = dir_.Run({"dump", "big.mcn", "--csv"});
  EXPECT_EQ(dump.exit_code, 0) << dump.err;
  std::string without = expected;
  for (int record : {8099, chunk, chunk - 1}) {
    const std::string row_start = "\r\n" + std::to_string(record + 1) + ",false,";
    size_t at = without.find(row_start);
    ASSERT_NE(at, std::string::npos);
    size_t end = without.find("\r\n", at + 2);
    without.erase(at, end - at);
  }
  EXPECT_EQ(dump.out, without);
  McnResult all = dir_.Run({"dump", "big.mcn", "--csv", "--all"});
  EXPECT_NE(all.out.find("\r\n" + std::to_string(chunk) + ",true,"), std::string::npos);
  EXPECT_NE(all.out.find("\r\n8100,true,"), std::string::npos);
  McnResult info = dir_.Run({"info", "big.mcn"});
  EXPECT_EQ(info.exit_code, 0) << info.err;
  EXPECT_TRUE(Contains(info.out, "records:       8100 (8097 live, 3 deleted)\n")) << info.out;
}

}  // namespace
}  // namespace memo::mcn::testing
