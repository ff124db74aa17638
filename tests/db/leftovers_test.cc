// What stopped writers leave behind, and who clears it: the passing files of a sort stopped
// before its commit (removed by the next sort into the same target once their writer is gone),
// the blank deleted records a pack stopped before lowering the count leaves after the records
// it moved (dropped by the next open that may repair), and the permission bits a sort's target
// takes from its source.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "data/db_provider.h"
#include "db/coding.h"
#include "db/engine_code.h"
#include "db/file_names.h"
#include "db/passing_files.h"
#include "platform/posix/syscalls.h"
#include "tests/support/test_util.h"

namespace memo::db {
namespace {

using testing::G;

std::vector<std::string> Names(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

uint32_t ModeOf(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? static_cast<uint32_t>(st.st_mode) & 0777u : 07777u;
}

TEST(PassingNameTest, NamesAndRecognition) {
  EXPECT_EQ(SortPassingName("/d/b.mcn", 42), "/d/b.mcn.~sort42");
  EXPECT_EQ(SortPassingName("/d/b.EDT", 0), "/d/b.EDT.~sort0");
  EXPECT_TRUE(IsSortPassingNameOf("b.mcn.~sort42", "b.mcn"));
  EXPECT_TRUE(IsSortPassingNameOf("B.MCN.~sort7", "b.mcn")) << "the file layer ignores case";
  EXPECT_TRUE(IsSortPassingNameOf("b.EDT.~sort123456789", "b.edt"));
  EXPECT_FALSE(IsSortPassingNameOf("b.mcn.~sort", "b.mcn")) << "no number";
  EXPECT_FALSE(IsSortPassingNameOf("b.mcn.~sort12x", "b.mcn"));
  EXPECT_FALSE(IsSortPassingNameOf("b.mcn.~SORT12", "b.mcn"));
  EXPECT_FALSE(IsSortPassingNameOf("b.mcn.~new", "b.mcn"));
  EXPECT_FALSE(IsSortPassingNameOf("ab.mcn.~sort1", "b.mcn"));
  EXPECT_FALSE(IsSortPassingNameOf("b.mcn", "b.mcn"));
  EXPECT_FALSE(IsSortPassingNameOf("c.mcn.~sort1", "b.mcn"));
  EXPECT_FALSE(IsSortPassingNameOf(".~sort1", ""));
  const std::string gbk = G("备忘.mcn");
  EXPECT_TRUE(IsSortPassingNameOf(gbk + ".~sort5", gbk));
}

class LeftoverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    source_ = dir_.File("a.mcn");
    target_ = dir_.File("b.mcn");
    testing::MustCreate(source_, testing::MemoTableFields());
    auto handle = testing::MustOpen(source_);
    ASSERT_TRUE(handle);
    for (int i = 0; i < 4; ++i) {
      categories_[i] = i % 2 == 0 ? "even" : "odd";
      texts_[i] = "memo " + std::to_string(i) + std::string(static_cast<size_t>(i) * 400, '+');
      TypedValue values[] = {testing::TextCell(categories_[i]), testing::DateTimeCell(40000 + i),
                             testing::TextCell(texts_[i])};
      ASSERT_EQ(handle->AddRecord(values, 3), kOk);
    }
  }

  EngineCode Sort() {
    auto handle = testing::MustOpen(source_);
    if (!handle) return kOpenFailed;
    SortRequest request;
    request.target = target_;
    request.key_names = {G("分类")};
    return handle->SortInto(request);
  }

  testing::TempDir dir_;
  std::string source_;
  std::string target_;
  std::string categories_[4];
  std::string texts_[4];
};

TEST_F(LeftoverTest, StalePassingFilesGoAtTheNextSortAndHeldOnesStay) {
  // Left by a sort that stopped: nobody holds them.
  testing::WriteAll(dir_.File("b.mcn.~sort123"), "half a database");
  testing::WriteAll(dir_.File("b.EDT.~sort123"), std::string(512, 'x'));
  testing::WriteAll(dir_.File("B.MCN.~sort9"), "another");
  // Being built by a sort that is still running: its builder holds it.
  platform::File builder;
  ASSERT_EQ(CreatePassingFile(dir_.File("b.mcn.~sort77"), 0600, &builder), kOk);
  // Not passing files of this target.
  testing::WriteAll(dir_.File("c.mcn.~sort1"), "other target");
  testing::WriteAll(dir_.File("b.mcn.~sortx"), "no number");

  std::vector<std::string> found = FindSortPassingFiles(target_);
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found,
            (std::vector<std::string>{dir_.File("B.MCN.~sort9"), dir_.File("b.EDT.~sort123"),
                                      dir_.File("b.mcn.~sort123"), dir_.File("b.mcn.~sort77")}));
  EXPECT_TRUE(PassingFileIsStale(dir_.File("b.mcn.~sort123")));
  EXPECT_FALSE(PassingFileIsStale(dir_.File("b.mcn.~sort77")));
  EXPECT_FALSE(PassingFileIsStale(dir_.File("b.mcn.~sort5"))) << "no such file";

  ASSERT_EQ(Sort(), kOk);
  EXPECT_EQ(Names(dir_.path()),
            (std::vector<std::string>{"a.EDT", "a.mcn", "b.EDT", "b.mcn", "b.mcn.~sort77",
                                      "b.mcn.~sortx", "c.mcn.~sort1"}));
  // Once its builder is gone, the next sort removes it too.
  builder.Close();
  EXPECT_TRUE(PassingFileIsStale(dir_.File("b.mcn.~sort77")));
  ASSERT_EQ(Sort(), kOk);
  EXPECT_FALSE(testing::Exists(dir_.File("b.mcn.~sort77")));
  auto copy = testing::MustOpen(target_);
  ASSERT_TRUE(copy);
  int32_t count = 0;
  ASSERT_EQ(copy->ReadRecordCount(&count), kOk);
  EXPECT_EQ(count, 4);
}

TEST_F(LeftoverTest, PassingFileTakenAwayBeforeItsLockIsGivenUp) {
  // A name that exists cannot be a new passing file.
  testing::WriteAll(dir_.File("b.mcn.~sort1"), "taken");
  platform::File file;
  EXPECT_EQ(CreatePassingFile(dir_.File("b.mcn.~sort1"), 0600, &file), kCreateFailed);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(testing::ReadAll(dir_.File("b.mcn.~sort1")), "taken");
  // Another remover that holds the probe byte keeps the builder from holding its file.
  ASSERT_EQ(CreatePassingFile(dir_.File("b.mcn.~sort2"), 0640, &file), kOk);
  EXPECT_EQ(ModeOf(dir_.File("b.mcn.~sort2")) & ~0640u, 0u);
  EXPECT_EQ(RemoveStalePassingFiles(target_), 1) << "only ~sort1, whose writer is gone";
  EXPECT_TRUE(testing::Exists(dir_.File("b.mcn.~sort2")));
  file.Close();
  EXPECT_EQ(RemoveStalePassingFiles(target_), 1);
  EXPECT_FALSE(testing::Exists(dir_.File("b.mcn.~sort2")));
}

// A process sorting into b.mcn is killed at its commit, before any file has its real name: its
// passing files stay, no process holds them, and the next sort removes them.
TEST_F(LeftoverTest, SortKilledAtItsCommitLeavesFilesTheNextSortRemoves) {
  ASSERT_EQ(Sort(), kOk);  // an old target, which the killed sort was replacing
  const std::string old_target = testing::ReadAll(target_);
  pid_t child = fork();
  if (child == 0) {
    platform::posix::SyscallTable table = platform::posix::DefaultSyscalls();
    table.unlink = [](const char*) -> int {
      kill(getpid(), SIGKILL);
      return -1;
    };
    platform::posix::InstallSyscalls(table);
    (void)Sort();
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  const std::vector<std::string> left = FindSortPassingFiles(target_);
  ASSERT_EQ(left.size(), 2u) << "the RecordFile and the MemoFile of the stopped sort";
  for (const std::string& path : left) EXPECT_TRUE(PassingFileIsStale(path)) << path;
  EXPECT_EQ(testing::ReadAll(target_), old_target);

  ASSERT_EQ(Sort(), kOk);
  EXPECT_TRUE(FindSortPassingFiles(target_).empty());
  EXPECT_EQ(Names(dir_.path()), (std::vector<std::string>{"a.EDT", "a.mcn", "b.EDT", "b.mcn"}));
}

TEST_F(LeftoverTest, SortTargetTakesThePermissionsOfItsSource) {
  const mode_t old_mask = umask(022);
  ASSERT_EQ(chmod(source_.c_str(), 0640), 0);
  ASSERT_EQ(chmod(dir_.File("a.EDT").c_str(), 0600), 0);
  // An existing, readable-by-all target is replaced by one as private as the source.
  testing::WriteAll(target_, "old");
  ASSERT_EQ(chmod(target_.c_str(), 0644), 0);
  ASSERT_EQ(Sort(), kOk);
  EXPECT_EQ(ModeOf(target_), 0640u);
  EXPECT_EQ(ModeOf(dir_.File("b.EDT")), 0600u);
  ASSERT_EQ(chmod(source_.c_str(), 0600), 0);
  ASSERT_EQ(Sort(), kOk);
  EXPECT_EQ(ModeOf(target_), 0600u);
  umask(old_mask);
}

// The state of a pack stopped after it moved the kept records down and before it lowered the
// count: blank deleted records (serial -1, nothing else) in the slots after them.
void BlankTail(const std::string& path, DatabaseHandle* handle, int32_t from, int32_t to) {
  std::string bytes = testing::ReadAll(path);
  const size_t size = static_cast<uint32_t>(handle->record_size());
  for (int32_t r = from; r < to; ++r) {
    const size_t at = handle->records_start() + static_cast<size_t>(r) * size;
    std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(at),
              bytes.begin() + static_cast<std::ptrdiff_t>(at + size), '\0');
    EncodeInt32(bytes.data() + at, -1);
  }
  testing::WriteAll(path, bytes);
}

TEST_F(LeftoverTest, BlankDeletedRecordsAfterTheLastMemoAreDroppedByTheNextOpen) {
  uint64_t records_start = 0;
  size_t record_size = 0;
  {
    auto handle = testing::MustOpen(source_);
    ASSERT_TRUE(handle);
    records_start = handle->records_start();
    record_size = static_cast<uint32_t>(handle->record_size());
    handle->set_current_record(1);
    BlankTail(source_, handle.get(), 2, 4);
  }
  // A reader that may not repair sees the blank slots as deleted records.
  {
    OpenOptions read_only;
    read_only.access = AccessFromArgument(1);
    auto reader = testing::MustOpen(source_, read_only);
    ASSERT_TRUE(reader);
    int32_t count = 0;
    ASSERT_EQ(reader->ReadRecordCount(&count), kOk);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(testing::SizeOf(source_), records_start + 4 * record_size);
  }
  // The grid's provider opens with the default access: it shows the two memos only.
  DBProvider provider;
  ASSERT_TRUE(provider.Connect(source_));
  EXPECT_EQ(provider.RowCount(), 2);
  EXPECT_EQ(provider.CellText(1, 2), texts_[1]);
  EXPECT_EQ(provider.CellText(2, 1), "") << "no third row";
  provider.Disconnect();
  EXPECT_EQ(testing::SizeOf(source_), records_start + 2 * record_size) << "cut after them";
  auto handle = testing::MustOpen(source_);
  ASSERT_TRUE(handle);
  int32_t count = 0, serial = 0;
  ASSERT_EQ(handle->ReadRecordCount(&count, &serial), kOk);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(serial, 5) << "the next serial stays";
  // The next memo takes the slot after them.
  const std::string text = "after";
  TypedValue values[] = {testing::TextCell("k"), testing::DateTimeCell(1.5),
                         testing::TextCell(text)};
  ASSERT_EQ(handle->AddRecord(values, 3), kOk);
  handle->set_current_record(2);
  EXPECT_EQ(testing::FieldText(handle.get(), "记事"), text);
}

TEST_F(LeftoverTest, OnlyTheBlankRecordsAtTheEndGo) {
  {
    auto handle = testing::MustOpen(source_);
    ASSERT_TRUE(handle);
    BlankTail(source_, handle.get(), 1, 2);  // a blank record between two memos stays
    BlankTail(source_, handle.get(), 3, 4);
  }
  {
    auto handle = testing::MustOpen(source_);
    ASSERT_TRUE(handle);
    int32_t count = 0;
    ASSERT_EQ(handle->ReadRecordCount(&count), kOk);
    EXPECT_EQ(count, 3);
    handle->set_current_record(2);
    EXPECT_EQ(testing::FieldText(handle.get(), "记事"), texts_[2]);
    // A deleted record that holds values is a record, not a blank: it stays.
    std::string bytes = testing::ReadAll(source_);
    EncodeInt32(
        bytes.data() + handle->records_start() + 2 * static_cast<size_t>(handle->record_size()),
        -3);
    handle.reset();
    testing::WriteAll(source_, bytes);
  }
  auto handle = testing::MustOpen(source_);
  ASSERT_TRUE(handle);
  int32_t count = 0;
  ASSERT_EQ(handle->ReadRecordCount(&count), kOk);
  EXPECT_EQ(count, 3);
  // Many blank records, more than one read's worth, all go.
  {
    std::string bytes = testing::ReadAll(source_);
    const size_t size = static_cast<uint32_t>(handle->record_size());
    std::string blank(size, '\0');
    EncodeInt32(blank.data(), -1);
    for (int i = 0; i < 7000; ++i) bytes += blank;
    EncodeInt32(bytes.data() + kRecordCountOffset, 7003);
    handle.reset();
    testing::WriteAll(source_, bytes);
  }
  handle = testing::MustOpen(source_);
  ASSERT_TRUE(handle);
  ASSERT_EQ(handle->ReadRecordCount(&count), kOk);
  EXPECT_EQ(count, 3);
}

}  // namespace
}  // namespace memo::db
