// The combo box model: sorted insertion, the current item through insertions and removals, the
// clamped index, the shown text of each kind, and the user's picks and edits.
#include "ui/controls/combo_model.h"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace memo::ui
