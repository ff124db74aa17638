// The built memo-script: its command line, exit statuses and the run directory. The scripts here
// never depend on what the program shows; the runner tests cover that.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/script/script_test_util.h"

#ifdef MEMO_SCRIPT_BINARY

namespace memo::script::testing {
namespace {

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class CliTest : public ::testing::Test {
 protected:
  std::string WriteScript(const std::string& text) {
    std::string path = scratch_.File("t.script");
    scratch_.Write("t.script", text);
    return path;
  }
  Result Run(const std::string& arguments) {
    std::string command = std::string(MEMO_SCRIPT_BINARY) + " " + arguments + " >" +
                          scratch_.File("out") + " 2>" + scratch_.File("err");
    Result result;
    int raw = std::system(command.c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = Slurp(scratch_.File("out"));
    result.err = Slurp(scratch_.File("err"));
    return result;
  }
  TempDir scratch_;
  TempDir run_;
};

TEST_F(CliTest, ExitStatusZeroWhenEveryStepHolds) {
  run_.Write("a.mcn", "1234");
  std::string script = WriteScript("expect-file a.mcn 4\nexpect-nofile b.mcn\n");
  Result r = Run("--dir " + run_.path() + " " + script);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
}

TEST_F(CliTest, ExitStatusOneWithScriptAndLineWhenAStepFails) {
  std::string script = WriteScript("\n# nothing there\nexpect-file a.mcn\n");
  Result r = Run("--dir " + run_.path() + " " + script);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, script + ":3: expected file a.mcn, found none\n");
}

TEST_F(CliTest, ExitStatusTwoForMalformedScriptsWithTheirLine) {
  std::string script = WriteScript("expect-file a.mcn\nclick login\n");
  Result r = Run(script);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, script + ":2: click: wrong number of fields; usage: click WINDOW UNIT\n");
}

TEST_F(CliTest, MalformedScriptsRunNothingAtAll) {
  // The file step on line 1 would succeed; the bad line 2 must stop the run before it.
  std::string script = WriteScript("put-file made.txt x\nedit main 表格1\n");
  Result r = Run("--dir " + run_.path() + " " + script);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find(":2: edit: wrong number of fields"), std::string::npos) << r.err;
  EXPECT_FALSE(run_.Exists("made.txt"));
}

TEST_F(CliTest, ExitStatusTwoForAnUnreadableScriptOrABadCommandLine) {
  Result missing = Run(scratch_.File("no-such.script"));
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("cannot read the script"), std::string::npos) << missing.err;
  EXPECT_EQ(Run("").status, 2);
  EXPECT_EQ(Run("--frobnicate " + WriteScript("")).status, 2);
  EXPECT_EQ(Run("--dir").status, 2);
  EXPECT_EQ(Run(WriteScript("") + " " + WriteScript("")).status, 2);
  Result help = Run("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: memo-script [--dir DIR] [--trace] SCRIPT"), std::string::npos);
}

TEST_F(CliTest, AGivenDirectoryIsUsedAndKept) {
  std::string dir = run_.File("made/here");
  std::string script = WriteScript("put-file x.txt hello\n");
  Result r = Run("--dir " + dir + " " + script);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Slurp(dir + "/x.txt"), "hello");
}

TEST_F(CliTest, WithoutADirectoryATemporaryOneIsMadeAndRemoved) {
  std::string script = WriteScript("put-file x.txt hello\nexpect-file x.txt 5\n");
  Result r = Run("--trace " + script);
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string kPrefix = "run directory ";
  ASSERT_EQ(r.out.rfind(kPrefix, 0), 0u) << r.out;
  std::string dir = r.out.substr(kPrefix.size(), r.out.find('\n') - kPrefix.size());
  EXPECT_FALSE(dir.empty());
  EXPECT_FALSE(std::filesystem::exists(dir)) << dir;
  EXPECT_NE(r.out.find("1: put-file x.txt hello\n"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace memo::script::testing

#endif  // MEMO_SCRIPT_BINARY
