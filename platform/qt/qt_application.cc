#include "platform/qt/qt_application.h"

#include <QApplication>

namespace memo::platform::qt {

QtApplication::QtApplication(int& argc, char** argv)
    : application_(std::make_unique<QApplication>(argc, argv)) {}

QtApplication::~QtApplication() = default;

}  // namespace memo::platform::qt
