#include "app/query_origins.h"

#include <cstdlib>
#include <string>
#include <utility>

#include "app/window_units.h"
#include "data/db_provider.h"
#include "db/coding.h"
#include "db/database.h"
#include "db/engine_code.h"
#include "ui/data_units/data_units.h"
#include "ui/window/window_runtime.h"

namespace memo::app {

namespace {

namespace mw = main_window;

// What the last query's sort said, and the count and next serial of the copy it wrote.
struct QueryOrigins {
  bool known = false;
  int32_t count = 0;
  int32_t next_serial = 0;
  std::vector<int32_t> origins;
};

QueryOrigins& Remembered() {
  static QueryOrigins remembered;
  return remembered;
}

// The handle of the file the main grid shows, or null.
db::DatabaseHandle* ShownHandle() {
  db::DBProvider* provider = ui::ProviderOfUnit(ui::FindUnitObject(mw::kWindow, mw::kProvider));
  return provider != nullptr && provider->connected() ? provider->handle() : nullptr;
}

// The serial of the record at `position` (0-based) of `handle`, read under its lock; 0 on failure.
int32_t SerialAt(db::DatabaseHandle* handle, int32_t position) {
  std::string record;
  if (handle->ReadRecordBytes(position, &record) != db::kOk || record.size() < 4) return 0;
  return db::DecodeInt32(record.data());
}

}  // namespace

void RememberQueryOrigins(std::vector<int32_t> origins) {
  QueryOrigins& r = Remembered();
  r.count = static_cast<int32_t>(origins.size());
  r.next_serial = r.count + 1;  // a sort numbers its records 1 .. N
  r.origins = std::move(origins);
  r.known = true;
}

void ForgetQueryOrigins() {
  QueryOrigins& r = Remembered();
  r.known = false;
  r.origins.clear();
  r.origins.shrink_to_fit();
}

int32_t QueryRowOrigin(int32_t row) {
  QueryOrigins& r = Remembered();
  if (!r.known || row < 1) return 0;
  db::DatabaseHandle* handle = ShownHandle();
  if (handle == nullptr) return 0;
  int32_t count = 0, next_serial = 0;
  if (handle->ReadRecordCount(&count, &next_serial) != db::kOk) return 0;
  if (count != r.count || next_serial != r.next_serial) {
    ForgetQueryOrigins();
    return 0;
  }
  const int32_t serial = SerialAt(handle, row - 1);
  const int64_t number = std::llabs(int64_t{serial});
  if (number < 1 || number > static_cast<int64_t>(r.origins.size())) return 0;
  const int32_t origin = r.origins[static_cast<size_t>(number - 1)];
  // The sort marks a copy deleted exactly when its source was: another sign is another record.
  if ((serial < 0) != (origin < 0)) return 0;
  return origin;
}

void QueryRowDeleted() {
  QueryOrigins& r = Remembered();
  if (r.known) --r.count;
}

int32_t RowOfSerial(int32_t serial) {
  db::DatabaseHandle* handle = ShownHandle();
  if (handle == nullptr || serial == 0) return 0;
  const int64_t wanted = std::llabs(int64_t{serial});
  int32_t count = 0;
  if (handle->ReadRecordCount(&count) != db::kOk) return 0;
  int32_t low = 0, high = count - 1;
  while (low <= high) {
    const int32_t middle = low + (high - low) / 2;
    const int32_t found = SerialAt(handle, middle);
    if (found == 0) return 0;  // unreadable, or gone since the count was read
    const int64_t number = std::llabs(int64_t{found});
    if (number == wanted) return middle + 1;
    if (number < wanted) {
      low = middle + 1;
    } else {
      high = middle - 1;
    }
  }
  return 0;
}

int32_t RowSerial(int32_t row) {
  db::DatabaseHandle* handle = ShownHandle();
  if (handle == nullptr || row < 1) return 0;
  return SerialAt(handle, row - 1);
}

}  // namespace memo::app
