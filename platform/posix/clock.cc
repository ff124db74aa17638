// The monotonic millisecond tick and the sleep used between lock retries, through the swappable
// system-call table (syscalls.h).
#include <cerrno>
#include <ctime>

#include "platform/file.h"
#include "platform/posix/syscalls.h"

namespace memo::platform {

uint32_t TickCount() {
  timespec now{};
  posix::Syscalls().clock_gettime(CLOCK_MONOTONIC, &now);
  // Wraps after about 49 days, like the classic tick count; callers compare differences.
  uint64_t ms =
      static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

uint32_t CoarseTickCount() {
  timespec now{};
  posix::Syscalls().clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  uint64_t ms =
      static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

void SleepMs(uint32_t milliseconds) {
  timespec left{static_cast<time_t>(milliseconds / 1000),
                static_cast<long>(milliseconds % 1000) * 1000000L};
  while (posix::Syscalls().nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

}  // namespace memo::platform
