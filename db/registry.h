// DatabaseRegistry: the process-wide list of databases opened by the database commands, in opening
// order, with the current one; and the per-thread last-error cell.
//
// The registry has no lock of its own: the program has one thread. The last-error cell is per
// thread. Handles opened directly (a database provider's own handle) are not entered here and never
// become current.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "db/database.h"

namespace memo::db {

class DatabaseRegistry {
 public:
  static DatabaseRegistry& Instance();

  DatabaseRegistry() = default;
  DatabaseRegistry(const DatabaseRegistry&) = delete;
  DatabaseRegistry& operator=(const DatabaseRegistry&) = delete;

  // Opens a database and appends it; it becomes current. Before the open: -3 for an empty name,
  // -24 for a non-empty alias that is not a valid name, -38 when a database with the same full
  // path (compared ignoring case) is open already. Otherwise the DatabaseHandle::Open codes. On
  // failure the registry and the current database are unchanged.
  EngineCode Open(std::string_view name, std::string_view alias, const OpenOptions& options);

  // Position of the database a name refers to, or -1: the current one for an empty name;
  // otherwise, ignoring case, the newest with that alias (empty aliases skipped), then the newest
  // with that title, then the newest with that full path.
  int Find(std::string_view name) const;

  // Closes a database (releasing its locks and files) and removes it; the current index follows.
  // A name that is not open, or an empty name with no current database, does nothing.
  void Close(std::string_view name);
  void CloseAt(int index);
  void CloseAll();

  DatabaseHandle* Current() const;
  int current_index() const { return current_; }
  int size() const { return static_cast<int>(handles_.size()); }
  DatabaseHandle* At(int index) const;

 private:
  std::vector<std::unique_ptr<DatabaseHandle>> handles_;
  int current_ = -1;
};

// The calling thread's last-error cell: the engine code of its latest database command.
EngineCode LastError();
void SetLastError(EngineCode code);

}  // namespace memo::db
