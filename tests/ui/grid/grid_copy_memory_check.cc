// What copying a large selection costs in memory: every allocation of this test binary is
// counted (operator new below), and Ctrl+C over 20 000 memos may at no moment hold more than
// twice the copied text's size beyond what was held before. A copy that kept the cells in a
// list of strings besides their text, or its text twice, fails here.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "tests/ui/grid/grid_test_util.h"

namespace {

std::atomic<size_t> g_live{0};
std::atomic<size_t> g_peak{0};

// Each block carries its size in front of it, so that a delete knows what it gives back.
constexpr size_t kHeader = alignof(std::max_align_t);

void* Counted(size_t size) {
  void* raw = std::malloc(size + kHeader);
  if (!raw) throw std::bad_alloc();
  *static_cast<size_t*>(raw) = size;
  size_t live = g_live.fetch_add(size) + size;
  size_t peak = g_peak.load();
  while (live > peak && !g_peak.compare_exchange_weak(peak, live)) {
  }
  return static_cast<char*>(raw) + kHeader;
}

void Uncounted(void* block) {
  if (!block) return;
  void* raw = static_cast<char*>(block) - kHeader;
  g_live.fetch_sub(*static_cast<size_t*>(raw));
  std::free(raw);
}

}  // namespace

void* operator new(size_t size) { return Counted(size); }
void* operator new[](size_t size) { return Counted(size); }
void operator delete(void* block) noexcept { Uncounted(block); }
void operator delete[](void* block) noexcept { Uncounted(block); }
void operator delete(void* block, size_t) noexcept { Uncounted(block); }
void operator delete[](void* block, size_t) noexcept { Uncounted(block); }

namespace memo::ui::testing {
namespace {

class GridCopyMemoryTest : public GridTest {};

TEST_F(GridCopyMemoryTest, CopyingTwentyThousandMemosHoldsLessThanTwiceTheText) {
  WriteMemoTable(dir_.File("a.mcn"), 20000);
  MakeGrid();
  Connect(dir_.File("a.mcn"));
  ASSERT_TRUE(window_->UserKey(canvas_, 'A', platform::kShiftCtrl));
  ASSERT_EQ(grid_->selection().bottom(), 20000);
  backend_.SetClipboard(platform::ClipboardContent{});
  const size_t before = g_live.load();
  g_peak.store(before);
  ASSERT_TRUE(window_->UserKey(canvas_, 'C', platform::kShiftCtrl));
  const size_t peak = g_peak.load() - before;
  const size_t text = backend_.ClipboardText().value_or("").size();
  ASSERT_GT(text, 20000u * 30);
  EXPECT_LT(peak, 2 * text) << "peak " << peak << " bytes for " << text << " bytes of text";
  // The text is whole: every row, the last one included.
  const std::string last = "c20000\t";
  EXPECT_NE(backend_.ClipboardText()->find(last), std::string::npos);
  EXPECT_EQ(canvas_->cursor(), platform::CursorShape::kDefault);  // the busy pointer is gone
}

}  // namespace
}  // namespace memo::ui::testing
