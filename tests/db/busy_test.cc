// A file that another handle holds for a moment is busy, not broken: opens and writes wait for
// the lock (sleeping 20 to 39 ms between attempts, at least 2000 ms in all) and fail with -28
// only after that; reads do not wait. The waits run on a virtual clock, so seconds of waiting
// pass at once and every sleep is seen.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "db/coding.h"
#include "db/engine_code.h"
#include "db/lock.h"
#include "db/memo_format.h"
#include "tests/support/test_util.h"

namespace memo::db {
namespace {

using testing::G;

// Three memos: categories c0..c2, texts "memo 0".."memo 2".
class BusyTest : public ::testing::Test {
 protected:
  void SetUp() override { Prepare(); }

  // A fresh memo table, and the two handles on it.
  void Prepare() {
    holder_.reset();
    actor_.reset();
    path_ = dir_.File("a.mcn");
    for (const char* name : {"a.mcn", "a.EDT", "b.mcn", "b.EDT"}) {
      std::remove(dir_.File(name).c_str());
    }
    testing::MustCreate(path_, testing::MemoTableFields());
    auto writer = testing::MustOpen(path_);
    ASSERT_TRUE(writer);
    for (int i = 0; i < 3; ++i) {
      categories_[i] = "c" + std::to_string(i);
      texts_[i] = "memo " + std::to_string(i);
      TypedValue values[] = {testing::TextCell(categories_[i]), testing::DateTimeCell(40000 + i),
                             testing::TextCell(texts_[i])};
      ASSERT_EQ(writer->AddRecord(values, 3), kOk);
    }
    holder_ = testing::MustOpen(path_);
    actor_ = testing::MustOpen(path_);  // lock wait 0, as the program opens its files
    ASSERT_TRUE(holder_ && actor_);
  }

  int32_t Count() {
    auto reader = testing::MustOpen(path_, ReadOnly());
    int32_t count = -1;
    if (reader) {
      EXPECT_EQ(reader->ReadRecordCount(&count), kOk);
    }
    return count;
  }

  std::string Text(int32_t record, const char* field) {
    auto reader = testing::MustOpen(path_, ReadOnly());
    if (!reader) return "?";
    reader->set_current_record(record);
    return testing::FieldText(reader.get(), field);
  }

  static OpenOptions ReadOnly() {
    OpenOptions options;
    options.access = AccessFromArgument(1);
    return options;
  }

  uint64_t RecordByte(int32_t record) const {
    return holder_->records_start() +
           static_cast<uint64_t>(record) * static_cast<uint32_t>(holder_->record_size());
  }

  testing::TempDir dir_;
  std::string path_;
  std::string categories_[3];
  std::string texts_[3];
  std::unique_ptr<DatabaseHandle> holder_;
  std::unique_ptr<DatabaseHandle> actor_;
};

// One operation held off by one lock of another handle.
struct BusyCase {
  const char* name;
  // The byte the holder takes: in the RecordFile, or the MemoFile's header byte.
  enum { kRecordFile, kMemoHeader } file;
  uint64_t (*byte)(BusyTest* test);
  // Runs the operation; `opened` keeps what an open opened.
  std::function<EngineCode(BusyTest* test, std::unique_ptr<DatabaseHandle>* opened)> run;
  // Checks the files after the operation ran (true) or failed (false).
  std::function<void(BusyTest* test, bool ran)> check;
};

class BusyCaseTest : public BusyTest {
 protected:
  EngineCode Hold(const BusyCase& c) {
    return c.file == BusyCase::kRecordFile ? holder_->locks()->Lock(c.byte(this), 0)
                                           : holder_->memo_file()->locks()->Lock(0, 0);
  }
  EngineCode Release(const BusyCase& c) {
    return c.file == BusyCase::kRecordFile ? holder_->locks()->Unlock(c.byte(this))
                                           : holder_->memo_file()->locks()->Unlock(0);
  }
  std::vector<BusyCase> Cases();

 public:
  // For the case table.
  uint64_t Byte(int32_t record) const { return RecordByte(record); }
  DatabaseHandle* actor() { return actor_.get(); }
  const std::string& path() const { return path_; }
  int32_t CountNow() { return Count(); }
  std::string TextNow(int32_t record, const char* field) { return Text(record, field); }
  const std::string& text(int i) const { return texts_[i]; }
};

const std::string kLong(1300, 'L');  // three blocks: the chain write needs the MemoFile header

std::vector<BusyCase> BusyCaseTest::Cases() {
  auto record0 = [](BusyTest* t) { return static_cast<BusyCaseTest*>(t)->Byte(0); };
  auto record1 = [](BusyTest* t) { return static_cast<BusyCaseTest*>(t)->Byte(1); };
  auto after_last = [](BusyTest* t) { return static_cast<BusyCaseTest*>(t)->Byte(3); };
  auto count_byte = [](BusyTest*) { return kRecordCountOffset; };
  auto self = [](BusyTest* t) { return static_cast<BusyCaseTest*>(t); };
  static const std::string kNew = "new";
  static const std::string kChanged = "changed";
  auto add = [self](BusyTest* t, std::unique_ptr<DatabaseHandle>*) {
    TypedValue values[] = {testing::TextCell(kNew), testing::DateTimeCell(1.0),
                           testing::TextCell(kLong)};
    return self(t)->actor()->AddRecord(values, 3);
  };
  auto added = [self](BusyTest* t, bool ran) {
    ASSERT_EQ(self(t)->CountNow(), ran ? 4 : 3);
    if (ran) {
      EXPECT_EQ(self(t)->TextNow(3, "记事"), kLong);
    }
  };
  auto modify = [self](BusyTest* t, std::unique_ptr<DatabaseHandle>*) {
    self(t)->actor()->set_current_record(1);
    TypedValue values[] = {testing::TextCell(kChanged), TypedValue{}, testing::TextCell(kLong)};
    return self(t)->actor()->ModifyRecord(values, 3);
  };
  auto modified = [self](BusyTest* t, bool ran) {
    EXPECT_EQ(self(t)->TextNow(1, "分类"), ran ? kChanged : "c1");
    EXPECT_EQ(self(t)->TextNow(1, "记事"), ran ? kLong : self(t)->text(1));
    EXPECT_EQ(self(t)->TextNow(0, "记事"), self(t)->text(0));
  };
  auto write_memo = [self](BusyTest* t, std::unique_ptr<DatabaseHandle>*) {
    self(t)->actor()->set_current_record(1);
    return self(t)->actor()->WriteField(2, testing::TextCell(kLong));
  };
  auto memo_written = [self](BusyTest* t, bool ran) {
    EXPECT_EQ(self(t)->TextNow(1, "记事"), ran ? kLong : self(t)->text(1));
  };
  return {
      {"open", BusyCase::kRecordFile, record1,
       [self](BusyTest* t, std::unique_ptr<DatabaseHandle>* opened) {
         return DatabaseHandle::Open(self(t)->path(), {}, opened);
       },
       [](BusyTest*, bool) {}},
      {"clear", BusyCase::kRecordFile, record1,
       [self](BusyTest* t, std::unique_ptr<DatabaseHandle>*) {
         return self(t)->actor()->ClearAll();
       },
       [self](BusyTest* t, bool ran) { EXPECT_EQ(self(t)->CountNow(), ran ? 0 : 3); }},
      {"pack a range", BusyCase::kRecordFile, record0,
       [self](BusyTest* t, std::unique_ptr<DatabaseHandle>*) {
         return self(t)->actor()->PackRange(0, 1);
       },
       [self](BusyTest* t, bool ran) {
         ASSERT_EQ(self(t)->CountNow(), ran ? 2 : 3);
         EXPECT_EQ(self(t)->TextNow(0, "记事"), self(t)->text(ran ? 1 : 0));
       }},
      {"sort", BusyCase::kRecordFile, record1,
       [self](BusyTest* t, std::unique_ptr<DatabaseHandle>*) {
         SortRequest request;
         request.target = self(t)->path().substr(0, self(t)->path().size() - 5) + "b.mcn";
         request.key_names = {G("分类")};
         return self(t)->actor()->SortInto(request);
       },
       [self](BusyTest* t, bool ran) {
         const std::string target = self(t)->path().substr(0, self(t)->path().size() - 5) + "b.mcn";
         EXPECT_EQ(testing::Exists(target), ran);
       }},
      {"add (count byte)", BusyCase::kRecordFile, count_byte, add, added},
      {"add (the new record's byte)", BusyCase::kRecordFile, after_last, add, added},
      {"add (MemoFile header)", BusyCase::kMemoHeader, nullptr, add, added},
      {"append blank", BusyCase::kRecordFile, count_byte,
       [self](BusyTest* t, std::unique_ptr<DatabaseHandle>*) {
         return self(t)->actor()->AppendBlank();
       },
       [self](BusyTest* t, bool ran) { EXPECT_EQ(self(t)->CountNow(), ran ? 4 : 3); }},
      {"modify", BusyCase::kRecordFile, record1, modify, modified},
      {"modify (MemoFile header)", BusyCase::kMemoHeader, nullptr, modify, modified},
      {"write a text field", BusyCase::kRecordFile, record1,
       [self](BusyTest* t, std::unique_ptr<DatabaseHandle>*) {
         self(t)->actor()->set_current_record(1);
         return self(t)->actor()->WriteField(0, testing::TextCell(kChanged));
       },
       [self](BusyTest* t, bool ran) {
         EXPECT_EQ(self(t)->TextNow(1, "分类"), ran ? kChanged : "c1");
       }},
      {"write a memo field", BusyCase::kRecordFile, record1, write_memo, memo_written},
      {"write a memo field (MemoFile header)", BusyCase::kMemoHeader, nullptr, write_memo,
       memo_written},
  };
}

TEST_F(BusyCaseTest, EveryOpenAndWriteWaitsForALockLetGoDuringTheWait) {
  for (const BusyCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    Prepare();
    ASSERT_EQ(Hold(c), kOk);
    std::unique_ptr<DatabaseHandle> opened;
    EngineCode rc;
    size_t sleeps = 0;
    {
      testing::VirtualClock clock;
      // Let go after the fifth sleep (some 150 ms): well inside the wait.
      clock.after_sleep = [&](size_t n) {
        if (n == 5) {
          EXPECT_EQ(Release(c), kOk);
        }
      };
      rc = c.run(this, &opened);
      sleeps = clock.sleeps().size();
    }
    EXPECT_EQ(rc, kOk);
    EXPECT_EQ(sleeps, 5u) << "one more attempt after the lock went";
    opened.reset();
    c.check(this, true);
  }
}

TEST_F(BusyCaseTest, EveryOpenAndWriteGivesUpAfterTwoSecondsAndChangesNothing) {
  for (const BusyCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    Prepare();
    ASSERT_EQ(Hold(c), kOk);
    std::unique_ptr<DatabaseHandle> opened;
    EngineCode rc;
    std::vector<uint32_t> sleeps;
    uint64_t slept = 0;
    {
      testing::VirtualClock clock;
      rc = c.run(this, &opened);
      sleeps = clock.sleeps();
      slept = clock.slept_ms();
    }
    EXPECT_EQ(rc, kLockFailed);
    EXPECT_FALSE(opened);
    EXPECT_GE(slept, static_cast<uint64_t>(kBusyLockWait));
    EXPECT_LT(slept, static_cast<uint64_t>(kBusyLockWait) + 40) << "no sleep past the bound";
    for (uint32_t ms : sleeps) {
      EXPECT_GE(ms, 20u);
      EXPECT_LE(ms, 39u);
    }
    ASSERT_EQ(Release(c), kOk);
    c.check(this, false);
    // The failed attempt left nothing locked: the operation now goes through at once.
    {
      testing::VirtualClock clock;
      EXPECT_EQ(c.run(this, &opened), kOk);
      EXPECT_TRUE(clock.sleeps().empty());
    }
    opened.reset();
    c.check(this, true);
  }
}

TEST_F(BusyTest, ALongerLockWaitOfTheHandleIsKeptAndMinusOneWaitsWithoutLimit) {
  ASSERT_EQ(holder_->locks()->Lock(RecordByte(0), 0), kOk);
  {
    testing::VirtualClock clock;
    actor_->set_lock_wait(5000);
    EXPECT_EQ(actor_->ClearAll(), kLockFailed);
    EXPECT_GE(clock.slept_ms(), 5000u);
    EXPECT_LT(clock.slept_ms(), 5040u);
  }
  {
    testing::VirtualClock clock;
    actor_->set_lock_wait(kWaitForever);
    // Let go after twelve seconds of waiting: longer than any bound.
    clock.after_sleep = [&](size_t) {
      if (clock.slept_ms() >= 12000 && holder_->locks()->ReferenceCount(RecordByte(0)) > 0) {
        EXPECT_EQ(holder_->locks()->Unlock(RecordByte(0)), kOk);
      }
    };
    EXPECT_EQ(actor_->ClearAll(), kOk);
    EXPECT_GE(clock.slept_ms(), 12000u);
  }
  EXPECT_EQ(Count(), 0);
}

TEST_F(BusyTest, ReadsDoNotWait) {
  ASSERT_EQ(holder_->locks()->Lock(RecordByte(1), 0), kOk);
  testing::VirtualClock clock;
  actor_->set_current_record(1);
  std::string bytes;
  EXPECT_EQ(actor_->ReadFieldBytes(2, &bytes), kLockFailed);
  actor_->set_current_record(0);
  EXPECT_EQ(actor_->ReadFieldBytes(2, &bytes), kOk);
  EXPECT_EQ(bytes, texts_[0]);
  EXPECT_TRUE(clock.sleeps().empty());
  EXPECT_EQ(holder_->locks()->Unlock(RecordByte(1)), kOk);
}

TEST(LockWaitTest, RetriesSleepTwentyToThirtyNineMsFromTheTickUntilTheWaitHasPassed) {
  testing::TempDir dir;
  const std::string path = dir.File("c.edb");
  testing::MustCreate(path, {{"n", kFieldInt, 0}});
  auto first = testing::MustOpen(path);
  auto second = testing::MustOpen(path);
  ASSERT_TRUE(first && second);
  ASSERT_EQ(first->locks()->Lock(16, 0), kOk);
  testing::VirtualClock clock;
  const uint32_t start = platform::TickCount();
  std::vector<uint32_t> ticks;  // the tick before each sleep
  uint32_t last = start;
  clock.after_sleep = [&](size_t) {
    ticks.push_back(last);
    last = platform::TickCount();
  };
  EXPECT_EQ(second->locks()->Lock(16, 300), kLockFailed);
  ASSERT_EQ(clock.sleeps().size(), ticks.size());
  for (size_t i = 0; i < ticks.size(); ++i) {
    EXPECT_EQ(clock.sleeps()[i], 20 + ticks[i] % 20) << i;
  }
  EXPECT_GE(platform::TickCount() - start, 300u) << "the tick wraps round meanwhile";
  EXPECT_EQ(second->locks()->Lock(16, kNoLockWait), kLockFailed);
  EXPECT_EQ(clock.sleeps().size(), ticks.size()) << "a wait of 0 tries once";
  EXPECT_EQ(first->locks()->Unlock(16), kOk);
  EXPECT_EQ(second->locks()->Lock(16, 300), kOk);
  EXPECT_EQ(second->locks()->Unlock(16), kOk);
}

}  // namespace
}  // namespace memo::db
