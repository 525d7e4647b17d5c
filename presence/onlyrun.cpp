#include "presence/onlyrun.h"

#include <string_view>

#include "platform/DesktopWindows.h"
#include "platform/Services.h"

namespace qv {

namespace {

// Captions and titles are compared on at most this many characters.
constexpr std::size_t kCompared = 255;

// What a check and its per-window matching share; one set for every instance
// (checks run on the GUI thread and never overlap).
struct CheckState {
  bool found = false;
  const TStringList* titles = nullptr;
  std::string foundTitle;  // keeps its last value; read only right after a match
};
CheckState check;

// One window: every title is tried, so of several titles the caption begins
// with, the last one is reported. Returns whether to go on to the next window.
bool MatchWindow(std::string_view caption) {
  if (caption.empty()) return true;
  caption = caption.substr(0, kCompared);
  bool matched = false;
  for (const std::string& title : check.titles->Lines()) {
    const std::string_view wanted = std::string_view(title).substr(0, kCompared);
    if (caption.substr(0, wanted.size()) == wanted) {
      check.foundTitle = title;
      check.found = true;
      matched = true;
    }
  }
  return !matched;
}

}  // namespace

TOnlyIfRunning::TOnlyIfRunning(TComponent* owner) : TComponent(owner) {}

TOnlyIfRunning::~TOnlyIfRunning() {
  if (hooked_ && Application != nullptr) Application->OnIdle = previousIdle_;
}

void TOnlyIfRunning::SetAppTitles(const TStringList& titles) {
  appTitles_.Assign(titles);
}

void TOnlyIfRunning::Loaded() {
  TComponent::Loaded();
  if (IsDesigning() || Application == nullptr || hooked_) return;
  previousIdle_ = Application->OnIdle;
  Application->OnIdle = [this](TObject* sender, bool& done) { IdleCheck(sender, done); };
  hooked_ = true;
}

void TOnlyIfRunning::IdleCheck(TObject* Sender, bool& Done) {
  check.found = false;
  check.titles = &appTitles_;
  platform::IDesktopWindows* desktop = platform::Current().desktop;
  const bool read = desktop == nullptr || desktop->ForEachCaption(MatchWindow);
  check.titles = nullptr;
  if (!read) {
    if (OnWindowListUnavailable) OnWindowListUnavailable(this, desktop->Problem());
  } else if (check.found) {
    if (OnApplicationFound) OnApplicationFound(this, check.foundTitle);
  } else if (OnApplicationNotFound) {
    OnApplicationNotFound(this, std::string());
  }
  if (previousIdle_) previousIdle_(Sender, Done);
}

}  // namespace qv
