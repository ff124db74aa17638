// The state of a combo box, kept above the seam and written once: the items with their 32-bit
// item data, the current item and the edit field's text. The backends' combo boxes are views of
// it (ui/controls/combo_presenter.h); every change of state is decided here.
//
// Invariants:
//   1. -1 <= current() < count(); -1 means none is current.
//   2. A sorted box keeps its items in order (ItemLess); an item goes in after the items equal to
//      it, and AddItem answers the index it went in at.
//   3. The current item stays the same item while others are added or removed; removing the
//      current item leaves none current. Clear leaves no items, none current and an empty edit
//      text.
//   4. For the kinds with an edit field, selecting an item (by the program or by the user) puts
//      its text in the edit field, and selecting none empties the field; the shown text is the
//      edit text. A drop-down list has no edit text: its shown text is the current item's ("" for
//      none).
//   5. FindItem answers the first index whose text equals the given one byte for byte. Lists
//      filled item by item and searched for every record of a table (the category lists) make
//      this the hot path: the first index of every text is kept in a hash index, extended by an
//      append and rebuilt on the next search after any other change of the item order.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/controls.h"

namespace memo::ui {

// The order of a sorted box: ASCII letters (characters of their own) compare without case,
// everything else by unsigned bytes, which for GBK is the order of the code page.
bool ItemLess(std::string_view a, std::string_view b);

class ComboModel {
 public:
  struct Item {
    std::string text;  // GBK
    uint32_t data = 0;
  };

  explicit ComboModel(platform::ComboKind kind = platform::ComboKind::kDropDown,
                      bool sorted = false);

  platform::ComboKind kind() const { return kind_; }
  bool sorted() const { return sorted_; }
  bool HasEditField() const { return kind_ != platform::ComboKind::kDropDownList; }

  int count() const { return static_cast<int>(items_.size()); }
  const std::vector<Item>& items() const { return items_; }
  // "" and 0 outside the list.
  std::string ItemText(int index) const;
  // The same without a copy; valid until the list next changes.
  std::string_view ItemView(int index) const;
  // The first index whose text is exactly `text` (bytes, case-sensitive), or -1 when none is.
  int FindItem(std::string_view text) const;
  uint32_t ItemData(int index) const;
  bool SetItemData(int index, uint32_t data);  // false outside the list

  // Appends the item (a sorted box: inserts it in order) and returns the index it went in at.
  int AddItem(std::string_view text, uint32_t data = 0);
  // Inserts at `index` (-1 or the count: at the end); -1 when the index is outside that range.
  // A sorted box inserts there too, as the native box does.
  int InsertItem(int index, std::string_view text, uint32_t data = 0);
  // False outside the list.
  bool RemoveItem(int index);
  void Clear();

  int current() const { return current_; }
  // Selects item `index`: beyond the last item the last one, below -1 none. True when the
  // current item or the edit text changed.
  bool SetCurrent(int index);

  // The box's content: the edit text, or for a drop-down list the current item's text.
  std::string ShownText() const;
  const std::string& edit_text() const { return edit_text_; }
  // The program sets the content. With an edit field: the edit text (the current item stays).
  // A drop-down list selects the first item with exactly that text, and keeps its selection when
  // there is none. True when something changed.
  bool SetText(std::string_view text);

  // The user picked item `index` of the list: it becomes current (with its text in the edit
  // field). False, changing nothing, for an index outside the list or the item already current
  // with its text shown.
  bool Pick(int index);
  // The user changed the edit field's text. False when it is the text already there.
  bool UserEdit(std::string_view text);

 private:
  void SelectAt(int index);  // REQUIRES: -1 <= index < count()
  void RebuildIndex() const;

  // FNV-1a: item texts are short (a category is at most 10 bytes), where it costs a fraction of
  // the library's hash of byte strings.
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const {
      uint64_t hash = 14695981039346656037ull;
      for (char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
      return static_cast<size_t>(hash);
    }
  };

  platform::ComboKind kind_;
  bool sorted_;
  std::vector<Item> items_;
  // Text -> first index holding it; current only while index_current_ (invariant 5).
  mutable std::unordered_map<std::string, int, TextHash, std::equal_to<>> first_index_;
  mutable bool index_current_ = true;
  int current_ = -1;
  std::string edit_text_;  // always empty for a drop-down list
};

}  // namespace memo::ui
