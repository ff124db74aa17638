// Engine error codes: every engine operation returns one of these (0 = success), and every
// database command leaves one in the calling thread's last-error cell.
//
// EngineCode is the result type of the engine's operations. It is [[nodiscard]]: a caller that
// means to drop a code (a clean-up whose failure changes nothing) says so with IgnoreCode().
#pragma once

#include <string>
#include <string_view>

#include "platform/file.h"

namespace memo::db {

// Codes by name. The numbers are part of the program's behaviour (commands and tools report
// them), so they never change.
enum [[nodiscard]] EngineCode : int{
    kOk = 0,
    kUnknownError = -1,
    kCreateFailed = -2,
    kFileNotFound = -3,
    kInvalidPath = -4,
    kTooManyOpenFiles = -5,
    kAccessDenied = -6,
    kInvalidHandle = -7,
    kSeekFailed = -10,
    kHardwareFault = -11,
    kSharingViolation = -12,
    kFileLockFailed = -13,
    kDiskFull = -14,
    kEndOfFile = -15,
    kNoFields = -16,
    kInvalidFieldType = -17,
    kInvalidFieldName = -18,
    kInvalidFieldSize = -19,
    kDuplicateFieldName = -20,
    kOpenFailed = -21,
    kNotDatabaseFile = -22,
    kVersionTooHigh = -23,
    kInvalidAlias = -24,
    kBeforeFirstRecord = -25,
    kAfterLastRecord = -26,
    kNoDatabaseOpen = -27,
    kLockFailed = -28,
    kUnlockFailed = -29,
    kIndexOpenFailed = -30,
    kNotIndexFile = -31,
    kIndexVersionMismatch = -32,
    kIndexAlreadyOpen = -33,
    kTooManyIndexes = -34,
    kMemoReadFailed = -35,
    kMemoVersionMismatch = -36,
    kNotMemoFile = -37,
    kAlreadyOpen = -38,
    kTooManyIndexFields = -39,
    kFieldNotFound = -40,
    kIndexCreateFailed = -41,
    kIndexFieldIsMemo = -42,
    kIndexFieldMissing = -43,
    kNoSuchRecord = -44,
    kAllocationFailed = -45,
    kReadFieldFailed = -46,
    kWriteFieldFailed = -47,
    kWrongFileSize = -48,
    kWrongIndexFileSize = -49,
    kMemoCreateFailed = -50,
    kIndexInsertFailed = -51,
    kIndexAccessFailed = -52,
    kIndexFieldSizeMismatch = -53,
    kIndexFieldTypeMismatch = -54,
    kOutOfMemory = -55,
    kIndexFieldTooLarge = -56,
    kLastIndexEntry = -57,
    kIndexEntryMissing = -58,
    kMemoAccessFailed = -59,
    kNoCurrentRecord = -60,
    kNoSuchField = -61,
    kReadRecordFailed = -62,
    kWriteRecordFailed = -63,
    kIndexUpdateFailed = -64,
    kRecordCountFailed = -65,
    kDatabaseNotOpen = -66,
    kNoCurrentDatabase = -67,
    kIndexNotFound = -68,
    kNoCurrentIndex = -69,
    kWrongFieldType = -70,
    kBadKeyField = -71,
    kValueTypeMismatch = -72,
    kSearchValueCount = -73,
    kNotExclusive = -74,
    kExpressionFailed = -75,
    kExpressionType = -76,
    kWrongPassword = -78,
    kPasswordUpdateFailed = -79,
    kInvalidPasswordText = -80,
};

// The message shown for a code, as a constant GBK text: "" for 0, "未知错误" for any code that is
// not in the table.
const char* EngineMessage(int code);

// The same message in UTF-8 (for tools that print to a terminal).
const char* EngineMessageUtf8(int code);

// What the user is told when an operation on a file fails: `prefix`, the file's name, a line
// break and the message for `code` (GBK; e.g. "保存失败：a.mcn\n加锁失败"). A code of 0 — a
// failure the engine gave no code for — shows as "未知错误", never as an empty line.
std::string FailureText(std::string_view prefix, std::string_view file, int code);

// A file-system failure as an engine code (-2 .. -15). kNone is 0; a failure with no file-system
// meaning (kUnknown) becomes `fallback`, the code of the operation that failed.
EngineCode FileErrorCode(platform::FileError error, EngineCode fallback);

// Drops a code on purpose (best-effort clean-up after an earlier failure, whose own failure
// leaves nothing worse than that failure did).
inline void IgnoreCode(EngineCode) {}

// Keeps the first failure of a sequence of steps: *rc stays when it is already a failure.
inline void KeepFirst(EngineCode* rc, EngineCode next) {
  if (*rc == kOk) *rc = next;
}

}  // namespace memo::db
