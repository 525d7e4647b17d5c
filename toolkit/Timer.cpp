#include "toolkit/Timer.h"

#include "platform/Services.h"
#include "toolkit/Application.h"

namespace qv {

TTimer::TTimer(TComponent* owner) : TComponent(owner) {}

TTimer::~TTimer() {
  if (id_ != 0 && loop_ != nullptr) loop_->StopTimer(id_);
}

void TTimer::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  UpdateTimer();
}

void TTimer::SetInterval(unsigned value) {
  if (value == interval_) return;
  interval_ = value;
  UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent handler) {
  onTimer_ = std::move(handler);
  UpdateTimer();
}

void TTimer::UpdateTimer() {
  if (id_ != 0 && loop_ != nullptr) loop_->StopTimer(id_);
  id_ = 0;
  if (!enabled_ || interval_ == 0 || !onTimer_) return;
  loop_ = platform::Current().loop;
  if (loop_ == nullptr) return;  // no message loop: nothing can tick
  id_ = loop_->StartTimer(interval_, [this] { Tick(); });
  if (id_ == 0) throw EOutOfResources("Not enough timers available");
}

void TTimer::Tick() {
  if (!onTimer_) return;
  // An error escaping a tick goes to the standard error report, like any handler's.
  RunGuarded([this] { onTimer_(this); });
}

}  // namespace qv
