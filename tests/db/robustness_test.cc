// Damaged files: random corruptions of a sound database and its memo file must end in engine
// codes, never in a crash, a hang or a read outside a buffer (the sanitizers watch the reads).
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "db/coding.h"
#include "db/engine_code.h"
#include "db/record_format.h"
#include "runtime/heap.h"
#include "tests/support/test_util.h"

namespace memo::db {
namespace {

using testing::G;

bool IsEngineCode(int code) { return code <= 0 && code >= -80; }

class RobustnessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string path = dir_.File("base.edb");
    testing::MustCreate(path, {{G("分类"), kFieldText, 10},
                               {G("时间"), kFieldDateTime, 0},
                               {G("记事"), kFieldMemo, 0},
                               {G("数"), kFieldShort, 0},
                               {G("附件"), kFieldByteSet, 0}});
    auto handle = testing::MustOpen(path);
    for (int i = 0; i < 6; ++i) {
      const std::string category = "c" + std::to_string(i % 3);
      const std::string memo(static_cast<size_t>(i) * 400 + 1, static_cast<char>('a' + i));
      TypedValue values[] = {testing::TextCell(category), testing::DateTimeCell(41000.5 + i),
                             testing::TextCell(memo), testing::IntCell(i)};
      ASSERT_EQ(handle->AddRecord(values, 4), kOk);
    }
    handle->set_current_record(2);
    TypedValue shorter[] = {TypedValue{}, TypedValue{}, testing::TextCell("x")};
    ASSERT_EQ(handle->ModifyRecord(shorter, 3), kOk);  // leaves free blocks behind
    handle.reset();
    record_bytes_ = testing::ReadAll(path);
    memo_bytes_ = testing::ReadAll(dir_.File("base.EDT"));
  }

  // Flips, overwrites or cuts bytes; the header areas are hit more often than the rest.
  std::string Damage(std::string bytes, size_t hot_area, std::mt19937* random) {
    std::uniform_int_distribution<int> kind(0, 9);
    const int changes = 1 + static_cast<int>((*random)() % 6);
    for (int c = 0; c < changes && !bytes.empty(); ++c) {
      const size_t limit = ((*random)() % 3 == 0) ? bytes.size() : std::min(bytes.size(), hot_area);
      const size_t at = (*random)() % limit;
      switch (kind(*random)) {
        case 0: bytes.resize(at); break;
        case 1: {
          static const uint32_t kWords[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 3, 500, 501};
          const uint32_t word = kWords[(*random)() % 8];
          for (int k = 0; k < 4 && at + k < bytes.size(); ++k) {
            bytes[at + k] = static_cast<char>(word >> (8 * k));
          }
          break;
        }
        default: bytes[at] = static_cast<char>((*random)()); break;
      }
    }
    return bytes;
  }

  // Every operation on whatever opened; returns normally whatever the bytes were.
  void Exercise(DatabaseHandle* handle, int round) {
    int32_t count = 0;
    int rc = handle->ReadRecordCount(&count);
    ASSERT_TRUE(IsEngineCode(rc));
    for (int32_t r = -1; r <= std::min(count, 50); ++r) {
      handle->set_current_record(r);
      for (int f = 0; f < handle->field_count(); ++f) {
        TypedValue value;
        rc = handle->ReadField(f, &value);
        ASSERT_TRUE(IsEngineCode(rc)) << rc;
        ReleaseValue(&value);
      }
    }
    EXPECT_TRUE(IsEngineCode(handle->Skip(3)));
    EXPECT_TRUE(IsEngineCode(handle->Skip(-7)));
    // Writes only where a record is small enough to be a plausible one.
    if (handle->record_size() > 1 << 16) return;
    const std::string memo(700, 'w');
    std::vector<TypedValue> values;
    for (const FieldDescriptor& field : handle->fields()) {
      values.push_back(field.type == kFieldMemo || field.type == kFieldText
                           ? testing::TextCell(memo)
                           : TypedValue{});
    }
    handle->set_current_record(1);
    EXPECT_TRUE(IsEngineCode(handle->ModifyRecord(values.data(), static_cast<int>(values.size()))));
    EXPECT_TRUE(IsEngineCode(handle->AddRecord(values.data(), static_cast<int>(values.size()))));
    EXPECT_TRUE(IsEngineCode(handle->AppendBlank()));
    if (handle->field_count() > 0) {
      SortRequest request;
      request.target = dir_.File("sorted" + std::to_string(round % 2));
      request.key_names = {handle->fields()[0].Name()};
      EXPECT_TRUE(IsEngineCode(handle->SortInto(request)));
    }
    EXPECT_TRUE(IsEngineCode(round % 2 ? handle->PackDeleted() : handle->PackRange(0, 2)));
    if (round % 5 == 0) {
      EXPECT_TRUE(IsEngineCode(handle->ClearAll()));
    }
  }

  testing::TempDir dir_;
  std::string record_bytes_;
  std::string memo_bytes_;
};

TEST_F(RobustnessTest, RandomDamageEndsInEngineCodes) {
  std::mt19937 random(20140707);
  int opened = 0;
  const int kRounds = 1000;
  for (int round = 0; round < kRounds; ++round) {
    const bool damage_record = round % 3 != 2;
    const bool damage_memo = round % 3 != 0;
    const std::string records =
        damage_record ? Damage(record_bytes_, RecordsStart(5), &random) : record_bytes_;
    const std::string memos = damage_memo ? Damage(memo_bytes_, 1024, &random) : memo_bytes_;
    const std::string path = dir_.File("r.edb");
    testing::WriteAll(path, records);
    testing::WriteAll(dir_.File("r.edt"), memos);
    OpenOptions options;
    options.access = AccessFromArgument(round % 4 == 3 ? 2 : 0);
    std::unique_ptr<DatabaseHandle> handle;
    const int rc = DatabaseHandle::Open(path, options, &handle);
    ASSERT_TRUE(IsEngineCode(rc)) << rc;
    if (rc != kOk) {
      if (options.access != OpenAccess::kRepairing) {
        EXPECT_EQ(testing::ReadAll(path), records) << "unchanged";
      }
      continue;
    }
    ++opened;
    ASSERT_NO_FATAL_FAILURE(Exercise(handle.get(), round));
  }
  EXPECT_GT(opened, kRounds / 10) << "the damage should leave many files openable";
}

#if defined(__SANITIZE_ADDRESS__)
#define MEMO_DB_TEST_WITH_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MEMO_DB_TEST_WITH_ASAN 1
#endif
#endif

// A header may declare a record of nearly 2 GB with one text field filling it; every rule of the
// format holds for such a file. Reading that field needs a buffer this process may not get: the
// read must fail with -45 instead of ending the program. The child process runs under a 1 GB
// address-space limit (AddressSanitizer reserves more than that, so the case needs a build
// without it).
TEST(HugeFieldTest, ReadingAFieldTooBigForMemoryFailsWithAllocationError) {
#ifdef MEMO_DB_TEST_WITH_ASAN
  GTEST_SKIP() << "needs a build without AddressSanitizer (an address-space limit)";
#else
  testing::TempDir dir;
  std::string file(RecordsStart(1), '\0');
  std::memcpy(file.data(), "WEDB", 4);
  EncodeFixed32(file.data() + kVersionOffset, kFormatVersion);
  EncodeInt32(file.data() + kNextSerialOffset, 1);
  EncodeInt32(file.data() + kRecordSizeOffset, 0x7FFFFF00);
  EncodeFixed32(file.data() + kFieldCountOffset, 1);
  file[kFieldTableOffset] = 't';
  EncodeFixed32(file.data() + kFieldTableOffset + kDescriptorTypeOffset, kFieldText);
  EncodeFixed32(file.data() + kFieldTableOffset + kDescriptorOffsetOffset, 4);
  EncodeFixed32(file.data() + kFieldTableOffset + kDescriptorLengthOffset, 0x7FFFFEFC);
  const std::string path = dir.File("huge.edb");
  testing::WriteAll(path, file);

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    rlimit limit{uint64_t{1} << 30, uint64_t{1} << 30};
    setrlimit(RLIMIT_AS, &limit);
    std::unique_ptr<DatabaseHandle> handle;
    if (DatabaseHandle::Open(path, {}, &handle) != kOk) _exit(10);
    handle->MoveFirst();
    std::string bytes;
    _exit(handle->ReadFieldBytes(0, &bytes) == kAllocationFailed ? 0 : 11);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
#endif
}

}  // namespace
}  // namespace memo::db
