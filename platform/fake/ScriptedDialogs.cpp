#include "platform/fake/ScriptedDialogs.h"

namespace qv::platform::fake {

int ScriptedDialogs::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  shown.push_back({text, caption, flags});
  if (answers.empty()) return kIdOk;
  const int answer = answers.front();
  answers.pop_front();
  return answer;
}

bool ScriptedDialogs::OpenFile(const FileDialogRequest& request, std::string& chosen) {
  fileRequests.push_back(request);
  if (whileFileDialogOpen) whileFileDialogOpen(request);
  if (files.empty()) return false;
  std::string next = files.front();
  files.pop_front();
  if (next.empty()) return false;
  chosen = next;
  return true;
}

bool ScriptedDialogs::ChooseFolder(const std::string& title, const std::string&, std::string& chosen) {
  folderTitles.push_back(title);
  if (folders.empty()) return false;
  std::string next = std::move(folders.front());
  folders.pop_front();
  if (next.empty()) return false;
  chosen = std::move(next);
  return true;
}

std::vector<std::string> ScriptedDialogs::Texts() const {
  std::vector<std::string> out;
  for (const auto& s : shown) out.push_back(s.text);
  return out;
}

}  // namespace qv::platform::fake
