// The Qt application object, made here so that no file above the seam includes a Qt header:
// main() of the desktop program holds one of these for as long as the backend lives.
#pragma once

#include <memory>

class QApplication;

namespace memo::platform::qt {

class QtApplication {
 public:
  // Takes the toolkit's own options (-platform, -style …) out of argc/argv. REQUIRES: argc and
  // argv outlive this object, as Qt keeps them.
  QtApplication(int& argc, char** argv);
  ~QtApplication();
  QtApplication(const QtApplication&) = delete;
  QtApplication& operator=(const QtApplication&) = delete;

 private:
  std::unique_ptr<QApplication> application_;
};

}  // namespace memo::platform::qt
