// The application's program-wide state: two texts, released by the exit routine.
#pragma once

namespace memo::app {

// The account name of the signed-in account (empty until the first sign-in).
const char* CurrentAccount();
// Takes ownership of `text` (a runtime-heap text or null), releasing the previous one.
void SetCurrentAccount(char* text);

// The "分类" value last read while the category lists were filled.
const char* ScannedCategory();
void SetScannedCategory(char* text);

// The exit routine: releases both texts. Opens, closes and writes nothing.
void ExitRoutine();

}  // namespace memo::app
