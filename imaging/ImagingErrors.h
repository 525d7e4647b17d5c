// The quiet abort used by the image routines: an operation that the program
// cannot perform tells the user once and then unwinds without a second report.
#pragma once

#include <string>

#include "toolkit/SysUtils.h"

namespace qv {

// EAbort (toolkit/SysUtils.h) unwinds an operation without a report of its own.

// A message box with the application's title and an OK button; without an
// application object it goes straight to the dialogs, and without those to
// standard error.
void ShowMessage(const std::string& text);

// Tells the user "Function not yet implemented", then raises EAbort.
[[noreturn]] void AbortNotImplemented();

}  // namespace qv
