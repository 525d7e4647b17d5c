// Threads of the class library: created suspended, given a priority, started,
// and able to run a method on the GUI thread and wait for it.
#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <thread>

#include "toolkit/Classes.h"

namespace qv::platform {
class IEventLoop;
class IThreads;
}  // namespace qv::platform

namespace qv {

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// A parameterless method run on the GUI thread.
using TThreadMethod = std::function<void()>;

class TThread : public TObject {
 public:
  // The thread is created suspended: Resume starts its body. (Starting it from
  // here would let it run before the derived class is constructed.)
  TThread();
  // A thread still running is asked to stop and waited for. A thread that frees
  // itself calls this from its own body at the end of the run. A derived class
  // whose body may still run must stop it in its own destructor (Terminate,
  // WaitFor): by the time this runs, the derived part is gone.
  ~TThread() override;

  // Starts the body once; later calls do nothing.
  void Resume();
  // Asks the body to stop; the body polls Terminated().
  void Terminate() { terminated_.store(true); }
  bool Terminated() const { return terminated_.load(); }
  bool Suspended() const { return !started_; }
  bool Finished() const;
  // Blocks until the body and the completion step have ended; returns
  // ReturnValue. A thread that was never started returns at once. While the GUI
  // thread waits here, the thread's Synchronize calls fail instead of waiting.
  int WaitFor();

  // A thread that frees itself must not be touched once it has been resumed
  // except from its own body (or its completion handler).
  bool FreeOnTerminate() const { return freeOnTerminate_.load(); }
  void SetFreeOnTerminate(bool value) { freeOnTerminate_.store(value); }
  TThreadPriority Priority() const { return priority_.load(); }
  // Takes effect when the thread starts: the platform sets priorities only for
  // the calling thread.
  void SetPriority(TThreadPriority value) { priority_.store(value); }
  int ReturnValue() const { return returnValue_.load(); }
  // The exception that escaped Execute, if any.
  std::exception_ptr FatalException() const { return fatalException_; }
  std::thread::id ThreadID() const { return threadId_.load(); }

  // The priority value the platform layer is given for `priority`.
  static int PlatformPriority(TThreadPriority priority);
  // Thread objects alive in the process: a thread that frees itself counts
  // until its destructor has ended, so a count of 0 means no body is left
  // running, not even the end of one (tests wait for it before tearing down).
  static int Alive() { return alive_.load(); }

  // Runs `method` on the GUI thread and waits for it; an exception it raises
  // is raised again here. On the GUI thread itself it runs at once. Raises
  // EThread when there is no event loop, or when the GUI thread is blocked in
  // WaitFor on this thread (waiting would never end).
  void Synchronize(const TThreadMethod& method);

  // Completion handler: runs through Synchronize on the GUI thread once the
  // body has returned.
  TNotifyEvent OnTerminate;

 protected:
  // The thread body.
  virtual void Execute() = 0;
  // The end-of-thread step: runs OnTerminate through Synchronize.
  virtual void DoTerminate();
  void SetReturnValue(int value) { returnValue_.store(value); }

 private:
  struct Shared;

  void Run();
  int WaitForEnd();

  static inline std::atomic<int> alive_{0};
  std::shared_ptr<Shared> shared_;
  std::thread thread_;
  std::atomic<std::thread::id> threadId_{};
  std::atomic<bool> terminated_{false};
  std::atomic<int> returnValue_{0};
  std::exception_ptr fatalException_;
  bool started_ = false;  // GUI side only
  std::atomic<bool> freeOnTerminate_{false};
  std::atomic<TThreadPriority> priority_{tpNormal};
};

}  // namespace qv
