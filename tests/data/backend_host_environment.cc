// The data tests run with the host the windows install (ui/data_units), so that what they see of
// message boxes and letter widths is what a window shows: boxes on, and letters measured by, the
// backend each test installs.
#include <gtest/gtest.h>

#include "ui/data_units/backend_data_host.h"

namespace {

class BackendHostEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { memo::ui::InstallBackendDataHost(); }
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new BackendHostEnvironment);

}  // namespace
