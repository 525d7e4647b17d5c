#include "imaging/ImagingErrors.h"

#include <cstdio>

#include "platform/Dialogs.h"
#include "platform/Services.h"
#include "toolkit/Application.h"

namespace qv {

namespace {
constexpr const char kNotImplemented[] = "Function not yet implemented";
constexpr const char kAborted[] = "Operation aborted";
}  // namespace

void ShowMessage(const std::string& text) {
  if (Application != nullptr) {
    Application->MessageBox(text, Application->Title(), platform::kMbOk);
    return;
  }
  if (platform::IDialogs* dialogs = platform::Current().dialogs) {
    dialogs->MessageBox(text, std::string(), platform::kMbOk);
    return;
  }
  std::fprintf(stderr, "%s\n", text.c_str());
}

void AbortNotImplemented() {
  ShowMessage(kNotImplemented);
  throw EAbort(kAborted);
}

}  // namespace qv
