// A fixture that installs a fresh headless backend and a fresh program state for each test.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/backend.h"
#include "platform/codec.h"
#include "platform/headless/headless_backend.h"
#include "runtime/program.h"
#include "tests/support/gbk.h"

namespace memo::testing {

class HeadlessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProgramForTesting();
    platform::InstallBackend(&backend_);
  }
  void TearDown() override {
    platform::InstallBackend(nullptr);
    ResetProgramForTesting();
  }

  platform::HeadlessBackend backend_;
};

}  // namespace memo::testing
