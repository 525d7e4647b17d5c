// Modal dialogs of the window system: message boxes and file choosers.
#pragma once

#include <string>

namespace qv::platform {

// Button sets and results use the Windows values so callers can compare as described.
enum MessageBoxFlags : unsigned { kMbOk = 0, kMbOkCancel = 1, kMbYesNo = 4 };
enum MessageBoxResult : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

struct FileDialogRequest {
  std::string title;
  std::string filter;            // "Sound files|*.wav"
  std::string initialDirectory;  // may not exist
  std::string fileName;          // preset name, kept by the caller between uses
};

class IDialogs {
 public:
  virtual ~IDialogs() = default;
  // Shows a modal message box (texts are Latin-1) and returns the button pressed.
  virtual int MessageBox(const std::string& text, const std::string& caption, unsigned flags) = 0;
  // Shows a modal file-open dialog; returns true and sets `chosen` when a file was chosen.
  virtual bool OpenFile(const FileDialogRequest& request, std::string& chosen) = 0;
  // Shows a modal folder chooser starting in `initialDirectory`; returns true
  // and sets `chosen` when a folder was chosen. Without one, nothing is chosen.
  virtual bool ChooseFolder(const std::string& title, const std::string& initialDirectory,
                            std::string& chosen) {
    (void)title;
    (void)initialDirectory;
    (void)chosen;
    return false;
  }
  // The platform's default alert sound.
  virtual void Beep() = 0;
};

}  // namespace qv::platform
