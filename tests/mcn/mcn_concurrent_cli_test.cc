// dump while another process rewrites records and their memos: every row printed is one state
// of its record (its fields all from one write), never pieces of two. The writer keeps every
// record self-consistent: field i holds a version v, name "v" and v in seven digits, and the
// memo that name with "|" repeated a number of times that v decides (1..400 times, 9 to 3600
// bytes, one to eight blocks, so chains grow, shrink and move between writes).
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "db/database.h"
#include "runtime/value.h"
#include "tests/mcn/mcn_fixture.h"

namespace memo::mcn::testing {
namespace {

constexpr int kRecords = 3000;  // 112-byte records: three chunks
// The records the writer rewrites, over and over: a few, so that the dump meets writes to the
// record it is reading; some at the edges of the chunks (1462 records to a chunk).
constexpr int kRewritten[] = {0, 1, 2, 700, 1461, 1462, 1463, 2923, 2924, 2999};

std::string Name(int version) {
  char name[16];
  std::snprintf(name, sizeof name, "v%07d", version % 10000000);
  return name;
}

int Repeats(int version) { return 1 + (version * 13) % 400; }

std::string MemoText(int version) {
  std::string memo;
  for (int k = Repeats(version); k > 0; --k) memo += Name(version) + "|";
  return memo;
}

// Empty when the row (serial, deleted, i, name, memo) is whole, else what is wrong.
std::string RowProblem(const std::string& row) {
  std::vector<std::string> cells;
  size_t start = 0;
  for (size_t comma; (comma = row.find(',', start)) != std::string::npos; start = comma + 1) {
    cells.push_back(row.substr(start, comma - start));
  }
  cells.push_back(row.substr(start));
  if (cells.size() != 5) return "not five cells: " + row.substr(0, 80);
  if (cells[1] != "false") return "deleted is " + cells[1];
  const int version = std::stoi(cells[2]);
  if (cells[3] != Name(version)) return "name " + cells[3] + " with version " + cells[2];
  if (cells[4] != MemoText(version)) {
    return "memo of " + std::to_string(cells[4].size()) + " bytes with version " + cells[2];
  }
  return "";
}

// Rewrites the records of kRewritten in turn until `stop` reaches its end; reports its first
// write on `ready`. Exits with 0, or 1 when a write failed.
[[noreturn]] void Writer(const std::string& path, int ready, int stop) {
  db::OpenOptions options;
  options.lock_wait_ms = db::kWaitForever;
  std::unique_ptr<db::DatabaseHandle> handle;
  if (db::DatabaseHandle::Open(path, options, &handle) != db::kOk) _exit(1);
  for (int version = 1;; ++version) {
    const int record = kRewritten[version % std::size(kRewritten)];
    const std::string name = Name(version);
    const std::string memo = MemoText(version);
    TypedValue values[3];
    values[0].tag = TypeTag::kInt;
    values[0].low = static_cast<uint32_t>(version);
    values[1].tag = TypeTag::kText;
    values[1].SetPointer(name.c_str());
    values[2].tag = TypeTag::kText;
    values[2].SetPointer(memo.c_str());
    handle->set_current_record(record);
    if (handle->ModifyRecord(values, 3) != db::kOk) _exit(1);
    if (version == 1) {
      (void)!write(ready, "w", 1);
      close(ready);
    }
    pollfd ended{stop, POLLIN, 0};
    if (poll(&ended, 1, 0) > 0) _exit(0);
  }
}

class ConcurrentTest : public McnTest {
 protected:
  // kRecords records of version 0.
  void MakeTable() {
    ASSERT_EQ(dir_.Run({"create", "c.mcn", "i:int", "name:text:100", "note:memo"}).exit_code, 0);
    std::string csv = "i,name,note\n";
    for (int r = 0; r < kRecords; ++r) csv += "0," + Name(0) + "," + MemoText(0) + "\n";
    WriteWholeFile(dir_ / "rows.csv", csv);
    McnResult import = dir_.Run({"import", "c.mcn", "rows.csv"});
    ASSERT_EQ(import.exit_code, 0) << import.err;
  }

  // Returns once the writer has made its first write.
  void StartWriter() {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(stop_), 0);
    writer_ = fork();
    if (writer_ == 0) {
      close(ready[0]);
      close(stop_[1]);
      Writer((dir_ / "c.mcn").string(), ready[1], stop_[0]);
    }
    ASSERT_GT(writer_, 0);
    close(ready[1]);
    close(stop_[0]);
    char first = 0;
    ASSERT_EQ(read(ready[0], &first, 1), 1) << "the writer failed before its first write";
    close(ready[0]);
  }

  // Stops the writer at its next write; true when every write succeeded.
  bool StopWriter() {
    if (writer_ <= 0) return false;
    close(stop_[1]);
    int status = 0;
    const bool waited = waitpid(writer_, &status, 0) == writer_;
    writer_ = -1;
    return waited && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

  void TearDown() override {
    if (writer_ > 0) StopWriter();
  }

  // The dump's rows; each must be whole.
  int CheckRows(const std::string& dump, const std::string& label, int* changed = nullptr) {
    int rows = 0;
    size_t start = dump.find("\r\n") + 2;  // after the heading
    for (size_t end; (end = dump.find("\r\n", start)) != std::string::npos; start = end + 2) {
      const std::string row = dump.substr(start, end - start);
      EXPECT_EQ(RowProblem(row), "") << label;
      if (changed != nullptr && row.find("," + Name(0) + ",") == std::string::npos) ++*changed;
      ++rows;
    }
    return rows;
  }

  pid_t writer_ = -1;
  int stop_[2] = {-1, -1};
};

TEST_F(ConcurrentTest, DumpNeverPrintsATornRowWhileAnotherProcessRewritesRecords) {
  MakeTable();
  StartWriter();
  for (int round = 0; round < 4; ++round) {
    McnResult dump = dir_.Run({"dump", "c.mcn", "--csv"});
    ASSERT_EQ(dump.exit_code, 0) << dump.err;
    EXPECT_EQ(CheckRows(dump.out, "round " + std::to_string(round)), kRecords);
  }
  EXPECT_TRUE(StopWriter()) << "a write failed";
  // Once it has stopped: its changes are there, every record whole.
  McnResult last = dir_.Run({"dump", "c.mcn", "--csv"});
  EXPECT_EQ(last.exit_code, 0) << last.err;
  int changed = 0;
  EXPECT_EQ(CheckRows(last.out, "after", &changed), kRecords);
  EXPECT_GT(changed, 0);
}

// The check reads the memo file's links in large reads under the whole-file lock, which keeps
// every chain writer out: it never sees a chain or the free list half-way through a change.
TEST_F(ConcurrentTest, CheckFindsNothingWrongWhileAnotherProcessRewritesMemos) {
  MakeTable();
  StartWriter();
  for (int round = 0; round < 4; ++round) {
    McnResult check = dir_.Run({"check", "c.mcn"});
    EXPECT_EQ(check.exit_code, 0) << check.out << check.err;
    EXPECT_TRUE(Contains(check.out, "ok: " + std::to_string(kRecords) + " records, no damage") ||
                Contains(check.out, "ok: " + std::to_string(kRecords) + " records, no problems"))
        << check.out;
    EXPECT_FALSE(Contains(check.out, "damage:")) << check.out;
    EXPECT_FALSE(Contains(check.out, "leak")) << check.out;
  }
  EXPECT_TRUE(StopWriter()) << "a write failed";
}

}  // namespace
}  // namespace memo::mcn::testing
