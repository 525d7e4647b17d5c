#include "toolkit/Dialogs.h"

#include "platform/Dialogs.h"
#include "platform/Services.h"

namespace qv {

bool TOpenDialog::Execute() {
  platform::IDialogs* dialogs = platform::Current().dialogs;
  if (dialogs == nullptr) return false;
  platform::FileDialogRequest request{title_, filter_, initialDir_, fileName_};
  std::string chosen;
  if (!dialogs->OpenFile(request, chosen)) return false;
  fileName_ = chosen;
  return true;
}

}  // namespace qv
