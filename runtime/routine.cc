// The process-wide routine tables behind SubStatement and SubroutinePtr cells.
#include "runtime/routine.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace memo {
namespace {

// Index i + 1 names entries[i]. Entries are only ever appended.
template <typename Routine>
class RoutineTable {
 public:
  uint32_t Register(Routine routine) {
    if (routine == nullptr) return 0;
    std::lock_guard lock(mutex_);
    auto it = std::find(entries_.begin(), entries_.end(), routine);
    if (it != entries_.end()) return static_cast<uint32_t>(it - entries_.begin()) + 1;
    entries_.push_back(routine);
    return static_cast<uint32_t>(entries_.size());
  }

  Routine Find(uint32_t index) {
    std::lock_guard lock(mutex_);
    if (index == 0 || index > entries_.size()) return nullptr;
    return entries_[index - 1];
  }

 private:
  std::mutex mutex_;
  std::vector<Routine> entries_;
};

RoutineTable<SubStatementRoutine>& SubStatements() {
  static auto* table = new RoutineTable<SubStatementRoutine>;  // lives until the process ends
  return *table;
}

RoutineTable<Subroutine>& Subroutines() {
  static auto* table = new RoutineTable<Subroutine>;  // lives until the process ends
  return *table;
}

}  // namespace

uint32_t RegisterSubStatement(SubStatementRoutine routine) {
  return SubStatements().Register(routine);
}

uint32_t RegisterSubroutine(Subroutine routine) { return Subroutines().Register(routine); }

SubStatementRoutine FindSubStatement(uint32_t index) { return SubStatements().Find(index); }

Subroutine FindSubroutine(uint32_t index) { return Subroutines().Find(index); }

TypedValue SubStatementValue(SubStatementRoutine routine, uint32_t context) {
  TypedValue value;
  value.low = RegisterSubStatement(routine);
  value.high = context;
  value.tag = TypeTag::kSubStatement;
  return value;
}

TypedValue SubroutineValue(Subroutine routine) {
  TypedValue value;
  value.low = RegisterSubroutine(routine);
  value.tag = TypeTag::kSubroutinePtr;
  return value;
}

}  // namespace memo
