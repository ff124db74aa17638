// Fuzzes the reader of record files and memo files: open with every check, read every field of
// every record, and run the integrity walk of `mcn check`.
//
// Input: u32 little-endian L, then L bytes of record file, then the memo file's bytes (none: no
// memo file). Bit 31 of L opens with access 0, which allows the reader's repairs (the count
// lowered and written back, the file cut); otherwise access 1 (read-only). Bit 30 opens for
// writing (access 2 unless bit 31 asks for 0) and, after the reads, adds a record with a value
// for every field, rewrites memo chains longer and shorter, packs and sorts: every writer must
// meet damaged chains and free lists with an error code, never a crash or a hang. The rest of L,
// clamped to the input, is the record file's length. fuzz/pack_seed.sh makes such inputs.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/check.h"
#include "db/database.h"
#include "db/engine_code.h"
#include "db/images.h"
#include "runtime/heap.h"

namespace {

std::string g_dir;
std::string g_record_path;
std::string g_memo_path;

void RemoveScratch() {
  unlink(g_record_path.c_str());
  unlink(g_memo_path.c_str());
  unlink((g_dir + "/s.mcn").c_str());
  unlink((g_dir + "/s.EDT").c_str());
  rmdir(g_dir.c_str());
}

bool WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) return false;
  bool ok = size == 0 || write(fd, data, size) == static_cast<ssize_t>(size);
  close(fd);
  return ok;
}

// Writes one input in the target's layout.
void WriteSeed(const std::string& path, std::string_view record, std::string_view memo,
               bool repair) {
  uint32_t word = static_cast<uint32_t>(record.size()) | (repair ? 0x80000000u : 0);
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[static_cast<size_t>(i)] = static_cast<char>(word >> (8 * i));
  bytes.append(record);
  bytes.append(memo);
  WriteFile(path, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// A value of each field's kind; texts and byte-sets point into `storage`.
std::vector<memo::TypedValue> ValuesFor(const memo::db::DatabaseHandle& handle, size_t chain_bytes,
                                        std::vector<std::string>* storage) {
  using memo::TypeTag;
  std::vector<memo::TypedValue> values;
  storage->clear();
  storage->reserve(static_cast<size_t>(handle.field_count()));
  for (const memo::db::FieldDescriptor& field : handle.fields()) {
    memo::TypedValue value;
    value.tag = memo::db::FieldValueTag(field.type);
    switch (field.type) {
      case memo::db::kFieldText:
        storage->push_back("text \xd6\xd0\xce\xc4 longer than most fields");
        value.SetPointer(storage->back().c_str());
        break;
      case memo::db::kFieldMemo:
        storage->push_back(std::string(chain_bytes, 'm'));
        value.SetPointer(storage->back().c_str());
        break;
      case memo::db::kFieldByteSet: {
        std::string block(8 + chain_bytes, 'b');
        int32_t header[2] = {1, static_cast<int32_t>(chain_bytes)};
        std::memcpy(block.data(), header, sizeof header);
        storage->push_back(std::move(block));
        value.SetPointer(storage->back().data());
        break;
      }
      case memo::db::kFieldDateTime: value.SetDouble(41830.5); break;
      default: value.low = 7; break;
    }
    values.push_back(value);
  }
  return values;
}

// Writers on whatever the open let through.
void Write(memo::db::DatabaseHandle* handle, int32_t count) {
  std::vector<std::string> storage;
  std::vector<memo::TypedValue> longer = ValuesFor(*handle, 1234, &storage);
  IgnoreCode(handle->AddRecord(longer.data(), static_cast<int>(longer.size())));
  if (count > 0) {
    handle->set_current_record(0);
    std::vector<std::string> short_storage;
    std::vector<memo::TypedValue> shorter = ValuesFor(*handle, 17, &short_storage);
    IgnoreCode(handle->ModifyRecord(shorter.data(), static_cast<int>(shorter.size())));
    handle->set_current_record(count / 2);
    IgnoreCode(handle->ModifyRecord(longer.data(), static_cast<int>(longer.size())));
  }
  for (int f = 0; f < handle->field_count(); ++f) {
    if (!memo::db::IsChainField(handle->fields()[static_cast<size_t>(f)].type)) continue;
    memo::db::SortRequest request;
    request.target = g_dir + "/s.mcn";
    for (const memo::db::FieldDescriptor& field : handle->fields()) {
      if (!memo::db::IsChainField(field.type)) {
        request.key_names.push_back(field.Name());
        break;
      }
    }
    if (!request.key_names.empty()) IgnoreCode(handle->SortInto(request));
    unlink((g_dir + "/s.mcn").c_str());
    unlink((g_dir + "/s.EDT").c_str());
    break;
  }
  if (count > 1) IgnoreCode(handle->PackRange(count - 1, 1));
  IgnoreCode(handle->PackDeleted());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // MEMO_FUZZ_WRITE_IMAGE_SEEDS=DIR writes the carried images as seeds into DIR and exits
  // (fuzz/make_seeds.sh uses it).
  if (const char* seed_dir = std::getenv("MEMO_FUZZ_WRITE_IMAGE_SEEDS")) {
    std::string dir = seed_dir;
    WriteSeed(dir + "/image_memo_table", memo::db::MemoTableImageBytes(),
              memo::db::MemoFileImageBytes(), false);
    WriteSeed(dir + "/image_memo_table_repair", memo::db::MemoTableImageBytes(),
              memo::db::MemoFileImageBytes(), true);
    WriteSeed(dir + "/image_accounts", memo::db::AccountsImageBytes(), {}, false);
    WriteSeed(dir + "/image_accounts_repair", memo::db::AccountsImageBytes(), {}, true);
    std::exit(0);
  }
  // Files on tmpfs when there is one: the target writes two files per input.
  std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  std::string pattern = base + "/memo-fuzz-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) std::abort();
  g_dir = buffer.data();
  g_record_path = g_dir + "/f.mcn";
  g_memo_path = g_dir + "/f.edt";
  std::atexit(RemoveScratch);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using memo::db::DatabaseHandle;
  if (size < 4) return 0;
  uint32_t word = static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
                  static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
  bool repair = (word & 0x80000000u) != 0;
  bool write = (word & 0x40000000u) != 0;
  size_t record_size = std::min<size_t>(word & 0x3FFFFFFFu, size - 4);
  const uint8_t* record = data + 4;
  const uint8_t* memo = record + record_size;
  size_t memo_size = size - 4 - record_size;

  if (!WriteFile(g_record_path, record, record_size)) return 0;
  unlink(g_memo_path.c_str());
  if (memo_size > 0 && !WriteFile(g_memo_path, memo, memo_size)) return 0;

  memo::db::OpenOptions options;
  options.access = repair  ? memo::db::OpenAccess::kRepairing
                   : write ? memo::db::OpenAccess::kReadWrite
                           : memo::db::OpenAccess::kReadOnly;
  options.share = memo::db::OpenShare::kDenyNone;
  std::unique_ptr<DatabaseHandle> handle;
  if (DatabaseHandle::Open(g_record_path, options, &handle) != memo::db::kOk) return 0;

  int32_t count = 0;
  if (handle->ReadRecordCount(&count) == memo::db::kOk) {
    for (int32_t position = 0; position < count; ++position) {
      handle->set_current_record(position);
      for (int f = 0; f < handle->field_count(); ++f) {
        memo::TypedValue value;
        IgnoreCode(handle->ReadField(f, &value));
        memo::ReleaseValue(&value);
      }
    }
    // The database commands also step with skip; past both ends it must refuse cleanly.
    handle->set_current_record(count);
    IgnoreCode(handle->Skip(1));
    handle->set_current_record(-1);
    IgnoreCode(handle->Skip(-1));
  }
  // A header may declare records of up to 2 GB, and every add, modify and pack then moves whole
  // records: legal, but each input would allocate and write gigabytes (the engine answers -45
  // where the memory cannot be had). The writers run on records up to 1 MB.
  if (write && handle->record_size() <= (1 << 20)) Write(handle.get(), count);
  std::vector<std::string> problems;
  memo::db::CheckDatabase(handle.get(), &problems);
  handle->Close();
  return 0;
}
