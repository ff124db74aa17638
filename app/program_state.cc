#include "app/program_state.h"

#include "runtime/heap.h"

namespace memo::app {

namespace {

char* g_current_account = nullptr;
char* g_scanned_category = nullptr;

void Replace(char** slot, char* text) {
  Release(*slot);
  *slot = text;
}

}  // namespace

const char* CurrentAccount() { return g_current_account; }
void SetCurrentAccount(char* text) { Replace(&g_current_account, text); }

const char* ScannedCategory() { return g_scanned_category; }
void SetScannedCategory(char* text) { Replace(&g_scanned_category, text); }

void ExitRoutine() {
  Replace(&g_current_account, nullptr);
  Replace(&g_scanned_category, nullptr);
}

}  // namespace memo::app
