// The diagnostic behind Button1 on a real X server: it lists another program's
// window by its caption and asks it to close, and leaves the others alone.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "AppFixture.h"
#include "platform/Services.h"
#include "platform/linux/X11DesktopWindows.h"

extern char** environ;

namespace qv::testing {
namespace {

// A throwaway X client with a caption of our choosing, ended when the test ends.
class Client {
 public:
  explicit Client(const std::string& title) {
    const char* argv[] = {"xclock", "-title", title.c_str(), "-geometry", "60x60+10+10", nullptr};
    if (posix_spawnp(&pid_, "xclock", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) pid_ = -1;
  }
  ~Client() {
    if (Running()) ::kill(pid_, SIGTERM);
    if (pid_ > 0 && !exited_) ::waitpid(pid_, nullptr, 0);
  }
  bool Started() const { return pid_ > 0; }
  bool Running() {
    if (pid_ <= 0 || exited_) return false;
    exited_ = ::waitpid(pid_, nullptr, WNOHANG) == pid_;
    return !exited_;
  }

 private:
  pid_t pid_ = -1;
  bool exited_ = false;
};

bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000) {
  for (int waited = 0; waited < timeoutMs; waited += 20) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return done();
}

class PanelDiagnosticX11 : public AppFixture {
 protected:
  PanelDiagnosticX11() { platform::Current().desktop = &x11; }
  void SetUp() override {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') GTEST_SKIP() << "no X display (run under xvfb-run)";
  }
  bool Listed(const std::string& caption) {
    for (const platform::DesktopWindow& w : x11.List())
      if (w.caption == caption) return true;
    return false;
  }

  platform::X11DesktopWindows x11;
};

TEST_F(PanelDiagnosticX11, ClosesTheWindowWhoseCaptionHoldsTheWatchedTextAndLogsTheOthers) {
  const std::string tag = std::to_string(::getpid());
  const std::string target = "QV Probe " + tag + " - watched";
  const std::string bystander = "QV Bystander " + tag;
  Client watched(target), other(bystander);
  ASSERT_TRUE(watched.Started() && other.Started()) << "xclock (x11-apps) is needed";
  ASSERT_TRUE(WaitFor([&] { return Listed(target) && Listed(bystander); }));

  TForm1& f = Start();
  f.Edit2->SetText("qv probe " + tag);  // case is ignored
  f.Button1->Click();
  EXPECT_TRUE(WaitFor([&] { return !watched.Running(); })) << "the watched window was not closed";
  EXPECT_EQ(Count(target), 1);
  EXPECT_EQ(Count(bystander), 1);
  EXPECT_TRUE(other.Running());
  EXPECT_FALSE(WaitFor([&] { return !Listed(bystander); }, 300));
}

}  // namespace
}  // namespace qv::testing
