// TOnlyIfRunning: at every idle moment of the application, looks for a
// top-level window whose caption begins with one of its titles and fires
// OnApplicationFound (with that title) or OnApplicationNotFound. When the
// desktop's window list cannot be read at all, neither: OnWindowListUnavailable
// says why, since a list that cannot be read is no proof that a program is gone.
#pragma once

#include <functional>
#include <string>

#include "toolkit/Application.h"
#include "toolkit/Classes.h"

namespace qv {

// Both events: `FoundApp` is the matching title, or empty when none matched.
using TOnApplicationNotFound = std::function<void(TObject* Sender, const std::string& FoundApp)>;

class TOnlyIfRunning : public TComponent {
 public:
  explicit TOnlyIfRunning(TComponent* owner);
  // Puts back the idle handler that was installed before this component's.
  ~TOnlyIfRunning() override;

  TStringList& AppTitles() { return appTitles_; }
  const TStringList& AppTitles() const { return appTitles_; }
  // Copies the lines of `titles`.
  virtual void SetAppTitles(const TStringList& titles);

  // One check: the application's idle handler once loaded, chaining to the
  // handler installed before it. Leaves `Done` as it is.
  virtual void IdleCheck(TObject* Sender, bool& Done);

  TOnApplicationNotFound OnApplicationNotFound;
  TOnApplicationNotFound OnApplicationFound;
  // `FoundApp` carries the reason here.
  TOnApplicationNotFound OnWindowListUnavailable;

 protected:
  // Hooks the application's idle processing (not while designing).
  void Loaded() override;

 private:
  TStringList appTitles_;
  TIdleEvent previousIdle_;
  bool hooked_ = false;
};

}  // namespace qv
