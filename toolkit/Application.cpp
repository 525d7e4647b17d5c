#include "toolkit/Application.h"

#include <cstdio>

#include "platform/Dialogs.h"
#include "platform/EventLoop.h"
#include "platform/Services.h"
#include "platform/WindowSystem.h"
#include "toolkit/Forms.h"

namespace qv {

TApplication* Application = nullptr;

TApplication::TApplication(TComponent* owner) : TComponent(owner) {
  if (Application == nullptr) Application = this;
}

TApplication::~TApplication() {
  if (platform::Current().loop != nullptr) platform::Current().loop->SetIdleHandler(nullptr);
  if (Application == this) Application = nullptr;
}

void TApplication::SetTitle(std::string title) {
  title_ = std::move(title);
  if (platform::Current().windows != nullptr) platform::Current().windows->SetApplicationTitle(title_);
}

void TApplication::Initialize() {
  if (platform::Current().loop != nullptr) platform::Current().loop->SetIdleHandler([this] { Idle(); });
}

void TApplication::RegisterForm(TForm* form) {
  if (mainForm_ == nullptr) mainForm_ = form;
}

int TApplication::Run() {
  platform::IEventLoop* loop = platform::Current().loop;
  if (loop == nullptr) return 0;
  if (mainForm_ != nullptr && mainForm_->Visible()) mainForm_->ShowForm();
  if (terminated_) return 0;
  return loop->Run();
}

void TApplication::ProcessMessages() {
  if (platform::Current().loop != nullptr) platform::Current().loop->ProcessEvents();
}

void TApplication::Terminate(int exitCode) {
  terminated_ = true;
  if (platform::Current().loop != nullptr) platform::Current().loop->Quit(exitCode);
}

void TApplication::Minimize() {
  if (mainForm_ != nullptr) mainForm_->SetWindowState(TWindowState::wsMinimized);
  if (OnMinimize) OnMinimize(this);
}

void TApplication::Restore() {
  if (mainForm_ != nullptr) mainForm_->SetWindowState(TWindowState::wsNormal);
  if (OnRestore) OnRestore(this);
}

void TApplication::Idle() {
  bool done = true;
  if (OnIdle) RunGuarded([&] { OnIdle(this, done); });
  // `done` false would ask for another idle call before waiting; the loop calls
  // idle once per drained queue, which is what every handler here expects.
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  platform::IDialogs* dialogs = platform::Current().dialogs;
  if (dialogs == nullptr) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    return platform::kIdOk;
  }
  return dialogs->MessageBox(text, caption.empty() ? title_ : caption, flags);
}

void TApplication::ShowException(const std::exception& error) {
  std::string text = error.what();
  if (text.empty() || text.back() != '.') text += '.';
  MessageBox(text, title_, platform::kMbOk);
}

void TApplication::HandleException(const std::exception& error) {
  if (dynamic_cast<const EAbort*>(&error) != nullptr) return;
  if (OnException) {
    OnException(this);
    return;
  }
  ShowException(error);
}

void RunGuarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    if (Application != nullptr)
      Application->HandleException(e);
    else
      std::fprintf(stderr, "%s\n", e.what());
  }
}

}  // namespace qv
