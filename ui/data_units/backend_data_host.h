// The data binding's host on a window: notices as message boxes and letters measured by the
// installed platform backend, whichever backend is installed at the time of the call (none: no
// box, width 0). The data units and the grid install it before they bind a provider; it is one
// object for the whole process and never replaced once installed unless someone else installed
// a host first.
#pragma once

#include <string_view>

#include "data/data_host.h"

namespace memo::ui {

class BackendDataHost : public db::DataHost {
 public:
  void ShowNotice(std::string_view text_gbk, std::string_view caption_gbk) override;
  int MeasureTextWidth(std::string_view face_gbk, int height, std::string_view text_gbk) override;
};

// Installs the process's BackendDataHost when no host is installed yet; idempotent.
void InstallBackendDataHost();

}  // namespace memo::ui
