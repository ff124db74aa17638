// Decoding of message-box style words, shared by both backends.
#include <gtest/gtest.h>

#include <vector>

#include "platform/message_box.h"

namespace memo::platform {
namespace {

TEST(BoxStyleTest, ButtonSetsOfEveryCode) {
  const std::vector<std::vector<int>> expected = {
      {kIdOk},
      {kIdOk, kIdCancel},
      {kIdAbort, kIdRetry, kIdIgnore},
      {kIdYes, kIdNo, kIdCancel},
      {kIdYes, kIdNo},
      {kIdRetry, kIdCancel},
  };
  for (uint32_t code = 0; code < expected.size(); ++code) {
    EXPECT_EQ(DecodeBoxStyle(code).buttons, expected[code]) << code;
  }
  EXPECT_EQ(DecodeBoxStyle(9).buttons, std::vector<int>{kIdOk});  // unknown: OK alone
}

TEST(BoxStyleTest, CloseControlAnswersCancelOrTheOnlyButton) {
  EXPECT_EQ(DecodeBoxStyle(kMbOk).close_result, kIdOk);
  EXPECT_EQ(DecodeBoxStyle(kMbOkCancel).close_result, kIdCancel);
  EXPECT_EQ(DecodeBoxStyle(kMbYesNoCancel).close_result, kIdCancel);
  EXPECT_EQ(DecodeBoxStyle(kMbRetryCancel).close_result, kIdCancel);
  // No Cancel and more than one button: the close control is disabled.
  EXPECT_FALSE(DecodeBoxStyle(kMbYesNo).close_result.has_value());
  EXPECT_FALSE(DecodeBoxStyle(kMbAbortRetryIgnore).close_result.has_value());
}

TEST(BoxStyleTest, Icons) {
  EXPECT_EQ(DecodeBoxStyle(0).icon, BoxIcon::kNone);
  EXPECT_EQ(DecodeBoxStyle(16).icon, BoxIcon::kStop);
  EXPECT_EQ(DecodeBoxStyle(32).icon, BoxIcon::kQuestion);
  EXPECT_EQ(DecodeBoxStyle(48).icon, BoxIcon::kWarning);
  EXPECT_EQ(DecodeBoxStyle(64).icon, BoxIcon::kInformation);
  EXPECT_EQ(DecodeBoxStyle(80).icon, BoxIcon::kNone);
}

TEST(BoxStyleTest, DefaultButtonFallsBackToTheFirst) {
  EXPECT_EQ(DecodeBoxStyle(kMbYesNoCancel).default_index, 0);
  EXPECT_EQ(DecodeBoxStyle(kMbYesNoCancel | kMbDefaultButton2).default_index, 1);
  EXPECT_EQ(DecodeBoxStyle(kMbYesNoCancel | kMbDefaultButton3).default_index, 2);
  EXPECT_EQ(DecodeBoxStyle(kMbOkCancel | kMbDefaultButton3).default_index, 0);
  EXPECT_EQ(DecodeBoxStyle(kMbOk | kMbDefaultButton2).default_index, 0);
}

TEST(BoxStyleTest, Modality) {
  EXPECT_EQ(DecodeBoxStyle(0).modality, BoxModality::kApplication);
  EXPECT_EQ(DecodeBoxStyle(kMbSystemModal).modality, BoxModality::kSystem);
  EXPECT_EQ(DecodeBoxStyle(kMbTaskModal | 1).modality, BoxModality::kTask);
}

TEST(BoxStyleTest, AnswerNames) {
  for (int id = kIdOk; id <= kIdNo; ++id) {
    EXPECT_EQ(ButtonFromName(ButtonName(id)), id);
  }
  EXPECT_EQ(ButtonFromName("cancel"), kIdCancel);
  EXPECT_FALSE(ButtonFromName("close").has_value());
  EXPECT_FALSE(ButtonFromName("").has_value());
}

}  // namespace
}  // namespace memo::platform
