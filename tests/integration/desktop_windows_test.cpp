// The X11 window list on a real X server (Xvfb, no window manager): our own
// windows and another program's, their captions as UTF-8, stacking order,
// withdrawn windows, close requests the windows honour themselves, and the
// private connection over many checks and when the server goes away.
#include <gtest/gtest.h>
#include <malloc.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>

#include "QtSession.h"
#include "platform/linux/X11DesktopWindows.h"

namespace qv::platform {
namespace {

using qt::WaitUntil;

std::optional<DesktopWindow> Find(X11DesktopWindows& desktop, const std::string& caption) {
  for (const DesktopWindow& w : desktop.List())
    if (w.caption == caption) return w;
  return std::nullopt;
}

class Closable : public QWidget {
 public:
  bool asked = false;
  bool refuse = false;

 protected:
  void closeEvent(QCloseEvent* event) override {
    asked = true;
    if (refuse) event->ignore();
  }
};

class DesktopWindowsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (qt::PrepareDisplay()) app_ = new QApplication(qt::QtArguments::argc, qt::QtArguments::argv);
  }
  static void TearDownTestSuite() {
    delete app_;
    app_ = nullptr;
  }
  void SetUp() override {
    if (app_ == nullptr) GTEST_SKIP() << "no X display";
  }

  static inline QApplication* app_ = nullptr;
};

TEST_F(DesktopWindowsTest, OurWindowsAreListedTopFirstWithTheirFacts) {
  X11DesktopWindows desktop;
  Closable lower, upper;
  lower.setWindowTitle(QString::fromUtf8("qv lower – Grüße"));
  upper.setWindowTitle(QString(300, QChar('u')));
  lower.setGeometry(30, 40, 120, 80);
  upper.setGeometry(200, 40, 100, 60);
  lower.show();
  upper.show();
  ASSERT_TRUE(WaitUntil([&] {
    return Find(desktop,
                "qv lower \xE2\x80\x93 Gr\xC3\xBC\xC3\x9F"
                "e")
        .has_value();
  }));
  lower.raise();
  upper.raise();
  ASSERT_TRUE(WaitUntil([&] {
    const auto list = desktop.List();
    int lowerAt = -1, upperAt = -1;
    for (int i = 0; i < static_cast<int>(list.size()); ++i) {
      if (list[i].handle == lower.winId()) lowerAt = i;
      if (list[i].handle == upper.winId()) upperAt = i;
    }
    return upperAt >= 0 && lowerAt > upperAt;
  }));

  const DesktopWindow found = *Find(desktop,
                                    "qv lower \xE2\x80\x93 Gr\xC3\xBC\xC3\x9F"
                                    "e");
  EXPECT_EQ(found.handle, lower.winId());
  EXPECT_TRUE(found.visible);
  EXPECT_TRUE(found.enabled);
  EXPECT_FALSE(found.iconic);
  EXPECT_EQ(found.right - found.left, 120);
  EXPECT_EQ(found.bottom - found.top, 80);
  EXPECT_EQ(found.threadId, static_cast<std::uint32_t>(QCoreApplication::applicationPid()));
  EXPECT_TRUE(Find(desktop, std::string(255, 'u')).has_value());  // long captions are cut

  std::vector<std::string> captions;
  desktop.ForEachCaption([&](std::string_view caption) {
    captions.emplace_back(caption);
    return caption != std::string(255, 'u');  // stop at the first of ours
  });
  ASSERT_FALSE(captions.empty());
  EXPECT_EQ(captions.back(), std::string(255, 'u'));

  upper.hide();
  ASSERT_TRUE(WaitUntil([&] {
    for (const auto& w : desktop.List())
      if (w.handle == upper.winId()) return !w.visible;
    return false;
  }));
}

TEST_F(DesktopWindowsTest, CloseRequestsLetTheWindowDecide) {
  X11DesktopWindows desktop;
  Closable window;
  window.setWindowTitle("qv closable");
  window.refuse = true;
  window.show();
  ASSERT_TRUE(WaitUntil([&] { return Find(desktop, "qv closable").has_value(); }));
  desktop.RequestClose(static_cast<WindowHandle>(window.winId()));
  ASSERT_TRUE(WaitUntil([&] { return window.asked; }));
  EXPECT_TRUE(window.isVisible());  // it said no
  window.refuse = false;
  window.asked = false;
  desktop.RequestClose(static_cast<WindowHandle>(window.winId()));
  ASSERT_TRUE(WaitUntil([&] { return window.asked && !window.isVisible(); }));
  desktop.RequestClose(0x7FFFFFF0);  // no such window: nothing happens
  EXPECT_TRUE(WaitUntil([] { return true; }));
}

TEST_F(DesktopWindowsTest, AnotherProgramsWindowIsFoundAndClosed) {
  X11DesktopWindows desktop;
  QProcess helper;
  helper.start("xclock", {"-title", "qv helper clock", "-geometry", "90x90+500+300"});
  ASSERT_TRUE(helper.waitForStarted(5000)) << "xclock (x11-apps) is needed";
  std::optional<DesktopWindow> clock;
  ASSERT_TRUE(WaitUntil([&] { return (clock = Find(desktop, "qv helper clock")).has_value(); }));
  EXPECT_EQ(clock->threadId == 0 || clock->threadId == static_cast<std::uint32_t>(helper.processId()), true);
  bool seen = false;
  desktop.ForEachCaption([&](std::string_view caption) {
    seen = seen || caption == "qv helper clock";
    return true;
  });
  EXPECT_TRUE(seen);
  desktop.RequestClose(clock->handle);
  EXPECT_TRUE(helper.waitForFinished(5000)) << "the helper did not close";
  EXPECT_FALSE(WaitUntil([&] { return Find(desktop, "qv helper clock").has_value(); }, 300));
}

TEST(CaptionBytes, Latin1TitlesBecomeUtf8AndCutsKeepWholeCharacters) {
  EXPECT_EQ(Latin1ToUtf8("Gr\xFC\xDF"), "Gr\xC3\xBC\xC3\x9F");  // a STRING title
  // A cut never splits a character: 3 + 2 bytes cut at 4 keeps the first 3.
  EXPECT_EQ(CutAtCharacter("ab\xC3\xBC\xC3\xBC", 4), "ab\xC3\xBC");
  EXPECT_EQ(CutAtCharacter("ab\xC3\xBC\xC3\xBC", 5), "ab\xC3\xBC");
  EXPECT_EQ(CutAtCharacter("\xE9\xE9\xE9", 2), "\xE9\xE9");  // not UTF-8: cut where asked
}

// A second client of the X server, as another program would be.
class OtherClient {
 public:
  OtherClient() : xcb_(xcb_connect(nullptr, nullptr)) {
    root_ = xcb_setup_roots_iterator(xcb_get_setup(xcb_)).data->root;
  }
  ~OtherClient() { xcb_disconnect(xcb_); }
  xcb_window_t Create(const std::string& title) {
    const xcb_window_t window = xcb_generate_id(xcb_);
    xcb_create_window(xcb_, XCB_COPY_FROM_PARENT, window, root_, 10, 10, 50, 40, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_change_property(xcb_, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<std::uint32_t>(title.size()), title.data());
    return window;
  }
  void Map(xcb_window_t window) { xcb_map_window(xcb_, window); }
  void Unmap(xcb_window_t window) { xcb_unmap_window(xcb_, window); }
  void Destroy(xcb_window_t window) { xcb_destroy_window(xcb_, window); }
  // Plays the window manager's part: the client list holds `clients` only.
  void SetClientList(const std::vector<xcb_window_t>& clients) {
    xcb_change_property(xcb_, XCB_PROP_MODE_REPLACE, root_, Atom("_NET_CLIENT_LIST_STACKING"),
                        XCB_ATOM_WINDOW, 32, static_cast<std::uint32_t>(clients.size()), clients.data());
  }
  void RemoveClientList() { xcb_delete_property(xcb_, root_, Atom("_NET_CLIENT_LIST_STACKING")); }
  void Sync() { std::free(xcb_get_input_focus_reply(xcb_, xcb_get_input_focus(xcb_), nullptr)); }

 private:
  xcb_atom_t Atom(const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        xcb_, xcb_intern_atom(xcb_, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
  }
  xcb_connection_t* xcb_;
  xcb_window_t root_ = 0;
};

bool SeesCaption(X11DesktopWindows& desktop, const std::string& wanted) {
  bool seen = false;
  desktop.ForEachCaption([&](std::string_view caption) {
    seen = seen || caption == wanted;
    return !seen;
  });
  return seen;
}

TEST_F(DesktopWindowsTest, AWithdrawnWindowIsStillListedBesideTheManagersClients) {
  OtherClient other;
  const xcb_window_t managed = other.Create("qv managed");
  const xcb_window_t tray = other.Create("qv in the tray");
  other.Map(managed);
  other.Map(tray);
  other.Unmap(tray);  // withdrawn: a program that lives in the notification area
  other.SetClientList({managed});
  other.Sync();
  X11DesktopWindows desktop;
  EXPECT_TRUE(SeesCaption(desktop, "qv managed"));
  EXPECT_TRUE(SeesCaption(desktop, "qv in the tray"));
  const auto listed = Find(desktop, "qv in the tray");
  ASSERT_TRUE(listed.has_value());
  EXPECT_FALSE(listed->visible);
  const std::vector<DesktopWindow> all = desktop.List();
  ASSERT_FALSE(all.empty());
  EXPECT_EQ(all.front().caption, "qv managed");  // the manager's clients come first
  other.RemoveClientList();
  other.Destroy(managed);
  other.Destroy(tray);
  other.Sync();
}

std::size_t HeapInUse() {
  return mallinfo2().uordblks;
}

TEST_F(DesktopWindowsTest, TenThousandChecksWhileWindowsComeAndGoKeepTheMemoryFlat) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's allocator keeps its own counters";
#endif
  OtherClient other;
  X11DesktopWindows desktop;
  xcb_window_t previous = 0;
  std::size_t before = 0;
  constexpr int kWarmUp = 1000, kChecks = 10000;
  for (int i = 0; i < kWarmUp + kChecks; ++i) {
    if (i == kWarmUp) before = HeapInUse();
    const xcb_window_t window = other.Create("qv coming " + std::to_string(i % 7));
    other.Map(window);
    if (previous != 0) other.Destroy(previous);
    other.Sync();
    EXPECT_TRUE(SeesCaption(desktop, "qv coming " + std::to_string(i % 7)));
    // Requests to windows that are gone: their errors must not pile up.
    desktop.RequestClose(previous);
    desktop.Activate(previous);
    previous = window;
  }
  const std::size_t after = HeapInUse();
  other.Destroy(previous);
  other.Sync();
  const long growth = static_cast<long>(after) - static_cast<long>(before);
  std::printf("heap growth over %d checks: %ld bytes\n", kChecks, growth);
  EXPECT_LT(growth, 64 * 1024);
}

TEST(X11ServerGone, TheListSaysItCannotBeReadAndDoesNotRetryForever) {
  const std::string display = ":" + std::to_string(180 + ::getpid() % 60);
  QProcess server;
  server.start("Xvfb", {QString::fromStdString(display), "-screen", "0", "320x240x24", "-nolisten", "tcp",
                        "-noreset"});
  ASSERT_TRUE(server.waitForStarted(5000)) << "Xvfb is needed";
  X11DesktopWindows desktop(display);
  bool up = false;
  for (int i = 0; i < 250 && !up; ++i) {
    xcb_connection_t* probe = xcb_connect(display.c_str(), nullptr);
    up = xcb_connection_has_error(probe) == 0;
    xcb_disconnect(probe);
    if (!up) ::usleep(20000);
  }
  ASSERT_TRUE(up) << "the private X server did not come up";
  EXPECT_TRUE(desktop.ForEachCaption([](std::string_view) { return true; }));
  EXPECT_TRUE(desktop.Problem().empty());
  server.kill();
  server.waitForFinished(5000);
  EXPECT_FALSE(desktop.ForEachCaption([](std::string_view) { return true; }));
  EXPECT_EQ(desktop.Problem(), "the X server closed the connection");
  // Checked once: later checks answer at once, without a new connection each time.
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 10000; ++i) EXPECT_FALSE(desktop.ForEachCaption([](std::string_view) { return true; }));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_TRUE(desktop.List().empty());
  desktop.RequestClose(1);  // nothing to send to: no crash
}

}  // namespace
}  // namespace qv::platform
