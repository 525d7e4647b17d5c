// The real program under a real window manager (openbox) inside the test's X
// server: no decorations, kept above other windows, its taskbar text, minimising
// with the watches going on and back on a second start, dragging with the
// pointer, the small view's place, and the outline kept through every view
// change and around the shutdown question.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include "E2EFixture.h"

extern char** environ;

namespace qv::testing {
namespace {

using namespace std::chrono_literals;

// Client points of the window's controls.
constexpr int kSmallX = 588 + 18, kSmallY = 55 + 18;
constexpr int kMinimiseX = 671 + 18, kMinimiseY = 55 + 18;
constexpr int kCloseX = 712 + 18, kCloseY = 57 + 18;
constexpr int kBonusX = 355 + 17, kBonusY = 170 + 8;
constexpr int kPictureX = 500, kPictureY = 150;  // the bare picture, clear of every control

struct Geometry {
  int x = 0, y = 0, width = 0, height = 0;
};

class WindowManagerTest : public QuorvaneE2E {
 protected:
  void SetUp() override {
    QuorvaneE2E::SetUp();
    if (IsSkipped()) return;
    if (RunCommand({"sh", "-c", "command -v openbox"}).empty()) GTEST_SKIP() << "openbox is not installed";
    // The manager runs for this test only: the other tests see a bare server.
    char* argv[] = {const_cast<char*>("openbox"), const_cast<char*>("--sm-disable"), nullptr};
    ASSERT_EQ(posix_spawnp(&wm_, "openbox", nullptr, nullptr, argv, environ), 0);
    // Ready when its check window exists: an earlier manager's id stays on the
    // root window after it has gone.
    for (int i = 0; i < 200 && !ManagerReady(); ++i) std::this_thread::sleep_for(50ms);
  }

  bool ManagerReady() const {
    const std::string root = Property("-root", "_NET_SUPPORTING_WM_CHECK");
    const size_t at = root.find("# ");
    if (at == std::string::npos) return false;
    const std::string id = root.substr(at + 2, root.find_first_of(" \n", at + 2) - at - 2);
    return Property(id, "_NET_WM_NAME").find("Openbox") != std::string::npos;
  }

  void TearDown() override {
    run_.reset();
    if (wm_ > 0) {
      ::kill(wm_, SIGTERM);
      ::waitpid(wm_, nullptr, 0);
    }
  }

  void Launch() {
    run_ = std::make_unique<ProgramRun>(dir, registryFile);
    window_ = run_->WaitForWindow(30000);
    ASSERT_FALSE(window_.empty()) << "the window never showed: "
                                  << " exit status " << run_->WaitForExit(10);
    std::this_thread::sleep_for(300ms);
  }

  std::string Property(const std::string& window, const std::string& name) const {
    if (window == "-root") return RunCommand({"xprop", "-root", name});
    return RunCommand({"xprop", "-id", window, name});
  }

  Geometry Where() const {
    Geometry g;
    const std::string out = RunCommand({"xdotool", "getwindowgeometry", "--shell", window_});
    auto field = [&](const char* key) {
      const size_t at = out.find(std::string(key) + "=");
      return at == std::string::npos ? -1 : std::atoi(out.c_str() + at + std::strlen(key) + 1);
    };
    g.x = field("X");
    g.y = field("Y");
    g.width = field("WIDTH");
    g.height = field("HEIGHT");
    return g;
  }

  // Waits until the window has the given size (a view change has happened).
  Geometry WaitForSize(int width, int height) const {
    Geometry g;
    for (int i = 0; i < 100; ++i) {
      g = Where();
      if (g.width == width && g.height == height) break;
      std::this_thread::sleep_for(30ms);
    }
    return g;
  }

  // The colour of one screen pixel as 0xRRGGBB.
  static unsigned ScreenPixel(int x, int y) {
    const std::string out =
        RunCommand({"import", "-window", "root", "-crop",
                    "1x1+" + std::to_string(x) + "+" + std::to_string(y), "-depth", "8", "rgb:-"});
    if (out.size() < 3) return 0xFFFFFFFF;
    return static_cast<unsigned char>(out[0]) << 16 | static_cast<unsigned char>(out[1]) << 8 |
           static_cast<unsigned char>(out[2]);
  }

  // The window is shaped when its cut-away top-left corner shows no red and
  // a point inside shows the picture; and it stays above the others.
  void ExpectShapedAndOnTop(const char* when) {
    SCOPED_TRACE(when);
    // A change between ordinary and stay-on-top gives the window a new X window.
    window_ = run_->WaitForWindow(5000);
    const Geometry g = Where();
    EXPECT_NE(ScreenPixel(g.x, g.y), 0xFF0000u) << "the key colour shows: no outline";
    EXPECT_NE(Property(window_, "_NET_WM_STATE").find("_NET_WM_STATE_ABOVE"), std::string::npos);
  }

  void Click(int x, int y) { run_->Click(x, y); }

  std::unique_ptr<ProgramRun> run_;
  std::string window_;
  pid_t wm_ = -1;
};

TEST_F(WindowManagerTest,
       ABareAboveWindowNamedQuorvaneThatMinimisesWithTheWatchesGoingOnAndComesBackOnASecondStart) {
  // The log-file watch every second, on a log of our own.
  const std::string watched = dir.File("watched.log");
  std::ofstream(watched) << "first line\r\n";
  SeedText("log", watched);
  SeedNumber("interval", 1);
  SeedNumber("AppMonitorActive", 1);
  SeedText("WatchAppCaption", "Quorvane");  // our own window: nothing gets started
  Launch();
  EXPECT_NE(Property(window_, "_NET_FRAME_EXTENTS").find("= 0, 0, 0, 0"), std::string::npos)
      << "no decorations";
  EXPECT_NE(Property(window_, "_NET_WM_NAME").find("\"Quorvane\""), std::string::npos);
  ExpectShapedAndOnTop("at start");

  Click(kMinimiseX, kMinimiseY);
  std::this_thread::sleep_for(500ms);
  EXPECT_NE(Property(window_, "WM_STATE").find("Iconic"), std::string::npos);
  std::ofstream(watched, std::ios::app) << "grown while minimised\r\n";
  bool seen = false;
  for (int i = 0; i < 60 && !seen; ++i) {
    std::this_thread::sleep_for(100ms);
    seen = dir.ReadFile("quorvane.log").find("grown while minimised") != std::string::npos;
  }
  EXPECT_TRUE(seen) << "the log-file watch went on while minimised";

  // Started again: the running copy comes back from the taskbar, the new one ends.
  ProgramRun second(dir, registryFile, {dir.File("quorvane"), {}, {}, dir.File("second.err")});
  EXPECT_EQ(second.WaitForExit(10000), 0);
  EXPECT_NE(dir.ReadFile("second.err").find("its window was brought to the front"), std::string::npos)
      << dir.ReadFile("second.err");
  bool back = false;
  for (int i = 0; i < 50 && !back; ++i) {
    std::this_thread::sleep_for(100ms);
    back = Property(window_, "WM_STATE").find("Normal") != std::string::npos;
  }
  EXPECT_TRUE(back) << Property(window_, "WM_STATE");
}

TEST_F(WindowManagerTest, DraggingKeepsThePressedPointUnderThePointer) {
  Launch();
  const Geometry start = Where();
  const int px = start.x + kPictureX, py = start.y + kPictureY;
  RunCommand({"xdotool", "mousemove", std::to_string(px), std::to_string(py)});
  std::this_thread::sleep_for(100ms);
  RunCommand({"xdotool", "mousedown", "1"});
  for (int i = 1; i <= 10; ++i) {
    RunCommand({"xdotool", "mousemove", std::to_string(px - 12 * i), std::to_string(py + 9 * i)});
    std::this_thread::sleep_for(30ms);
  }
  RunCommand({"xdotool", "mouseup", "1"});
  std::this_thread::sleep_for(300ms);
  const Geometry end = Where();
  EXPECT_EQ(end.x, start.x - 120);
  EXPECT_EQ(end.y, start.y + 90);
}

TEST_F(WindowManagerTest, TheOutlineSurvivesEveryViewAndTheShutdownQuestion) {
  Launch();
  Click(kSmallX, kSmallY);
  const Geometry small = WaitForSize(98, 125);
  const std::string screen = RunCommand({"xdotool", "getdisplaygeometry"});
  const int screenHeight = std::atoi(screen.c_str() + screen.find(' ') + 1);
  EXPECT_EQ(small.x, 0);
  EXPECT_EQ(small.y, screenHeight - 125 - 32);
  ExpectShapedAndOnTop("small view");

  RunCommand({"xdotool", "mousemove", "--window", window_, "40", "40", "click", "--repeat", "2", "--delay",
              "80", "1"});
  WaitForSize(764, 581);
  ExpectShapedAndOnTop("full view again");

  Click(kBonusX, kBonusY);
  WaitForSize(151, 358);
  ExpectShapedAndOnTop("bonus view");
  RunCommand({"xdotool", "mousemove", "--window", window_, "40", "40", "click", "--repeat", "2", "--delay",
              "80", "1"});
  WaitForSize(764, 581);

  // The question makes the window an ordinary one for a while; answered, it is
  // above the others again, with its outline.
  Click(kCloseX, kCloseY);
  ASSERT_TRUE(run_->WaitForDialog("Sure you want to stop monitoring ?", 5000));
  std::this_thread::sleep_for(300ms);
  run_->Key("Escape");
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(run_->WaitForExit(100), -1) << "cancelled: still running";
  ExpectShapedAndOnTop("after the shutdown question");
}

}  // namespace
}  // namespace qv::testing
