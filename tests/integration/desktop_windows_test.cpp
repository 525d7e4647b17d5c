// The X11 window list on a real X server (Xvfb, no window manager): our own
// windows and another program's, their captions in Latin-1, stacking order,
// and close requests the windows honour themselves.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
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
                "qv lower ? Gr\xFC\xDF"
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
                                    "qv lower ? Gr\xFC\xDF"
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

TEST(CaptionToLatin1Test, KeepsLatin1AndMarksTheRest) {
  EXPECT_EQ(CaptionToLatin1("plain"), "plain");
  EXPECT_EQ(CaptionToLatin1("Gr\xC3\xBC\xC3\x9F"
                            "e"),
            "Gr\xFC\xDF"
            "e");
  EXPECT_EQ(CaptionToLatin1("a\xE2\x80\x93"
                            "b\xF0\x9F\x98\x80"
                            "c"),
            "a?b?c");  // en dash, emoji
  EXPECT_EQ(CaptionToLatin1("x\xFF"
                            "y\x80"),
            "x?y?");                                 // not UTF-8
  EXPECT_EQ(CaptionToLatin1("cut\xE2\x80"), "cut");  // cut off by the limit
  EXPECT_EQ(CaptionToLatin1("bad\xC3(z\xF0y"), "bad?(z?y");
}

}  // namespace
}  // namespace qv::platform
