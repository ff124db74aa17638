// Process-wide settings of the engine: the lock-wait time new handles start with, the password
// prompt, and the clock that stamps new files.
#include <algorithm>
#include <ctime>
#include <mutex>

#include "db/database.h"
#include "platform/backend.h"
#include "runtime/convert.h"

namespace memo::db {
namespace {

std::mutex g_settings_mutex;
int32_t g_default_lock_wait = kNoLockWait;
PasswordPrompt g_password_prompt;

}  // namespace

int32_t DefaultLockWait() {
  std::lock_guard<std::mutex> guard(g_settings_mutex);
  return g_default_lock_wait;
}

void SetDefaultLockWait(int32_t wait_ms) {
  std::lock_guard<std::mutex> guard(g_settings_mutex);
  g_default_lock_wait = wait_ms;
}

void SetPasswordPrompt(PasswordPrompt prompt) {
  std::lock_guard<std::mutex> guard(g_settings_mutex);
  g_password_prompt = std::move(prompt);
}

PasswordPrompt InstalledPasswordPrompt() {
  std::lock_guard<std::mutex> guard(g_settings_mutex);
  return g_password_prompt;
}

double CurrentDayNumber() {
  CalendarTime when;
  if (platform::Backend* backend = platform::CurrentBackend()) {
    platform::LocalTime now = backend->Now();
    when = {now.year, now.month, now.day, now.hour, now.minute, now.second};
  } else {
    std::time_t seconds = std::time(nullptr);
    std::tm local{};
    localtime_r(&seconds, &local);
    when = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     std::min(local.tm_sec, 59)};
  }
  return MakeDateTime(when);
}

}  // namespace memo::db
