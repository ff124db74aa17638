#include "platform/backend.h"

#include <atomic>

namespace memo::platform {

namespace {
std::atomic<Backend*> installed{nullptr};
}  // namespace

Backend* CurrentBackend() { return installed.load(std::memory_order_acquire); }

Backend* InstallBackend(Backend* backend) {
  return installed.exchange(backend, std::memory_order_acq_rel);
}

}  // namespace memo::platform
