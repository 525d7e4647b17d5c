// Message boxes and file choosers on Qt Widgets.
#pragma once

#include <string>

#include "platform/Dialogs.h"

namespace qv::platform::qt {

class QtDialogs final : public IDialogs {
 public:
  // Button sets 0 to 5, icons 0x10 to 0x40 and the second or third default
  // button (0x100, 0x200) follow the Windows message box flags.
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  // Paths are file-system bytes (not Latin-1 text), so every existing file can be chosen.
  bool OpenFile(const FileDialogRequest& request, std::string& chosen) override;
  bool ChooseFolder(const std::string& title, const std::string& initialDirectory,
                    std::string& chosen) override;
  void Beep() override;
};

// "Sound files|*.wav|All|*.*;*.bak" to Qt's "Sound files (*.wav);;All (*.* *.bak)".
std::string QtFilterFromWindows(const std::string& filter);

// Where the file dialog opens and the name it preselects: a path in the preset
// name wins, then the initial directory; a directory that does not exist (such
// as a Windows path) falls back to the home directory.
struct FileDialogStart {
  std::string directory;
  std::string fileName;
};
FileDialogStart StartOfFileDialog(const FileDialogRequest& request);

}  // namespace qv::platform::qt
