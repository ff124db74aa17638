// The routine table. A value cell cannot hold a 64-bit code address in one data word, so
// SubroutinePtr and SubStatement cells name routines by a 1-based index into this process-wide
// table (0 means no routine).
#pragma once

#include <cstdint>

#include "runtime/value.h"

namespace memo {

// A deferred expression: evaluated with the context word of its cell; returns a value cell whose
// block (if any) belongs to the caller.
using SubStatementRoutine = TypedValue (*)(uint32_t context);

// A plain routine without arguments (what a SubroutinePtr cell names).
using Subroutine = void (*)();

// Adds a routine (or finds it if already added) and returns its 1-based index. Thread-safe.
uint32_t RegisterSubStatement(SubStatementRoutine routine);
uint32_t RegisterSubroutine(Subroutine routine);

// The routine with that index, or null for 0 or an unknown index.
SubStatementRoutine FindSubStatement(uint32_t index);
Subroutine FindSubroutine(uint32_t index);

// A SubStatement cell: data low = routine index, data high = context, tag SubStatement.
TypedValue SubStatementValue(SubStatementRoutine routine, uint32_t context);
// A SubroutinePtr cell: data low = routine index.
TypedValue SubroutineValue(Subroutine routine);

}  // namespace memo
