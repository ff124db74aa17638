// A fixture that installs a fresh headless backend and a fresh program state for each test.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/backend.h"
#include "platform/codec.h"
#include "platform/headless/headless_backend.h"
#include "runtime/program.h"

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

// GBK bytes of a UTF-8 literal.
inline std::string G(const char* utf8) { return Utf8ToGbk(utf8); }

}  // namespace memo::testing
