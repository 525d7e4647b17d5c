// A component that calls OnTimer every Interval milliseconds on the GUI thread.
#pragma once

#include "platform/EventLoop.h"
#include "toolkit/Classes.h"

namespace qv {

class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  // Milliseconds; 0 stops the timer.
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned value);

  // Assign through SetOnTimer so the timer starts when it gets its first handler.
  const TNotifyEvent& OnTimer() const { return onTimer_; }
  void SetOnTimer(TNotifyEvent handler);

  bool Running() const { return id_ != 0; }

 private:
  void UpdateTimer();
  void Tick();

  bool enabled_ = true;
  unsigned interval_ = 1000;
  TNotifyEvent onTimer_;
  platform::IEventLoop::TimerId id_ = 0;
  platform::IEventLoop* loop_ = nullptr;
};

}  // namespace qv
