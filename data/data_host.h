// What the data binding asks of the program around it. The provider and the data source never
// show anything or measure anything themselves: a failed navigation button shows a message box,
// and column widths count letters of a reference font, so both go through the host installed
// here by the layer that puts data on a window (ui/data_units). Without a host nothing is shown
// and the reference letter is taken as half the font's height, as a double-byte font's Latin
// letters are.
//
// The host is process-wide, like the platform backend it usually forwards to; it is installed
// before the first provider connects and outlives every provider and data source.
#pragma once

#include <string_view>

namespace memo::db {

class DataHost {
 public:
  virtual ~DataHost() = default;
  // Shows a notice with one OK button and the warning icon; returns when it is dismissed.
  virtual void ShowNotice(std::string_view text_gbk, std::string_view caption_gbk) = 0;
  // The width in pixels of `text_gbk` in the font `face_gbk` of `height` pixels; 0 when unknown.
  virtual int MeasureTextWidth(std::string_view face_gbk, int height,
                               std::string_view text_gbk) = 0;
};

// Installs `host` (may be null: no host) and returns the one it replaces.
DataHost* InstallDataHost(DataHost* host);
DataHost* CurrentDataHost();

}  // namespace memo::db
