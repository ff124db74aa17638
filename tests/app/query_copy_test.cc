// The query copy made when "b.mcn" does not open: copying only what the clear keeps must leave
// exactly the files, bytes and permission bits that copying "a.mcn" and "a.edt" whole (each read
// whole and written whole) and then opening and clearing the copy left — for sound memo files,
// damaged ones, protected ones, missing ones and ones held by another program.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/query_copy.h"
#include "db/create.h"
#include "db/database.h"
#include "db/engine_code.h"
#include "db/images.h"
#include "platform/file.h"
#include "runtime/dispatch.h"
#include "runtime/file_commands.h"
#include "runtime/heap.h"
#include "runtime/literal.h"
#include "runtime/text.h"
#include "tests/support/gbk.h"
#include "tests/support/temp_dir.h"

namespace memo::app {
namespace {

using ::memo::testing::G;
using ::memo::testing::TempDir;

// The copy as it was made before: the file read whole through the library command and written
// whole under a passing name with the source's permission bits; a source that cannot be read is
// copied as an empty file.
void CopyWholeTheOldWay(const std::string& from, const std::string& to) {
  ArgList read{TextValue(from.c_str())};
  BlockOwner<void> bytes = CallBytes(ReadFileBytes, read);
  std::string_view content;
  if (bytes.get() != nullptr && ByteSetSize(bytes.get()) > 0) {
    content = std::string_view(reinterpret_cast<const char*>(ByteSetData(bytes.get())),
                               static_cast<size_t>(ByteSetSize(bytes.get())));
  }
  uint32_t mode = platform::kPrivateFileMode;
  if (platform::FilePermissions(from, &mode) != platform::FileError::kNone) {
    mode = platform::kPrivateFileMode;
  }
  platform::IgnoreError(platform::ReplaceFileContent(to, content, mode));
}

// What the routine does after the copy: open the copy (every optional argument omitted) and
// clear all its records.
void OpenAndClear(const std::string& copy) {
  std::unique_ptr<db::DatabaseHandle> handle;
  if (db::DatabaseHandle::Open(copy, db::OpenOptions{}, &handle) == db::kOk) {
    EXPECT_EQ(handle->ClearAll(), db::kOk);
  }
}

std::vector<db::FieldSpec> MemoFields() {
  return {{G("分类"), db::kFieldText, 10},
          {G("时间"), db::kFieldDateTime, 0},
          {G("记事"), db::kFieldMemo, 0},
          {G("跟进"), db::kFieldMemo, 0}};
}

TypedValue Text(const std::string& text) {
  TypedValue value;
  value.tag = TypeTag::kText;
  value.SetPointer(text.c_str());
  return value;
}

// A memo table "a.mcn" with its memo file "a.edt" in `dir`: `memos` memos with texts long enough
// to take several blocks, then the second one removed, which leaves its blocks on the free list.
void WriteMemoTable(const std::string& dir, int memos, const std::string& password = {}) {
  const std::string table = dir + "/a.mcn";
  ASSERT_EQ(db::CreateDatabase(table, MemoFields(), password), db::kOk);
  std::error_code error;
  std::filesystem::rename(dir + "/a.EDT", dir + "/a.edt", error);
  ASSERT_FALSE(error);
  std::unique_ptr<db::DatabaseHandle> handle;
  db::OpenOptions options;
  options.password = password;
  ASSERT_EQ(db::DatabaseHandle::Open(table, options, &handle), db::kOk);
  for (int i = 0; i < memos; ++i) {
    const std::string category = G(i % 2 ? "甲" : "乙");
    const std::string note(700 + 300 * i, static_cast<char>('a' + i % 26));
    const std::string log = "log " + std::to_string(i);
    TypedValue values[4] = {Text(category), {}, Text(note), Text(log)};
    values[1].tag = TypeTag::kDateTime;
    values[1].SetDouble(41830.375 + i);
    ASSERT_EQ(handle->AddRecord(values, 4), db::kOk);
  }
  if (memos > 2) {
    ASSERT_EQ(handle->PackRange(1, 1), db::kOk);
  }
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  platform::File file;
  ASSERT_EQ(platform::File::Open(path, platform::FileAccess::kWrite, platform::FileShare::kDenyNone,
                                 platform::FileCreate::kCreateAlways, &file),
            platform::FileError::kNone);
  ASSERT_EQ(file.WriteAt(0, bytes.data(), bytes.size()), platform::FileError::kNone);
}

struct Outcome {
  std::vector<std::string> names;  // the directory's files, sorted
  std::string table_copy, memo_copy;
  int table_mode = -1, memo_mode = -1;
};

Outcome Look(const TempDir& dir) {
  Outcome outcome;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    outcome.names.push_back(entry.path().filename().string());
  }
  std::sort(outcome.names.begin(), outcome.names.end());
  outcome.table_copy = dir.Read("b.mcn");
  outcome.memo_copy = dir.Read("b.edt");
  struct stat st {};
  if (stat(dir.File("b.mcn").c_str(), &st) == 0) outcome.table_mode = st.st_mode & 0777;
  if (stat(dir.File("b.edt").c_str(), &st) == 0) outcome.memo_mode = st.st_mode & 0777;
  return outcome;
}

// Prepares the same files in two directories, makes the query copy the old way in one and the new
// way in the other, and expects the same files. `prepare` writes the sources into a directory;
// `during` (optional) runs with the directory while the copy is made and returns what to keep
// alive during it (another program holding a file open).
void ExpectSameCopy(const std::function<void(const std::string&)>& prepare,
                    const std::function<std::shared_ptr<void>(const std::string&)>& during = {}) {
  TempDir old_way, new_way;
  prepare(old_way.path());
  // The same bytes and permission bits in both (a table made twice would differ in its creation
  // time).
  for (const auto& entry : std::filesystem::directory_iterator(old_way.path())) {
    const std::string name = entry.path().filename().string();
    std::filesystem::copy_file(entry.path(), new_way.File(name));
    struct stat st {};
    ASSERT_EQ(stat(entry.path().c_str(), &st), 0);
    ASSERT_EQ(chmod(new_way.File(name).c_str(), st.st_mode & 0777), 0);
  }
  {
    std::shared_ptr<void> held = during ? during(old_way.path()) : nullptr;
    CopyWholeTheOldWay(old_way.File("a.mcn"), old_way.File("b.mcn"));
    CopyWholeTheOldWay(old_way.File("a.edt"), old_way.File("b.edt"));
  }
  OpenAndClear(old_way.File("b.mcn"));
  {
    std::shared_ptr<void> held = during ? during(new_way.path()) : nullptr;
    MakeQueryCopy(new_way.File("a.mcn").c_str(), new_way.File("a.edt").c_str(),
                  new_way.File("b.mcn").c_str(), new_way.File("b.edt").c_str());
  }
  OpenAndClear(new_way.File("b.mcn"));
  const Outcome expected = Look(old_way), made = Look(new_way);
  EXPECT_EQ(made.names, expected.names);
  EXPECT_EQ(made.table_copy.size(), expected.table_copy.size());
  EXPECT_TRUE(made.table_copy == expected.table_copy) << "b.mcn differs";
  EXPECT_EQ(made.memo_copy.size(), expected.memo_copy.size());
  EXPECT_TRUE(made.memo_copy == expected.memo_copy) << "b.edt differs";
  EXPECT_EQ(made.table_mode, expected.table_mode);
  EXPECT_EQ(made.memo_mode, expected.memo_mode);
}

TEST(QueryCopyTest, SoundMemoFilesKeepOnlyTheirHeadersAsTheClearDoes) {
  ExpectSameCopy([](const std::string& dir) {
    WriteMemoTable(dir, 6);
    ASSERT_EQ(chmod((dir + "/a.mcn").c_str(), 0640), 0);
    ASSERT_EQ(chmod((dir + "/a.edt").c_str(), 0604), 0);
  });
  // The carried memo files of a first start, and an empty table.
  ExpectSameCopy([](const std::string& dir) {
    WriteBytes(dir + "/a.mcn", std::string(db::MemoTableImageBytes()));
    WriteBytes(dir + "/a.edt", std::string(db::MemoFileImageBytes()));
  });
  ExpectSameCopy([](const std::string& dir) { WriteMemoTable(dir, 0); });
  // An old query copy beside them: an empty b.mcn and a b.edt that is no memo file.
  ExpectSameCopy([](const std::string& dir) {
    WriteMemoTable(dir, 3);
    WriteBytes(dir + "/b.mcn", "");
    WriteBytes(dir + "/b.edt", "old");
    ASSERT_EQ(chmod((dir + "/b.mcn").c_str(), 0666), 0);
  });
}

TEST(QueryCopyTest, FilesTheOpenRepairsEndAsTheClearedWholeCopy) {
  // The count promises more records than the file holds; the memo file more blocks.
  ExpectSameCopy([](const std::string& dir) {
    WriteMemoTable(dir, 5);
    std::filesystem::resize_file(dir + "/a.mcn", std::filesystem::file_size(dir + "/a.mcn") - 45);
    std::filesystem::resize_file(dir + "/a.edt", std::filesystem::file_size(dir + "/a.edt") - 700);
  });
  // Blank deleted records at the end (a pack stopped before it lowered the count).
  ExpectSameCopy([](const std::string& dir) {
    WriteMemoTable(dir, 3);
    const std::string path = dir + "/a.mcn";
    const uint64_t end = std::filesystem::file_size(path);
    {
      platform::File file;
      ASSERT_EQ(platform::File::Open(path, platform::FileAccess::kReadWrite,
                                     platform::FileShare::kDenyNone,
                                     platform::FileCreate::kOpenExisting, &file),
                platform::FileError::kNone);
      std::string blank(30, '\0');
      blank[0] = blank[1] = blank[2] = blank[3] = '\xff';  // serial -1
      ASSERT_EQ(file.WriteAt(end, blank.data(), blank.size()), platform::FileError::kNone);
      char count[4] = {3, 0, 0, 0};  // two kept records and the blank one
      ASSERT_EQ(file.WriteAt(16, count, 4), platform::FileError::kNone);
    }
  });
}

TEST(QueryCopyTest, FilesThatDoNotOpenStayWholeCopies) {
  // Protected by a password the routine does not give.
  ExpectSameCopy([](const std::string& dir) { WriteMemoTable(dir, 4, "secret"); });
  // A memo file of another version, one shorter than a block, none at all.
  ExpectSameCopy([](const std::string& dir) {
    WriteMemoTable(dir, 4);
    platform::File file;
    ASSERT_EQ(platform::File::Open(dir + "/a.edt", platform::FileAccess::kReadWrite,
                                   platform::FileShare::kDenyNone,
                                   platform::FileCreate::kOpenExisting, &file),
              platform::FileError::kNone);
    const char version[4] = {0, 0, 2, 0};
    ASSERT_EQ(file.WriteAt(4, version, 4), platform::FileError::kNone);
  });
  ExpectSameCopy([](const std::string& dir) {
    WriteMemoTable(dir, 2);
    std::filesystem::resize_file(dir + "/a.edt", 100);
  });
  ExpectSameCopy([](const std::string& dir) {
    WriteMemoTable(dir, 2);
    std::filesystem::remove(dir + "/a.edt");
  });
  // A table that is no table: text, a field count beyond reason, nothing.
  ExpectSameCopy([](const std::string& dir) {
    WriteBytes(dir + "/a.mcn", "not a table at all");
    WriteBytes(dir + "/a.edt", std::string(db::MemoFileImageBytes()));
  });
  ExpectSameCopy([](const std::string& dir) {
    WriteMemoTable(dir, 2);
    platform::File file;
    ASSERT_EQ(platform::File::Open(dir + "/a.mcn", platform::FileAccess::kReadWrite,
                                   platform::FileShare::kDenyNone,
                                   platform::FileCreate::kOpenExisting, &file),
              platform::FileError::kNone);
    const char count[4] = {'\xff', '\xff', '\xff', 0x7f};
    ASSERT_EQ(file.WriteAt(0x70, count, 4), platform::FileError::kNone);
  });
  ExpectSameCopy([](const std::string& dir) {
    WriteBytes(dir + "/a.mcn", "");
    WriteBytes(dir + "/a.edt", "");
  });
}

TEST(QueryCopyTest, MissingAndHeldSourcesAreCopiedAsEmptyFiles) {
  ExpectSameCopy([](const std::string& dir) {
    WriteMemoTable(dir, 2);
    std::filesystem::remove(dir + "/a.mcn");
  });
  ExpectSameCopy([](const std::string&) {});
  // Another program has the memo table open for writing: reading it whole, which denies
  // writers, cannot open it.
  ExpectSameCopy([](const std::string& dir) { WriteMemoTable(dir, 3); },
                 [](const std::string& dir) -> std::shared_ptr<void> {
                   auto file = std::make_shared<platform::File>();
                   EXPECT_EQ(platform::File::Open(dir + "/a.mcn", platform::FileAccess::kReadWrite,
                                                  platform::FileShare::kDenyNone,
                                                  platform::FileCreate::kOpenExisting, file.get()),
                             platform::FileError::kNone);
                   return file;
                 });
}

TEST(QueryCopyTest, ATableWithoutMemoFieldsLeavesItsMemoFileWhole) {
  ExpectSameCopy([](const std::string& dir) {
    ASSERT_EQ(
        db::CreateDatabase(dir + "/a.mcn", {{"name", db::kFieldText, 8}, {"n", db::kFieldInt, 0}}),
        db::kOk);
    WriteBytes(dir + "/a.edt", std::string(3000, 'm'));
  });
}

TEST(QueryCopyTest, ASoundCopyIsShortAndNothingIsLeftBeside) {
  TempDir dir;
  WriteMemoTable(dir.path(), 40);
  ASSERT_GT(std::filesystem::file_size(dir.File("a.edt")), 40u * 512u);
  MakeQueryCopy(dir.File("a.mcn").c_str(), dir.File("a.edt").c_str(), dir.File("b.mcn").c_str(),
                dir.File("b.edt").c_str());
  // Before the clear: the header and field table, and one block.
  EXPECT_EQ(std::filesystem::file_size(dir.File("b.mcn")), 0x74u + 4u * 72u);
  EXPECT_EQ(std::filesystem::file_size(dir.File("b.edt")), 512u);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.edt", "a.mcn", "b.edt", "b.mcn"}));
}

}  // namespace
}  // namespace memo::app
