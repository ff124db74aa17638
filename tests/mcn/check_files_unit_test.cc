// The walk over real files, against the engine's own reader: on hundreds of damaged pairs, a pair
// the walk finds free of damage is one the engine opens without repairs and reads every value of.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "db/check.h"
#include "db/create.h"
#include "db/database.h"
#include "db/engine_code.h"
#include "runtime/heap.h"

namespace memo::db {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// REQUIRES: `bytes` outlives every use of the value.
TypedValue Text(const std::string& bytes) {
  TypedValue value;
  value.tag = TypeTag::kText;
  value.SetPointer(bytes.c_str());
  return value;
}

TypedValue Int(int32_t n) {
  TypedValue value;
  value.tag = TypeTag::kInt;
  value.low = static_cast<uint32_t>(n);
  return value;
}

class CheckFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "check-files-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    path_ = dir_ + "/d.mcn";
    ASSERT_EQ(CreateDatabase(path_, {{"k", kFieldInt, 0},
                                     {"t", kFieldText, 6},
                                     {"m", kFieldMemo, 0},
                                     {"n", kFieldMemo, 0}}),
              kOk);
    OpenOptions options;
    std::unique_ptr<DatabaseHandle> handle;
    ASSERT_EQ(DatabaseHandle::Open(path_, options, &handle), kOk);
    const std::string texts[] = {"", "short", std::string(501, 'b'), std::string(1300, 'c'),
                                 "tail"};
    for (int i = 0; i < 5; ++i) {
      const std::string& second = texts[(i + 2) % 5];
      const std::string row = "row";
      TypedValue values[] = {Int(i), Text(row), Text(texts[i]), Text(second)};
      ASSERT_EQ(handle->AddRecord(values, 4), kOk);
    }
    // A hole in the middle of the memo file: a released chain on the free list.
    handle->set_current_record(3);
    const std::string x = "x";
    TypedValue shorter[] = {TypedValue{}, TypedValue{}, Text(x)};
    ASSERT_EQ(handle->ModifyRecord(shorter, 3), kOk);
    handle.reset();
    record_ = ReadAll(path_);
    memo_ = ReadAll(MemoPathFor(path_));
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  void Analyze(CheckReport* report) {
    DatabaseFiles files;
    ASSERT_EQ(files.Open(path_, platform::FileAccess::kRead, 0), kOk);
    ASSERT_EQ(files.LockWhole(true), kOk);
    files.Analyze("", report);
  }

  std::string dir_, path_, record_, memo_;
};

TEST_F(CheckFilesTest, SoundPairHasNoFindings) {
  CheckReport report;
  Analyze(&report);
  EXPECT_EQ(report.code, kOk);
  for (const Finding& finding : report.findings) ADD_FAILURE() << finding.text;
  EXPECT_EQ(report.whole_records, 5);
  EXPECT_EQ(report.walk.heads.size(), 10u);
  EXPECT_GT(report.walk.header.free_count, 0);
}

TEST_F(CheckFilesTest, WhatTheWalkCallsSoundTheEngineReadsWhole) {
  std::mt19937 random(20240611);
  int sound = 0, damaged = 0;
  for (int round = 0; round < 400; ++round) {
    std::string record = record_, memo = memo_;
    std::string& target = random() % 2 == 0 ? record : memo;
    const int changes = 1 + static_cast<int>(random() % 3);
    for (int c = 0; c < changes; ++c) {
      // Small numbers in aligned words make links, counts and offsets that almost fit; other
      // changes are any byte anywhere, or a shorter file.
      const uint32_t kind = random() % 8;
      if (kind < 5 && target.size() >= 4) {
        const size_t at = (random() % (target.size() / 4)) * 4;
        const uint32_t value = random() % 12;
        std::memcpy(target.data() + at, &value, 4);
      } else if (kind < 7 && !target.empty()) {
        target[random() % target.size()] = static_cast<char>(random());
      } else if (!target.empty()) {
        target.resize(random() % target.size());
      }
    }
    WriteAll(path_, record);
    WriteAll(MemoPathFor(path_), memo);

    CheckReport report;
    Analyze(&report);
    OpenOptions look;
    look.access = OpenAccess::kReadOnly;
    std::unique_ptr<DatabaseHandle> handle;
    const int open = DatabaseHandle::Open(path_, look, &handle);
    const bool walk_sound = report.code == kOk && !report.HasDamage();
    if (!walk_sound) {
      ++damaged;
      continue;
    }
    ++sound;
    ASSERT_EQ(open, kOk) << "round " << round << ": the walk found no damage";
    int32_t count = 0;
    ASSERT_EQ(handle->ReadRecordCount(&count), kOk);
    EXPECT_EQ(count, report.whole_records) << "round " << round;
    for (int32_t position = 0; position < count; ++position) {
      handle->set_current_record(position);
      for (int f = 0; f < handle->field_count(); ++f) {
        TypedValue value;
        EXPECT_EQ(handle->ReadField(f, &value), kOk)
            << "round " << round << " record " << position + 1 << " field " << f + 1;
        ReleaseValue(&value);
      }
    }
    // A later write allocates at the block count: nothing may lie in use beyond it.
    EXPECT_LE(static_cast<uint64_t>(report.walk.header.block_count), report.walk.whole_blocks)
        << "round " << round;
  }
  // The rounds cover both sides.
  EXPECT_GT(sound, 20);
  EXPECT_GT(damaged, 100);
}

}  // namespace
}  // namespace memo::db
