// Text library commands. Texts are GBK: a byte of 0x80 or more leads a two-byte character, and a
// lead byte directly before the NUL is a broken character at which every walk stops.
#include "runtime/text_commands.h"

#include <cstring>
#include <vector>

#include "runtime/array.h"
#include "runtime/convert.h"
#include "runtime/heap.h"
#include "runtime/literal.h"
#include "runtime/text.h"

namespace memo {
namespace {

// The text argument at index i: its pointer when present and of type Text, else the empty text.
// Commands never trust a cell of another type to hold a text pointer.
const char* TextArg(int32_t arg_count, const TypedValue* args, int32_t i) {
  if (i >= arg_count || args[i].tag != TypeTag::kText) return kEmptyText;
  return NonNullText(static_cast<const char*>(args[i].Pointer()));
}

bool IsFullWidthSpace(const unsigned char* p) { return p[0] == 0xA1 && p[1] == 0xA1; }

}  // namespace

void RemoveAllSpaces(TypedValue* result, int32_t arg_count, TypedValue* args) {
  const auto* p = reinterpret_cast<const unsigned char*>(TextArg(arg_count, args, 0));
  std::vector<char> kept;
  kept.reserve(std::strlen(reinterpret_cast<const char*>(p)));
  while (*p != 0) {
    if (IsLeadByte(*p)) {
      if (p[1] == 0) break;  // broken character: dropped, and the walk ends
      if (!IsFullWidthSpace(p)) {
        kept.push_back(static_cast<char>(p[0]));
        kept.push_back(static_cast<char>(p[1]));
      }
      p += 2;
    } else {
      if (*p != ' ') kept.push_back(static_cast<char>(*p));
      ++p;
    }
  }
  result->SetPointer(CopyBytesAsText(kept.data(), static_cast<int32_t>(kept.size())));
}

void SplitText(TypedValue* result, int32_t arg_count, TypedValue* args) {
  const char* text = TextArg(arg_count, args, 0);
  const char* delimiter = arg_count > 1 && args[1].Present() ? TextArg(arg_count, args, 1) : ",";

  // Budget: parts still allowed; -1 = no limit.
  int64_t budget = -1;
  if (arg_count > 2 && IsNumeric(args[2].tag)) {
    int32_t limit = ToInteger(args[2]);
    budget = limit < 0 ? 0 : limit;
  }

  std::vector<char*> parts;
  size_t length = std::strlen(text);
  if (length == 0 || budget == 0) {
    result->SetPointer(MakeTextArray(parts));
    return;
  }
  size_t delimiter_length = std::strlen(delimiter);
  if (delimiter_length == 0) {
    parts.push_back(CopyText(text));
    result->SetPointer(MakeTextArray(parts));
    return;
  }

  // The parts own their blocks until the array takes them; an allocation failure that unwinds
  // (headless run) must not leak them.
  struct PartsGuard {
    std::vector<char*>* parts;
    ~PartsGuard() {
      if (parts)
        for (char* p : *parts) Release(p);
    }
  } guard{&parts};

  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  size_t start = 0;  // first byte of the part being scanned
  size_t at = 0;
  while (length - at >= delimiter_length) {
    if (std::memcmp(bytes + at, delimiter, delimiter_length) == 0) {
      parts.push_back(CopyBytesAsText(bytes + start, static_cast<int32_t>(at - start)));
      at += delimiter_length;
      start = at;
      if (budget > 0 && --budget == 0) break;
    } else if (IsLeadByte(bytes[at])) {
      if (bytes[at + 1] == 0) break;  // broken character ends the scan
      at += 2;
    } else {
      ++at;
    }
  }
  if (start < length && budget != 0) {
    parts.push_back(CopyBytesAsText(bytes + start, static_cast<int32_t>(length - start)));
  }
  void* array = MakeTextArray(parts);
  guard.parts = nullptr;
  result->SetPointer(array);
}

void ToText(TypedValue* result, int32_t arg_count, TypedValue* args) {
  if (arg_count < 1) return;
  const TypedValue& value = args[0];
  const void* bytes = nullptr;
  size_t size = 0;
  if (value.tag == TypeTag::kByteSet) {
    const void* block = value.Pointer();
    bytes = ByteSetData(block);
    size = static_cast<size_t>(ByteSetSize(block));
  } else if ((value.tag & kArrayFlag) && IsNumeric(ElementTag(value.tag))) {
    const void* block = value.Pointer();
    if (ArrayDimensionCount(block) == 1) {
      bytes = ArrayElements(block);
      size = static_cast<size_t>(ArrayElementCount(block)) * ElementSize(value.tag);
    }
  } else {
    result->SetPointer(ValueToText(value));
    return;
  }
  if (size == 0) return;
  size_t text_length = strnlen(static_cast<const char*>(bytes), size);
  result->SetPointer(CopyBytesAsText(bytes, static_cast<int32_t>(text_length)));
}

}  // namespace memo
