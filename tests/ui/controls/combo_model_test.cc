// The combo box model: sorted insertion, the current item through insertions and removals, the
// clamped index, the shown text of each kind, the user's picks and edits, and the search for an
// item's text against a plain scan of the list.
#include "ui/controls/combo_model.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/codec.h"
#include "tests/support/gbk.h"

namespace memo::ui {
namespace {

using platform::ComboKind;

using ::memo::testing::G;

TEST(ComboModelTest, SortedBoxAnswersTheIndexItInsertedAt) {
  ComboModel model(ComboKind::kDropDownList, true);
  EXPECT_EQ(model.AddItem("pear", 1), 0);
  EXPECT_EQ(model.AddItem("apple", 2), 0);
  EXPECT_EQ(model.AddItem("Banana", 3), 1) << "letters compare without case";
  EXPECT_EQ(model.AddItem("banana", 4), 2) << "after the items equal to it";
  EXPECT_EQ(model.AddItem("zebra", 5), 4);
  EXPECT_EQ(model.ItemText(1), "Banana");
  EXPECT_EQ(model.ItemData(2), 4u);
  EXPECT_EQ(model.ItemData(4), 5u);
  // GBK order: 啊 (B0A1) before 中 (D6D0), both after ASCII.
  EXPECT_EQ(model.AddItem(G("中"), 6), 5);
  EXPECT_EQ(model.AddItem(G("啊"), 7), 5);
  EXPECT_TRUE(ItemLess("a", "B"));
  EXPECT_FALSE(ItemLess("b", "A"));
  EXPECT_TRUE(ItemLess("ab", "abc"));
}

TEST(ComboModelTest, UnsortedBoxAppendsAndInsertsWhereItIsTold) {
  ComboModel model(ComboKind::kDropDown, false);
  EXPECT_EQ(model.AddItem("b"), 0);
  EXPECT_EQ(model.AddItem("a"), 1);
  EXPECT_EQ(model.InsertItem(0, "c"), 0);
  EXPECT_EQ(model.InsertItem(-1, "d"), 3);
  EXPECT_EQ(model.InsertItem(9, "e"), -1);
  EXPECT_EQ(model.count(), 4);
  EXPECT_EQ(model.ItemText(4), "");
  EXPECT_EQ(model.ItemText(-1), "");
  EXPECT_EQ(model.ItemData(7), 0u);
  EXPECT_FALSE(model.SetItemData(4, 1));
}

TEST(ComboModelTest, CurrentIndexIsClampedToTheList) {
  ComboModel model(ComboKind::kDropDownList);
  model.AddItem("a");
  model.AddItem("b");
  EXPECT_TRUE(model.SetCurrent(99));
  EXPECT_EQ(model.current(), 1);
  EXPECT_TRUE(model.SetCurrent(-5));
  EXPECT_EQ(model.current(), -1);
  EXPECT_EQ(model.ShownText(), "") << "a drop-down list with none current shows nothing";
  EXPECT_FALSE(model.SetCurrent(-1));
  model.SetCurrent(0);
  EXPECT_EQ(model.ShownText(), "a");
  ComboModel empty(ComboKind::kDropDownList);
  EXPECT_FALSE(empty.SetCurrent(0));
  EXPECT_EQ(empty.current(), -1);
}

TEST(ComboModelTest, CurrentItemStaysThroughInsertionsAndRemovals) {
  ComboModel model(ComboKind::kDropDownList);
  for (const char* t : {"a", "b", "c", "d"}) model.AddItem(t);
  model.SetCurrent(2);
  model.InsertItem(0, "x");
  EXPECT_EQ(model.current(), 3);
  EXPECT_TRUE(model.RemoveItem(0));
  EXPECT_TRUE(model.RemoveItem(3));
  EXPECT_EQ(model.current(), 2);
  EXPECT_EQ(model.ShownText(), "c");
  EXPECT_TRUE(model.RemoveItem(2));
  EXPECT_EQ(model.current(), -1) << "removing the current item selects none";
  EXPECT_FALSE(model.RemoveItem(5));
  model.SetCurrent(0);
  model.Clear();
  EXPECT_EQ(model.count(), 0);
  EXPECT_EQ(model.current(), -1);
}

TEST(ComboModelTest, EditFieldShowsTheSelectedItemAndItsOwnText) {
  ComboModel model(ComboKind::kDropDown);
  model.AddItem(G("资金借出"));
  model.AddItem(G("资金借入"));
  model.SetCurrent(1);
  EXPECT_EQ(model.ShownText(), G("资金借入"));
  EXPECT_TRUE(model.SetText("typed"));
  EXPECT_EQ(model.ShownText(), "typed");
  EXPECT_EQ(model.current(), 1) << "setting the text keeps the current item";
  EXPECT_FALSE(model.SetText("typed"));
  EXPECT_TRUE(model.SetCurrent(1)) << "reselecting puts the item's text back";
  EXPECT_EQ(model.edit_text(), G("资金借入"));
  model.SetCurrent(-1);
  EXPECT_EQ(model.ShownText(), "") << "selecting none empties the field";
  model.SetText("kept?");
  model.Clear();
  EXPECT_EQ(model.ShownText(), "");
}

TEST(ComboModelTest, DropDownListTakesATextOnlyAsOneOfItsItems) {
  ComboModel model(ComboKind::kDropDownList);
  model.AddItem("a");
  model.AddItem("b");
  EXPECT_TRUE(model.SetText("b"));
  EXPECT_EQ(model.current(), 1);
  EXPECT_FALSE(model.SetText("nothing"));
  EXPECT_EQ(model.current(), 1);
  EXPECT_EQ(model.edit_text(), "");
  EXPECT_FALSE(model.UserEdit("x")) << "no edit field";
}

TEST(ComboModelTest, UserPicksAndEdits) {
  ComboModel model(ComboKind::kSimple);
  model.AddItem("one");
  model.AddItem("two");
  EXPECT_TRUE(model.Pick(1));
  EXPECT_EQ(model.ShownText(), "two");
  EXPECT_FALSE(model.Pick(1)) << "already current with its text";
  EXPECT_TRUE(model.UserEdit("tw"));
  EXPECT_EQ(model.current(), 1);
  EXPECT_TRUE(model.Pick(1)) << "the item's text comes back";
  EXPECT_FALSE(model.Pick(2));
  EXPECT_FALSE(model.Pick(-1));
  EXPECT_FALSE(model.UserEdit("two"));
}

// The first index whose text equals `text`, by reading every item in turn: what FindItem answers.
int ScanFor(const ComboModel& model, const std::string& text) {
  for (int i = 0; i < model.count(); ++i) {
    if (model.ItemText(i) == text) return i;
  }
  return -1;
}

TEST(ComboModelTest, FindItemAnswersTheFirstEqualItemThroughEveryChange) {
  // Near misses on purpose: prefixes, case, a GBK character cut after its lead byte, the empty
  // text, texts that differ only in their last byte.
  const std::vector<std::string> texts = {"",
                                          "a",
                                          "A",
                                          "ab",
                                          "abc",
                                          G("资金借出"),
                                          G("资金借入"),
                                          G("资金"),
                                          G("客户"),
                                          "\xD7",
                                          G("拜访") + "\xB0",
                                          G("拜访"),
                                          "1234567890",
                                          "123456789"};
  std::mt19937 random(16);
  for (bool sorted : {false, true}) {
    ComboModel model(ComboKind::kDropDown, sorted);
    for (int step = 0; step < 3000; ++step) {
      const std::string& text = texts[random() % texts.size()];
      switch (random() % 10) {
        case 0: model.InsertItem(static_cast<int>(random() % (model.count() + 2)) - 1, text); break;
        case 1: model.RemoveItem(static_cast<int>(random() % (model.count() + 1))); break;
        case 2:
          if (random() % 20 == 0) model.Clear();
          break;
        default: model.AddItem(text); break;
      }
      // Searches between changes, and twice in a row (the index built by the first serves the
      // second).
      for (int probe = 0; probe < 2; ++probe) {
        const std::string& wanted = texts[random() % texts.size()];
        ASSERT_EQ(model.FindItem(wanted), ScanFor(model, wanted))
            << (sorted ? "sorted" : "unsorted") << " step " << step << " count " << model.count();
      }
    }
  }
}

TEST(ComboModelTest, FindItemOverManyItemsAndACopiedModel) {
  ComboModel model(ComboKind::kDropDownList, false);
  for (int i = 0; i < 500; ++i) model.AddItem(G("类") + std::to_string(i % 300));
  EXPECT_EQ(model.count(), 500);
  EXPECT_EQ(model.FindItem(G("类") + "299"), 299);
  EXPECT_EQ(model.FindItem(G("类") + "0"), 0) << "the first of the two equal items";
  EXPECT_EQ(model.FindItem(G("类") + "300"), -1);
  EXPECT_EQ(model.FindItem(""), -1) << "no item is empty";
  model.RemoveItem(0);
  EXPECT_EQ(model.FindItem(G("类") + "0"), 299) << "the later equal item, moved up by one";
  ComboModel copy = model;
  copy.AddItem("x");
  EXPECT_EQ(copy.FindItem("x"), 499);
  EXPECT_EQ(model.FindItem("x"), -1) << "the copy's items are its own";
  EXPECT_EQ(model.ItemView(3), G("类") + "4");
  EXPECT_EQ(model.ItemView(500), "");
  EXPECT_EQ(model.ItemView(-1), "");
}

}  // namespace
}  // namespace memo::ui
