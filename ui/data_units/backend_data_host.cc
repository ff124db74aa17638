#include "ui/data_units/backend_data_host.h"

#include <string>

#include "platform/backend.h"
#include "platform/message_box.h"

namespace memo::ui {

void BackendDataHost::ShowNotice(std::string_view text_gbk, std::string_view caption_gbk) {
  if (platform::Backend* backend = platform::CurrentBackend()) {
    backend->ShowMessageBox(std::string(text_gbk), std::string(caption_gbk),
                            platform::kMbOk | platform::kMbIconWarning);
  }
}

int BackendDataHost::MeasureTextWidth(std::string_view face_gbk, int height,
                                      std::string_view text_gbk) {
  platform::Backend* backend = platform::CurrentBackend();
  if (!backend) return 0;
  platform::FontSpec font;
  font.height = height;
  font.face_gbk = std::string(face_gbk);
  return backend->MeasureText(font, text_gbk).width;
}

void InstallBackendDataHost() {
  static BackendDataHost host;
  if (db::CurrentDataHost() == nullptr) db::InstallDataHost(&host);
}

}  // namespace memo::ui
