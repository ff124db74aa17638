// Calling library commands, and building their argument cells.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "runtime/heap.h"
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

// An argument list: cells in order, omitted ones as all-zero cells. The application builds one
// for every command it calls, so the first kInline cells live inside the list; only a longer list
// moves its cells to the heap.
class ArgList {
 public:
  static constexpr size_t kInline = 8;

  ArgList() = default;
  ArgList(std::initializer_list<TypedValue> cells) : size_(cells.size()) {
    if (size_ <= kInline) {
      std::copy(cells.begin(), cells.end(), inline_.cells);
    } else {
      spilled_.assign(cells.begin(), cells.end());
    }
  }

  ArgList(const ArgList& other) : spilled_(other.spilled_), size_(other.size_) {
    if (spilled_.empty())
      std::copy(other.inline_.cells, other.inline_.cells + size_, inline_.cells);
  }
  ArgList& operator=(const ArgList& other) {
    if (this != &other) {
      spilled_ = other.spilled_;
      size_ = other.size_;
      if (spilled_.empty())
        std::copy(other.inline_.cells, other.inline_.cells + size_, inline_.cells);
    }
    return *this;
  }

  ArgList& Add(const TypedValue& cell) {
    if (spilled_.empty() && size_ < kInline) {
      inline_.cells[size_++] = cell;
      return *this;
    }
    if (spilled_.empty()) spilled_.assign(inline_.cells, inline_.cells + size_);
    spilled_.push_back(cell);
    ++size_;
    return *this;
  }
  ArgList& Omit() { return Add(TypedValue{}); }

  int32_t size() const { return static_cast<int32_t>(size_); }
  TypedValue* data() { return spilled_.empty() ? inline_.cells : spilled_.data(); }
  TypedValue& operator[](size_t i) { return data()[i]; }

 private:
  // Cells 0 .. size_ - 1 are set; the rest are left unwritten (no list pays for zeroing eight).
  union Cells {
    Cells() {}
    TypedValue cells[kInline];
  } inline_;
  std::vector<TypedValue> spilled_;  // every cell, once there are more than kInline
  size_t size_ = 0;
};

inline TypedValue CallCommand(CommandRoutine command, ArgList& args) {
  return CallCommand(command, args.size(), args.data());
}
inline TypedValue CallAddOnCommand(CommandRoutine command, ArgList& args) {
  return CallAddOnCommand(command, args.size(), args.data());
}

// Calls for commands whose result type is fixed. A fixed-type result comes back as bare data
// words (tag 0), so what the words are is decided here, once, by the helper the caller picks:
// a block result is owned by the returned owner (released exactly once, when the owner goes),
// a number or a truth comes back by value, and a date-time comes back as a whole cell with its
// tag set, ready to be passed on as an argument or stored in a field.
[[nodiscard]] TextOwner CallText(CommandRoutine command, ArgList& args);
[[nodiscard]] BlockOwner<void> CallBytes(CommandRoutine command, ArgList& args);
[[nodiscard]] int32_t CallInt(CommandRoutine command, ArgList& args);
[[nodiscard]] bool CallBool(CommandRoutine command, ArgList& args);
[[nodiscard]] TypedValue CallDateTime(CommandRoutine command, ArgList& args);

// The same for a command called without arguments.
[[nodiscard]] TextOwner CallText(CommandRoutine command);
[[nodiscard]] int32_t CallInt(CommandRoutine command);
[[nodiscard]] TypedValue CallDateTime(CommandRoutine command);

}  // namespace memo
