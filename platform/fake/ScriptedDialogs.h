// Message boxes and file dialogs that answer from a script and record what they showed.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/Dialogs.h"

namespace qv::platform::fake {

class ScriptedDialogs : public IDialogs {
 public:
  struct Shown {
    std::string text, caption;
    unsigned flags;
  };

  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  bool OpenFile(const FileDialogRequest& request, std::string& chosen) override;
  bool ChooseFolder(const std::string& title, const std::string& initialDirectory,
                    std::string& chosen) override;
  void Beep() override { ++beeps; }

  // Answers for the next message boxes, in order; when none is queued the box answers OK.
  std::deque<int> answers;
  // Files for the next file dialogs; an empty entry means the user cancelled.
  std::deque<std::string> files;
  // Called while a file dialog is up, before it answers: what the screen shows then.
  std::function<void(const FileDialogRequest&)> whileFileDialogOpen;
  // Folders for the next folder choosers; an empty entry (or none) means cancelled.
  std::deque<std::string> folders;
  std::vector<std::string> folderTitles;

  std::vector<Shown> shown;
  std::vector<FileDialogRequest> fileRequests;
  int beeps = 0;

  std::vector<std::string> Texts() const;
};

}  // namespace qv::platform::fake
