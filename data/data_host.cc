#include "data/data_host.h"

#include <atomic>

namespace memo::db {
namespace {

std::atomic<DataHost*> g_host{nullptr};

}  // namespace

DataHost* InstallDataHost(DataHost* host) { return g_host.exchange(host); }

DataHost* CurrentDataHost() { return g_host.load(); }

}  // namespace memo::db
