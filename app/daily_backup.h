// The daily backup: at the first sign-in of each day, before anything is written, the book's
// files are copied into backups/YYYY-MM-DD/ inside the data directory (the run directory), and
// the last 14 such days are kept.
//
// A day counts as made when its folder exists: the copies are first made in
// "backups/YYYY-MM-DD.partial/" (each under a passing name, renamed when whole) and the folder
// takes the day's name only once every file is in it. A backup that fails leaves no folder, so
// the next sign-in that day tries again. Each pair ("c.mcn" with its memo file if it has one,
// "a.mcn" with "a.edt") is read under its whole-file locks (db/pair_copy.h), so that a writer in
// another process cannot tear it. Folders, like the data directory, are made with mode 0700;
// copies keep the permission bits of their sources.
#pragma once

#include <string>

#include "platform/backend.h"

namespace memo::app {

constexpr int kBackupDaysKept = 14;

// How long the backup waits for a writer elsewhere to let go of a file.
constexpr int kBackupLockWaitMs = 3000;

struct DailyBackupOutcome {
  enum class Kind {
    kMade,         // today's folder was made now
    kAlreadyMade,  // today's folder was there
    kNothing,      // the data directory holds none of the files
    kFailed,       // see reason
  };
  Kind kind = Kind::kNothing;
  std::string folder;  // GBK: the day's folder
  std::string reason;  // GBK: what failed and where, for "今日备份失败：" + reason
};

// "YYYY-MM-DD" of a clock reading.
std::string BackupDayName(const platform::LocalTime& day);

// Makes the day's backup of `data_directory` (GBK, absolute, no trailing separator; empty: the
// root) unless it exists, then keeps the newest kBackupDaysKept day folders and removes older
// ones (and folders of unfinished backups of other days).
DailyBackupOutcome MakeDailyBackup(const std::string& data_directory,
                                   const platform::LocalTime& today,
                                   int32_t lock_wait_ms = kBackupLockWaitMs);

// The sign-in's step: today's backup of the run directory by the installed backend's clock. A
// backup that fails says so once, in a box titled "温馨提示" ("今日备份失败：" and the reason),
// and the sign-in goes on.
void BackUpToday();

}  // namespace memo::app
