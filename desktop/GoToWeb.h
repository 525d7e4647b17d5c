// TGoToWeb: opens one web address in the browser registered for web pages.
#pragma once

#include <string>

#include "toolkit/Classes.h"

namespace qv {

class TGoToWeb : public TComponent {
 public:
  explicit TGoToWeb(TComponent* owner);

  const std::string& Url() const { return url_; }
  void SetUrl(std::string url) { url_ = std::move(url); }

  // Starts the browser with Url; true when the start was accepted, false when
  // no browser is registered or it could not be started. Nothing is shown.
  bool Execute();

  // The registered open command of the first web page extension that has
  // one, without its placeholders; empty when none is registered.
  static std::string FindBrowserCommand();
  // Deletes every '%' with the character after it ("%1", "%%"); a '%' at the
  // very end stays.
  static std::string StripPlaceholders(std::string text);

  // The program and the argument text Execute starts for `command` and `url`.
  struct Start {
    std::string program;
    std::string arguments;
  };
  static Start SplitCommand(const std::string& command, const std::string& url);

 private:
  std::string url_;
};

}  // namespace qv
