// The application object: title, message loop, idle processing and the
// standard error report.
#pragma once

#include <functional>
#include <string>

#include "toolkit/Classes.h"

namespace qv {

class TForm;

// OnIdle: set `done` to false to be called again before the loop waits.
using TIdleEvent = std::function<void(TObject* Sender, bool& done)>;

class TApplication : public TComponent {
 public:
  explicit TApplication(TComponent* owner = nullptr);
  ~TApplication() override;

  const std::string& Title() const { return title_; }
  void SetTitle(std::string title);

  void Initialize();
  // The first form created becomes the main form.
  void RegisterForm(TForm* form);
  TForm* MainForm() const { return mainForm_; }
  // False: the program entry does not show the main form when it starts (it
  // starts in the notification area).
  bool ShowMainForm() const { return showMainForm_; }
  void SetShowMainForm(bool show) { showMainForm_ = show; }

  int Run();
  void ProcessMessages();
  // Ends the message loop after the current message (PostQuitMessage).
  void Terminate(int exitCode = 0);
  bool Terminated() const { return terminated_; }
  void Minimize();
  void Restore();

  // A modal message box with the application's title as the default caption.
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags);
  // The standard error report: a message box with the error's text ending in ".".
  void ShowException(const std::exception& error);
  // Called by the toolkit for every exception that escapes an event handler.
  void HandleException(const std::exception& error);

  // The idle chain: a component that hooks idle processing keeps the previous
  // handler and calls it from its own.
  TIdleEvent OnIdle;
  TNotifyEvent OnMinimize;
  TNotifyEvent OnRestore;
  TNotifyEvent OnException;  // replaces the standard report when set

 private:
  void Idle();

  std::string title_;
  TForm* mainForm_ = nullptr;
  bool terminated_ = false;
  bool showMainForm_ = true;
};

// The one application object, created by the program entry (or a test fixture).
extern TApplication* Application;

// Runs `handler`; an exception that escapes it goes to Application->HandleException.
void RunGuarded(const std::function<void()>& handler);

}  // namespace qv
