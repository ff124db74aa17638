// The seam between the data binding and the window above it: the provider and the data source
// reach message boxes and font metrics only through the installed DataHost, and behave soundly
// with none installed.
#include "data/data_host.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/data_source.h"
#include "data/db_provider.h"
#include "platform/backend.h"
#include "platform/headless/headless_backend.h"
#include "platform/message_box.h"
#include "tests/support/test_util.h"
#include "ui/data_units/backend_data_host.h"

namespace memo::db {
namespace {

using testing::G;

class RecordingHost : public DataHost {
 public:
  void ShowNotice(std::string_view text_gbk, std::string_view caption_gbk) override {
    notices.emplace_back(std::string(text_gbk) + "|" + std::string(caption_gbk));
  }
  int MeasureTextWidth(std::string_view face_gbk, int height, std::string_view text_gbk) override {
    measured.emplace_back(std::string(face_gbk) + "|" + std::to_string(height) + "|" +
                          std::string(text_gbk));
    return width;
  }
  std::vector<std::string> notices;
  std::vector<std::string> measured;
  int width = 0;
};

// Swaps a host in for one test and puts the previous one back.
class ScopedHost {
 public:
  explicit ScopedHost(DataHost* host) : previous_(InstallDataHost(host)) {}
  ~ScopedHost() { InstallDataHost(previous_); }

 private:
  DataHost* previous_;
};

TEST(DataHostTest, TheReferenceLetterIsMeasuredThroughTheHostInTheReferenceFont) {
  RecordingHost host;
  host.width = 17;
  ScopedHost scoped(&host);
  EXPECT_EQ(ReferenceLetterWidth(), 17);
  ASSERT_EQ(host.measured.size(), 1u);
  EXPECT_EQ(host.measured[0], G("宋体") + "|40|W");
  // A host that cannot measure (0) gives the fallback, half the font's height.
  host.width = 0;
  EXPECT_EQ(ReferenceLetterWidth(), kReferenceFontHeight / 2);
}

TEST(DataHostTest, WithoutAHostNothingIsShownAndLettersAreHalfTheHeight) {
  ScopedHost scoped(nullptr);
  platform::HeadlessBackend backend;
  platform::Backend* previous = platform::InstallBackend(&backend);
  EXPECT_EQ(ReferenceLetterWidth(), kReferenceFontHeight / 2);
  DBProvider unconnected;
  DataSource source;
  source.Connect(&unconnected);
  source.Navigate(NavigationButton::kInsert);  // fails: nothing to insert into
  EXPECT_EQ(source.RowCount(), 0);
  EXPECT_TRUE(backend.boxes().empty());  // the data layer never reaches the backend itself
  platform::InstallBackend(previous);
}

TEST(DataHostTest, AFailedButtonTellsTheHostOnceWithItsOwnText) {
  RecordingHost host;
  ScopedHost scoped(&host);
  DBProvider unconnected;
  DataSource source;
  source.Connect(&unconnected);
  source.Navigate(NavigationButton::kInsert);  // an unconnected provider takes no row
  source.Connect(nullptr);  // (deleting from an empty table succeeds: nothing to delete)
  source.Navigate(NavigationButton::kDelete);
  EXPECT_EQ(host.notices, (std::vector<std::string>{G("插入新记录失败!") + "|" + G("温馨提示"),
                                                    G("删除记录失败!") + "|" + G("温馨提示")}));
  // A refused button (read only) is quiet.
  source.Connect(&unconnected);
  source.set_read_only(true);
  source.Navigate(NavigationButton::kInsert);
  EXPECT_EQ(host.notices.size(), 2u);
}

TEST(DataHostTest, TheWindowsHostForwardsToWhicheverBackendIsInstalled) {
  ui::BackendDataHost host;
  platform::HeadlessBackend backend;
  platform::Backend* previous = platform::InstallBackend(&backend);
  host.ShowNotice(G("说明"), G("标题"));
  ASSERT_EQ(backend.boxes().size(), 1u);
  EXPECT_EQ(backend.boxes()[0].text_gbk, G("说明"));
  EXPECT_EQ(backend.boxes()[0].title_gbk, G("标题"));
  EXPECT_EQ(backend.boxes()[0].style, platform::kMbOk | platform::kMbIconWarning);
  // The headless letters are half the font's height wide.
  EXPECT_EQ(host.MeasureTextWidth(G("宋体"), 40, "WW"), 40);
  platform::InstallBackend(nullptr);
  EXPECT_EQ(host.MeasureTextWidth(G("宋体"), 40, "W"), 0);
  host.ShowNotice("x", "y");  // no backend: nothing to show, and no crash
  platform::InstallBackend(previous);
  EXPECT_EQ(backend.boxes().size(), 1u);
}

}  // namespace
}  // namespace memo::db
