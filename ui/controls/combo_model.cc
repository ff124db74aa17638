#include "ui/controls/combo_model.h"

#include <algorithm>

#include "platform/gbk.h"

namespace memo::ui {

bool ItemLess(std::string_view a, std::string_view b) {
  std::string x = GbkAsciiToLower(a);
  std::string y = GbkAsciiToLower(b);
  return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end(), [](char p, char q) {
    return static_cast<unsigned char>(p) < static_cast<unsigned char>(q);
  });
}

ComboModel::ComboModel(platform::ComboKind kind, bool sorted) : kind_(kind), sorted_(sorted) {}

std::string ComboModel::ItemText(int index) const {
  if (index < 0 || index >= count()) return std::string();
  return items_[static_cast<size_t>(index)].text;
}

std::string_view ComboModel::ItemView(int index) const {
  if (index < 0 || index >= count()) return std::string_view();
  return items_[static_cast<size_t>(index)].text;
}

int ComboModel::FindItem(std::string_view text) const {
  if (!index_current_) RebuildIndex();
  auto it = first_index_.find(text);
  return it == first_index_.end() ? -1 : it->second;
}

void ComboModel::RebuildIndex() const {
  first_index_.clear();
  for (size_t i = 0; i < items_.size(); ++i) {
    first_index_.emplace(items_[i].text, static_cast<int>(i));  // keeps the first of equal texts
  }
  index_current_ = true;
}

uint32_t ComboModel::ItemData(int index) const {
  if (index < 0 || index >= count()) return 0;
  return items_[static_cast<size_t>(index)].data;
}

bool ComboModel::SetItemData(int index, uint32_t data) {
  if (index < 0 || index >= count()) return false;
  items_[static_cast<size_t>(index)].data = data;
  return true;
}

int ComboModel::AddItem(std::string_view text, uint32_t data) {
  int at = count();
  if (sorted_) {
    auto after = std::upper_bound(
        items_.begin(), items_.end(), text,
        [](std::string_view t, const Item& item) { return ItemLess(t, item.text); });
    at = static_cast<int>(after - items_.begin());
  }
  return InsertItem(at, text, data);
}

int ComboModel::InsertItem(int index, std::string_view text, uint32_t data) {
  if (index == -1) index = count();
  if (index < 0 || index > count()) return -1;
  const bool appended = index == count();
  items_.insert(items_.begin() + index, Item{std::string(text), data});
  if (appended && index_current_) {
    first_index_.emplace(std::string(text), index);  // an earlier equal text stays the first
  } else {
    index_current_ = false;
  }
  if (current_ >= index) ++current_;
  return index;
}

bool ComboModel::RemoveItem(int index) {
  if (index < 0 || index >= count()) return false;
  items_.erase(items_.begin() + index);
  index_current_ = false;
  if (current_ == index) {
    current_ = -1;
  } else if (current_ > index) {
    --current_;
  }
  return true;
}

void ComboModel::Clear() {
  items_.clear();
  first_index_.clear();
  index_current_ = true;
  current_ = -1;
  edit_text_.clear();
}

void ComboModel::SelectAt(int index) {
  current_ = index;
  if (HasEditField()) edit_text_ = ItemText(index);
}

bool ComboModel::SetCurrent(int index) {
  int target = std::clamp(index, -1, count() - 1);
  bool changed = target != current_ || (HasEditField() && edit_text_ != ItemText(target));
  SelectAt(target);
  return changed;
}

std::string ComboModel::ShownText() const {
  return HasEditField() ? edit_text_ : ItemText(current_);
}

bool ComboModel::SetText(std::string_view text) {
  if (HasEditField()) {
    if (edit_text_ == text) return false;
    edit_text_ = text;
    return true;
  }
  for (int i = 0; i < count(); ++i) {
    if (items_[static_cast<size_t>(i)].text == text) return SetCurrent(i);
  }
  return false;
}

bool ComboModel::Pick(int index) {
  if (index < 0 || index >= count()) return false;
  return SetCurrent(index);
}

bool ComboModel::UserEdit(std::string_view text) {
  if (!HasEditField() || edit_text_ == text) return false;
  edit_text_ = text;
  return true;
}

}  // namespace memo::ui
