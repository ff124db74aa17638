// The contract suite's program: one QApplication (offscreen) for the Qt cases, and the fixture's
// shared helpers.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>

#include "platform/gbk.h"
#include "platform/input.h"
#include "tests/contract/contract_test.h"

// Font configuration keeps caches for the life of the process that it never frees; they are not
// this program's leaks.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libfreetype.so\n";
}

namespace memo::contract {

namespace {

bool IsModifierKey(int key) {
  return key == platform::vk::kShift || key == platform::vk::kControl || key == platform::vk::kMenu;
}

}  // namespace

std::vector<std::string> ContractTest::Offered(platform::Control* target) const {
  using platform::InputKind;
  std::vector<std::string> out;
  for (const auto& [who, e] : inputs_) {
    if (who != target) continue;
    switch (e.kind) {
      case InputKind::kLeftDown: out.push_back("down"); break;
      case InputKind::kLeftUp: out.push_back("up"); break;
      case InputKind::kLeftDoubleClick: out.push_back("double"); break;
      case InputKind::kRightDown: out.push_back("rdown"); break;
      case InputKind::kRightUp: out.push_back("rup"); break;
      case InputKind::kMouseMove: break;
      case InputKind::kWheel: out.push_back("wheel"); break;
      // The modifier keys themselves are left out: a test keyboard presses them around a key,
      // a script does not.
      case InputKind::kKeyDown:
        if (!IsModifierKey(e.key)) out.push_back("key " + std::to_string(e.key));
        break;
      case InputKind::kKeyUp:
        if (!IsModifierKey(e.key)) out.push_back("keyup " + std::to_string(e.key));
        break;
      case InputKind::kChar: out.push_back("char " + std::to_string(e.key)); break;
      case InputKind::kFocusGained: out.push_back("focus"); break;
      case InputKind::kFocusLost: out.push_back("blur"); break;
    }
  }
  return out;
}

std::vector<int> ContractTest::TypedCharacters(platform::Control* target) const {
  std::vector<int> out;
  for (const auto& [who, e] : inputs_) {
    if (who == target && e.kind == platform::InputKind::kChar) out.push_back(e.key);
  }
  return out;
}

uint32_t CodeOf(const std::string& gbk) { return GbkCharCodeAt(gbk, 0); }

std::string BackendName(const ::testing::TestParamInfo<BackendKind>& info) {
  return info.param == BackendKind::kHeadless ? "Headless" : "Qt";
}

}  // namespace memo::contract

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
