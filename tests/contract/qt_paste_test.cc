// Ways text reaches a Qt edit box that the headless backend has no counterpart for: the context
// menu's Paste, in single- and multi-line boxes, held to the edit rules all the same.
#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>

#include <memory>
#include <string>

#include "platform/codec.h"
#include "platform/qt/qt_backend.h"
#include "platform/qt/qt_controls.h"
#include "platform/qt/qt_window.h"
#include "ui/controls/ruled_edit.h"

namespace memo::platform::qt {
namespace {

using ui::CaseConversion;
using ui::EditRules;
using ui::RuledEdit;

class QtPasteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WindowStyle style;
    style.rect = Rect{30, 30, 400, 300};
    window_ = backend_.CreateWindow(style);
    window_->Show(ShowMode::kNormal);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(static_cast<QtWindow*>(window_.get())->widget()));
  }
  RuledEdit* Make(const EditRules& rules) {
    EditStyle style;
    style.multi_line = rules.multi_line;
    ControlPlacement placement;
    placement.rect = Rect{10, 10, 300, rules.multi_line ? 120 : 24};
    edit_ = window_->CreateEdit(placement, style);
    ruled_ = std::make_unique<RuledEdit>(edit_, rules);
    ruled_->on_change = [this] { ++changes_; };
    return ruled_.get();
  }
  void SetClipboard(const std::string& text_gbk) {
    ClipboardContent content;
    content.text_gbk = text_gbk;
    backend_.SetClipboard(content);
  }
  // Chooses Paste in the widget's own context menu.
  template <typename W>
  void PasteFromContextMenu() {
    auto* widget = qobject_cast<W*>(QtCommonOf(edit_)->widget());
    ASSERT_NE(widget, nullptr);
    std::unique_ptr<QMenu> menu(widget->createStandardContextMenu());
    QAction* paste = nullptr;
    for (QAction* action : menu->actions()) {
      if (action->objectName() == QStringLiteral("edit-paste") ||
          action->text().startsWith(QStringLiteral("&Paste"))) {
        paste = action;
      }
    }
    ASSERT_NE(paste, nullptr);
    ASSERT_TRUE(paste->isEnabled());
    paste->trigger();
  }

  QtBackend backend_;
  std::unique_ptr<Window> window_;
  EditControl* edit_ = nullptr;
  std::unique_ptr<RuledEdit> ruled_;
  int changes_ = 0;
};

TEST_F(QtPasteTest, ContextMenuPasteIsHeldToTheRules) {
  RuledEdit* ruled = Make(EditRules{5, CaseConversion::kUpper, false});
  ruled->SetText("ab");
  edit_->SetSelection(2, 0);
  SetClipboard("c" + Utf8ToGbk("中文"));
  PasteFromContextMenu<QLineEdit>();
  EXPECT_EQ(edit_->Text(), "ABC" + Utf8ToGbk("中"));
  EXPECT_EQ(changes_, 1);
  int start = -1, length = -1;
  edit_->GetSelection(&start, &length);
  EXPECT_EQ(start, 5);
}

TEST_F(QtPasteTest, MultiLineContextMenuPasteIsHeldToTheRules) {
  Make(EditRules{6, CaseConversion::kLower, true});
  SetClipboard("A\r\nB" + Utf8ToGbk("中文"));
  PasteFromContextMenu<QPlainTextEdit>();
  EXPECT_EQ(edit_->Text(), "a\r\nb" + Utf8ToGbk("中")) << "CR LF counts two bytes";
  EXPECT_EQ(changes_, 1);
  // Full: a further paste is refused whole.
  PasteFromContextMenu<QPlainTextEdit>();
  EXPECT_EQ(edit_->Text(), "a\r\nb" + Utf8ToGbk("中"));
  EXPECT_EQ(changes_, 1);
}

}  // namespace
}  // namespace memo::platform::qt
