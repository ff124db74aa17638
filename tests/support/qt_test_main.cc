// The Qt tests need one QApplication for the whole process, on the offscreen platform. Death
// tests re-run this program for the dying test alone, so each child makes its own QApplication.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>

// Font configuration keeps caches for the life of the process that it never frees; they are not
// this program's leaks.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libfreetype.so\n";
}

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
