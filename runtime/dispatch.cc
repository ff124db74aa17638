// Command calls and argument cells.
#include "runtime/dispatch.h"

namespace memo {

TypedValue CallCommand(CommandRoutine command, int32_t arg_count, TypedValue* args) {
  TypedValue result{};
  command(&result, arg_count, args);
  return result;
}

TypedValue Omitted() { return TypedValue{}; }

TypedValue ByteValue(uint8_t v) {
  TypedValue cell;
  cell.low = v;
  cell.tag = TypeTag::kByte;
  return cell;
}

TypedValue ShortValue(int16_t v) {
  TypedValue cell;
  cell.low = static_cast<uint32_t>(static_cast<int32_t>(v));
  cell.tag = TypeTag::kShort;
  return cell;
}

TypedValue IntValue(int32_t v) {
  TypedValue cell;
  cell.low = static_cast<uint32_t>(v);
  cell.tag = TypeTag::kInt;
  return cell;
}

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

TypedValue BoolValue(bool v) {
  TypedValue cell;
  cell.low = v ? 1 : 0;
  cell.tag = TypeTag::kBool;
  return cell;
}

TypedValue DateTimeValue(double day_number) {
  TypedValue cell;
  cell.SetDouble(day_number);
  cell.tag = TypeTag::kDateTime;
  return cell;
}

TypedValue TextValue(const char* text) {
  TypedValue cell;
  cell.SetPointer(text);
  cell.tag = TypeTag::kText;
  return cell;
}

TypedValue ByteSetValue(const void* byte_set) {
  TypedValue cell;
  cell.SetPointer(byte_set);
  cell.tag = TypeTag::kByteSet;
  return cell;
}

TypedValue ArrayValue(uint32_t element_tag, const void* block) {
  TypedValue cell;
  cell.SetPointer(block);
  cell.tag = ElementTag(element_tag) | kArrayFlag;
  return cell;
}

}  // namespace memo
