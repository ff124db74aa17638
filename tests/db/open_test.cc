// The reader checks of an open, in their order, with their codes; the repairs made only with
// access 0; index-file header checks; passwords; and the registry's refusal of a second open.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>

#include "db/coding.h"
#include "db/digest.h"
#include "db/engine_code.h"
#include "db/images.h"
#include "db/index_format.h"
#include "db/memo_format.h"
#include "db/registry.h"
#include "platform/backend.h"
#include "platform/headless/headless_backend.h"
#include "tests/support/test_util.h"

namespace memo::db {
namespace {

using testing::G;
using testing::I32At;

class OpenTest : public ::testing::Test {
 protected:
  // A database of 3 records: 名称 text 8 at 4, 数量 int at 12 (record size 16), and, when asked,
  // 备注 memo at 16 (record size 20) with its memo file.
  std::string Base(bool with_memo = false) {
    const std::string path = dir_.File(with_memo ? "base_memo.edb" : "base.edb");
    std::vector<FieldSpec> fields = {{G("名称"), kFieldText, 8}, {G("数量"), kFieldInt, 0}};
    if (with_memo) fields.push_back({G("备注"), kFieldMemo, 0});
    testing::MustCreate(path, fields);
    auto handle = testing::MustOpen(path);
    for (int i = 0; i < 3; ++i) {
      const std::string name = "n" + std::to_string(i);
      const std::string memo = "memo " + std::to_string(i);
      TypedValue values[] = {testing::TextCell(name), testing::IntCell(i), testing::TextCell(memo)};
      EXPECT_EQ(handle->AddRecord(values, with_memo ? 3 : 2), kOk);
    }
    handle.reset();
    return testing::ReadAll(path);
  }

  // Writes `bytes` as a fresh file, opens it, returns the code; the handle is closed again.
  int OpenBytes(const std::string& bytes, int access = 0, const std::string& password = {},
                const std::string* memo_bytes = nullptr) {
    path_ = dir_.File("case" + std::to_string(++cases_) + ".edb");
    testing::WriteAll(path_, bytes);
    if (memo_bytes != nullptr)
      testing::WriteAll(dir_.File("case" + std::to_string(cases_) + ".edt"), *memo_bytes);
    OpenOptions options;
    options.access = AccessFromArgument(access);
    options.password = password;
    std::unique_ptr<DatabaseHandle> handle;
    int rc = DatabaseHandle::Open(path_, options, &handle);
    EXPECT_EQ(rc == kOk, handle != nullptr);
    return rc;
  }

  std::string Current() const { return testing::ReadAll(path_); }
  std::string CurrentMemo() const {
    return testing::ReadAll(path_.substr(0, path_.size() - 3) + "edt");
  }

  static void Put32(std::string* bytes, size_t at, uint32_t v) {
    EncodeFixed32(bytes->data() + at, v);
  }

  testing::TempDir dir_;
  std::string path_;
  int cases_ = 0;
};

TEST_F(OpenTest, MissingAndEmptyNames) {
  std::unique_ptr<DatabaseHandle> handle;
  EXPECT_EQ(DatabaseHandle::Open("", {}, &handle), kFileNotFound);
  EXPECT_EQ(DatabaseHandle::Open(dir_.File("nothing.edb"), {}, &handle), kFileNotFound);
  EXPECT_FALSE(handle);
}

TEST_F(OpenTest, DefaultExtensionIsAddedToBareNamesAndTrailingDots) {
  testing::WriteAll(dir_.File("plain.EDB"), Base());
  std::unique_ptr<DatabaseHandle> handle;
  EXPECT_EQ(DatabaseHandle::Open(dir_.File("plain"), {}, &handle), kOk);
  ASSERT_TRUE(handle);
  EXPECT_EQ(handle->title(), "plain");
  EXPECT_EQ(handle->full_path(), dir_.File("plain.EDB"));
  handle.reset();
  EXPECT_EQ(DatabaseHandle::Open(dir_.File("plain."), {}, &handle), kOk);
}

TEST_F(OpenTest, ShortHeaderOrWrongMagicIsNotADatabase) {
  const std::string base = Base();
  EXPECT_EQ(OpenBytes(base.substr(0, 111)), kNotDatabaseFile);
  EXPECT_EQ(Current(), base.substr(0, 111));
  EXPECT_EQ(OpenBytes(std::string()), kNotDatabaseFile);
  std::string bad = base;
  bad[1] = 'X';
  EXPECT_EQ(OpenBytes(bad), kNotDatabaseFile);
  EXPECT_EQ(Current(), bad);
}

TEST_F(OpenTest, PasswordChecks) {
  const std::string base = Base();
  // A plain file refuses any non-empty password.
  EXPECT_EQ(OpenBytes(base, 0, "secret"), kWrongPassword);
  std::string locked = base;
  std::memcpy(locked.data(), "WCDB", 4);
  const std::string digest = PasswordDigest("secret");
  std::memcpy(locked.data() + kDigestOffset, digest.data(), digest.size());
  EXPECT_EQ(OpenBytes(locked), kWrongPassword);
  EXPECT_EQ(OpenBytes(locked, 0, "Secret"), kWrongPassword);
  EXPECT_EQ(OpenBytes(locked, 0, "secret"), kOk);
  // The stored digest compares ignoring case.
  for (size_t i = 0; i < digest.size(); ++i) {
    locked[kDigestOffset + i] = static_cast<char>(std::toupper(digest[i]));
  }
  EXPECT_EQ(OpenBytes(locked, 0, "secret"), kOk);
  // The password is checked before the header numbers.
  Put32(&locked, kRecordSizeOffset, 0);
  EXPECT_EQ(OpenBytes(locked, 0, "wrong"), kWrongPassword);
  EXPECT_EQ(Current(), locked);
}

TEST_F(OpenTest, DigestIsSwappedAndReversedMd5) {
  // MD5("") = d41d8cd98f00b204e9800998ecf8427e; pairs swapped, then reversed.
  std::string expected = "d41d8cd98f00b204e9800998ecf8427e";
  for (size_t i = 0; i + 1 < expected.size(); i += 2) std::swap(expected[i], expected[i + 1]);
  std::reverse(expected.begin(), expected.end());
  EXPECT_EQ(PasswordDigest(""), expected);
  EXPECT_EQ(PasswordDigest(""), "7e42f8ec980980e904b2008fd98c1dd4");
  EXPECT_TRUE(DigestMatches("", "7E42F8EC980980E904B2008FD98C1DD4"));
  EXPECT_FALSE(DigestMatches("x", expected));
}

TEST_F(OpenTest, HeaderNumbersAreChecked) {
  const std::string base = Base();
  std::string bad = base;
  Put32(&bad, kRecordSizeOffset, 0);
  EXPECT_EQ(OpenBytes(bad), kNotDatabaseFile);
  EXPECT_EQ(Current(), bad);
  bad = base;
  Put32(&bad, kRecordCountOffset, static_cast<uint32_t>(-1));
  EXPECT_EQ(OpenBytes(bad), kNotDatabaseFile);
  bad = base;
  Put32(&bad, kNextSerialOffset, 0);
  EXPECT_EQ(OpenBytes(bad), kNotDatabaseFile);
  EXPECT_EQ(Current(), bad);
}

TEST_F(OpenTest, VersionTooHighComesAfterTheHeaderNumbers) {
  const std::string base = Base();
  std::string bad = base;
  Put32(&bad, kVersionOffset, 0x00010001);
  EXPECT_EQ(OpenBytes(bad), kVersionTooHigh);
  EXPECT_EQ(Current(), bad);
  Put32(&bad, kNextSerialOffset, 0);
  EXPECT_EQ(OpenBytes(bad), kNotDatabaseFile);
  std::string older = base;
  Put32(&older, kVersionOffset, 0x00000100);
  EXPECT_EQ(OpenBytes(older), kOk);
}

TEST_F(OpenTest, EachRuleWinsOverTheRulesAfterIt) {
  const std::string base = Base(true);
  const std::string memo = testing::ReadAll(dir_.File("base_memo.EDT"));
  std::string bad = base;
  // Rule 4 (version) before rule 5 (field count).
  Put32(&bad, kVersionOffset, 0x00020000);
  Put32(&bad, kFieldCountOffset, 0);
  EXPECT_EQ(OpenBytes(bad, 0, {}, &memo), kVersionTooHigh);
  // Rule 5 (field count) before rule 6 (size): a short file with no field table is -22, not -48.
  bad = base.substr(0, RecordsStart(3) + 20);
  Put32(&bad, kFieldCountOffset, 0);
  EXPECT_EQ(OpenBytes(bad, 1, {}, &memo), kNotDatabaseFile);
  // Rule 6 (size) before rule 7 (descriptors), with any access other than 0.
  bad = base.substr(0, RecordsStart(3) + 20);
  Put32(&bad, kFieldTableOffset + kDescriptorTypeOffset, 0);
  EXPECT_EQ(OpenBytes(bad, 1, {}, &memo), kWrongFileSize);
  // Rule 7 (descriptors) before rule 8 (memo file): a missing memo file is not looked for.
  bad = base;
  Put32(&bad, kFieldTableOffset + kDescriptorTypeOffset, 0);
  EXPECT_EQ(OpenBytes(bad), kNotDatabaseFile);
  // Rule 8 last: a sound record file without its memo file.
  EXPECT_EQ(OpenBytes(base), kMemoReadFailed);
}

TEST_F(OpenTest, FieldTableMustBeThereWhole) {
  const std::string base = Base();
  std::string bad = base;
  Put32(&bad, kFieldCountOffset, 0);
  EXPECT_EQ(OpenBytes(bad), kNotDatabaseFile);
  bad = base;
  Put32(&bad, kFieldCountOffset, 0x80000000u);  // negative as a signed count
  EXPECT_EQ(OpenBytes(bad), kNotDatabaseFile);
  bad = base;
  Put32(&bad, kFieldCountOffset, 1000);  // a table longer than the file
  EXPECT_EQ(OpenBytes(bad), kNotDatabaseFile);
  EXPECT_EQ(Current(), bad);
  EXPECT_EQ(OpenBytes(base.substr(0, kFieldCountOffset + 2)), kNotDatabaseFile);
}

TEST_F(OpenTest, ExactTableWithNoRecordsOpens) {
  std::string bytes = Base().substr(0, RecordsStart(2));
  Put32(&bytes, kRecordCountOffset, 0);
  EXPECT_EQ(OpenBytes(bytes), kOk);
  EXPECT_EQ(Current(), bytes);
  auto handle = testing::MustOpen(path_);
  int32_t count = -1;
  EXPECT_EQ(handle->ReadRecordCount(&count), kOk);
  EXPECT_EQ(count, 0);
}

TEST_F(OpenTest, ShortFileLowersTheCountOnlyWithAccessZero) {
  const std::string base = Base();
  const std::string two_and_a_half = base.substr(0, RecordsStart(2) + 16 * 2 + 8);
  // Any other access argument refuses and leaves the file alone.
  EXPECT_EQ(OpenBytes(two_and_a_half, 1), kWrongFileSize);
  EXPECT_EQ(Current(), two_and_a_half);
  EXPECT_EQ(OpenBytes(two_and_a_half, 2), kWrongFileSize);
  EXPECT_EQ(Current(), two_and_a_half);
  // Access 0 writes the count back and drops the partial record.
  EXPECT_EQ(OpenBytes(two_and_a_half, 0), kOk);
  const std::string repaired = Current();
  EXPECT_EQ(repaired.size(), RecordsStart(2) + 32);
  EXPECT_EQ(I32At(repaired, kRecordCountOffset), 2);
  EXPECT_EQ(repaired.substr(kRecordSizeOffset),
            two_and_a_half.substr(kRecordSizeOffset, repaired.size() - kRecordSizeOffset));
}

TEST_F(OpenTest, TrailingPartialRecordIsCutOnlyWithAccessZero) {
  const std::string base = Base();
  const std::string longer = base + std::string(5, 'x');
  EXPECT_EQ(OpenBytes(longer, 2), kOk);
  EXPECT_EQ(Current(), longer);
  EXPECT_EQ(OpenBytes(longer, 0), kOk);
  EXPECT_EQ(Current(), base);
}

TEST_F(OpenTest, DescriptorChecksComeAfterTheSizeRepair) {
  const std::string base = Base();
  const size_t first = kFieldTableOffset;
  std::string bad = base;
  std::memset(bad.data() + first, 'A', 17);  // no NUL within 17 bytes
  EXPECT_EQ(OpenBytes(bad), kNotDatabaseFile);
  EXPECT_EQ(Current(), bad);
  bad = base;
  std::memset(bad.data() + first, 'A', 16);  // 16 bytes of name and its NUL: fine
  bad[first + 16] = 0;
  EXPECT_EQ(OpenBytes(bad), kOk);
  for (uint32_t type : {0u, 13u, 0xFFFFFFFFu}) {
    bad = base;
    Put32(&bad, first + kDescriptorTypeOffset, type);
    EXPECT_EQ(OpenBytes(bad), kNotDatabaseFile) << type;
  }
  bad = base;
  Put32(&bad, first + kDescriptorLengthOffset, 0);
  EXPECT_EQ(OpenBytes(bad), kNotDatabaseFile);
  bad = base;
  Put32(&bad, first + kDescriptorOffsetOffset, 0x80000000u);
  EXPECT_EQ(OpenBytes(bad), kNotDatabaseFile);
  // A field reaching past the end of its record.
  bad = base;
  Put32(&bad, first + kDescriptorLengthOffset, 13);
  EXPECT_EQ(OpenBytes(bad), kNotDatabaseFile);
  EXPECT_EQ(Current(), bad);

  // The count repair of access 0 happens even though a later check fails.
  bad = base.substr(0, RecordsStart(2) + 16);
  Put32(&bad, first + kDescriptorTypeOffset, 0);
  EXPECT_EQ(OpenBytes(bad), kNotDatabaseFile);
  EXPECT_EQ(I32At(Current(), kRecordCountOffset), 1);
}

TEST_F(OpenTest, MemoFileChecks) {
  const std::string base = Base(true);
  const std::string memo = testing::ReadAll(dir_.File("base_memo.EDT"));
  ASSERT_EQ(memo.size(), 512u * 4);
  EXPECT_EQ(OpenBytes(base, 0, {}, &memo), kOk);

  // Missing memo file.
  EXPECT_EQ(OpenBytes(base), kMemoReadFailed);

  struct Case {
    size_t at;
    uint32_t value;
    int code;
  };
  const Case cases[] = {
      {0, 0x58544457, kMemoReadFailed},             // magic "WDTX"
      {kMemoBlockCountOffset, 0, kMemoReadFailed},  // block count 0
      {kMemoFreeCountOffset, 4, kMemoReadFailed},   // free count = block count
      {kMemoFreeCountOffset, 0xFFFFFFFF, kMemoReadFailed},
      {kMemoFreeHeadOffset, 4, kMemoReadFailed},  // free head outside the file
      {kMemoVersionOffset, 0x00020000, kMemoVersionMismatch},
  };
  for (const Case& c : cases) {
    std::string bad = memo;
    Put32(&bad, c.at, c.value);
    EXPECT_EQ(OpenBytes(base, 0, {}, &bad), c.code) << c.at;
    EXPECT_EQ(CurrentMemo(), bad);
    EXPECT_EQ(Current(), base);
  }
  EXPECT_EQ(OpenBytes(base, 0, {}, &memo), kOk);
  const std::string short_header = memo.substr(0, 20);
  EXPECT_EQ(OpenBytes(base, 0, {}, &short_header), kMemoReadFailed);
}

TEST_F(OpenTest, MemoFileWithFewerBlocksIsRepairedOnlyWithAccessZero) {
  const std::string base = Base(true);
  const std::string memo = testing::ReadAll(dir_.File("base_memo.EDT"));
  const std::string cut = memo.substr(0, 512 * 3 + 100);
  EXPECT_EQ(OpenBytes(base, 2, {}, &cut), kNotMemoFile);
  EXPECT_EQ(CurrentMemo(), cut);
  EXPECT_EQ(OpenBytes(base, 1, {}, &cut), kNotMemoFile);
  EXPECT_EQ(OpenBytes(base, 0, {}, &cut), kOk);
  const std::string repaired = CurrentMemo();
  EXPECT_EQ(I32At(repaired, kMemoBlockCountOffset), 3);
  EXPECT_EQ(repaired.size(), cut.size()) << "only the count is repaired";
}

// A free list that led into the lost blocks goes with them: the repaired file opens again, where
// keeping a head past the new end made every later open refuse it.
TEST_F(OpenTest, MemoFileRepairDropsAFreeListThatReachedTheLostBlocks) {
  const std::string base = Base(true);
  std::string memo = testing::ReadAll(dir_.File("base_memo.EDT"));
  ASSERT_EQ(memo.size(), 512u * 4);
  Put32(&memo, kMemoFreeCountOffset, 1);
  Put32(&memo, kMemoFreeHeadOffset, 3);
  Put32(&memo, 512 * 3 + kBlockUsedOffset, 0);  // block 3 free
  Put32(&memo, 512 * 3 + kBlockNextOffset, 0);
  const std::string cut = memo.substr(0, 512 * 3 + 100);
  EXPECT_EQ(OpenBytes(base, 0, {}, &cut), kOk);
  const std::string repaired = CurrentMemo();
  EXPECT_EQ(I32At(repaired, kMemoBlockCountOffset), 3);
  EXPECT_EQ(I32At(repaired, kMemoFreeCountOffset), 0);
  EXPECT_EQ(I32At(repaired, kMemoFreeHeadOffset), 0);
  EXPECT_EQ(OpenBytes(base, 0, {}, &repaired), kOk) << "the repaired file opens again";
  EXPECT_EQ(OpenBytes(base, 1, {}, &repaired), kOk);
}

TEST_F(OpenTest, HeaderRepairsNeedWriteAccessAndLeaveReadOnlyFilesAlone) {
  const std::string base = Base();
  const std::string longer = base + std::string(3, 'x');
  EXPECT_EQ(OpenBytes(longer, 1), kOk);
  EXPECT_EQ(Current(), longer);
}

// An index header with the given key fields (type code, name).
std::string IndexHeaderBytes(const std::vector<std::pair<int32_t, std::string>>& keys,
                             int32_t key_size, uint32_t version = kFormatVersion) {
  std::string bytes(kIndexHeaderSize, '\0');
  std::memcpy(bytes.data(), "WENX", 4);
  EncodeFixed32(bytes.data() + kIndexVersionOffset, version);
  EncodeInt32(bytes.data() + kIndexBlockCountOffset, 2);
  EncodeInt32(bytes.data() + kIndexBlockAOffset, 1);
  EncodeInt32(bytes.data() + kIndexBlockBOffset, 0);
  EncodeInt32(bytes.data() + kIndexBlockCOffset, 1);
  EncodeInt32(bytes.data() + kIndexBlockSizeOffset, 512);
  EncodeInt32(bytes.data() + kIndexKeySizeOffset, key_size);
  EncodeInt32(bytes.data() + kIndexKeyCountOffset, static_cast<int32_t>(keys.size()));
  for (size_t i = 0; i < keys.size(); ++i) {
    char* entry = bytes.data() + kIndexKeyTableOffset + kIndexKeyEntrySize * i;
    EncodeInt32(entry, keys[i].first);
    std::memcpy(entry + 4, keys[i].second.data(), keys[i].second.size());
  }
  bytes.resize(1024, '\0');  // two blocks of 512
  return bytes;
}

TEST_F(OpenTest, IndexFileChecks) {
  testing::WriteAll(dir_.File("t.edb"), Base());
  const std::string name = G("名称"), number = G("数量");
  auto open_with = [&](const std::vector<std::string>& names) {
    OpenOptions options;
    options.index_names = names;
    std::unique_ptr<DatabaseHandle> handle;
    return DatabaseHandle::Open(dir_.File("t.edb"), options, &handle);
  };
  auto write_index = [&](const std::string& file, const std::string& bytes) {
    testing::WriteAll(dir_.File(file), bytes);
  };
  write_index("good.ENX", IndexHeaderBytes({{-8, name}}, 8));
  write_index("two.enx", IndexHeaderBytes({{-8, name}, {3, number}}, 12));
  EXPECT_EQ(open_with({"good"}), kOk);  // no directory: beside the database; "ENX" added
  EXPECT_EQ(open_with({"", "good", dir_.File("two.enx")}), kOk);
  EXPECT_EQ(open_with({"missing"}), kIndexOpenFailed);
  EXPECT_EQ(open_with({"good", dir_.File("GOOD.ENX")}), kIndexAlreadyOpen);
  EXPECT_EQ(open_with(std::vector<std::string>(11, "good")), kTooManyIndexes);

  std::string bad = IndexHeaderBytes({{-8, name}}, 8);
  bad[0] = 'X';
  write_index("bad.enx", bad);
  EXPECT_EQ(open_with({"bad"}), kNotIndexFile);
  write_index("bad.enx", IndexHeaderBytes({{-8, name}}, 8, 0x00020000));
  EXPECT_EQ(open_with({"bad"}), kIndexVersionMismatch);
  write_index("bad.enx", IndexHeaderBytes({{-8, name}}, 9));  // key size differs from its keys
  EXPECT_EQ(open_with({"bad"}), kNotIndexFile);
  bad = IndexHeaderBytes({{-8, name}}, 8);
  EncodeInt32(bad.data() + kIndexBlockSizeOffset, 256);
  write_index("bad.enx", bad);
  EXPECT_EQ(open_with({"bad"}), kNotIndexFile);
  bad = IndexHeaderBytes({{-8, name}}, 8);
  EncodeInt32(bad.data() + kIndexBlockCOffset, 0);
  write_index("bad.enx", bad);
  EXPECT_EQ(open_with({"bad"}), kNotIndexFile);
  write_index("bad.enx", IndexHeaderBytes({{-8, name}}, 8).substr(0, 1000));  // < 2 blocks
  EXPECT_EQ(open_with({"bad"}), kWrongIndexFileSize);
  write_index("bad.enx", IndexHeaderBytes({{-8, name}}, 8).substr(0, 100));
  EXPECT_EQ(open_with({"bad"}), kNotIndexFile);
  write_index("bad.enx", IndexHeaderBytes({{-8, G("别的")}}, 8));
  EXPECT_EQ(open_with({"bad"}), kIndexFieldMissing);
  write_index("bad.enx", IndexHeaderBytes({{3, name}}, 4));
  EXPECT_EQ(open_with({"bad"}), kIndexFieldTypeMismatch);
  write_index("bad.enx", IndexHeaderBytes({{-6, name}}, 6));
  EXPECT_EQ(open_with({"bad"}), kIndexFieldSizeMismatch);

  // A memo key field.
  testing::WriteAll(dir_.File("m.edb"), Base(true));
  testing::WriteAll(dir_.File("m.edt"), testing::ReadAll(dir_.File("base_memo.EDT")));
  write_index("memo.enx", IndexHeaderBytes({{12, G("备注")}}, 4));
  OpenOptions options;
  options.index_names = {"memo"};
  std::unique_ptr<DatabaseHandle> handle;
  EXPECT_EQ(DatabaseHandle::Open(dir_.File("m.edb"), options, &handle), kIndexFieldIsMemo);
}

TEST_F(OpenTest, PasswordPromptAsksUpToThreeTimes) {
  std::string locked = Base();
  std::memcpy(locked.data(), "WCDB", 4);
  const std::string digest = PasswordDigest("pw");
  std::memcpy(locked.data() + kDigestOffset, digest.data(), digest.size());
  testing::WriteAll(dir_.File("p.edb"), locked);

  std::vector<std::string> notices;
  std::vector<std::optional<std::string>> answers;
  SetPasswordPrompt([&](std::string_view notice) -> std::optional<std::string> {
    notices.emplace_back(notice);
    if (answers.empty()) return std::nullopt;
    auto answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  });
  OpenOptions ask;
  ask.password = "?";
  std::unique_ptr<DatabaseHandle> handle;

  answers = {"a", "pw"};
  EXPECT_EQ(DatabaseHandle::Open(dir_.File("p.edb"), ask, &handle), kOk);
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_EQ(notices[0], "");
  EXPECT_EQ(notices[1], G("密码错误，您还有 2 次重新输入的机会。"));
  handle.reset();

  notices.clear();
  answers = {"a", "b", "c", "pw"};
  EXPECT_EQ(DatabaseHandle::Open(dir_.File("p.edb"), ask, &handle), kWrongPassword);
  ASSERT_EQ(notices.size(), 3u);
  EXPECT_EQ(notices[2], G("密码错误，您还有 1 次重新输入的机会。"));

  notices.clear();
  answers = {"a", std::nullopt};
  EXPECT_EQ(DatabaseHandle::Open(dir_.File("p.edb"), ask, &handle), kWrongPassword);
  EXPECT_EQ(notices.size(), 2u);

  SetPasswordPrompt(nullptr);
  EXPECT_EQ(DatabaseHandle::Open(dir_.File("p.edb"), ask, &handle), kWrongPassword);
  EXPECT_FALSE(handle);
}

TEST_F(OpenTest, PasswordQuestionShowsThePlatformsDialog) {
  std::string locked = Base();
  std::memcpy(locked.data(), "WCDB", 4);
  const std::string digest = PasswordDigest("pw");
  std::memcpy(locked.data() + kDigestOffset, digest.data(), digest.size());
  testing::WriteAll(dir_.File("p.edb"), locked);

  // Without a prompt of the program's own, "?" asks through the installed backend's dialog.
  platform::HeadlessBackend backend;
  platform::InstallBackend(&backend);
  OpenOptions ask;
  ask.password = "?";
  std::unique_ptr<DatabaseHandle> handle;
  backend.QueuePasswordAnswer(std::string("wrong"));
  backend.QueuePasswordAnswer(std::string("pw"));
  const int rc = DatabaseHandle::Open(dir_.File("p.edb"), ask, &handle);
  const std::vector<platform::ShownPasswordDialog> shown = backend.password_dialogs();
  backend.QueuePasswordAnswer(std::nullopt);
  const int cancelled = DatabaseHandle::Open(dir_.File("p.edb"), ask, &handle);
  const size_t asked_in_all = backend.password_dialogs().size();
  platform::InstallBackend(nullptr);

  EXPECT_EQ(rc, kOk);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_FALSE(shown[0].caption_gbk.empty());
  EXPECT_EQ(shown[0].prompt_gbk, "");
  EXPECT_EQ(shown[1].prompt_gbk, G("密码错误，您还有 2 次重新输入的机会。"));
  EXPECT_EQ(cancelled, kWrongPassword);
  EXPECT_EQ(asked_in_all, 3u);
}

TEST_F(OpenTest, ShareModesKeepOthersOutAndSetLockFree) {
  testing::WriteAll(dir_.File("s.edb"), Base());
  OpenOptions exclusive;
  exclusive.share = ShareFromArgument(4);
  auto first = testing::MustOpen(dir_.File("s.edb"), exclusive);
  ASSERT_TRUE(first);
  EXPECT_TRUE(first->lock_free());
  std::unique_ptr<DatabaseHandle> second;
  EXPECT_EQ(DatabaseHandle::Open(dir_.File("s.edb"), {}, &second), kSharingViolation);
  first.reset();

  OpenOptions deny_write;
  deny_write.share = ShareFromArgument(3);
  first = testing::MustOpen(dir_.File("s.edb"), deny_write);
  EXPECT_FALSE(first->lock_free());
  OpenOptions read_only;
  read_only.access = AccessFromArgument(1);
  read_only.share = ShareFromArgument(1);
  // A reader is let in beside a deny-write holder; a writer is not.
  EXPECT_EQ(DatabaseHandle::Open(dir_.File("s.edb"), read_only, &second), kOk);
  second.reset();
  EXPECT_EQ(DatabaseHandle::Open(dir_.File("s.edb"), {}, &second), kSharingViolation);
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::WriteAll(dir_.File("a.mcn"), std::string(MemoTableImageBytes()));
    testing::WriteAll(dir_.File("a.edt"), std::string(MemoFileImageBytes()));
    testing::WriteAll(dir_.File("c.mcn"), std::string(AccountsImageBytes()));
  }
  void TearDown() override { DatabaseRegistry::Instance().CloseAll(); }
  testing::TempDir dir_;
};

TEST_F(RegistryTest, SecondOpenUnderAnySpellingIsRefused) {
  DatabaseRegistry& registry = DatabaseRegistry::Instance();
  ASSERT_EQ(registry.Open(dir_.File("a.mcn"), "", {}), kOk);
  ASSERT_EQ(registry.Open(dir_.File("c.mcn"), "", {}), kOk);
  ASSERT_EQ(registry.current_index(), 1);
  testing::ScopedChdir here(dir_.path());
  std::string backslashed = dir_.path() + "\\a.mcn";
  const std::vector<std::string> spellings = {
      dir_.File("a.mcn"),
      dir_.File("A.MCN"),
      backslashed,
      "a.mcn",
      "A.Mcn",
      "./a.mcn",
      ".\\a.mcn",
      "../" + dir_.path().substr(dir_.path().rfind('/') + 1) + "/a.mcn",
      dir_.path() + "//sub/../a.mcn"};
  for (const std::string& spelling : spellings) {
    EXPECT_EQ(registry.Open(spelling, "", {}), kAlreadyOpen) << spelling;
    EXPECT_EQ(registry.size(), 2);
    EXPECT_EQ(registry.current_index(), 1);
  }
}

TEST_F(RegistryTest, AliasMustBeAValidName) {
  DatabaseRegistry& registry = DatabaseRegistry::Instance();
  EXPECT_EQ(registry.Open(dir_.File("a.mcn"), "1abc", {}), kInvalidAlias);
  EXPECT_EQ(registry.Open(dir_.File("a.mcn"), "ab c", {}), kInvalidAlias);
  EXPECT_EQ(registry.Open(dir_.File("a.mcn"), "ab_c", {}), kInvalidAlias);
  EXPECT_EQ(registry.size(), 0);
  EXPECT_EQ(registry.Open(dir_.File("a.mcn"), G("备忘Ａ１x2"), {}), kOk);
  EXPECT_EQ(registry.Find(G("备忘Ａ１X2")), 0);
}

TEST_F(RegistryTest, LookupByAliasThenTitleThenPathNewestFirst) {
  DatabaseRegistry& registry = DatabaseRegistry::Instance();
  testing::WriteAll(dir_.File("b.mcn"), std::string(AccountsImageBytes()));
  ASSERT_EQ(registry.Open(dir_.File("a.mcn"), "c", {}), kOk);  // alias "c"
  ASSERT_EQ(registry.Open(dir_.File("c.mcn"), "", {}), kOk);   // title "c"
  ASSERT_EQ(registry.Open(dir_.File("b.mcn"), "A", {}), kOk);  // alias "A"
  EXPECT_EQ(registry.Find("C"), 0) << "an alias wins over a title";
  EXPECT_EQ(registry.Find("a"), 2) << "alias of the newest";
  EXPECT_EQ(registry.Find("B"), 2) << "title";
  EXPECT_EQ(registry.Find(dir_.File("C.MCN")), 1) << "full path";
  EXPECT_EQ(registry.Find(""), 2) << "current";
  EXPECT_EQ(registry.Find("nothing"), -1);

  // Closing one before the current moves the current index down; closing the current clears it.
  registry.Close("c");  // the alias: a.mcn at 0
  EXPECT_EQ(registry.size(), 2);
  EXPECT_EQ(registry.current_index(), 1);
  EXPECT_EQ(registry.Current()->title(), "b");
  registry.Close("nothing");
  EXPECT_EQ(registry.size(), 2);
  registry.Close("");
  EXPECT_EQ(registry.size(), 1);
  EXPECT_EQ(registry.current_index(), -1);
  EXPECT_EQ(registry.Current(), nullptr);
  registry.Close("");  // nothing current: nothing happens
  EXPECT_EQ(registry.size(), 1);
}

TEST_F(RegistryTest, FailedOpenLeavesTheRegistryAlone) {
  DatabaseRegistry& registry = DatabaseRegistry::Instance();
  ASSERT_EQ(registry.Open(dir_.File("a.mcn"), "", {}), kOk);
  EXPECT_EQ(registry.Open(dir_.File("missing.mcn"), "", {}), kFileNotFound);
  EXPECT_EQ(registry.Open("", "", {}), kFileNotFound);
  EXPECT_EQ(registry.size(), 1);
  EXPECT_EQ(registry.current_index(), 0);
}

TEST(EngineMessageTest, EveryCodeHasItsMessage) {
  EXPECT_STREQ(EngineMessageUtf8(0), "");
  EXPECT_STREQ(EngineMessageUtf8(-22), "指定文件不是数据库文件");
  EXPECT_STREQ(EngineMessageUtf8(-38), "指定数据库已经被打开");
  EXPECT_STREQ(EngineMessageUtf8(-80), "无效的密码文本");
  EXPECT_STREQ(EngineMessageUtf8(-77), "未知错误");
  EXPECT_STREQ(EngineMessageUtf8(5), "未知错误");
  EXPECT_STREQ(EngineMessageUtf8(-81), "未知错误");
  EXPECT_EQ(std::string(EngineMessage(-3)), G("指定文件未找到"));
  for (int code = -1; code >= -80; --code) {
    if (code == -77 || code == -8 || code == -9) continue;
    EXPECT_STRNE(EngineMessageUtf8(code), "") << code;
  }
}

}  // namespace
}  // namespace memo::db
