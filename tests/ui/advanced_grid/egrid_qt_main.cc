// One QApplication for the whole process, on the offscreen platform.
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
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
