// The fixture the mcn command-line tests share: a scratch directory, a memo-table database made
// through mcn itself, and byte patches for damaging its files on purpose.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/mcn/mcn_runner.h"

namespace memo::mcn::testing {

inline void PatchU32(const std::filesystem::path& path, size_t offset, uint32_t value) {
  std::string bytes = ReadWholeFile(path);
  ASSERT_LE(offset + 4, bytes.size());
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>(value >> (8 * i));
  WriteWholeFile(path, bytes);
}

inline uint32_t ReadU32(const std::filesystem::path& path, size_t offset) {
  std::string bytes = ReadWholeFile(path);
  if (offset + 4 > bytes.size()) return 0xFFFFFFFFu;
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i)
    value |= uint32_t{static_cast<unsigned char>(bytes[offset + i])} << (8 * i);
  return value;
}

inline bool Contains(const std::string& text, const std::string& words) {
  return text.find(words) != std::string::npos;
}

// The memo table's layout: records start at 404, 30 bytes each; 记事 at 22, 跟进 at 26.
constexpr size_t kMemoRecordsStart = 404;
constexpr size_t kMemoRecordSize = 30;
inline size_t RecordAt(int record) { return kMemoRecordsStart + record * kMemoRecordSize; }
inline size_t MemoFieldAt(int record) { return RecordAt(record) + 22; }
inline size_t BlockAt(int block) { return static_cast<size_t>(block) * 512; }
// The field table: descriptor i at 0x74 + 72 i (name, type at +20, offset at +24, length at +28).
inline size_t DescriptorAt(int field) { return 0x74 + 72 * static_cast<size_t>(field); }

class McnTest : public ::testing::Test {
 protected:
  // A memo-table database "m.mcn"/"m.EDT" with the given memo texts, one record each.
  void MakeMemoTable(const std::vector<std::string>& memos) {
    ASSERT_EQ(
        dir_.Run({"create", "m.mcn", "分类:text:10", "时间:datetime", "记事:memo", "跟进:memo"})
            .exit_code,
        0);
    for (const std::string& memo : memos) {
      McnResult add = dir_.Run({"add", "m.mcn", "收款", "2014-07-10T09:05:00", memo, ""});
      ASSERT_EQ(add.exit_code, 0) << add.err;
    }
  }
  std::filesystem::path Table() { return dir_ / "m.mcn"; }
  std::filesystem::path Memo() { return dir_ / "m.EDT"; }

  ScratchDir dir_;
};

}  // namespace memo::mcn::testing
