// A component that runs its Exec handler once per start on a thread of its own.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "toolkit/Classes.h"
#include "toolkit/SysUtils.h"
#include "toolkit/Thread.h"

namespace qv {

QV_DECLARE_EXCEPTION(EEasyTheadException, Exception);

class TEasyThreadThread;
class TNorvikEasyThread;

using TExecEvent = std::function<void(TObject* Sender, TEasyThreadThread* Thread)>;

namespace easythrd_detail {
// What a worker and its component share. The component unhooks itself when it
// is destroyed, so a run that ends later finds nobody to report to. Guarded by
// `mutex`: the worker clears `thread` from its own thread.
struct Link {
  std::mutex mutex;
  TNorvikEasyThread* component = nullptr;
  TEasyThreadThread* thread = nullptr;  // the run in progress
};
}  // namespace easythrd_detail

// One run of the component's handler. Frees itself when the run has ended.
class TEasyThreadThread : public TThread {
 public:
  TEasyThreadThread();
  ~TEasyThreadThread() override;

  // The thread's protected items, public for the handler.
  using TThread::Synchronize;
  using TThread::Terminated;
  void DoTerminate() override;

  // Copied from the component at start.
  TExecEvent FExec;
  // The component that started the run; passed to the handler as Sender.
  TNorvikEasyThread* FOwner = nullptr;

 protected:
  void Execute() override;

 private:
  friend class TNorvikEasyThread;
  std::shared_ptr<easythrd_detail::Link> link_;
};

class TNorvikEasyThread : public TComponent {
 public:
  explicit TNorvikEasyThread(TComponent* owner);
  // A run in progress is only asked to stop (its terminated flag); it is not
  // waited for, and its completion no longer reaches this component.
  ~TNorvikEasyThread() override;

  // Design-time documentation; assignments are ignored.
  const TStringList& Help() const { return help_; }
  void SetHelp(const TStringList&) {}
  const std::string& Version() const { return version_; }
  void SetVersion(const std::string&) {}
  const std::string& OtherGreatStuff() const { return otherGreatStuff_; }
  void SetOtherGreatStuff(const std::string&) {}

  // The worker of the run in progress, or null. GUI thread only.
  TEasyThreadThread* Thread() const;
  // True from start until the end of the run has been handled on the GUI thread.
  bool Active() const { return active_; }
  TThreadPriority Priority() const { return priority_; }
  void SetPriority(TThreadPriority value) { priority_ = value; }

  // Starts one run of Exec. Does nothing while a run is in progress. Raises
  // EEasyTheadException when Exec is unassigned.
  void start();
  // Asks the run in progress to end (its handler sees thread.terminated); the
  // thread frees itself when the handler returns.
  void stop();

  // The completion handler of each run, on the GUI thread.
  void ThreadDone(TObject* Sender);

  TExecEvent Exec;
  TNotifyEvent ThreadBegin;  // after a run has been started, on the calling thread
  TNotifyEvent ThreadEnd;    // after a run's end has been handled, on the GUI thread

 private:
  TStringList help_;
  std::string version_;
  std::string otherGreatStuff_;
  bool active_ = false;
  TThreadPriority priority_ = tpIdle;
  std::shared_ptr<easythrd_detail::Link> link_;
};

}  // namespace qv
