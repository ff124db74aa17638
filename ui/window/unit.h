// A live unit: the object a unit's type creates when its window loads, kept in the unit's object
// slot until the window is destroyed. The window runtime owns every unit and handles the common
// properties (0..7) itself; a unit handles its type's own properties (8 and up), its input, and
// raises its own events.
//
// Lifetime: an event routine may close the window (and so destroy this unit) before the call that
// raised the event returns. After every Raise(), check the token from LifeToken() before touching
// a member again.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <typeinfo>

#include "platform/controls.h"
#include "platform/input.h"
#include "platform/window.h"
#include "runtime/value.h"
#include "ui/format/segment.h"

namespace memo::ui {

class LiveWindow;

// Who a unit is.
struct UnitContext {
  LiveWindow* window = nullptr;
  uint32_t window_id = 0;
  uint32_t unit_id = 0;  // the window unit's own id for the window
  int index = 0;         // position in the window's unit table
};

class Unit {
 public:
  explicit Unit(const UnitContext& context)
      : context_(context), alive_(std::make_shared<char>(0)) {}
  virtual ~Unit() = default;
  Unit(const Unit&) = delete;
  Unit& operator=(const Unit&) = delete;

  const UnitContext& context() const { return context_; }
  uint32_t window_id() const { return context_.window_id; }
  uint32_t unit_id() const { return context_.unit_id; }
  LiveWindow* window() const { return context_.window; }

  // Expires when the unit's window destroys it (its native control is gone from then on, though
  // the object itself may outlive the call that destroyed it by a moment).
  std::weak_ptr<char> LifeToken() const { return alive_; }
  bool alive() const { return alive_ != nullptr; }
  // Called by the window runtime only, as it destroys the unit's control.
  void Expire() { alive_.reset(); }

  // The native control, or null for a unit that has none (the database provider, the window).
  virtual platform::Control* control() const { return nullptr; }

  // Type property number 8 + k. Reading fills *out with a value owned by the caller; false when
  // the type has no such property (the runtime then gives the empty value / ignores the write).
  virtual bool ReadProperty(int k, int sub_index, TypedValue* out) {
    (void)k, (void)sub_index, (void)out;
    return false;
  }
  virtual bool WriteProperty(int k, int sub_index, const TypedValue& value) {
    (void)k, (void)sub_index, (void)value;
    return false;
  }

  // Loading steps: every unit of the window exists (8); loading is complete (13).
  virtual void AllUnitsCreated() {}
  virtual void LoadingComplete() {}

  // Input aimed at this unit's control that the window's own keys and the common events let
  // pass. A unit may still swallow or replace it (an edit box's length limit and case conversion).
  virtual platform::InputDecision FilterInput(const platform::InputEvent& event) {
    (void)event;
    return platform::InputDecision::Pass();
  }

  // Input aimed at a helper control this unit created and adopted (LiveWindow::AdoptChild), such
  // as a grid's in-place editor. It skips the window's keys and the common events: the unit alone
  // decides.
  virtual platform::InputDecision FilterChildInput(platform::Control* child,
                                                   const platform::InputEvent& event) {
    (void)child, (void)event;
    return platform::InputDecision::Pass();
  }

  // Enter: whether this button-like unit takes an Enter pressed while it has the focus
  // (`focused`) or while another control of the window has it.
  virtual bool TakesEnter(bool focused) const {
    (void)focused;
    return false;
  }
  // The caption whose "&" marks the unit's mnemonic (Alt + that letter), or empty.
  virtual std::string MnemonicCaption() const { return {}; }
  // Enter taken, or the mnemonic pressed: a button clicks (event 0); other units take the focus.
  virtual void Activate();

  // The window is being destroyed (event 2 has been raised); the native control still exists.
  virtual void Destroying() {}

 protected:
  // Raises one of this unit's events with integer arguments; see RaiseUnitEvent (events.h).
  bool Raise(int32_t event, std::initializer_list<int32_t> args = {},
             std::optional<uint32_t>* result = nullptr);

 private:
  UnitContext context_;
  std::shared_ptr<char> alive_;
};

// The unit as a `T` when it is exactly one: the unit types are final classes, so comparing the
// dynamic type is enough, and far cheaper than dynamic_cast for the commands that ask on every
// call which kind of unit a reference names.
template <typename T>
T* UnitAs(Unit* unit) {
  static_assert(std::is_final_v<T>, "UnitAs needs a final unit type");
  return unit != nullptr && typeid(*unit) == typeid(T) ? static_cast<T*>(unit) : nullptr;
}

// What a type's create operation gets.
struct UnitCreation {
  UnitContext context;
  const UnitRecord* record = nullptr;  // the window's working copy of the unit's record
  platform::Window* native = nullptr;  // the native window, for creating controls
  // Rectangle (in the window's client area; parenting comes later), child id 100, 110, ...,
  // visibility from the state flags (always false for a never-visible type), disabled, tab stop.
  platform::ControlPlacement placement;
};

// Creates a live unit, or returns null when it cannot be created (its type block unreadable or
// of a newer version, or the platform refused the control); the window's loading then fails.
using UnitFactory = std::unique_ptr<Unit> (*)(const UnitCreation& creation);

struct UnitTypeInfo {
  uint32_t code = 0;
  UnitFactory create = nullptr;
  bool never_visible = false;  // gets no visible style whatever its flags say
  bool raises_events = true;
};

// The type with that code, or null (a unit of an unknown type cannot be created).
const UnitTypeInfo* FindUnitType(uint32_t code);

}  // namespace memo::ui
