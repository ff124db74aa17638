// What the program says when a file cannot be made or written, with the system calls failing on
// purpose: a first start on a full disk or in a directory that takes no new file, and a password
// change whose texts are longer than the accounts file stores.
#include <fcntl.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/app_support.h"
#include "app/routines.h"
#include "app/window_units.h"
#include "bench/app_session.h"
#include "db/images.h"
#include "platform/codec.h"
#include "platform/posix/syscalls.h"
#include "runtime/literal.h"
#include "tests/support/gbk.h"
#include "ui/window/events.h"

namespace memo::app {
namespace {

using bench::AppSession;
namespace posix = platform::posix;
namespace pw = password;

using ::memo::testing::G;

std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

std::string ReadAll(const std::string& path) {
  std::string bytes;
  if (std::FILE* in = std::fopen(path.c_str(), "rb")) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) bytes.append(buffer, n);
    std::fclose(in);
  }
  return bytes;
}

std::vector<std::string> BoxTexts(AppSession& session) {
  std::vector<std::string> texts;
  for (const platform::ShownBox& box : session.backend().boxes()) texts.push_back(box.text_gbk);
  return texts;
}

class StartAndSaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/memo-app-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    posix::InstallSyscalls(posix::DefaultSyscalls());
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  std::string dir_;
};

ssize_t DiskFull(int, const void*, size_t, off_t) {
  errno = ENOSPC;
  return -1;
}

// Files may be opened, but no new one may be made in the directory.
int NoNewFiles(const char* path, int flags, mode_t mode) {
  if ((flags & O_CREAT) != 0) {
    errno = EACCES;
    return -1;
  }
  return posix::DefaultSyscalls().open(path, flags, mode);
}

// A first start that cannot write its images leaves no file at all (no 0-byte file that would
// lock the user out), says once which directory takes no file, and the next start, with room
// again, asks again and writes every image whole.
TEST_F(StartAndSaveTest, AFirstStartThatCannotWriteLeavesNothingAndSaysWhere) {
  for (int failure = 0; failure < 2; ++failure) {
    SCOPED_TRACE(failure == 0 ? "disk full" : "no new file");
    posix::SyscallTable table = posix::DefaultSyscalls();
    if (failure == 0) table.pwrite = DiskFull;
    if (failure == 1) table.open = NoNewFiles;
    posix::InstallSyscalls(table);
    {
      AppSession session(dir_);
      session.Run();
      posix::InstallSyscalls(posix::DefaultSyscalls());
      const std::string where = G("无法在数据目录中创建文件：") + dir_;
      EXPECT_EQ(BoxTexts(session),
                (std::vector<std::string>{G("ID信息不存在是否初始化？"), where}));
      EXPECT_TRUE(Entries(dir_).empty());
    }
    {
      AppSession session(dir_);
      session.Run();
      EXPECT_EQ(BoxTexts(session), std::vector<std::string>{G("ID信息不存在是否初始化？")});
      EXPECT_EQ(ReadAll(dir_ + "/c.mcn"), db::AccountsImageBytes());
      EXPECT_EQ(ReadAll(dir_ + "/a.mcn"), db::MemoTableImageBytes());
      EXPECT_EQ(ReadAll(dir_ + "/a.edt"), db::MemoFileImageBytes());
      EXPECT_EQ(Entries(dir_).size(), 3u);
    }
    std::filesystem::remove(dir_ + "/c.mcn");
    std::filesystem::remove(dir_ + "/a.mcn");
    std::filesystem::remove(dir_ + "/a.edt");
  }
}

// The boxes hold no more than is stored, but a text the program put there (or any other way in)
// may be longer: the change is refused before anything is opened, and the boxes keep their texts.
TEST_F(StartAndSaveTest, AChangeLongerThanTheAccountsFileStoresIsRefused) {
  const struct {
    const char* account;
    const char* password;
  } cases[] = {{"abcdefghijklmnopqrstu", "new"},                       // 21 bytes
               {"test", "0123456789012345678901234567890123456789Z"},  // 41 bytes
               {"abcdefghij一二三四五", "p"}};                         // 20 bytes: accepted
  for (const auto& c : cases) {
    SCOPED_TRACE(c.account);
    {
      AppSession first(dir_);
      first.Run();  // the first start writes the carried images
    }
    const std::string before = ReadAll(dir_ + "/c.mcn");
    AppSession session(dir_);
    session.Then([&] { session.Type(login::kWindow, login::kAccountBox, "test"); });
    session.Then([&] { session.Type(login::kWindow, login::kPasswordBox, "kqzv"); });
    session.Then([&] { session.Click(login::kWindow, login::kLoginButton); });
    session.Then([&] {
      ui::EventCall call;
      OpenPasswordWindow(call);
    });
    session.Then([&] {
      session.Type(pw::kWindow, pw::kCurrentPasswordBox, "kqzv");
      WriteText(pw::kWindow, pw::kNewAccountBox, G(c.account).c_str());
      WriteText(pw::kWindow, pw::kNewPasswordBox, G(c.password).c_str());
      WriteText(pw::kWindow, pw::kConfirmBox, G(c.password).c_str());
      session.Click(pw::kWindow, pw::kConfirmButton);
    });
    session.Then([&] {
      TextOwner shown(ReadText(pw::kWindow, pw::kNewAccountBox));
      EXPECT_EQ(std::string(NonNullText(shown.get())), G(c.account));
      session.Close(pw::kWindow);
    });
    session.Run();
    const bool fits = std::string(c.password) == "p";
    EXPECT_EQ(BoxTexts(session),
              std::vector<std::string>{fits ? G("修改完成") : G("帐号最长20字节，密码最长40字节")});
    if (fits) {
      EXPECT_NE(ReadAll(dir_ + "/c.mcn"), before);
    } else {
      EXPECT_EQ(ReadAll(dir_ + "/c.mcn"), before);
    }
    // The sign-in's backup folder goes too.
    for (const std::string& name : Entries(dir_)) std::filesystem::remove_all(dir_ + "/" + name);
  }
}

}  // namespace
}  // namespace memo::app
