// The desktop start in process: a data directory that cannot be used is said in a box (and on
// standard error) and ends the start with 1 before anything else happens.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include "platform/backend.h"
#include "platform/data_directory.h"
#include "platform/qt/qt_backend.h"
#include "tests/desktop/desktop_support.h"
#include "tools/desktop/desktop_start.h"

namespace memo::desktop::testing {
namespace {

TEST(DesktopStartTest, AnUnusableDataDirectoryIsSaidInABoxAndEndsTheStartWithOne) {
  Scratch scratch;
  Touch(scratch / "file");
  platform::DataDirectoryInputs inputs;
  inputs.executable_directory = scratch.path();
  inputs.xdg_data_home = scratch / "file";
  platform::DataDirectoryChoice choice = platform::ChooseDataDirectory(inputs);

  platform::qt::QtBackend backend;
  platform::Backend* previous = platform::InstallBackend(&backend);
  QString title, text;
  auto* timer = new QTimer();
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [&, timer] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    title = box->windowTitle();
    text = box->text();
    box->buttons().front()->click();
  });
  timer->start();
  int code = RunDesktop(choice, scratch / "run");
  platform::InstallBackend(previous);

  EXPECT_EQ(code, 1);
  EXPECT_EQ(title.toStdString(), "温馨提示");
  EXPECT_NE(
      text.toStdString().find("cannot create the data directory " + (scratch / "file") + "/memo"),
      std::string::npos)
      << text.toStdString();
  EXPECT_FALSE(fs::exists(scratch / "run"));
}

}  // namespace
}  // namespace memo::desktop::testing
