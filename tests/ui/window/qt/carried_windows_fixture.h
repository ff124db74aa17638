// A fixture for the carried windows on the Qt backend: a fresh program state and window runtime,
// the real Qt backend, the test routine table in place of the application's, and the carried
// segment loaded. Torn down in the order that lets Qt delete the widgets first.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>

#include "app/windows/carried_segment.h"
#include "platform/qt/qt_backend.h"
#include "platform/qt/qt_window.h"
#include "runtime/program.h"
#include "tests/support/window_test_support.h"
#include "ui/window/window_runtime.h"

namespace memo::testing {

class CarriedWindowsOnQtTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProgramForTesting();
    ui::ResetWindowRuntimeForTesting();
    platform::InstallBackend(&backend_);
    for (auto& behaviour : behaviours) behaviour = nullptr;
    routine_log.clear();
    ui::SetRoutineTable(TestRoutineTable(), kTestRoutines);
    ui::InstallWindowRuntime(ui::kCarriedSegment, ui::kCarriedSegmentSize);
    ASSERT_TRUE(ui::LoadSegment(ui::kCarriedSegment, ui::kCarriedSegmentSize));
  }
  void TearDown() override {
    ui::ResetWindowRuntimeForTesting();
    QApplication::processEvents();
    platform::InstallBackend(nullptr);
    ResetProgramForTesting();
  }
  // The native window of a live window, or null.
  platform::qt::QtWindow* Window(uint32_t id) {
    ui::LiveWindow* live = ui::FindLiveWindow(id);
    return live ? static_cast<platform::qt::QtWindow*>(live->native()) : nullptr;
  }

  platform::qt::QtBackend backend_;
};

}  // namespace memo::testing
