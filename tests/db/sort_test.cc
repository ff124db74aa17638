// Sorting into a new file: keys, ascending flags, the condition served from memory, copied
// fields, memo chains, serials of deleted records.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <filesystem>

#include "db/check.h"
#include "db/coding.h"
#include "db/engine_code.h"
#include "db/images.h"
#include "db/memo_file.h"
#include "tests/support/test_util.h"

namespace memo::db {
namespace {

using testing::G;

class SortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    source_ = dir_.File("s.edb");
    testing::MustCreate(source_, {{"cat", kFieldText, 6},
                                  {"n", kFieldInt, 0},
                                  {"when", kFieldDateTime, 0},
                                  {"note", kFieldMemo, 0},
                                  {"ok", kFieldBool, 0}});
    handle_ = testing::MustOpen(source_);
    ASSERT_TRUE(handle_);
  }

  void Add(const std::string& cat, int n, double when, const std::string& note, bool ok = true) {
    TypedValue values[] = {testing::TextCell(cat), testing::IntCell(n), testing::DateTimeCell(when),
                           testing::TextCell(note), testing::BoolCell(ok)};
    ASSERT_EQ(handle_->AddRecord(values, 5), kOk);
  }

  // Each record of the target as "serial:cat:n".
  std::vector<std::string> Rows(const std::string& path) {
    auto target = testing::MustOpen(path);
    std::vector<std::string> rows;
    if (!target) return rows;
    int32_t count = 0, serial = 0;
    EXPECT_EQ(target->ReadRecordCount(&count, &serial), kOk);
    EXPECT_EQ(serial, count + 1);
    for (int32_t i = 0; i < count; ++i) {
      std::string record;
      EXPECT_EQ(target->ReadRecordBytes(i, &record), kOk);
      target->set_current_record(i);
      std::string row = std::to_string(DecodeInt32(record.data()));
      for (const FieldDescriptor& field : target->fields()) {
        std::string bytes;
        EXPECT_EQ(target->ReadFieldBytes(target->FindField(field.Name()), &bytes), kOk);
        row += ":";
        row += field.type == kFieldInt ? std::to_string(DecodeInt32(bytes.data())) : bytes;
      }
      rows.push_back(row);
    }
    return rows;
  }

  testing::TempDir dir_;
  std::string source_;
  std::unique_ptr<DatabaseHandle> handle_;
};

TEST_F(SortTest, ByOneKeyAscendingCopiesEveryField) {
  Add("b", 2, 3.0, "two");
  Add("a", 1, 2.0, "one");
  Add("c", 3, 1.0, std::string(1500, 'x'));
  SortRequest request;
  request.target = dir_.File("t");
  request.key_names = {"CAT"};
  ASSERT_EQ(handle_->SortInto(request), kOk);
  EXPECT_TRUE(testing::Exists(dir_.File("t.EDB")));
  EXPECT_TRUE(testing::Exists(dir_.File("t.EDT")));
  const std::vector<std::string> rows = Rows(dir_.File("t.EDB"));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].substr(0, 6), "1:a:1:");
  EXPECT_EQ(rows[1].substr(0, 6), "2:b:2:");
  EXPECT_EQ(rows[2].substr(0, 6), "3:c:3:");
  auto target = testing::MustOpen(dir_.File("t.EDB"));
  target->set_current_record(2);
  EXPECT_EQ(testing::FieldText(target.get(), "note"), std::string(1500, 'x'));
  EXPECT_EQ(target->record_size(), handle_->record_size());
}

TEST_F(SortTest, AscendingFlagsAndSeveralKeys) {
  Add("a", 1, 0, "");
  Add("b", 1, 0, "");
  Add("a", 2, 0, "");
  Add("b", 2, 0, "");
  SortRequest request;
  request.target = dir_.File("t.edb");
  request.key_names = {"n", "cat"};
  request.ascending = {false};  // n descending, cat (no flag) ascending
  request.copy_fields = {"n", "cat"};
  ASSERT_EQ(handle_->SortInto(request), kOk);
  EXPECT_EQ(Rows(dir_.File("t.edb")),
            (std::vector<std::string>{"1:2:a", "2:2:b", "3:1:a", "4:1:b"}));
  request.ascending = {true, false};
  ASSERT_EQ(handle_->SortInto(request), kOk);
  EXPECT_EQ(Rows(dir_.File("t.edb")),
            (std::vector<std::string>{"1:1:b", "2:1:a", "3:2:b", "4:2:a"}));
  EXPECT_FALSE(testing::Exists(dir_.File("t.EDT"))) << "no memo field copied";
}

TEST_F(SortTest, ConditionSeesEachRecordAsCurrentFromMemory) {
  Add("x", 5, 0, "five");
  Add("y", 4, 0, "four");
  Add("x", 3, 0, "three");
  Add("x", 2, 0, "two");
  handle_->set_current_record(1);
  std::vector<int32_t> seen;
  SortRequest request;
  request.target = dir_.File("only_x.edb");
  request.key_names = {"n"};
  request.condition = [&] {
    seen.push_back(handle_->current_record());
    // Field reads inside the condition see the record being judged, memo chains included.
    std::string cat, note;
    EXPECT_EQ(handle_->ReadFieldBytes(0, &cat), kOk);
    EXPECT_EQ(handle_->ReadFieldBytes(3, &note), kOk);
    EXPECT_FALSE(note.empty());
    return cat == "x";
  };
  std::vector<int32_t> origins = {99};  // replaced, not appended to
  request.source_serials = &origins;
  ASSERT_EQ(handle_->SortInto(request), kOk);
  EXPECT_EQ(seen, (std::vector<int32_t>{0, 1, 2, 3}));
  // Target record i came from the source record with serial origins[i - 1] (n = 2, 3, 5).
  EXPECT_EQ(origins, (std::vector<int32_t>{4, 3, 1}));
  EXPECT_EQ(handle_->current_record(), 1) << "restored";
  std::string cat;
  ASSERT_EQ(handle_->ReadFieldBytes(0, &cat), kOk);
  EXPECT_EQ(cat, "y") << "served from the file again";
  const std::vector<std::string> rows = Rows(dir_.File("only_x.edb"));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].substr(0, 6), "1:x:2:");
  EXPECT_EQ(rows[1].substr(0, 6), "2:x:3:");
  EXPECT_EQ(rows[2].substr(0, 6), "3:x:5:");
  auto target = testing::MustOpen(dir_.File("only_x.edb"));
  target->set_current_record(2);
  EXPECT_EQ(testing::FieldText(target.get(), "note"), "five");
}

TEST_F(SortTest, DeletedRecordsKeepANegativeSerial) {
  Add("b", 1, 0, "");
  Add("a", 2, 0, "");
  std::string file = testing::ReadAll(source_);
  char* serial = file.data() + handle_->records_start();  // record 0 ("b") deleted
  EncodeInt32(serial, -1);
  testing::WriteAll(source_, file);
  SortRequest request;
  request.target = dir_.File("t.edb");
  request.key_names = {"cat"};
  request.copy_fields = {"cat"};
  std::vector<int32_t> origins;
  request.source_serials = &origins;
  ASSERT_EQ(handle_->SortInto(request), kOk);
  EXPECT_EQ(Rows(dir_.File("t.edb")), (std::vector<std::string>{"1:a", "-2:b"}));
  EXPECT_EQ(origins, (std::vector<int32_t>{2, -1})) << "as stored, the mark of deletion kept";
}

TEST_F(SortTest, KeysOfEveryOrderedKind) {
  Add("a", 1, -1.75, "", true);   // 1899-12-29 18:00
  Add("b", 2, -1.25, "", false);  // 1899-12-29 06:00
  Add("c", 3, 0.5, "", true);
  Add("d", 4, -2.5, "", false);
  SortRequest request;
  request.target = dir_.File("t.edb");
  request.key_names = {"when"};
  request.copy_fields = {"cat"};
  ASSERT_EQ(handle_->SortInto(request), kOk);
  EXPECT_EQ(Rows(dir_.File("t.edb")), (std::vector<std::string>{"1:d", "2:b", "3:a", "4:c"}));
  request.key_names = {"ok", "cat"};
  ASSERT_EQ(handle_->SortInto(request), kOk);
  EXPECT_EQ(Rows(dir_.File("t.edb")), (std::vector<std::string>{"1:b", "2:d", "3:a", "4:c"}));
}

TEST_F(SortTest, EachNumericKindAndTextComparesByItsOwnRule) {
  // One record per row; each column, sorted on its own, must give the order of `expected`.
  testing::TempDir dir;
  testing::MustCreate(dir.File("k.edb"), {{"id", kFieldInt, 0},
                                          {"b", kFieldByte, 0},
                                          {"s", kFieldShort, 0},
                                          {"l", kFieldLong, 0},
                                          {"f", kFieldFloat, 0},
                                          {"d", kFieldDouble, 0},
                                          {"r", kFieldRoutine, 0},
                                          {"t", kFieldText, 4}});
  auto keys = testing::MustOpen(dir.File("k.edb"));
  ASSERT_TRUE(keys);
  auto cell = [](uint32_t tag, uint64_t bits) {
    TypedValue value;
    value.tag = tag;
    value.low = static_cast<uint32_t>(bits);
    value.high = static_cast<uint32_t>(bits >> 32);
    return value;
  };
  auto float_bits = [](float f) { return uint64_t{std::bit_cast<uint32_t>(f)}; };
  auto double_bits = [](double d) { return std::bit_cast<uint64_t>(d); };
  // Rows 0..2 in ascending order of every key: signed numbers below zero first, the routine
  // pointer and the byte unsigned, text by unsigned bytes (a GBK lead byte after ASCII).
  const std::string texts[] = {"Zz", "a", G("一")};
  const int64_t longs[] = {-(int64_t{1} << 40), -1, int64_t{1} << 40};
  const float floats[] = {-2.5f, 0.0f, 1e30f};
  const double doubles[] = {-1e300, -0.5, 3.0};
  const uint32_t routines[] = {1, 0x7FFFFFFF, 0x80000000};
  const uint8_t bytes[] = {1, 127, 200};
  const int16_t shorts[] = {-300, -1, 5};
  for (int row : {2, 0, 1}) {  // stored out of order
    TypedValue values[] = {testing::IntCell(row),
                           cell(TypeTag::kByte, bytes[row]),
                           cell(TypeTag::kShort, static_cast<uint16_t>(shorts[row])),
                           cell(TypeTag::kLong, static_cast<uint64_t>(longs[row])),
                           cell(TypeTag::kFloat, float_bits(floats[row])),
                           cell(TypeTag::kDouble, double_bits(doubles[row])),
                           cell(TypeTag::kSubroutinePtr, routines[row]),
                           testing::TextCell(texts[row])};
    ASSERT_EQ(keys->AddRecord(values, 8), kOk);
  }
  for (const char* key : {"b", "s", "l", "f", "d", "r", "t"}) {
    SCOPED_TRACE(key);
    SortRequest request;
    request.target = dir.File("out.edb");
    request.key_names = {key};
    request.copy_fields = {"id"};
    ASSERT_EQ(keys->SortInto(request), kOk);
    EXPECT_EQ(Rows(dir.File("out.edb")), (std::vector<std::string>{"1:0", "2:1", "3:2"}));
    request.ascending = {false};
    ASSERT_EQ(keys->SortInto(request), kOk);
    EXPECT_EQ(Rows(dir.File("out.edb")), (std::vector<std::string>{"1:2", "2:1", "3:0"}));
  }
}

TEST_F(SortTest, EmptySourceAndBadRequests) {
  SortRequest request;
  request.target = dir_.File("t.edb");
  request.key_names = {"cat"};
  ASSERT_EQ(handle_->SortInto(request), kOk);
  EXPECT_TRUE(Rows(dir_.File("t.edb")).empty());

  SortRequest bad = request;
  bad.target.clear();
  EXPECT_EQ(handle_->SortInto(bad), kFileNotFound);
  bad = request;
  bad.key_names = {"note"};
  EXPECT_EQ(handle_->SortInto(bad), kBadKeyField);
  bad.key_names = {"nothing"};
  EXPECT_EQ(handle_->SortInto(bad), kBadKeyField);
  bad.key_names.clear();
  EXPECT_EQ(handle_->SortInto(bad), kBadKeyField);
  bad = request;
  bad.copy_fields = {"cat", "nothing"};
  EXPECT_EQ(handle_->SortInto(bad), kFieldNotFound);
  bad = request;
  bad.target = source_;
  EXPECT_EQ(handle_->SortInto(bad), kCreateFailed) << "never replaces its own source";
  bad.target = dir_.File("no/such/dir/t.edb");
  EXPECT_EQ(handle_->SortInto(bad), kInvalidPath);
}

TEST_F(SortTest, ReplacesAnExistingTargetAndKeepsThePassword) {
  testing::TempDir dir;
  testing::MustCreate(dir.File("p.edb"), {{"k", kFieldInt, 0}}, "pw");
  OpenOptions with_password;
  with_password.password = "pw";
  auto locked = testing::MustOpen(dir.File("p.edb"), with_password);
  ASSERT_TRUE(locked);
  for (int i = 3; i > 0; --i) {
    TypedValue values[] = {testing::IntCell(i)};
    ASSERT_EQ(locked->AddRecord(values, 1), kOk);
  }
  testing::WriteAll(dir.File("t.edb"), std::string(4000, 'z'));
  SortRequest request;
  request.target = dir.File("t.edb");
  request.key_names = {"k"};
  ASSERT_EQ(locked->SortInto(request), kOk);
  std::unique_ptr<DatabaseHandle> target;
  EXPECT_EQ(DatabaseHandle::Open(dir.File("t.edb"), {}, &target), kWrongPassword);
  EXPECT_EQ(DatabaseHandle::Open(dir.File("t.edb"), with_password, &target), kOk);
  int32_t count = 0;
  ASSERT_EQ(target->ReadRecordCount(&count), kOk);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(testing::SizeOf(dir.File("t.edb")), RecordsStart(1) + 3 * 8);
}

TEST_F(SortTest, ManyRecordsAcrossChunks) {
  testing::TempDir dir;
  testing::MustCreate(dir.File("big.edb"), {{"n", kFieldInt, 0}, {"pad", kFieldText, 3000}});
  auto big = testing::MustOpen(dir.File("big.edb"));
  const int kRecords = 200;  // 54 records per chunk
  for (int i = 0; i < kRecords; ++i) {
    TypedValue values[] = {testing::IntCell((i * 37) % kRecords)};
    ASSERT_EQ(big->AddRecord(values, 1), kOk);
  }
  SortRequest request;
  request.target = dir.File("sorted.edb");
  request.key_names = {"n"};
  ASSERT_EQ(big->SortInto(request), kOk);
  auto sorted = testing::MustOpen(dir.File("sorted.edb"));
  int32_t count = 0;
  ASSERT_EQ(sorted->ReadRecordCount(&count), kOk);
  ASSERT_EQ(count, kRecords);
  for (int i = 0; i < kRecords; ++i) {
    sorted->set_current_record(i);
    std::string bytes;
    ASSERT_EQ(sorted->ReadFieldBytes(0, &bytes), kOk);
    EXPECT_EQ(DecodeInt32(bytes.data()), i);
  }
}

// The target's MemoFile is built in memory; it must hold exactly the blocks that writing each
// copied chain into the new file one after the other gives, also past the piece size at which
// the blocks go to the file.
TEST_F(SortTest, TargetChainsMatchChainWritesBlockForBlock) {
  testing::TempDir dir;
  testing::MustCreate(
      dir.File("m.edb"),
      {{"k", kFieldInt, 0}, {"a", kFieldMemo, 0}, {"b", kFieldByteSet, 0}, {"c", kFieldMemo, 0}});
  auto source = testing::MustOpen(dir.File("m.edb"));
  const size_t kSizes[] = {0, 1, 60, 500, 501, 1000, 1500, 700000, 0, 650000, 333, 900000};
  const int kRecords = 24;
  std::vector<std::string> texts;
  for (int i = 0; i < kRecords; ++i) {
    std::string text(kSizes[i % 12], static_cast<char>('a' + i % 26));
    for (size_t j = 0; j < text.size(); j += 97) text[j] = static_cast<char>('A' + j % 26);
    texts.push_back(text);
  }
  for (int i = 0; i < kRecords; ++i) {
    // Keys in reverse, so that the target's chains come in another order than the source's.
    const std::string& second = texts[(i + 5) % kRecords];
    TypedValue values[] = {testing::IntCell(kRecords - i), testing::TextCell(texts[i]),
                           TypedValue{}, testing::TextCell(second)};
    ASSERT_EQ(source->AddRecord(values, 4), kOk);
  }
  SortRequest request;
  request.target = dir.File("t.edb");
  request.key_names = {"k"};
  request.condition = [&] {  // leaves out every third record
    return source->current_record() % 3 != 1;
  };
  ASSERT_EQ(source->SortInto(request), kOk);

  auto target = testing::MustOpen(dir.File("t.edb"));
  std::vector<std::string> problems;
  ASSERT_EQ(CheckDatabase(target.get(), &problems), kOk);
  EXPECT_TRUE(problems.empty()) << problems.front();

  // The reference: the same chains written through MemoFile into a fresh file.
  const std::string reference_path = dir.File("ref.edt");
  ASSERT_EQ(MemoFile::Create(reference_path, kFormatVersion, 0), kOk);
  LockPolicy policy;
  policy.lock_free = true;
  MemoFile reference(&policy);
  ASSERT_EQ(
      reference.Open(reference_path, OpenAccess::kRepairing, OpenShare::kDenyNone, kFormatVersion),
      kOk);
  int32_t count = 0;
  ASSERT_EQ(target->ReadRecordCount(&count), kOk);
  std::vector<int> kept;
  for (int i = kRecords - 1; i >= 0; --i) {
    if (i % 3 != 1) kept.push_back(i);
  }
  ASSERT_EQ(count, static_cast<int32_t>(kept.size()));
  for (int32_t r = 0; r < count; ++r) {
    const int i = kept[r];
    std::string record;
    ASSERT_EQ(target->ReadRecordBytes(r, &record), kOk);
    EXPECT_EQ(DecodeInt32(record.data()), r + 1);
    target->set_current_record(r);
    const std::string expected[] = {texts[i], std::string(), texts[(i + 5) % kRecords]};
    for (int f = 1; f <= 3; ++f) {
      std::string value;
      ASSERT_EQ(target->ReadFieldBytes(f, &value), kOk);
      EXPECT_EQ(value, expected[f - 1]) << "record " << r << " field " << f;
      uint32_t first = 0;
      ASSERT_EQ(reference.WriteChain(0, value, &first), kOk);
      EXPECT_EQ(DecodeFixed32(record.data() + target->fields()[f].offset), first);
    }
  }
  reference.Close();
  const std::string built = testing::ReadAll(dir.File("t.EDT"));
  const std::string written = testing::ReadAll(reference_path);
  ASSERT_GT(built.size(), size_t{4} << 20);
  // From the block count on (magic, version and creation time differ by design).
  ASSERT_EQ(built.size(), written.size());
  EXPECT_TRUE(built.compare(kMemoBlockCountOffset, std::string::npos, written,
                            kMemoBlockCountOffset, std::string::npos) == 0);
}

TEST_F(SortTest, ReplacedTargetKeepsItsNameOnDiskAndLeavesNothingBeside) {
  Add("b", 2, 1, "second");
  Add("a", 1, 2, "first");
  SortRequest request;
  request.target = dir_.File("t.mcn");
  request.key_names = {"cat"};
  ASSERT_EQ(handle_->SortInto(request), kOk);
  ASSERT_TRUE(std::rename(dir_.File("t.mcn").c_str(), dir_.File("T.MCN").c_str()) == 0);
  ASSERT_TRUE(std::rename(dir_.File("t.EDT").c_str(), dir_.File("T.edt").c_str()) == 0);
  request.ascending = {false};
  ASSERT_EQ(handle_->SortInto(request), kOk);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
    // The source's write journal lies beside it while it is open for writing.
    const std::string name = entry.path().filename().string();
    if (name.find(".~j") == std::string::npos) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"T.MCN", "T.edt", "s.EDT", "s.edb"}));
  const std::vector<std::string> rows = Rows(dir_.File("T.MCN"));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].substr(0, 6), "1:b:2:") << "the new, descending target";
  EXPECT_EQ(rows[1].substr(0, 6), "2:a:1:");
}

TEST_F(SortTest, TargetThatWouldReplaceTheSourcesMemoFileIsRefused) {
  Add("a", 1, 2, "kept");
  const std::string memo_before = testing::ReadAll(dir_.File("s.EDT"));
  SortRequest request;
  request.key_names = {"cat"};
  request.target = dir_.File("s.mcn");  // its MemoFile would be s.EDT, the source's
  EXPECT_EQ(handle_->SortInto(request), kCreateFailed);
  request.target = dir_.File("s.EDT");  // the source's MemoFile itself as the target
  EXPECT_EQ(handle_->SortInto(request), kCreateFailed);
  EXPECT_EQ(testing::ReadAll(dir_.File("s.EDT")), memo_before);
  EXPECT_FALSE(testing::Exists(dir_.File("s.mcn")));
  // Without memo fields in the target there is no MemoFile to clash.
  request.target = dir_.File("s.mcn");
  request.copy_fields = {"cat", "n"};
  EXPECT_EQ(handle_->SortInto(request), kOk);
  EXPECT_EQ(testing::ReadAll(dir_.File("s.EDT")), memo_before);
}

}  // namespace
}  // namespace memo::db
