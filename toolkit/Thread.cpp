#include "toolkit/Thread.h"

#include <condition_variable>
#include <mutex>
#include <system_error>

#include "platform/EventLoop.h"
#include "platform/Services.h"
#include "platform/Threads.h"

namespace qv {

namespace {

constexpr const char* kGuiWaiting = "Thread Error: the main thread is waiting for this thread";
constexpr const char* kNoLoop = "Thread Error: no main thread event loop to synchronize with";

// One Synchronize call handed to the GUI thread.
struct SyncRequest {
  bool started = false;    // the GUI thread has begun running the method
  bool done = false;       // ... and finished it
  bool abandoned = false;  // the worker gave up waiting: the method must not run
  std::exception_ptr error;
};

}  // namespace

// State that the worker, the GUI thread and queued Synchronize calls share. It
// outlives the thread object, so a queued call never touches freed memory.
struct TThread::Shared {
  std::mutex mutex;
  std::condition_variable changed;
  bool finished = false;
  int guiWaiters = 0;  // GUI-thread WaitFor calls in progress
  // Taken when the thread starts, on the thread that starts it, so the worker
  // never reads the process-wide wiring while someone may change it.
  platform::IEventLoop* loop = nullptr;
  platform::IThreads* threads = nullptr;
};

TThread::TThread() : shared_(std::make_shared<Shared>()) {
  ++alive_;
}

TThread::~TThread() {
  struct Gone {
    ~Gone() { --alive_; }
  } gone;
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) {
    // Freeing itself at the end of its own run.
    thread_.detach();
    return;
  }
  Terminate();
  WaitForEnd();
  thread_.join();
}

int TThread::PlatformPriority(TThreadPriority priority) {
  switch (priority) {
    case tpIdle: return -15;
    case tpLowest: return -2;
    case tpLower: return -1;
    case tpNormal: return 0;
    case tpHigher: return 1;
    case tpHighest: return 2;
    case tpTimeCritical: return 15;
  }
  return 0;
}

void TThread::Resume() {
  if (started_) return;
  const platform::Services& services = platform::Current();
  // Held until thread_ is assigned: a thread that frees itself may otherwise
  // reach its destructor while thread_ is still being written.
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->loop = services.loop;
  shared_->threads = services.threads;
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error& error) {
    throw EThread(Format("Thread creation error: %s", error.what()));
  }
  started_ = true;
}

bool TThread::Finished() const {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return shared_->finished;
}

int TThread::WaitFor() {
  if (!started_) return ReturnValue();
  if (std::this_thread::get_id() == threadId_.load())
    throw EThread("Thread Error: a thread cannot wait for itself");
  return WaitForEnd();
}

int TThread::WaitForEnd() {
  const bool gui = shared_->loop != nullptr && shared_->loop->IsLoopThread();
  std::unique_lock<std::mutex> lock(shared_->mutex);
  if (gui) {
    ++shared_->guiWaiters;
    shared_->changed.notify_all();  // a Synchronize already waiting must give up
  }
  shared_->changed.wait(lock, [this] { return shared_->finished; });
  if (gui) --shared_->guiWaiters;
  return ReturnValue();
}

void TThread::Run() {
  { std::lock_guard<std::mutex> lock(shared_->mutex); }  // Resume has finished
  threadId_.store(std::this_thread::get_id());
  if (shared_->threads != nullptr)
    shared_->threads->SetCurrentThreadPriority(PlatformPriority(priority_.load()));
  try {
    if (!Terminated()) Execute();
  } catch (...) {
    fatalException_ = std::current_exception();
  }
  try {
    DoTerminate();
  } catch (...) {
    // The completion handler could not run (or raised): the run still ends.
  }
  // Read before signalling: once `finished` is seen, an owner may free us.
  const bool freeSelf = freeOnTerminate_.load();
  const std::shared_ptr<Shared> shared = shared_;
  {
    std::lock_guard<std::mutex> lock(shared->mutex);
    shared->finished = true;
  }
  shared->changed.notify_all();
  if (freeSelf) delete this;
}

void TThread::DoTerminate() {
  if (OnTerminate) Synchronize([this] { OnTerminate(this); });
}

void TThread::Synchronize(const TThreadMethod& method) {
  platform::IEventLoop* loop = shared_->loop != nullptr ? shared_->loop : platform::Current().loop;
  if (loop == nullptr) throw EThread(kNoLoop);
  if (loop->IsLoopThread()) {
    method();
    return;
  }
  const std::shared_ptr<Shared> shared = shared_;
  auto request = std::make_shared<SyncRequest>();
  {
    std::lock_guard<std::mutex> lock(shared->mutex);
    if (shared->guiWaiters > 0) throw EThread(kGuiWaiting);
  }
  loop->Post([shared, request, method] {
    {
      std::lock_guard<std::mutex> lock(shared->mutex);
      if (request->abandoned) return;
      request->started = true;
    }
    std::exception_ptr error;
    try {
      method();
    } catch (...) {
      error = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> lock(shared->mutex);
      request->error = std::move(error);
      request->done = true;
    }
    shared->changed.notify_all();
  });
  std::exception_ptr error;
  {
    std::unique_lock<std::mutex> lock(shared->mutex);
    shared->changed.wait(lock,
                         [&] { return request->done || (shared->guiWaiters > 0 && !request->started); });
    if (!request->done) {
      request->abandoned = true;
      throw EThread(kGuiWaiting);
    }
    // Taken over here, so the error is freed on this thread whenever the GUI
    // thread lets go of the request.
    error = std::move(request->error);
  }
  if (error) std::rethrow_exception(error);
}

}  // namespace qv
