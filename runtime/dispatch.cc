// Command calls and argument cells.
#include "runtime/dispatch.h"

namespace memo {

TypedValue CallCommand(CommandRoutine command, int32_t arg_count, TypedValue* args) {
  TypedValue result{};
  command(&result, arg_count, args);
  return result;
}

TextOwner CallText(CommandRoutine command, ArgList& args) {
  TypedValue cell = CallCommand(command, args);
  return TextOwner(static_cast<char*>(cell.Pointer()));
}

BlockOwner<void> CallBytes(CommandRoutine command, ArgList& args) {
  return BlockOwner<void>(CallCommand(command, args).Pointer());
}

int32_t CallInt(CommandRoutine command, ArgList& args) {
  return static_cast<int32_t>(CallCommand(command, args).low);
}

bool CallBool(CommandRoutine command, ArgList& args) { return CallCommand(command, args).low != 0; }

TypedValue CallDateTime(CommandRoutine command, ArgList& args) {
  TypedValue cell = CallCommand(command, args);
  cell.tag = TypeTag::kDateTime;
  return cell;
}

TextOwner CallText(CommandRoutine command) {
  ArgList none;
  return CallText(command, none);
}

int32_t CallInt(CommandRoutine command) {
  ArgList none;
  return CallInt(command, none);
}

TypedValue CallDateTime(CommandRoutine command) {
  ArgList none;
  return CallDateTime(command, none);
}

namespace {

// A cell whose value fits data low (data high stays 0).
TypedValue WordCell(uint32_t low, uint32_t tag) {
  TypedValue cell;
  cell.low = low;
  cell.tag = tag;
  return cell;
}

// A cell that borrows a block pointer.
TypedValue PointerCell(const void* block, uint32_t tag) {
  TypedValue cell;
  cell.SetPointer(block);
  cell.tag = tag;
  return cell;
}

}  // namespace

TypedValue Omitted() { return TypedValue{}; }

TypedValue ByteValue(uint8_t v) { return WordCell(v, TypeTag::kByte); }

TypedValue ShortValue(int16_t v) {
  return WordCell(static_cast<uint32_t>(static_cast<int32_t>(v)), TypeTag::kShort);
}

TypedValue IntValue(int32_t v) { return WordCell(static_cast<uint32_t>(v), TypeTag::kInt); }

TypedValue LongValue(int64_t v) {
  TypedValue cell;
  cell.SetInt64(v);
  cell.tag = TypeTag::kLong;
  return cell;
}

TypedValue FloatValue(float v) {
  TypedValue cell;
  cell.SetFloat(v);
  cell.tag = TypeTag::kFloat;
  return cell;
}

TypedValue DoubleValue(double v) {
  TypedValue cell;
  cell.SetDouble(v);
  cell.tag = TypeTag::kDouble;
  return cell;
}

TypedValue BoolValue(bool v) { return WordCell(v ? 1 : 0, TypeTag::kBool); }

TypedValue DateTimeValue(double day_number) {
  TypedValue cell = DoubleValue(day_number);
  cell.tag = TypeTag::kDateTime;
  return cell;
}

TypedValue TextValue(const char* text) { return PointerCell(text, TypeTag::kText); }

TypedValue ByteSetValue(const void* byte_set) { return PointerCell(byte_set, TypeTag::kByteSet); }

TypedValue ArrayValue(uint32_t element_tag, const void* block) {
  return PointerCell(block, ElementTag(element_tag) | kArrayFlag);
}

}  // namespace memo
