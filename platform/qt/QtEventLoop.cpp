#include "platform/qt/QtEventLoop.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <climits>
#include <cstdio>
#include <exception>

namespace qv::platform::qt {

void RunShielded(const std::function<void()>& work) noexcept {
  try {
    work();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "Quorvane: unhandled error: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "Quorvane: unhandled error\n");
  }
}

namespace {

// A zero interval would fire on every pass of the loop and keep it from ever
// sleeping; one millisecond is "as soon as possible" without the spin.
constexpr unsigned kMinimumIntervalMs = 1;

int ClampInterval(unsigned intervalMs) {
  if (intervalMs < kMinimumIntervalMs) return static_cast<int>(kMinimumIntervalMs);
  if (intervalMs > static_cast<unsigned>(INT_MAX)) return INT_MAX;
  return static_cast<int>(intervalMs);
}

}  // namespace

QtEventLoop::QtEventLoop() : owner_(std::this_thread::get_id()), context_(std::make_unique<QObject>()) {
  if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
    // Bound to `context_`, so the connection ends with this object.
    QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, context_.get(),
                     [this] { AboutToBlock(); });
  }
}

QtEventLoop::~QtEventLoop() {
  // Deleting the context first drops queued wake-ups and the timers with it,
  // so nothing can call back into a half-destroyed loop.
  context_.reset();
  timers_.clear();
}

IEventLoop::TimerId QtEventLoop::StartTimer(unsigned intervalMs, std::function<void()> onTick) {
  if (!IsLoopThread() || !onTick) return 0;
  const TimerId id = nextTimerId_++;
  auto* timer = new QTimer(context_.get());
  timer->setTimerType(Qt::PreciseTimer);
  timer->setInterval(ClampInterval(intervalMs));
  auto handler = std::make_shared<std::function<void()>>(std::move(onTick));
  QObject::connect(timer, &QTimer::timeout, context_.get(), [handler] { RunShielded(*handler); });
  timers_[id] = Timer{timer, handler};
  timer->start();
  return id;
}

void QtEventLoop::StopTimer(TimerId id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) return;
  QTimer* timer = it->second.timer;
  timers_.erase(it);
  timer->stop();
  timer->disconnect();
  // The timer may be the one whose tick is running right now.
  timer->deleteLater();
}

void QtEventLoop::Post(std::function<void()> work) {
  bool wake = false;
  {
    std::lock_guard<std::mutex> lock(postMutex_);
    posts_.push_back(PostedWork{nextSequence_++, std::move(work)});
    wake = !wakePending_;
    wakePending_ = true;
  }
  // One queued wake-up drains everything posted before it runs.
  if (wake)
    QMetaObject::invokeMethod(
        context_.get(), [this] { DrainPosts(); }, Qt::QueuedConnection);
}

void QtEventLoop::DrainPosts() {
  // Only work posted before this wake-up: work that posts more work must let
  // the loop breathe in between. Items are taken one at a time, so a nested
  // drain (work that processes events) keeps the posting order.
  std::uint64_t limit = 0;
  {
    std::lock_guard<std::mutex> lock(postMutex_);
    wakePending_ = false;
    limit = nextSequence_;
  }
  for (;;) {
    std::function<void()> work;
    {
      std::lock_guard<std::mutex> lock(postMutex_);
      if (posts_.empty() || posts_.front().sequence >= limit) return;
      work = std::move(posts_.front().work);
      posts_.pop_front();
    }
    if (work) RunShielded(work);
  }
}

void QtEventLoop::SetIdleHandler(std::function<void()> onIdle) {
  onIdle_ = onIdle ? std::make_shared<std::function<void()>>(std::move(onIdle)) : nullptr;
}

void QtEventLoop::AboutToBlock() {
  if (inIdle_ || !onIdle_) return;
  // Idle belongs to the main loop: modal dialogs and menus run nested loops,
  // and the program's idle work must not run underneath them.
  const int level = QThread::currentThread()->loopLevel();
  if (level != (runLevel_ != 0 ? runLevel_ : 1)) return;
  {
    // Some dispatchers announce the block before they look at what is ready;
    // posted work still waiting means the queue is not drained yet, and its
    // wake-up brings another announcement.
    std::lock_guard<std::mutex> lock(postMutex_);
    if (wakePending_) return;
  }
  auto handler = onIdle_;  // survives the handler replacing itself
  inIdle_ = true;
  RunShielded(*handler);
  inIdle_ = false;
}

int QtEventLoop::Run() {
  if (quitPending_) {
    quitPending_ = false;
    return pendingExitCode_;
  }
  const int savedLevel = runLevel_;
  runLevel_ = QThread::currentThread()->loopLevel() + 1;
  const int code = QCoreApplication::exec();
  runLevel_ = savedLevel;
  return code;
}

void QtEventLoop::Quit(int exitCode) {
  if (!IsLoopThread()) {
    Post([this, exitCode] { Quit(exitCode); });
    return;
  }
  if (runLevel_ == 0) {
    quitPending_ = true;
    pendingExitCode_ = exitCode;
    return;
  }
  QCoreApplication::exit(exitCode);
}

void QtEventLoop::ProcessEvents() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool QtEventLoop::IsLoopThread() const {
  return std::this_thread::get_id() == owner_;
}

std::int64_t QtEventLoop::NowMs() const {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace qv::platform::qt
