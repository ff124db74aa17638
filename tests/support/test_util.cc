#include "tests/support/test_util.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "db/coding.h"
#include "db/engine_code.h"
#include "runtime/literal.h"

namespace memo::db::testing {

ScopedChdir::ScopedChdir(const std::string& dir) {
  char buffer[4096];
  if (getcwd(buffer, sizeof buffer) != nullptr) previous_ = buffer;
  if (chdir(dir.c_str()) != 0) ADD_FAILURE() << "chdir " << dir;
}

ScopedChdir::~ScopedChdir() {
  if (!previous_.empty() && chdir(previous_.c_str()) != 0) ADD_FAILURE() << "chdir back";
}

namespace {
VirtualClock* g_clock = nullptr;
}  // namespace

VirtualClock::VirtualClock() : now_ns_((uint64_t{1} << 32) * 1000000u - 100000000u) {
  if (g_clock != nullptr) ADD_FAILURE() << "one virtual clock at a time";
  g_clock = this;
  platform::posix::SyscallTable table = platform::posix::Syscalls();
  table.clock_gettime = ClockGettime;
  table.nanosleep = Nanosleep;
  previous_ = platform::posix::InstallSyscalls(table);
}

VirtualClock::~VirtualClock() {
  platform::posix::InstallSyscalls(previous_);
  g_clock = nullptr;
}

uint64_t VirtualClock::slept_ms() const {
  uint64_t total = 0;
  for (uint32_t ms : sleeps_) total += ms;
  return total;
}

int VirtualClock::ClockGettime(clockid_t, struct timespec* now) {
  now->tv_sec = static_cast<time_t>(g_clock->now_ns_ / 1000000000u);
  now->tv_nsec = static_cast<long>(g_clock->now_ns_ % 1000000000u);
  return 0;
}

int VirtualClock::Nanosleep(const struct timespec* wanted, struct timespec* left) {
  const uint64_t ns =
      static_cast<uint64_t>(wanted->tv_sec) * 1000000000u + static_cast<uint64_t>(wanted->tv_nsec);
  g_clock->now_ns_ += ns;
  g_clock->sleeps_.push_back(static_cast<uint32_t>(ns / 1000000u));
  if (left != nullptr) *left = timespec{};
  if (g_clock->after_sleep) g_clock->after_sleep(g_clock->sleeps_.size());
  return 0;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

uint64_t SizeOf(const std::string& path) {
  std::error_code error;
  auto size = std::filesystem::file_size(path, error);
  return error ? 0 : size;
}

void MustCreate(const std::string& path, const std::vector<FieldSpec>& fields,
                const std::string& password) {
  int rc = CreateDatabase(path, fields, password);
  ASSERT_EQ(rc, kOk) << EngineMessageUtf8(rc);
}

std::unique_ptr<DatabaseHandle> MustOpen(const std::string& path, OpenOptions options) {
  std::unique_ptr<DatabaseHandle> handle;
  int rc = DatabaseHandle::Open(path, options, &handle);
  EXPECT_EQ(rc, kOk) << path << ": " << EngineMessageUtf8(rc);
  return handle;
}

TypedValue TextCell(const std::string& text) {
  TypedValue cell;
  cell.tag = TypeTag::kText;
  cell.SetPointer(text.c_str());
  return cell;
}

TypedValue TextCell(const char* text) {
  TypedValue cell;
  cell.tag = TypeTag::kText;
  cell.SetPointer(text);
  return cell;
}

TypedValue IntCell(int32_t v) {
  TypedValue cell;
  cell.tag = TypeTag::kInt;
  cell.low = static_cast<uint32_t>(v);
  return cell;
}

TypedValue DoubleCell(double v) {
  TypedValue cell;
  cell.tag = TypeTag::kDouble;
  cell.SetDouble(v);
  return cell;
}

TypedValue BoolCell(bool v) {
  TypedValue cell;
  cell.tag = TypeTag::kBool;
  cell.low = v ? 1 : 0;
  return cell;
}

TypedValue DateTimeCell(double day_number) {
  TypedValue cell;
  cell.tag = TypeTag::kDateTime;
  cell.SetDouble(day_number);
  return cell;
}

std::string FieldText(DatabaseHandle* handle, const std::string& field_utf8) {
  int index = handle->FindField(G(field_utf8.c_str()));
  EXPECT_GE(index, 0) << field_utf8;
  std::string bytes;
  int rc = handle->ReadFieldBytes(index, &bytes);
  EXPECT_EQ(rc, kOk) << EngineMessageUtf8(rc);
  return bytes;
}

std::vector<FieldSpec> MemoTableFields() {
  return {{G("分类"), kFieldText, 10},
          {G("时间"), kFieldDateTime, 0},
          {G("记事"), kFieldMemo, 0},
          {G("跟进"), kFieldMemo, 0}};
}

int32_t I32At(const std::string& bytes, size_t at) {
  if (at + 4 > bytes.size()) {
    ADD_FAILURE() << "reading 4 bytes at " << at << " of " << bytes.size();
    return 0;
  }
  return DecodeInt32(bytes.data() + at);
}

double F64At(const std::string& bytes, size_t at) {
  if (at + 8 > bytes.size()) {
    ADD_FAILURE() << "reading 8 bytes at " << at << " of " << bytes.size();
    return 0;
  }
  return DecodeDouble(bytes.data() + at);
}

}  // namespace memo::db::testing
