#include "tests/crash/scenarios.h"

#include <cctype>

#include <gtest/gtest.h>

#include "db/coding.h"
#include "db/file_names.h"
#include "tests/support/test_util.h"

namespace memo::crash {
namespace {

Row Values(const std::string& k, int32_t n, std::string m, std::string f) {
  return Row{0, k, n, std::move(m), std::move(f)};
}

Op Add(Row values) {
  Op op;
  op.kind = Op::kAdd;
  op.values = std::move(values);
  return op;
}

Op Modify(int32_t position, unsigned given, Row values) {
  Op op;
  op.kind = Op::kModify;
  op.position = position;
  op.given = given;
  op.values = std::move(values);
  return op;
}

Op WriteField(int32_t position, int field, Row values) {
  Op op;
  op.kind = Op::kWriteField;
  op.position = position;
  op.field = field;
  op.values = std::move(values);
  return op;
}

Op Simple(Op::Kind kind, int32_t position = 0, int32_t count = 0) {
  Op op;
  op.kind = kind;
  op.position = position;
  op.count = count;
  return op;
}

// Marks records deleted by negating their serials in the file.
void MarkDeleted(const std::string& path, const std::vector<int32_t>& positions) {
  std::string bytes = db::testing::ReadAll(path);
  const uint64_t start = db::RecordsStart(4);
  const uint64_t size = db::DecodeInt32(bytes.data() + db::kRecordSizeOffset);
  for (int32_t position : positions) {
    char* serial = bytes.data() + start + size * static_cast<uint64_t>(position);
    db::EncodeInt32(serial, -db::DecodeInt32(serial));
  }
  db::testing::WriteAll(path, bytes);
}

void Run(db::DatabaseHandle* handle, const Op& op) {
  db::EngineCode rc = Apply(handle, op);
  if (rc != db::kOk) ADD_FAILURE() << "building: " << KindName(op.kind) << " failed with " << rc;
}

}  // namespace

void BuildBase(Base base, const std::string& path) {
  const bool large = base == Base::kLarge || base == Base::kLargeDeleted;
  CreateTable(path, large ? 2000 : 8);
  db::OpenOptions alone;
  alone.share = db::OpenShare::kDenyBoth;  // nobody else has it: no locks, quick to build
  {
    std::unique_ptr<db::DatabaseHandle> handle = db::testing::MustOpen(path, alone);
    if (!handle) return;
    if (large) {
      for (int32_t i = 0; i < 300; ++i) {
        Run(handle.get(),
            Add(Values(Text(1990 + i % 7, i), i, i % 10 == 0 ? Text(600 + i % 7, i) : "", "")));
      }
    } else {
      // Blocks: 1 | 2-4, 5-6 | 7 | 8-13 | 14-16 | 17, 18 | 19-22.
      Run(handle.get(), Add(Values("r0", 0, Text(100, 0), "")));
      Run(handle.get(), Add(Values("r1", 1, Text(1200, 1), Text(600, 2))));
      Run(handle.get(), Add(Values("r2", 2, "", Text(30, 3))));
      Run(handle.get(), Add(Values("r3", 3, Text(2600, 4), "")));
      Run(handle.get(), Add(Values("r4", 4, Text(1500, 5), "")));
      Run(handle.get(), Add(Values("r5", 5, Text(200, 6), Text(10, 7))));
      Run(handle.get(), Add(Values("r6", 6, Text(1700, 8), "")));
      Run(handle.get(), Modify(4, 4, Values("", 0, "", "")));  // free list 14, 15, 16
      if (base == Base::kSmallTailFree) {
        Run(handle.get(), Modify(5, 12, Values("", 0, "", "")));  // 17, 18 join the front
      }
    }
  }
  if (base == Base::kSmallDeleted) MarkDeleted(path, {0, 3, 5});
  if (base == Base::kLargeDeleted) {
    std::vector<int32_t> positions;
    for (int32_t i = 0; i < 300; ++i) {
      if (i % 3 == 1 || (i >= 30 && i < 180)) positions.push_back(i);
    }
    MarkDeleted(path, positions);
  }
}

std::vector<Scenario> WriteScenarios(bool include_large) {
  std::vector<Scenario> s = {
      // Appends take the three free blocks whole, then new blocks past the end.
      {"add a long memo", Base::kSmall, Add(Values("new", 7, Text(20000, 20), Text(700, 21)))},
      // Only part of the free list: its new head's back link changes.
      {"add a short memo", Base::kSmall, Add(Values("new", 7, Text(300, 22), ""))},
      {"append blank", Base::kSmall, Simple(Op::kAppendBlank)},
      // Grows one chain into the free list while the other field's chain is freed.
      {"modify grow and empty", Base::kSmall, Modify(1, 15, Values("m1", 11, Text(3000, 23), ""))},
      // Shrinks in the middle: the surplus joins a non-empty list (its head gets a new link).
      {"modify shrink in the middle", Base::kSmall, Modify(3, 4, Values("", 0, Text(700, 24), ""))},
      // Frees the last chain: trailing blocks trimmed.
      {"modify empty at the end", Base::kSmall, Modify(6, 4, Values("", 0, "", ""))},
      // The same with free-list blocks right below it, unlinked by the trim.
      {"modify empty above free blocks", Base::kSmallTailFree, Modify(6, 4, Values("", 0, "", ""))},
      // Three blocks rewritten in place.
      {"modify same size in place", Base::kSmall, Modify(1, 4, Values("", 0, Text(1200, 25), ""))},
      {"modify fixed fields", Base::kSmall, Modify(2, 3, Values("fixed", 99, "", ""))},
      {"write field grow", Base::kSmall, WriteField(2, 3, Values("", 0, "", Text(5000, 26)))},
      {"write field empty", Base::kSmall, WriteField(3, 2, Values("", 0, "", ""))},
      {"pack range", Base::kSmall, Simple(Op::kPackRange, 1, 2)},
      {"pack deleted", Base::kSmallDeleted, Simple(Op::kPackDeleted)},
      {"clear", Base::kSmall, Simple(Op::kClear)},
  };
  if (include_large) {
    s.push_back({"pack one record of many", Base::kLarge, Simple(Op::kPackRange, 20, 1)});
    s.push_back({"pack a long range", Base::kLarge, Simple(Op::kPackRange, 20, 150)});
    s.push_back({"pack many deleted", Base::kLargeDeleted, Simple(Op::kPackDeleted)});
  }
  return s;
}

std::string Prepare(const Scenario& scenario, const std::string& path, const std::string& scratch,
                    PreparedScenario* out) {
  out->path = path;
  out->scratch = scratch;
  BuildBase(scenario.base, path);
  out->base = Snapshot::Take(path);
  const std::string why = ReadRows(path, db::OpenAccess::kReadOnly, &out->before);
  if (!why.empty()) return "before: " + why;
  out->after = RowsAfter(out->base, scratch, scenario.op);
  return "";
}

std::string ScenarioTestName(const Scenario& scenario) {
  std::string name;
  for (char c : scenario.name) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
}

}  // namespace memo::crash
