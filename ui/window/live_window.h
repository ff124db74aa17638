// The window runtime's own view of a live window. Only the runtime's files include this; units
// and tools see the LiveWindow interface of window_runtime.h.
#pragma once

#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/window.h"
#include "ui/window/menus.h"
#include "ui/window/window_runtime.h"
#include "ui/window/window_unit.h"

namespace memo::ui {

class LiveWindowImpl final : public LiveWindow {
 public:
  LiveWindowImpl(int store_index, const WindowRecord& stored);
  ~LiveWindowImpl() override;

  // LiveWindow
  uint32_t window_id() const override { return record_.id; }
  uint32_t window_unit_id() const override { return record_.units[0].id; }
  platform::Window* native() const override { return native_.get(); }
  const WindowRecord& record() const override { return record_; }
  Unit* UnitAt(int index) const override;
  Unit* FindUnit(uint32_t unit_id) const override;
  Unit* FindUnitByName(std::string_view name_gbk) const override;
  Unit* UnitOfControl(const platform::Control* control) const override;
  void AdoptChild(platform::Control* child, Unit* owner) override;
  void ForgetChild(platform::Control* child) override;
  bool modal() const override { return modal_; }
  bool closing() const override { return closing_; }
  bool loaded() const override { return loaded_; }

  // The runtime's state of the window.
  int store_index() const { return store_index_; }
  WindowRecord& working() { return record_; }
  WindowUnit* window_unit() const;
  const WindowBlock& block() const { return window_unit()->block(); }
  // Unit-table index of a unit id (0 and the window unit's id give 0), or -1.
  int IndexOf(uint32_t unit_id) const;
  // Unit-table index of the unit whose control this is, or -1.
  int IndexOfControl(const platform::Control* control) const;
  Unit* AdoptedOwner(const platform::Control* control) const;
  // Expires when the window is destroyed.
  std::weak_ptr<char> LifeToken() const { return alive_; }
  bool alive() const { return alive_ != nullptr; }

  // Runs the loading steps (see window_runtime.cc); false when the window cannot be created, in
  // which case everything created is gone again.
  bool Create(platform::Window* owner);
  // Rebuilds the menu bar and the accelerators from the working record.
  void RebuildMenu();
  // Removes one control's unit (CloseWindow given a control).
  void RemoveUnit(int index);

  // Destruction: event 2, the units' Destroying, the menu, the native window. Moves the units
  // into `graveyard` (their objects outlive the call, their tokens expire at once).
  void Destroy(std::vector<std::unique_ptr<Unit>>* graveyard);

  // Focus cycling through the tab-stop controls in tab order; true when the focus moved.
  bool MoveFocusByTab(int from_index, bool backwards);

  std::unique_ptr<platform::Window> native_;
  std::vector<std::unique_ptr<Unit>> units_;
  BuiltMenu menu_;
  bool loaded_ = false;
  bool shown_ = false;
  bool modal_ = false;
  bool closing_ = false;
  bool destroying_ = false;
  // Windows this window's modal load disabled, by id, with their enabled state before.
  std::vector<std::pair<uint32_t, bool>> disabled_windows_;
  int loop_depth_ = 0;  // the nested loop of a modal window, 0 when none runs
  // A key the window consumed types a character next (Tab, Enter, Esc); it is swallowed too.
  int swallow_character_ = 0;

 private:
  int store_index_;
  WindowRecord record_;
  std::unordered_map<const platform::Control*, int> control_index_;
  // Unit-table index by unit id, for IndexOf: every command that names a unit looks it up. An
  // entry is checked against the working record before it is used, so a record that changes
  // (units are only ever appended or replaced in place) costs a search, never a wrong answer.
  mutable std::unordered_map<uint32_t, int> index_of_id_;
  // The last unit found: loops name the same unit over and over.
  mutable uint32_t last_id_ = 0;
  mutable int last_index_ = -1;
  std::unordered_map<const platform::Control*, Unit*> adopted_;
  std::shared_ptr<char> alive_;
};

// The input pre-processing of a live window (window_input.cc).
platform::InputDecision PreprocessInput(LiveWindowImpl* window, platform::Control* target,
                                        const platform::InputEvent& event);
// A close request from the user or from Esc: event 1, which may cancel, then the destruction.
void RequestClose(LiveWindowImpl* window);
// Destroys a live window now (window_runtime.cc).
void DestroyLiveWindow(LiveWindowImpl* window);

}  // namespace memo::ui
