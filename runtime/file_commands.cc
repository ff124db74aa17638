// The file library commands and the runtime's list of open files.
//
// The list maps file numbers to open handles. Numbers start at 1, grow with each open and skip
// numbers still in use; after the largest int they start again at 1, so a number is never 0 and
// never names two files at once. The list lives on the program's one thread.
#include "runtime/file_commands.h"

#include <cstring>
#include <limits>
#include <map>
#include <string_view>

#include "runtime/convert.h"
#include "runtime/heap.h"
#include "runtime/program.h"
#include "runtime/text.h"

namespace memo {
namespace {

using platform::File;
using platform::FileAccess;
using platform::FileCreate;
using platform::FileError;
using platform::FileShare;

struct OpenFiles {
  std::map<int32_t, File> files;
  int32_t last_number = 0;
  bool end_step_added = false;
};

OpenFiles& List() {
  static OpenFiles list;
  return list;
}

// The text of argument i, empty when missing, null or not a text.
std::string_view TextArg(int32_t arg_count, const TypedValue* args, int32_t i) {
  if (i >= arg_count || args[i].tag != TypeTag::kText) return {};
  const char* text = static_cast<const char*>(args[i].Pointer());
  return text == nullptr ? std::string_view() : std::string_view(text);
}

// An optional integer argument: `fallback` when omitted, false when present but not numeric.
bool IntArg(int32_t arg_count, const TypedValue* args, int32_t i, int32_t fallback, int32_t* out) {
  if (i >= arg_count || !args[i].Present()) {
    *out = fallback;
    return true;
  }
  if (!IsNumeric(args[i].tag)) return false;
  *out = ToInteger(args[i]);
  return true;
}

void SetBool(TypedValue* result, bool value) {
  result->low = value ? 1 : 0;
  result->high = 0;
}

}  // namespace

void ReadFileBytes(TypedValue* result, int32_t arg_count, TypedValue* args) {
  result->SetPointer(nullptr);
  std::string_view name = TextArg(arg_count, args, 0);
  if (name.empty()) return;
  File file;
  if (File::Open(name, FileAccess::kRead, FileShare::kDenyWrite, FileCreate::kOpenExisting,
                 &file) != FileError::kNone) {
    return;
  }
  uint64_t length = 0;
  if (file.Length(&length) != FileError::kNone || length == 0) return;
  // A byte-set counts its bytes in a signed 32-bit word: a longer file has no byte-set form.
  if (length > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()) - kByteSetHeaderSize)
    return;

  void* block = Allocate(kByteSetHeaderSize + static_cast<size_t>(length));
  size_t done = 0;
  // A read that fails part way yields nothing: the bytes before the failure are not the file.
  // A file that shrank since its length was taken is read to its new end.
  const FileError read = file.ReadAt(0, static_cast<uint8_t*>(block) + kByteSetHeaderSize,
                                     static_cast<size_t>(length), &done);
  if (read != FileError::kNone || done == 0) {
    Release(block);
    return;
  }
  const int32_t header[2] = {1, static_cast<int32_t>(done)};
  std::memcpy(block, header, sizeof header);
  result->SetPointer(block);
}

void WriteFileBytes(TypedValue* result, int32_t arg_count, TypedValue* args) {
  SetBool(result, false);
  std::string_view name = TextArg(arg_count, args, 0);
  if (name.empty()) return;
  File file;
  if (File::Open(name, FileAccess::kWrite, FileShare::kExclusive, FileCreate::kCreateAlways, &file,
                 platform::kPrivateFileMode) != FileError::kNone) {
    return;
  }
  for (int32_t i = 1; i < arg_count; ++i) {
    if (args[i].tag != TypeTag::kByteSet) continue;
    const void* data = args[i].Pointer();
    int32_t size = ByteSetSize(data);
    if (size <= 0) continue;
    if (file.Write(ByteSetData(data), static_cast<size_t>(size)) != FileError::kNone) return;
  }
  file.Close();
  SetBool(result, true);
}

void OpenDiskFile(TypedValue* result, int32_t arg_count, TypedValue* args) {
  result->low = result->high = 0;
  std::string_view name = TextArg(arg_count, args, 0);
  int32_t mode = 0, sharing = 0;
  if (name.empty() || !IntArg(arg_count, args, 1, 3, &mode) ||
      !IntArg(arg_count, args, 2, 1, &sharing))
    return;
  if (mode < 1 || mode > 6 || sharing < 1 || sharing > 4) return;

  static constexpr FileAccess kModeAccess[] = {FileAccess::kRead,      FileAccess::kWrite,
                                               FileAccess::kReadWrite, FileAccess::kWrite,
                                               FileAccess::kWrite,     FileAccess::kReadWrite};
  static constexpr FileCreate kModeCreate[] = {FileCreate::kOpenExisting, FileCreate::kOpenExisting,
                                               FileCreate::kOpenExisting, FileCreate::kCreateAlways,
                                               FileCreate::kOpenAlways,   FileCreate::kOpenAlways};
  static constexpr FileShare kSharing[] = {FileShare::kDenyNone, FileShare::kDenyRead,
                                           FileShare::kDenyWrite, FileShare::kExclusive};
  File file;
  if (File::Open(name, kModeAccess[mode - 1], kSharing[sharing - 1], kModeCreate[mode - 1], &file,
                 platform::kPrivateFileMode) != FileError::kNone) {
    return;
  }

  OpenFiles& list = List();
  if (list.files.size() >= static_cast<size_t>(std::numeric_limits<int32_t>::max())) return;
  int32_t number = list.last_number;
  do {
    number = number == std::numeric_limits<int32_t>::max() ? 1 : number + 1;
  } while (list.files.count(number) != 0);
  list.last_number = number;
  list.files.emplace(number, std::move(file));
  if (!list.end_step_added) {
    list.end_step_added = true;
    AddEndStep(CloseAllOpenFiles);
  }
  result->low = static_cast<uint32_t>(number);
}

bool CloseDiskFile(int32_t number) { return List().files.erase(number) != 0; }

void CloseAllOpenFiles() { List().files.clear(); }

platform::File* FindDiskFile(int32_t number) {
  auto it = List().files.find(number);
  return it == List().files.end() ? nullptr : &it->second;
}

int32_t OpenDiskFileCount() { return static_cast<int32_t>(List().files.size()); }

}  // namespace memo
