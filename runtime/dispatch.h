// Calling library commands, and building their argument cells.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "runtime/value.h"

namespace memo {

// Zeroes a result cell, calls the command with arg_count cells at args, and returns the result.
// The caller owns any block in the result. A fixed-type result carries only its data words (tag
// 0); a result whose type varies also carries its tag.
TypedValue CallCommand(CommandRoutine command, int32_t arg_count, TypedValue* args);

// Add-on library commands are called the same way.
inline TypedValue CallAddOnCommand(CommandRoutine command, int32_t arg_count, TypedValue* args) {
  return CallCommand(command, arg_count, args);
}

// Cell builders. Text and byte-set cells only borrow the pointer.
TypedValue Omitted();  // all-zero cell: an omitted optional argument
TypedValue ByteValue(uint8_t v);
TypedValue ShortValue(int16_t v);
TypedValue IntValue(int32_t v);
TypedValue LongValue(int64_t v);
TypedValue FloatValue(float v);
TypedValue DoubleValue(double v);
TypedValue BoolValue(bool v);
TypedValue DateTimeValue(double day_number);
TypedValue TextValue(const char* text);
TypedValue ByteSetValue(const void* byte_set);
TypedValue ArrayValue(uint32_t element_tag, const void* block);

// An argument list: cells in order, omitted ones as all-zero cells.
class ArgList {
 public:
  ArgList() = default;
  ArgList(std::initializer_list<TypedValue> cells) : cells_(cells) {}

  ArgList& Add(const TypedValue& cell) {
    cells_.push_back(cell);
    return *this;
  }
  ArgList& Omit() { return Add(TypedValue{}); }

  int32_t size() const { return static_cast<int32_t>(cells_.size()); }
  TypedValue* data() { return cells_.data(); }
  TypedValue& operator[](size_t i) { return cells_[i]; }

 private:
  std::vector<TypedValue> cells_;
};

inline TypedValue CallCommand(CommandRoutine command, ArgList& args) {
  return CallCommand(command, args.size(), args.data());
}
inline TypedValue CallAddOnCommand(CommandRoutine command, ArgList& args) {
  return CallAddOnCommand(command, args.size(), args.data());
}

}  // namespace memo
