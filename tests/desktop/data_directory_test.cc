// The data-directory rule (portable beside the executable, else per user under the data home)
// and the making of the per-user directory, in process; then the built memo asked with --help,
// which names the directory in use without making it.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "platform/data_directory.h"
#include "tests/desktop/desktop_support.h"

namespace memo::desktop::testing {
namespace {

using platform::ChooseDataDirectory;
using platform::DataDirectoryChoice;
using platform::DataDirectoryInputs;
using platform::DataDirectoryKind;
using platform::PrepareDataDirectory;

class DataDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(scratch_ / "bin");
    fs::create_directories(scratch_ / "home");
    inputs_.executable_directory = scratch_ / "bin";
    inputs_.home = scratch_ / "home";
  }
  Scratch scratch_;
  DataDirectoryInputs inputs_;
};

TEST_F(DataDirectoryTest, AMarkerOrADataFileBesideTheProgramKeepsTheBookThere) {
  for (const char* name : {"portable", "c.mcn", "a.mcn", "A.MCN"}) {
    SCOPED_TRACE(name);
    Touch(scratch_ / "bin" + "/" + name);
    DataDirectoryChoice choice = ChooseDataDirectory(inputs_);
    EXPECT_EQ(choice.kind, DataDirectoryKind::kPortable);
    EXPECT_EQ(choice.path, scratch_ / "bin");
    fs::remove(scratch_ / "bin" + "/" + name);
  }
}

TEST_F(DataDirectoryTest, WithoutThemTheBookLivesUnderTheUsersDataHome) {
  // Files that are not the book's, and a directory named like the marker, do not count.
  Touch(scratch_ / "bin" + "/b.mcn");
  Touch(scratch_ / "bin" + "/a.edt");
  fs::create_directories(scratch_ / "bin" + "/portable");
  DataDirectoryChoice choice = ChooseDataDirectory(inputs_);
  EXPECT_EQ(choice.kind, DataDirectoryKind::kPerUser);
  EXPECT_EQ(choice.path, scratch_ / "home" + "/.local/share/memo");

  inputs_.xdg_data_home = scratch_ / "data/";
  EXPECT_EQ(ChooseDataDirectory(inputs_).path, scratch_ / "data" + "/memo");
  // A relative XDG_DATA_HOME is ignored, as the base directory rules say.
  inputs_.xdg_data_home = "relative/data";
  EXPECT_EQ(ChooseDataDirectory(inputs_).path, scratch_ / "home" + "/.local/share/memo");
  // Neither: no place at all, and preparing says so.
  inputs_.xdg_data_home.clear();
  inputs_.home.clear();
  choice = ChooseDataDirectory(inputs_);
  EXPECT_TRUE(choice.path.empty());
  std::string message;
  EXPECT_FALSE(PrepareDataDirectory(choice, &message));
  EXPECT_NE(message.find("HOME"), std::string::npos) << message;
}

TEST_F(DataDirectoryTest, TheUsersDirectoryIsMadeWithMode0700AndAnExistingOneIsKept) {
  DataDirectoryChoice choice = ChooseDataDirectory(inputs_);
  std::string message;
  ASSERT_TRUE(PrepareDataDirectory(choice, &message)) << message;
  EXPECT_EQ(ModeOf(choice.path), 0700u);
  EXPECT_EQ(ModeOf(scratch_ / "home" + "/.local/share"), 0700u);
  EXPECT_EQ(ModeOf(scratch_ / "home" + "/.local"), 0700u);
  // A directory the user made himself keeps its mode and contents.
  ASSERT_EQ(chmod(choice.path.c_str(), 0750), 0);
  Touch(choice.path + "/c.mcn", "kept");
  ASSERT_TRUE(PrepareDataDirectory(choice, &message)) << message;
  EXPECT_EQ(ModeOf(choice.path), 0750u);
  EXPECT_TRUE(fs::exists(choice.path + "/c.mcn"));
  // Preparing a portable directory makes nothing.
  Touch(scratch_ / "bin" + "/portable");
  ASSERT_TRUE(PrepareDataDirectory(ChooseDataDirectory(inputs_), &message)) << message;
}

TEST_F(DataDirectoryTest, AnUnusableDataHomeGivesAMessageNamingThePathAndTheWayOut) {
  // A file where the data home should be: no user, root included, can make a directory in it.
  Touch(scratch_ / "file");
  inputs_.xdg_data_home = scratch_ / "file";
  DataDirectoryChoice choice = ChooseDataDirectory(inputs_);
  std::string message;
  ASSERT_FALSE(PrepareDataDirectory(choice, &message));
  EXPECT_NE(message.find("cannot create the data directory " + (scratch_ / "file") + "/memo"),
            std::string::npos)
      << message;
  EXPECT_NE(message.find("Not a directory"), std::string::npos) << message;
  EXPECT_NE(message.find("XDG_DATA_HOME"), std::string::npos) << message;
  EXPECT_NE(message.find("portable"), std::string::npos) << message;
  // The data directory itself taken by a file.
  inputs_.xdg_data_home = scratch_ / "data";
  fs::create_directories(scratch_ / "data");
  Touch(scratch_ / "data" + "/memo");
  ASSERT_FALSE(PrepareDataDirectory(ChooseDataDirectory(inputs_), &message));
  EXPECT_NE(message.find(scratch_ / "data" + "/memo"), std::string::npos) << message;
}

// --- The built program.

TEST(MemoHelpTest, AnInstalledCopyNamesTheDataHomeAndMakesNothing) {
  Scratch scratch;
  fs::create_directories(scratch / "bin");
  const std::string memo = PlaceProgram(scratch / "bin");
  ProgramRun run = RunProgram(memo, {"--help"}, scratch / "home", "", "");
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.out.find("Usage: memo"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Data directory: " + (scratch / "home") + "/.local/share/memo\n"),
            std::string::npos)
      << run.out;
  EXPECT_FALSE(fs::exists(scratch / "home"));

  run = RunProgram(memo, {"--help"}, scratch / "home", scratch / "xdg", "");
  EXPECT_NE(run.out.find("Data directory: " + (scratch / "xdg") + "/memo\n"), std::string::npos)
      << run.out;
  EXPECT_FALSE(fs::exists(scratch / "xdg"));
  // Nothing was written beside the program either.
  EXPECT_EQ(std::distance(fs::directory_iterator(scratch / "bin"), fs::directory_iterator()), 1);
}

TEST(MemoHelpTest, APortableCopyNamesItsOwnDirectory) {
  Scratch scratch;
  fs::create_directories(scratch / "marker");
  fs::create_directories(scratch / "book");
  Touch(scratch / "marker/portable");
  Touch(scratch / "book/a.mcn");
  for (const char* dir : {"marker", "book"}) {
    ProgramRun run =
        RunProgram(PlaceProgram(scratch / dir), {"--help"}, scratch / "home", scratch / "xdg", "");
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_NE(run.out.find("Data directory: " + (scratch / dir) + "\n"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("(portable: "), std::string::npos) << run.out;
  }
}

TEST(MemoHelpTest, VersionAndUnknownArguments) {
  Scratch scratch;
  ProgramRun run = RunProgram(MEMO_BINARY, {"--version"}, scratch / "home", "", "");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out.rfind("memo ", 0), 0u) << run.out;
  EXPECT_EQ(run.out.find('\n'), run.out.size() - 1) << run.out;
  // An argument that is neither ours nor the toolkit's is refused before any window.
  run = RunProgram(MEMO_BINARY, {"--frobnicate"}, scratch / "home", "", "");
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_NE(run.err.find("unknown argument '--frobnicate'"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(scratch / "home"));
}

}  // namespace
}  // namespace memo::desktop::testing
