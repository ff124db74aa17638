// The daily backup: made once a day, kept for 14 days, made before the sign-in writes anything,
// and a failure that is said once without stopping the sign-in. The day comes from the
// backend's clock, so the tests set it.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/daily_backup.h"
#include "app/window_units.h"
#include "bench/app_session.h"
#include "db/images.h"
#include "platform/codec.h"

namespace memo::app {
namespace {

namespace fs = std::filesystem;

platform::LocalTime Day(int year, int month, int day) {
  platform::LocalTime time;
  time.year = year;
  time.month = month;
  time.day = day;
  time.hour = 9;
  return time;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteAll(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0;
}

std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

class DailyBackupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/memo-backup-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  // The book as the first start writes it: the carried images.
  void WriteBook() {
    WriteAll(dir_ + "/c.mcn", db::AccountsImageBytes());
    WriteAll(dir_ + "/a.mcn", db::MemoTableImageBytes());
    WriteAll(dir_ + "/a.edt", db::MemoFileImageBytes());
  }

  DailyBackupOutcome Backup(const platform::LocalTime& day) {
    return MakeDailyBackup(Utf8ToGbk(dir_), day, 0);
  }

  std::string dir_;
};

TEST_F(DailyBackupTest, TheFirstBackupOfADayCopiesTheBookAndLaterOnesThatDayDoNothing) {
  WriteBook();
  ASSERT_EQ(chmod((dir_ + "/a.edt").c_str(), 0640), 0);
  DailyBackupOutcome first = Backup(Day(2014, 7, 10));
  ASSERT_EQ(first.kind, DailyBackupOutcome::Kind::kMade) << GbkToUtf8(first.reason);
  const std::string day = dir_ + "/backups/2014-07-10";
  EXPECT_EQ(GbkToUtf8(first.folder), day);
  EXPECT_EQ(Entries(day), (std::vector<std::string>{"a.edt", "a.mcn", "c.mcn"}));
  for (const char* name : {"c.mcn", "a.mcn", "a.edt"}) {
    EXPECT_EQ(ReadAll(day + "/" + name), ReadAll(dir_ + "/" + name)) << name;
  }
  EXPECT_EQ(ModeOf(day + "/a.edt"), 0640u);
  EXPECT_EQ(ModeOf(dir_ + "/backups"), 0700u);
  EXPECT_EQ(ModeOf(day), 0700u);

  // A later sign-in the same day leaves the morning's copy as it was.
  const std::string morning = ReadAll(day + "/c.mcn");
  WriteAll(dir_ + "/c.mcn", "changed");
  EXPECT_EQ(Backup(Day(2014, 7, 10)).kind, DailyBackupOutcome::Kind::kAlreadyMade);
  EXPECT_EQ(ReadAll(day + "/c.mcn"), morning);
  // The next day gets its own folder with the files as they are then.
  ASSERT_EQ(Backup(Day(2014, 7, 11)).kind, DailyBackupOutcome::Kind::kMade);
  EXPECT_EQ(ReadAll(dir_ + "/backups/2014-07-11/c.mcn"), "changed");
  EXPECT_EQ(Entries(dir_ + "/backups"), (std::vector<std::string>{"2014-07-10", "2014-07-11"}));
}

TEST_F(DailyBackupTest, OnlyFilesThatExistAreCopiedAndAnEmptyDirectoryGetsNoFolder) {
  EXPECT_EQ(Backup(Day(2014, 7, 10)).kind, DailyBackupOutcome::Kind::kNothing);
  EXPECT_FALSE(fs::exists(dir_ + "/backups"));
  // Cancelled at the first start: a memo table and no accounts file.
  WriteAll(dir_ + "/a.mcn", db::MemoTableImageBytes());
  WriteAll(dir_ + "/a.edt", db::MemoFileImageBytes());
  ASSERT_EQ(Backup(Day(2014, 7, 10)).kind, DailyBackupOutcome::Kind::kMade);
  EXPECT_EQ(Entries(dir_ + "/backups/2014-07-10"), (std::vector<std::string>{"a.edt", "a.mcn"}));
}

TEST_F(DailyBackupTest, TheLastFourteenDaysAreKeptAndOlderOnesRemoved) {
  WriteBook();
  // Twenty days, one backup each, with gaps between some days (days without a sign-in).
  std::vector<std::string> made;
  for (int i = 0; i < 20; ++i) {
    int day = 1 + i + (i >= 10 ? 3 : 0);
    ASSERT_EQ(Backup(Day(2014, 7, day)).kind, DailyBackupOutcome::Kind::kMade);
    char name[16];
    std::snprintf(name, sizeof name, "2014-07-%02d", day);
    made.push_back(name);
    const size_t kept = std::min<size_t>(made.size(), kBackupDaysKept);
    std::vector<std::string> expected(made.end() - static_cast<long>(kept), made.end());
    ASSERT_EQ(Entries(dir_ + "/backups"), expected) << "after " << name;
  }
}

TEST_F(DailyBackupTest, RotationLeavesOtherEntriesAndClearsUnfinishedFoldersOfOtherDays) {
  WriteBook();
  fs::create_directories(dir_ + "/backups/2014-07-01.partial");
  fs::create_directories(dir_ + "/backups/my copies");
  WriteAll(dir_ + "/backups/notes.txt", "keep");
  // An unfinished folder of today is started again.
  fs::create_directories(dir_ + "/backups/2014-07-10.partial");
  WriteAll(dir_ + "/backups/2014-07-10.partial/a.mcn.partial", "half");
  ASSERT_EQ(Backup(Day(2014, 7, 10)).kind, DailyBackupOutcome::Kind::kMade);
  EXPECT_EQ(Entries(dir_ + "/backups"),
            (std::vector<std::string>{"2014-07-10", "my copies", "notes.txt"}));
  EXPECT_EQ(Entries(dir_ + "/backups/2014-07-10"),
            (std::vector<std::string>{"a.edt", "a.mcn", "c.mcn"}));
}

TEST_F(DailyBackupTest, AFailureNamesItsReasonAndLeavesNoFolderSoTheNextSignInTriesAgain) {
  WriteBook();
  WriteAll(dir_ + "/backups", "a file where the folder belongs");
  DailyBackupOutcome failed = Backup(Day(2014, 7, 10));
  ASSERT_EQ(failed.kind, DailyBackupOutcome::Kind::kFailed);
  EXPECT_NE(GbkToUtf8(failed.reason).find(dir_ + "/backups"), std::string::npos)
      << GbkToUtf8(failed.reason);
  fs::remove(dir_ + "/backups");
  EXPECT_EQ(Backup(Day(2014, 7, 10)).kind, DailyBackupOutcome::Kind::kMade);
}

// Through the program: the sign-in makes the day's backup before the main window opens, from the
// files as they were before it.
TEST_F(DailyBackupTest, SigningInMakesTheBackupOnceAndAFailureIsSaidOnceWithoutStoppingIt) {
  WriteBook();
  auto sign_in = [this](const platform::LocalTime& day, bool* main_open) {
    bench::AppSession session(dir_);
    session.backend().SetClock(day);
    session.Then([&session] { session.Type(login::kWindow, login::kAccountBox, "test"); });
    session.Then([&session] { session.Type(login::kWindow, login::kPasswordBox, "kqzv"); });
    session.Then([&session] { session.Click(login::kWindow, login::kLoginButton); });
    session.Then([&session, main_open] {
      *main_open = session.IsOpen(main_window::kWindow);
      session.Close(main_window::kWindow);
    });
    session.Run();
    return session.backend().boxes();
  };
  bool main_open = false;
  std::vector<platform::ShownBox> boxes = sign_in(Day(2014, 7, 10), &main_open);
  EXPECT_TRUE(main_open);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(Entries(dir_ + "/backups/2014-07-10"),
            (std::vector<std::string>{"a.edt", "a.mcn", "c.mcn"}));

  // The next day the backup cannot be made: one box, and the main window still opens.
  fs::remove_all(dir_ + "/backups");
  WriteAll(dir_ + "/backups", "x");
  main_open = false;
  boxes = sign_in(Day(2014, 7, 11), &main_open);
  EXPECT_TRUE(main_open);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(GbkToUtf8(boxes[0].title_gbk), "温馨提示");
  const std::string text = GbkToUtf8(boxes[0].text_gbk);
  EXPECT_EQ(text.rfind("今日备份失败：", 0), 0u) << text;
  EXPECT_NE(text.find(dir_ + "/backups"), std::string::npos) << text;
}

}  // namespace
}  // namespace memo::app
