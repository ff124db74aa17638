#include "app/daily_backup.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "app/app_support.h"
#include "db/engine_code.h"
#include "db/pair_copy.h"
#include "platform/directory.h"
#include "platform/file.h"
#include "runtime/literal.h"
#include "runtime/program.h"

namespace memo::app {

namespace {

using platform::FileError;

constexpr unsigned kFolderMode = 0700;
constexpr char kPartialSuffix[] = ".partial";

// The book's record files; each brings its memo file along.
constexpr const char* kBookFiles[] = {"c.mcn", "a.mcn"};

bool IsDayName(const std::string& name) {
  if (name.size() != 10 || name[4] != '-' || name[7] != '-') return false;
  for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
    if (name[i] < '0' || name[i] > '9') return false;
  }
  return true;
}

// The reason of a failure: the engine's message for the code and the path it concerns.
std::string Reason(int code, const std::string& path) {
  std::string reason = db::EngineMessage(code);
  if (!path.empty()) reason += Gbk("（") + path + Gbk("）");
  return reason;
}

std::string Reason(FileError error, const std::string& path) {
  return Reason(db::FileErrorCode(error, db::kUnknownError), path);
}

// Keeps the newest kBackupDaysKept day folders; removes older ones and unfinished folders of
// other days. Failures here do not undo today's backup; they are tried again tomorrow.
void Rotate(const std::string& backups, const std::string& today_partial_name) {
  std::vector<std::string> names;
  if (platform::ListDirectory(backups, &names) != FileError::kNone) return;
  std::vector<std::string> days;
  for (const std::string& name : names) {
    if (IsDayName(name)) {
      days.push_back(name);
    } else if (name.size() == 10 + sizeof kPartialSuffix - 1 && IsDayName(name.substr(0, 10)) &&
               name.compare(10, std::string::npos, kPartialSuffix) == 0 &&
               name != today_partial_name) {
      // Tidying only: a partial folder that stays is tried again at the next backup.
      platform::IgnoreError(platform::RemoveTree(backups + "/" + name));
    }
  }
  if (days.size() <= static_cast<size_t>(kBackupDaysKept)) return;
  std::sort(days.begin(), days.end());
  for (size_t i = 0; i + kBackupDaysKept < days.size(); ++i) {
    // A day that cannot be removed is one backup more, tried again at the next rotation.
    platform::IgnoreError(platform::RemoveTree(backups + "/" + days[i]));
  }
}

}  // namespace

std::string BackupDayName(const platform::LocalTime& day) {
  char name[32];
  std::snprintf(name, sizeof name, "%04d-%02d-%02d", std::clamp(day.year, 0, 9999),
                std::clamp(day.month, 1, 12), std::clamp(day.day, 1, 31));
  return name;
}

DailyBackupOutcome MakeDailyBackup(const std::string& data_directory,
                                   const platform::LocalTime& today, int32_t lock_wait_ms) {
  DailyBackupOutcome outcome;
  const std::string backups = data_directory + "/backups";
  const std::string day_name = BackupDayName(today);
  outcome.folder = backups + "/" + day_name;
  if (platform::DirectoryExists(outcome.folder)) {
    outcome.kind = DailyBackupOutcome::Kind::kAlreadyMade;
    return outcome;
  }
  std::vector<std::string> sources;
  for (const char* name : kBookFiles) {
    std::string path = data_directory + "/" + name;
    if (platform::FileExists(path)) sources.push_back(path);
  }
  if (sources.empty()) {
    outcome.kind = DailyBackupOutcome::Kind::kNothing;
    return outcome;
  }

  outcome.kind = DailyBackupOutcome::Kind::kFailed;
  FileError error = platform::MakeDirectory(backups, kFolderMode);
  if (error != FileError::kNone) {
    outcome.reason = Reason(error, backups);
    return outcome;
  }
  const std::string partial_name = day_name + kPartialSuffix;
  const std::string partial = backups + "/" + partial_name;
  // Left by a backup that was stopped part-way today: start again.
  error = platform::RemoveTree(partial);
  if (error == FileError::kNone) error = platform::MakeDirectory(partial, kFolderMode);
  if (error != FileError::kNone) {
    outcome.reason = Reason(error, partial);
    return outcome;
  }
  for (const std::string& source : sources) {
    db::PairCopy copy = db::CopyDatabasePair(source, partial, lock_wait_ms);
    if (copy.code != db::kOk) {
      // The copy's failure is what is reported; a partial folder left is removed next time.
      platform::IgnoreError(platform::RemoveTree(partial));
      outcome.reason = Reason(copy.code, copy.failed_path);
      return outcome;
    }
  }
  error = platform::RenameFile(partial, outcome.folder);
  if (error == FileError::kNone) error = platform::SyncDirectory(backups);
  if (error != FileError::kNone) {
    platform::IgnoreError(platform::RemoveTree(partial));  // as above
    outcome.reason = Reason(error, outcome.folder);
    return outcome;
  }
  outcome.kind = DailyBackupOutcome::Kind::kMade;
  Rotate(backups, partial_name);
  return outcome;
}

void BackUpToday() {
  platform::LocalTime now;
  if (platform::Backend* backend = platform::CurrentBackend()) {
    now = backend->Now();
  } else {
    std::time_t seconds = std::time(nullptr);
    std::tm local{};
    localtime_r(&seconds, &local);
    now.year = local.tm_year + 1900;
    now.month = local.tm_mon + 1;
    now.day = local.tm_mday;
  }
  DailyBackupOutcome outcome = MakeDailyBackup(RunDirectory(), now);
  if (outcome.kind != DailyBackupOutcome::Kind::kFailed) return;
  std::string text = Gbk("今日备份失败：") + outcome.reason;
  Remind(text.c_str());
}

}  // namespace memo::app
