// File-open dialogs and the message box helpers.
#pragma once

#include <string>

#include "toolkit/Classes.h"

namespace qv {

class TOpenDialog : public TComponent {
 public:
  explicit TOpenDialog(TComponent* owner) : TComponent(owner) {}
  const std::string& Filter() const { return filter_; }
  void SetFilter(std::string v) { filter_ = std::move(v); }
  const std::string& InitialDir() const { return initialDir_; }
  void SetInitialDir(std::string v) { initialDir_ = std::move(v); }
  const std::string& Title() const { return title_; }
  void SetTitle(std::string v) { title_ = std::move(v); }
  // The last file chosen; kept when the user cancels.
  const std::string& FileName() const { return fileName_; }
  void SetFileName(std::string v) { fileName_ = std::move(v); }
  // Shows the dialog modally; true when a file was chosen.
  bool Execute();

 private:
  std::string filter_, initialDir_, title_, fileName_;
};

}  // namespace qv
