#include "worker/easythrd.h"

namespace qv {

namespace {

constexpr const char* kVersion = "beta .1";
constexpr const char* kOtherGreatStuff = "http://www.norvik.example/components";

// The usage text shown at design time.
const std::initializer_list<std::string> kHelp = {
    "TNorvikEasyThread runs one event handler on a thread of its own.",
    "",
    "Create a handler for the \"Exec\" event. Its code must exit when",
    "thread.terminated is true.",
    "",
    "Use thread.synchronize(method) to touch anything outside the thread:",
    "controls, forms and anything else the main thread uses. The method",
    "takes no parameters and must belong to a class.",
    "",
    "Variables shared with code outside the thread need mutexes, critical",
    "sections or semaphores.",
    "",
    "Methods:",
    "  start  - runs \"Exec\" once on a new thread (ignored while running)",
    "  stop   - asks the running thread to end; it is destroyed when it does",
    "",
    "Properties:",
    "  Active - true while the thread runs (read-only)",
    "  Thread - the thread object, with its protected items public",
    "",
    "Only \"Exec\" runs in the thread; every other event runs in the main thread.",
    "Threads are destroyed when stop is called or the component is freed.",
    "",
    "Example:",
    "  void TForm1::EasyThread1Exec(TObject* Sender, TEasyThreadThread* thread) {",
    "    while (!thread->Terminated()) {",
    "      DoSomeWork();",
    "      thread->Synchronize([this] { ShowProgress(); });",
    "    }",
    "  }",
    "",
    "SCROLL TO TOP TO SEE START OF HELP",
};

}  // namespace

TEasyThreadThread::TEasyThreadThread() = default;

TEasyThreadThread::~TEasyThreadThread() {
  if (!link_) return;
  std::lock_guard<std::mutex> lock(link_->mutex);
  // A later run may already have taken the slot.
  if (link_->thread == this) link_->thread = nullptr;
}

void TEasyThreadThread::DoTerminate() {
  TThread::DoTerminate();
}

void TEasyThreadThread::Execute() {
  try {
    if (FExec) FExec(FOwner, this);
  } catch (...) {
    // The handler's errors end its run and nothing else: there is nobody on
    // this thread to report them to.
  }
}

// ---------------------------------------------------------------------------

TNorvikEasyThread::TNorvikEasyThread(TComponent* owner)
    : TComponent(owner),
      help_(kHelp),
      version_(kVersion),
      otherGreatStuff_(kOtherGreatStuff),
      link_(std::make_shared<easythrd_detail::Link>()) {
  link_->component = this;
}

TNorvikEasyThread::~TNorvikEasyThread() {
  std::lock_guard<std::mutex> lock(link_->mutex);
  // Holding the lock keeps the worker alive: it clears its slot under the same
  // lock before it is freed.
  if (link_->thread != nullptr) link_->thread->Terminate();
  link_->component = nullptr;
}

TEasyThreadThread* TNorvikEasyThread::Thread() const {
  std::lock_guard<std::mutex> lock(link_->mutex);
  return link_->thread;
}

void TNorvikEasyThread::start() {
  if (Thread() != nullptr) return;
  if (!Exec) throw EEasyTheadException("Exec event not defined.");

  auto* thread = new TEasyThreadThread();
  {
    std::lock_guard<std::mutex> lock(link_->mutex);
    link_->thread = thread;
  }
  thread->link_ = link_;
  thread->OnTerminate = [link = link_](TObject* sender) {
    TNorvikEasyThread* component;
    {
      std::lock_guard<std::mutex> lock(link->mutex);
      component = link->component;
    }
    if (component != nullptr) component->ThreadDone(sender);
  };
  thread->FExec = Exec;
  thread->SetFreeOnTerminate(true);
  thread->SetPriority(priority_);
  thread->FOwner = this;
  active_ = true;
  try {
    thread->Resume();
  } catch (...) {
    active_ = false;
    delete thread;  // never started: its destructor frees the slot
    throw;
  }
  if (ThreadBegin) ThreadBegin(this);
}

void TNorvikEasyThread::stop() {
  std::lock_guard<std::mutex> lock(link_->mutex);
  if (link_->thread != nullptr) link_->thread->Terminate();
}

void TNorvikEasyThread::ThreadDone(TObject* Sender) {
  active_ = false;
  {
    std::lock_guard<std::mutex> lock(link_->mutex);
    if (Sender == nullptr || link_->thread == Sender) link_->thread = nullptr;
  }
  if (ThreadEnd) ThreadEnd(this);
}

}  // namespace qv
