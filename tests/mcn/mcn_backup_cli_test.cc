// mcn backup FILE DIR: the consistent copy of a pair for scripts, as a child process.
#include <sys/stat.h>

#include "tests/mcn/mcn_fixture.h"

namespace memo::mcn::testing {
namespace {

class McnBackupTest : public McnTest {};

TEST_F(McnBackupTest, CopiesThePairIntoANewDirectoryThatChecksClean) {
  MakeMemoTable({"张三来电", std::string(3000, 'x')});
  ASSERT_EQ(chmod(Table().c_str(), 0640), 0);
  McnResult backup = dir_.Run({"backup", "m.mcn", "saved/today"});
  ASSERT_EQ(backup.exit_code, 1) << "a missing parent is not made: " << backup.out;
  ASSERT_EQ(dir_.Run({"backup", "m.mcn", "saved"}).exit_code, 0);
  EXPECT_EQ(ReadWholeFile(dir_ / "saved/m.mcn"), ReadWholeFile(Table()));
  EXPECT_EQ(ReadWholeFile(dir_ / "saved/m.EDT"), ReadWholeFile(Memo()));
  struct stat st {};
  ASSERT_EQ(stat((dir_ / "saved").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(stat((dir_ / "saved/m.mcn").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  McnResult check = dir_.Run({"check", "saved/m.mcn"});
  EXPECT_EQ(check.exit_code, 0) << check.out;
  EXPECT_TRUE(Contains(check.out, "2 records")) << check.out;
}

TEST_F(McnBackupTest, ALaterBackupReplacesTheEarlierCopy) {
  MakeMemoTable({"one"});
  ASSERT_EQ(dir_.Run({"backup", "m.mcn", "saved"}).exit_code, 0);
  ASSERT_EQ(dir_.Run({"add", "m.mcn", "收款", "2014-07-11", "two", ""}).exit_code, 0);
  McnResult again = dir_.Run({"backup", "m.mcn", "saved"});
  ASSERT_EQ(again.exit_code, 0) << again.err;
  EXPECT_TRUE(Contains(again.out, "saved/m.mcn")) << again.out;
  EXPECT_EQ(ReadWholeFile(dir_ / "saved/m.mcn"), ReadWholeFile(Table()));
  EXPECT_EQ(ReadWholeFile(dir_ / "saved/m.EDT"), ReadWholeFile(Memo()));
}

TEST_F(McnBackupTest, MissingFileOrOperandFails) {
  McnResult missing = dir_.Run({"backup", "none.mcn", "saved"});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_TRUE(Contains(missing.err, "-3")) << missing.err;
  EXPECT_EQ(dir_.Run({"backup", "m.mcn"}).exit_code, 2);
}

}  // namespace
}  // namespace memo::mcn::testing
