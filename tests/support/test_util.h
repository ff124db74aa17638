// Helpers shared by the database engine tests: a scratch directory, whole-file reads and writes,
// and small builders for databases with given fields.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "db/create.h"
#include "db/database.h"
#include "db/record_format.h"
#include "platform/posix/syscalls.h"
#include "runtime/value.h"
#include "tests/support/gbk.h"
#include "tests/support/temp_dir.h"

namespace memo::db::testing {

// A fresh directory, removed with its contents at the end of the scope (tests/support/temp_dir.h).
using ::memo::testing::TempDir;

// Changes the current directory for a scope.
class ScopedChdir {
 public:
  explicit ScopedChdir(const std::string& dir);
  ~ScopedChdir();
  ScopedChdir(const ScopedChdir&) = delete;
  ScopedChdir& operator=(const ScopedChdir&) = delete;

 private:
  std::string previous_;
};

// While in scope, the clock that lock retries read and sleep on (TickCount, SleepMs) is one that
// only those sleeps move: a wait of seconds passes at once, and the test sees every sleep. It
// starts a little before the millisecond tick wraps round. One at a time; no other thread may use
// files meanwhile.
class VirtualClock {
 public:
  VirtualClock();
  ~VirtualClock();
  VirtualClock(const VirtualClock&) = delete;
  VirtualClock& operator=(const VirtualClock&) = delete;

  // The length of each sleep so far, in milliseconds, and their sum.
  const std::vector<uint32_t>& sleeps() const { return sleeps_; }
  uint64_t slept_ms() const;
  // Runs after each sleep with the number of sleeps so far (a test lets a lock go there).
  std::function<void(size_t)> after_sleep;

 private:
  static int ClockGettime(clockid_t clock, struct timespec* now);
  static int Nanosleep(const struct timespec* wanted, struct timespec* left);

  platform::posix::SyscallTable previous_;
  uint64_t now_ns_;
  std::vector<uint32_t> sleeps_;
};

std::string ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
uint64_t SizeOf(const std::string& path);

// GBK bytes of a UTF-8 literal (tests/support/gbk.h).
using ::memo::testing::G;

// Creates a database that must succeed.
void MustCreate(const std::string& path, const std::vector<FieldSpec>& fields,
                const std::string& password = std::string());

// Opens a handle that must succeed (access 0, share 1 unless given).
std::unique_ptr<DatabaseHandle> MustOpen(const std::string& path, OpenOptions options = {});

// Value cells that borrow their blocks (text cells point at the string's bytes).
TypedValue TextCell(const std::string& text);
TypedValue TextCell(const char* text);
TypedValue TextCell(std::string&&) = delete;  // the cell would outlive the string
TypedValue IntCell(int32_t v);
TypedValue DoubleCell(double v);
TypedValue BoolCell(bool v);
TypedValue DateTimeCell(double day_number);

// Reads a field of the current record as bytes (text, memo) and expects success.
std::string FieldText(DatabaseHandle* handle, const std::string& field_utf8);

// The memo-table layout of the program (分类 text 10, 时间 date-time, 记事 memo, 跟进 memo).
std::vector<FieldSpec> MemoTableFields();

// Little-endian reads of a file's bytes.
int32_t I32At(const std::string& bytes, size_t at);
double F64At(const std::string& bytes, size_t at);

}  // namespace memo::db::testing
