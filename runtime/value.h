// The value cell that passes between routines, commands, properties and database fields.
//
// A cell is three 32-bit words: data low, data high, type tag. Values of 4 bytes or less live in
// data low (data high is 0); 8-byte values (long, double, date-time) span both words, low word
// first. Text, byte-set and array values hold a pointer to a runtime-heap block; on this 64-bit
// build the pointer spans data low and data high (use Pointer()/SetPointer()). A window or control
// reference keeps the window id in data low and the unit id in data high.
#pragma once

#include <cstdint>
#include <cstring>

namespace memo {

// The type tags. Library-defined types (windows, controls) use other non-zero tags: the high 16
// bits are the 1-based library number, the low 16 bits the type number within it.
struct TypeTag {
  static constexpr uint32_t kNone = 0;
  static constexpr uint32_t kByte = 0x80000101;
  static constexpr uint32_t kShort = 0x80000201;
  static constexpr uint32_t kInt = 0x80000301;
  static constexpr uint32_t kLong = 0x80000401;
  static constexpr uint32_t kFloat = 0x80000501;
  static constexpr uint32_t kDouble = 0x80000601;
  static constexpr uint32_t kBool = 0x80000002;
  static constexpr uint32_t kDateTime = 0x80000003;
  static constexpr uint32_t kText = 0x80000004;
  static constexpr uint32_t kByteSet = 0x80000005;
  static constexpr uint32_t kSubroutinePtr = 0x80000006;
  static constexpr uint32_t kSubStatement = 0x80000008;
};

// ORed into an element tag to mark an array of that type; element checks mask it off first.
constexpr uint32_t kArrayFlag = 0x20000000;
constexpr uint32_t ElementTag(uint32_t tag) { return tag & 0xDFFFFFFFu; }

// The classes of tags, decided in this order: 0 is no value; 0x80000000-0xBFFFFFFF the basic
// types (arrays of them included, the flag keeps them in the range); 0x40000000-0x7FFFFFFF a
// separate class that no value of the program uses; every other tag a type defined by a library.
// An array of a library type carries the flag in its high word: classify ElementTag(tag).
enum class TagClass { kNone, kBasic, kSecond, kLibrary };
constexpr TagClass ClassOfTag(uint32_t tag) {
  if (tag == 0) return TagClass::kNone;
  if (tag >= 0x80000000u && tag <= 0xBFFFFFFFu) return TagClass::kBasic;
  if (tag >= 0x40000000u && tag <= 0x7FFFFFFFu) return TagClass::kSecond;
  return TagClass::kLibrary;
}

// A library-defined tag: the 1-based number of the defining library in the high 16 bits, the
// 1-based number of the type within it in the low 16 bits (0x00010001 is the window type of the
// first library, its control types follow: 0x00010005 an edit box, 0x0001000E a combo box).
constexpr uint32_t LibraryTypeTag(uint32_t library, uint32_t type) {
  return (library << 16) | (type & 0xFFFFu);
}
constexpr uint32_t LibraryOfTag(uint32_t tag) { return tag >> 16; }
constexpr uint32_t TypeInLibrary(uint32_t tag) { return tag & 0xFFFFu; }

struct TypedValue {
  uint32_t low = 0;
  uint32_t high = 0;
  uint32_t tag = 0;

  // The 8 data bytes, low word first, as a pointer / 64-bit integer / double / float.
  void* Pointer() const {
    void* p;
    std::memcpy(&p, &low, sizeof p);
    return p;
  }
  void SetPointer(const void* p) {
    low = high = 0;
    std::memcpy(&low, &p, sizeof p);
  }
  int64_t Int64() const { return static_cast<int64_t>((static_cast<uint64_t>(high) << 32) | low); }
  void SetInt64(int64_t v) {
    low = static_cast<uint32_t>(static_cast<uint64_t>(v));
    high = static_cast<uint32_t>(static_cast<uint64_t>(v) >> 32);
  }
  double Double() const {
    double d;
    uint64_t bits = (static_cast<uint64_t>(high) << 32) | low;
    std::memcpy(&d, &bits, sizeof d);
    return d;
  }
  void SetDouble(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof d);
    low = static_cast<uint32_t>(bits);
    high = static_cast<uint32_t>(bits >> 32);
  }
  float Float() const {
    float f;
    std::memcpy(&f, &low, sizeof f);
    return f;
  }
  void SetFloat(float f) {
    std::memcpy(&low, &f, sizeof f);
    high = 0;
  }
  bool Present() const { return tag != TypeTag::kNone; }
};
static_assert(sizeof(TypedValue) == 12, "a value cell is three 32-bit words");

// The one calling form of every library command. The caller zeroes *result before the call;
// arg_count counts omitted optional arguments too (those are all-zero cells).
using CommandRoutine = void (*)(TypedValue* result, int32_t arg_count, TypedValue* args);

}  // namespace memo
