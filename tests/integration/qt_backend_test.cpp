// The Qt backend on a real X server (Xvfb): windows, shapes, pixels, input,
// the event loop and the dialogs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "QtSession.h"
#include "platform/linux/X11DesktopWindows.h"
#include "platform/qt/QtBackend.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtPeers.h"
#include "platform/qt/QtText.h"
#include "platform/qt/QtWindowSystem.h"

namespace qv::platform::qt {
namespace {

// Colours that are never pure black or white, unlike Xvfb's root weave.
QRgb FormPattern(int x, int y) {
  return qRgb(0x20 + (x * 5) % 0xC0, 0x20 + (y * 3) % 0xC0, 0x90);
}
QRgb ChildPattern(int x, int y) {
  return qRgb(0x30, 0x20 + (x * 11) % 0xC0, 0x20 + (y * 13) % 0xC0);
}

// A model double: paints a pattern into its own 32-bit B,G,R,x buffer and
// records what the peer reports.
class Recorder : public IPeerEvents {
 public:
  void Paint(int width, int height, const std::function<QRgb(int, int)>& pattern) {
    width_ = width;
    height_ = height;
    pixels_.assign(static_cast<size_t>(width * height * 4), 0);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const QRgb c = pattern(x, y);
        std::uint8_t* p = &pixels_[static_cast<size_t>((y * width + x) * 4)];
        p[0] = static_cast<std::uint8_t>(qBlue(c));
        p[1] = static_cast<std::uint8_t>(qGreen(c));
        p[2] = static_cast<std::uint8_t>(qRed(c));
      }
  }
  PixelView PeerPaint(const PeerRect& dirty) override {
    dirtyRects.push_back(dirty);
    return PixelView{pixels_.data(), 4 * width_, width_, height_};
  }
  void PeerMouse(const MouseEvent& e) override {
    mouse.push_back(e);
    if (onMouse) onMouse(e);
  }
  bool PeerKey(int vk, char typed, unsigned shift) override {
    keys.push_back({vk, typed, shift});
    return vk == swallowKey;
  }
  void PeerFocus(bool gained) override { focus.push_back(gained); }
  void PeerTextEdited(const std::string& text) override { edits.push_back(text); }
  void PeerToggled(bool checked) override { toggles.push_back(checked); }
  void PeerItemSelected(int index) override { selections.push_back(index); }
  void PeerMoved(int left, int top) override { moves.push_back(QPoint(left, top)); }
  void PeerContextMenu(int x, int y) override { menus.push_back(QPoint(x, y)); }

  struct Key {
    int vk;
    char typed;
    unsigned shift;
  };
  std::vector<PeerRect> dirtyRects;
  std::vector<MouseEvent> mouse;
  std::vector<Key> keys;
  std::vector<bool> focus, toggles;
  std::vector<std::string> edits;
  std::vector<int> selections;
  std::vector<QPoint> moves, menus;
  std::function<void(const MouseEvent&)> onMouse;
  int swallowKey = -1;

 private:
  std::vector<std::uint8_t> pixels_;
  int width_ = 0, height_ = 0;
};

// Runs `action` on the first modal dialog or pop-up that opens; one that
// nobody scripts is closed after a while so a failing test cannot hang.
void WhenShown(std::function<void(QWidget*)> action) {
  auto* poll = new QTimer;
  auto started = std::make_shared<int>(0);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, started, action] {
    QWidget* w = QApplication::activePopupWidget();
    if (w == nullptr) w = QApplication::activeModalWidget();
    if (w != nullptr && w->isVisible()) {
      poll->deleteLater();
      poll->stop();
      action(w);
    } else if (++*started > 500) {
      poll->deleteLater();
      poll->stop();
      ADD_FAILURE() << "no dialog appeared";
    }
  });
  poll->start(10);
}

QImage GrabScreen(const QRect& area) {
  return QGuiApplication::primaryScreen()
      ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
      .toImage();
}

class QtBackendTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!PrepareDisplay()) return;
    // A desktop's theme would bring native dialogs no test can drive.
    qunsetenv("QT_QPA_PLATFORMTHEME");
    qunsetenv("XDG_CURRENT_DESKTOP");
    backend_ = new QtBackend(QtArguments::argc, QtArguments::argv);
  }
  static void TearDownTestSuite() {
    delete backend_;
    backend_ = nullptr;
  }
  void SetUp() override {
    if (backend_ == nullptr) GTEST_SKIP() << "no X display";
  }

  IEventLoop& Loop() { return backend_->Loop(); }
  IWindowSystem& Windows() { return backend_->Windows(); }

  // A shown form 200x120 at (40, 30) with a custom child at (10, 10, 60, 40).
  void ShowForm() {
    formEvents.Paint(200, 120, FormPattern);
    childEvents.Paint(60, 40, ChildPattern);
    form = Windows().CreatePeer(PeerKind::Form, nullptr, &formEvents);
    child = Windows().CreatePeer(PeerKind::Custom, form.get(), &childEvents);
    form->SetBounds(40, 30, 200, 120);
    child->SetBounds(10, 10, 60, 40);
    child->SetVisible(true);
    form->SetVisible(true);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(WidgetOf(form.get())));
    QTest::qWait(50);
  }
  // A native control on the form, shown and focused.
  QWidget* AddControl(PeerKind kind, Recorder& events, std::unique_ptr<IWindowPeer>& peer) {
    peer = Windows().CreatePeer(kind, form.get(), &events);
    peer->SetBounds(80, 10, 110, 60);
    peer->SetVisible(true);
    QWidget* top = WidgetOf(form.get());
    top->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(top));
    peer->SetFocus();
    QApplication::processEvents();
    return WidgetOf(peer.get());
  }

  Recorder formEvents, childEvents, controlEvents;
  std::unique_ptr<IWindowPeer> form, child, control;

  static inline QtBackend* backend_ = nullptr;
};

TEST_F(QtBackendTest, FormShowsTheModelsPixelsAtItsBounds) {
  auto hidden = std::unique_ptr<IWindowPeer>();
  ShowForm();
  hidden = Windows().CreatePeer(PeerKind::Custom, form.get(), &childEvents);
  QWidget* top = WidgetOf(form.get());
  EXPECT_EQ(top->frameGeometry(), QRect(40, 30, 200, 120));
  EXPECT_EQ(WidgetOf(child.get())->geometry(), QRect(10, 10, 60, 40));
  EXPECT_FALSE(WidgetOf(hidden.get())->isVisible()) << "children start hidden";
  EXPECT_FALSE(formEvents.dirtyRects.empty());
  EXPECT_FALSE(childEvents.dirtyRects.empty());
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(Windows().ScreenWidth(), screen.width());
  EXPECT_EQ(Windows().ScreenHeight(), screen.height());

  const QImage onScreen = GrabScreen(QRect(40, 30, 200, 120));
  const QImage grabbed = top->grab().toImage();
  int wrong = 0;
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 200; ++x) {
      const bool inChild = QRect(10, 10, 60, 40).contains(x, y);
      const QRgb expected = inChild ? ChildPattern(x - 10, y - 10) : FormPattern(x, y);
      wrong += (onScreen.pixel(x, y) & 0xFFFFFF) != (expected & 0xFFFFFF);
      wrong += (grabbed.pixel(x, y) & 0xFFFFFF) != (expected & 0xFFFFFF);
    }
  EXPECT_EQ(wrong, 0);
}

TEST_F(QtBackendTest, UpdatePaintsOnlyThePendingAreaAtOnce) {
  ShowForm();
  formEvents.Paint(200, 120, [](int, int) { return qRgb(0x40, 0x80, 0x30); });
  formEvents.dirtyRects.clear();
  form->Invalidate({100, 60, 140, 90});
  form->Update();  // no event processing in between: the paint is synchronous
  ASSERT_EQ(formEvents.dirtyRects.size(), 1u);
  EXPECT_EQ(formEvents.dirtyRects[0].left, 100);
  EXPECT_EQ(formEvents.dirtyRects[0].bottom, 90);
  const QImage shot = GrabScreen(QRect(40, 30, 200, 120));
  EXPECT_EQ(shot.pixel(120, 70) & 0xFFFFFF, qRgb(0x40, 0x80, 0x30) & 0xFFFFFF);
  EXPECT_EQ(shot.pixel(90, 70) & 0xFFFFFF, FormPattern(90, 70) & 0xFFFFFF) << "outside stays as it was";
  form->Update();
  EXPECT_EQ(formEvents.dirtyRects.size(), 1u) << "nothing pending, nothing painted";
}

TEST_F(QtBackendTest, ShapeCutsTheWindowAndSurvivesStayOnTopChanges) {
  ShowForm();
  QWidget* top = WidgetOf(form.get());
  form->SetShape({{0, 0, 100, 120}, {0, 100, 200, 120}, {150, 0, 150, 50}});
  QTest::qWait(50);
  auto check = [&](const char* when) {
    SCOPED_TRACE(when);
    ASSERT_NE(top->windowHandle(), nullptr);
    EXPECT_TRUE(top->isVisible());
    EXPECT_TRUE(top->mask().contains(QPoint(50, 50)));
    EXPECT_FALSE(top->mask().contains(QPoint(150, 50)));
    EXPECT_FALSE(top->windowHandle()->mask().contains(QPoint(150, 50)));
    const QImage shot = GrabScreen(QRect(40, 30, 200, 120));
    EXPECT_EQ(shot.pixel(80, 50) & 0xFFFFFF, FormPattern(80, 50) & 0xFFFFFF);
    EXPECT_EQ(shot.pixel(150, 110) & 0xFFFFFF, FormPattern(150, 110) & 0xFFFFFF);
    EXPECT_NE(shot.pixel(150, 50) & 0xFFFFFF, FormPattern(150, 50) & 0xFFFFFF) << "cut away";
  };
  check("shaped");
  form->SetStayOnTop(true);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(top));
  QTest::qWait(50);
  EXPECT_TRUE(top->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  check("stay on top");
  form->SetStayOnTop(false);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(top));
  QTest::qWait(50);
  check("normal again");
  form->ClearShape();
  QTest::qWait(50);
  EXPECT_TRUE(top->mask().isEmpty());
  EXPECT_EQ(GrabScreen(QRect(190, 80, 1, 1)).pixel(0, 0) & 0xFFFFFF, FormPattern(150, 50) & 0xFFFFFF);
  // An empty outline is not "no outline": nothing of the window shows.
  form->SetShape({});
  QTest::qWait(50);
  EXPECT_FALSE(top->windowHandle()->mask().intersects(QRect(0, 0, 200, 120)));
  const QImage gone = GrabScreen(QRect(40, 30, 200, 120));
  EXPECT_NE(gone.pixel(80, 50) & 0xFFFFFF, FormPattern(80, 50) & 0xFFFFFF);
  EXPECT_NE(gone.pixel(150, 110) & 0xFFFFFF, FormPattern(150, 110) & 0xFFFFFF);
}

TEST_F(QtBackendTest, MovesByOthersAreReportedOursAreNot) {
  ShowForm();
  form->SetBounds(60, 70, 200, 120);
  QTest::qWait(30);
  EXPECT_EQ(WidgetOf(form.get())->pos(), QPoint(60, 70));
  EXPECT_TRUE(formEvents.moves.empty());
  WidgetOf(form.get())->move(300, 200);  // as the window manager would
  QTest::qWait(30);
  ASSERT_FALSE(formEvents.moves.empty());
  EXPECT_EQ(formEvents.moves.back(), QPoint(300, 200));
}

TEST_F(QtBackendTest, MouseReachesTheModelInWindowsOrder) {
  ShowForm();
  QWidget* w = WidgetOf(child.get());
  QTest::mouseMove(w, QPoint(20, 20));
  QTest::qWait(20);
  ASSERT_FALSE(childEvents.mouse.empty()) << "moves arrive without a button";
  childEvents.mouse.clear();
  QTest::mousePress(w, Qt::RightButton, Qt::ControlModifier, QPoint(5, 6));
  QTest::mouseRelease(w, Qt::RightButton, Qt::ControlModifier, QPoint(5, 6));
  ASSERT_GE(childEvents.mouse.size(), 2u);
  const MouseEvent& down = childEvents.mouse[childEvents.mouse.size() - 2];
  const MouseEvent& up = childEvents.mouse.back();
  EXPECT_EQ(down.action, MouseAction::Down);
  EXPECT_EQ(down.button, MouseButton::Right);
  EXPECT_EQ(down.shift, unsigned{kCtrl | kRight});
  EXPECT_EQ(up.action, MouseAction::Up);
  EXPECT_EQ(up.shift, unsigned{kCtrl});
  ASSERT_EQ(childEvents.menus.size(), 1u);
  EXPECT_EQ(childEvents.menus[0], QPoint(5, 6));

  childEvents.mouse.clear();
  QTest::mouseDClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(7, 8));
  bool sawDouble = false;
  for (const MouseEvent& e : childEvents.mouse)
    if (e.action == MouseAction::DoubleClick) {
      sawDouble = true;
      EXPECT_EQ(e.shift, unsigned{kLeft | kDouble});
      EXPECT_EQ(e.x, 7);
    }
  EXPECT_TRUE(sawDouble);
  EXPECT_TRUE(formEvents.menus.empty());
  for (const MouseEvent& e : formEvents.mouse)
    EXPECT_NE(e.action, MouseAction::Down) << "a child's clicks do not reach the form";
}

TEST_F(QtBackendTest, PointerPositionActivationAndDiscardedClicks) {
  ShowForm();
  QWidget* w = WidgetOf(child.get());
  QCursor::setPos(w->mapToGlobal(QPoint(15, 12)));
  int x = 0, y = 0;
  ASSERT_TRUE(WaitUntil([&] { return child->PointerPos(x, y) && x == 15 && y == 12; }));
  ASSERT_TRUE(form->PointerPos(x, y));
  EXPECT_EQ(QPoint(x, y), QPoint(25, 22)) << "each peer tells it in its own client coordinates";
  WidgetOf(form.get())->activateWindow();
  EXPECT_TRUE(WaitUntil([&] { return form->IsActiveWindow(); }));

  // Button input that is queued, not yet delivered, goes nowhere; moves still arrive.
  childEvents.mouse.clear();
  const QPointF at(5, 5), global = w->mapToGlobal(QPoint(5, 5));
  QCoreApplication::postEvent(w, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton,
                                                 Qt::LeftButton, Qt::NoModifier));
  QCoreApplication::postEvent(w, new QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton,
                                                 Qt::NoButton, Qt::NoModifier));
  QCoreApplication::postEvent(
      w, new QMouseEvent(QEvent::MouseMove, at, global, Qt::NoButton, Qt::NoButton, Qt::NoModifier));
  Windows().DiscardPendingMouseInput();
  QApplication::processEvents();
  for (const MouseEvent& e : childEvents.mouse) EXPECT_EQ(e.action, MouseAction::Move);
  EXPECT_FALSE(childEvents.mouse.empty());
}

TEST_F(QtBackendTest, PeerDestroyedByItsOwnHandlerGoesSafely) {
  ShowForm();
  QPointer<QWidget> childWidget = WidgetOf(child.get());
  childEvents.onMouse = [&](const MouseEvent& e) {
    if (e.action == MouseAction::Down) child.reset();
  };
  QTest::mouseClick(childWidget, Qt::RightButton, Qt::NoModifier, QPoint(3, 3));
  EXPECT_EQ(child, nullptr);
  EXPECT_TRUE(childEvents.menus.empty()) << "no calls into a model that is gone";
  QTest::qWait(20);
  EXPECT_TRUE(childWidget.isNull());

  // A child's peer goes before its form's (the toolkit sees to it) and takes
  // its widget out of the form's.
  auto edit = Windows().CreatePeer(PeerKind::Edit, form.get(), &controlEvents);
  edit->SetText("goes first");
  edit.reset();
  QTest::qWait(20);
  EXPECT_TRUE(WidgetOf(form.get())->findChildren<QLineEdit*>().isEmpty());
  form.reset();
}

TEST_F(QtBackendTest, ACloseRequestFromOutsideLeavesTheFormToItsProgram) {
  ShowForm();
  QWidget* top = WidgetOf(form.get());
  // What the window manager's close or another program's close request sends.
  X11DesktopWindows desktop;
  desktop.RequestClose(static_cast<WindowHandle>(top->winId()));
  QTest::qWait(200);
  EXPECT_TRUE(top->isVisible());
}

TEST_F(QtBackendTest, AProgramsTextShowsFromItsBeginning) {
  ShowForm();
  auto* edit = static_cast<QLineEdit*>(AddControl(PeerKind::Edit, controlEvents, control));
  edit->clearFocus();
  control->SetText("/a/long/path/to/some/program/that/does/not/fit/in/the/field");
  control->SetMaxLength(0);  // as every edit is set up after its text
  EXPECT_EQ(edit->cursorPosition(), 0);
}

TEST_F(QtBackendTest, EditReportsTheUsersTextOnly) {
  ShowForm();
  auto* edit = static_cast<QLineEdit*>(AddControl(PeerKind::Edit, controlEvents, control));
  ASSERT_TRUE(edit->hasFocus());
  EXPECT_TRUE(control->Focused());
  EXPECT_EQ(controlEvents.focus, std::vector<bool>{true});
  QTest::keyClicks(edit, "ab");
  QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_Eacute, QString::fromLatin1("\xe9"), Qt::NoModifier);
  QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString::fromUtf8("\xC5\x82"), Qt::NoModifier);
  // What the user types goes on as UTF-8, also beyond Latin-1 ("ł").
  EXPECT_EQ(controlEvents.edits, (std::vector<std::string>{"a", "ab", "ab\xC3\xA9", "ab\xC3\xA9\xC5\x82"}));
  ASSERT_GE(controlEvents.keys.size(), 1u);
  EXPECT_EQ(controlEvents.keys[0].vk, 'A');
  EXPECT_EQ(controlEvents.keys[0].typed, 'a');

  controlEvents.edits.clear();
  control->SetText("caf\xe9");  // not UTF-8: Latin-1
  EXPECT_EQ(edit->text(), QString::fromUtf8("café"));
  EXPECT_TRUE(controlEvents.edits.empty()) << "no echo";
  control->SetText("/home/\xC5\x82/\xE6\x97\xA5.wav");  // a path chosen in the file dialog
  EXPECT_EQ(edit->text(), QString::fromUtf8("/home/ł/日.wav"));

  controlEvents.keys.clear();
  QTest::keyClick(edit, Qt::Key_Return);
  QTest::keyClick(edit, Qt::Key_Up);
  QTest::keyClick(edit, Qt::Key_Delete);
  ASSERT_EQ(controlEvents.keys.size(), 3u);
  EXPECT_EQ(controlEvents.keys[0].vk, kVkReturn);
  EXPECT_EQ(controlEvents.keys[0].typed, '\r');
  EXPECT_EQ(controlEvents.keys[1].vk, kVkUp);
  EXPECT_EQ(controlEvents.keys[2].vk, kVkDelete);
  EXPECT_EQ(controlEvents.keys[2].typed, 0);

  controlEvents.swallowKey = 'X';
  control->SetText("");
  QTest::keyClicks(edit, "xy");
  EXPECT_EQ(edit->text(), "y") << "a swallowed key does not reach the control";

  control->SetText("");
  control->SetMaxLength(3);
  QTest::keyClicks(edit, "abcdef");
  EXPECT_EQ(edit->text(), "abc");
  control->SetMaxLength(0);
  EXPECT_GT(edit->maxLength(), 1 << 20);
  control->SetReadOnly(true);
  controlEvents.edits.clear();
  QTest::keyClicks(edit, "z");
  EXPECT_EQ(edit->text(), "abc");
  EXPECT_TRUE(controlEvents.edits.empty());
}

TEST_F(QtBackendTest, CheckBoxAndListBoxReportUserChoicesOnly) {
  ShowForm();
  Recorder listEvents;
  std::unique_ptr<IWindowPeer> list;
  auto* box = static_cast<QCheckBox*>(AddControl(PeerKind::CheckBox, controlEvents, control));
  control->SetText("&Sound");
  EXPECT_EQ(box->text(), "&Sound");
  QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(8, box->height() / 2));
  EXPECT_EQ(controlEvents.toggles, std::vector<bool>{true});
  control->SetChecked(false);
  EXPECT_FALSE(box->isChecked());
  EXPECT_EQ(controlEvents.toggles.size(), 1u) << "no echo";
  formEvents.mouse.clear();
  QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(box->width() - 2, box->height() - 2));
  for (const MouseEvent& e : formEvents.mouse)
    EXPECT_NE(e.action, MouseAction::Down) << "clicks beside the box's label stay with the box";

  auto* listWidget = static_cast<QListWidget*>(AddControl(PeerKind::ListBox, listEvents, list));
  for (const char* line : {"one", "two", "thr\xe9", "\xA9\xAE up", "za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87"})
    list->ListAdd(line);
  QTest::qWait(20);
  EXPECT_TRUE(listEvents.selections.empty()) << "focus alone selects nothing";
  list->ListSetItemIndex(1);
  EXPECT_EQ(listWidget->currentRow(), 1);
  EXPECT_EQ(listWidget->item(2)->text(), QString::fromUtf8("thré"));
  EXPECT_EQ(listWidget->item(3)->text(), QString::fromUtf8("©® up"));   // our own texts stay Latin-1
  EXPECT_EQ(listWidget->item(4)->text(), QString::fromUtf8("zażółć"));  // a watched log's UTF-8 line
  const QRect third = listWidget->visualItemRect(listWidget->item(2));
  QTest::mouseClick(listWidget->viewport(), Qt::LeftButton, Qt::NoModifier, third.center());
  EXPECT_EQ(listEvents.selections, std::vector<int>{2});
  QTest::keyClick(listWidget, Qt::Key_Up);
  EXPECT_EQ(listEvents.selections, (std::vector<int>{2, 1}));
  list->ListDelete(0);
  list->ListDelete(7);
  list->ListSetItemIndex(-1);
  EXPECT_EQ(listWidget->count(), 4);
  EXPECT_TRUE(listWidget->selectedItems().isEmpty());
  list->ListClear();
  EXPECT_EQ(listWidget->count(), 0);
  EXPECT_EQ(listEvents.selections.size(), 2u);
  EXPECT_EQ(controlEvents.focus, (std::vector<bool>{true, false})) << "the box lost the focus to the list";
}

TEST_F(QtBackendTest, FontsFollowTheWindowsHeightRules) {
  FontSpec wanted;
  wanted.height = -11;
  wanted.bold = true;
  EXPECT_EQ(ToQtFont(wanted).pixelSize(), 11);
  EXPECT_TRUE(ToQtFont(wanted).bold());
  wanted.height = 16;  // a cell height
  const QFontMetrics cell(ToQtFont(wanted));
  EXPECT_LE(cell.ascent() + cell.descent(), 16);
  EXPECT_LT(ToQtFont(wanted).pixelSize(), 16);
  wanted.height = 0;
  EXPECT_EQ(ToQtFont(wanted).pixelSize(), 11);
  EXPECT_NE(QFontInfo(ToQtFont(wanted)).family(), "MS Sans Serif");
}

TEST_F(QtBackendTest, TimersTickAndMayStopThemselves) {
  QtEventLoop& loop = static_cast<QtEventLoop&>(Loop());
  int ticks = 0, once = 0;
  const auto periodic = loop.StartTimer(10, [&] { ++ticks; });
  IEventLoop::TimerId self = 0;
  self = loop.StartTimer(5, [&] {
    ++once;
    loop.StopTimer(self);
  });
  const auto quit = loop.StartTimer(150, [&] { loop.Quit(4); });
  EXPECT_EQ(loop.Run(), 4);
  loop.StopTimer(quit);
  EXPECT_GE(ticks, 5);
  EXPECT_EQ(once, 1);
  IEventLoop::TimerId fromThread = -1;
  std::thread([&] { fromThread = loop.StartTimer(10, [] {}); }).join();
  EXPECT_EQ(fromThread, 0) << "timers belong to the loop thread";
  loop.StopTimer(periodic);
  EXPECT_EQ(loop.ActiveTimers(), 0);
}

TEST_F(QtBackendTest, PostedWorkRunsInPostingOrder) {
  std::vector<int> order;
  std::atomic<bool> offLoopThread{false};
  std::thread poster([&] {
    offLoopThread = !Loop().IsLoopThread();
    for (int i = 0; i < 500; ++i) Loop().Post([&order, i] { order.push_back(i); });
    Loop().Quit(2);  // from another thread: posted behind the work
  });
  EXPECT_EQ(Loop().Run(), 2);
  poster.join();
  EXPECT_TRUE(offLoopThread);
  ASSERT_EQ(order.size(), 500u);
  for (int i = 0; i < 500; ++i) ASSERT_EQ(order[static_cast<size_t>(i)], i);

  // Work that processes events meanwhile still sees the older work run first.
  order.clear();
  Loop().Post([&] {
    order.push_back(1);
    Loop().Post([&] { order.push_back(4); });
    Loop().ProcessEvents();
  });
  Loop().Post([&] { order.push_back(2); });
  Loop().Post([&] { order.push_back(3); });
  QTest::qWait(20);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));

  // Work that posts itself again lets the loop breathe in between.
  int reposts = 0;
  bool stop = false;
  std::function<void()> again = [&] {
    if (!stop && ++reposts < 200000) Loop().Post(again);
  };
  Loop().Post(again);
  QTimer::singleShot(20, [&] { Loop().Quit(0); });
  Loop().Run();
  EXPECT_LT(reposts, 200000) << "the timer got its turn";
  stop = true;
  QTest::qWait(10);  // the last repost runs while `again` still exists

  Loop().Quit(5);  // before Run: the next Run ends at once
  EXPECT_EQ(Loop().Run(), 5);
}

TEST_F(QtBackendTest, IdleRunsAfterWorkAndNeverSpinsOrNests) {
  int idle = 0, nestedIdle = 0;
  bool nested = false, workDoneFirst = false, posted = false;
  Loop().SetIdleHandler([&] {
    if (idle++ == 0) workDoneFirst = posted;
    if (nested) ++nestedIdle;
  });
  Loop().Post([&] { posted = true; });
  // A modal loop (a dialog, a menu) runs for a while inside a tick.
  QTimer::singleShot(20, [&] {
    QEventLoop modal;
    QTimer::singleShot(60, &modal, &QEventLoop::quit);
    nested = true;
    modal.exec();
    nested = false;
  });
  const int before = [&] {
    QTimer::singleShot(100, [&] { Loop().Quit(0); });
    Loop().Run();
    return idle;
  }();
  EXPECT_TRUE(workDoneFirst);
  EXPECT_EQ(nestedIdle, 0);
  EXPECT_GE(before, 1);

  // A quiet loop sleeps: a handful of wake-ups in 200 ms, not thousands.
  idle = 0;
  QTimer::singleShot(200, [&] { Loop().Quit(0); });
  Loop().Run();
  EXPECT_GE(idle, 1);
  EXPECT_LE(idle, 5);
  Loop().SetIdleHandler(nullptr);
}

TEST_F(QtBackendTest, PopupMenuReturnsTheChosenEntry) {
  ShowForm();
  const std::vector<MenuEntry> entries = {{"&Open", true, true}, {"-"}, {"Disabled", false}, {"E&xit"}};
  QPoint shownAt;
  WhenShown([&](QWidget* w) {
    auto* menu = qobject_cast<QMenu*>(w);
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), 4);
    EXPECT_TRUE(actions[0]->isChecked());
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_FALSE(actions[2]->isEnabled());
    shownAt = menu->pos();
    menu->setActiveAction(actions[3]);
    QTest::keyClick(menu, Qt::Key_Return);
  });
  EXPECT_EQ(Windows().PopupMenu(form.get(), 20, 30, entries), 3);
  EXPECT_EQ(shownAt, QPoint(60, 60));
  WhenShown([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
  EXPECT_EQ(Windows().PopupMenu(form.get(), 20, 30, entries), -1);
}

TEST_F(QtBackendTest, MessageBoxShowsLatin1PlainTextAndReturnsWindowsCodes) {
  QtDialogs dialogs;
  auto press = [](QMessageBox::StandardButton which) {
    WhenShown([which](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      ASSERT_NE(box, nullptr);
      box->button(which)->click();
    });
  };
  QString text, title;
  WhenShown([&](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    text = box->text();
    title = box->windowTitle();
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
    box->button(QMessageBox::No)->click();
  });
  EXPECT_EQ(dialogs.MessageBox("<b>Quit?</b> \xa9", "Quorvane\xae", kMbYesNo | 0x100), kIdNo);
  EXPECT_EQ(text, QString::fromUtf8("<b>Quit?</b> ©"));
  EXPECT_EQ(title, QString::fromUtf8("Quorvane®"));
  press(QMessageBox::Yes);
  EXPECT_EQ(dialogs.MessageBox("Sure?", "Q", kMbYesNo), kIdYes);
  press(QMessageBox::Cancel);
  EXPECT_EQ(dialogs.MessageBox("Go on?", "Q", kMbOkCancel), kIdCancel);
  WhenShown([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
  EXPECT_EQ(dialogs.MessageBox("Done", "Q", kMbOk), kIdOk);
}

TEST_F(QtBackendTest, OpenFileStartsWhereItShouldAndReturnsTheChoice) {
  QtDialogs dialogs;
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QFile(dir.filePath("ding.wav")).open(QIODevice::WriteOnly);
  FileDialogRequest request{"Choose a sound", "Sound files|*.wav", dir.path().toStdString(), "ding.wav"};
  QString shownDir;
  QStringList filters;
  WhenShown([&](QWidget* w) {
    auto* dialog = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    shownDir = dialog->directory().absolutePath();
    filters = dialog->nameFilters();
    QMetaObject::invokeMethod(dialog, "accept");
  });
  std::string chosen;
  ASSERT_TRUE(dialogs.OpenFile(request, chosen));
  EXPECT_EQ(chosen, dir.filePath("ding.wav").toStdString());
  EXPECT_EQ(shownDir, QDir(dir.path()).absolutePath());
  EXPECT_EQ(filters, QStringList{"Sound files (*.wav)"});

  request.initialDirectory = "C:\\Windows\\Media";
  request.fileName = "chimes.wav";
  WhenShown([&](QWidget* w) {
    shownDir = static_cast<QFileDialog*>(w)->directory().absolutePath();
    static_cast<QFileDialog*>(w)->reject();
  });
  chosen = "unchanged";
  EXPECT_FALSE(dialogs.OpenFile(request, chosen));
  EXPECT_EQ(chosen, "unchanged");
  EXPECT_EQ(shownDir, QDir::homePath());
}

// Conversions that need no display.
TEST(QtConversionsTest, FiltersAndDialogStart) {
  EXPECT_EQ(QtFilterFromWindows("Sound files|*.wav"), "Sound files (*.wav)");
  EXPECT_EQ(QtFilterFromWindows("Sounds (*.wav)|*.wav|All|*.wav; *.mp3|Odd"),
            "Sounds (*.wav);;All (*.wav *.mp3)");
  EXPECT_EQ(QtFilterFromWindows(""), "");
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString();
  FileDialogStart s = StartOfFileDialog({"", "", "/nowhere/at/all", path + "/x.wav"});
  EXPECT_EQ(s.directory, path);
  EXPECT_EQ(s.fileName, "x.wav");
  s = StartOfFileDialog({"", "", path, "C:\\Sounds\\y.wav"});
  EXPECT_EQ(s.directory, path);
  EXPECT_EQ(s.fileName, "y.wav");
  s = StartOfFileDialog({"", "", "", ""});
  EXPECT_EQ(s.directory, QDir::homePath().toStdString());
}

TEST(QtConversionsTest, BytesShowAsUtf8OnlyWhenTheyAreUtf8) {
  EXPECT_TRUE(IsUtf8("plain \xC5\x82 \xE6\x97\xA5 \xF0\x9F\x98\x80"));
  for (const char* notUtf8 :
       {"\xA9\xAE", "\xC0\x80", "\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "cut \xC5", "\xE6\x97"})
    EXPECT_FALSE(IsUtf8(notUtf8)) << notUtf8;
  EXPECT_EQ(TextToQt("\xA9\xAE"), QString::fromUtf8("©®"));
  EXPECT_EQ(TextFromQt(QString::fromUtf8("ł")), "\xC5\x82");
}

TEST(QtConversionsTest, KeysColoursFamiliesAndRegions) {
  EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Up), 0x26);
  EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Escape), 0x1B);
  EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Backtab), 0x09);
  EXPECT_EQ(VirtualKeyFromQt(Qt::Key_F5), 0x74);
  EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Q), 'Q');
  EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Eacute), 0);
  EXPECT_EQ(ColorFromBgr(0x00563412), QColor(0x12, 0x34, 0x56));
  EXPECT_EQ(FamiliesFor("ms sans serif").first(), "Liberation Sans");  // Arial metrics: the layout fits
  EXPECT_EQ(FamiliesFor("Arial").first(), "Liberation Sans");
  EXPECT_EQ(FamiliesFor("Webdings").first(), "Webdings");
  const QRegion region = RegionFromRects({{0, 0, 10, 10}, {5, 5, 5, 20}, {20, 0, 30, 5}});
  EXPECT_TRUE(region.contains(QPoint(9, 9)));
  EXPECT_FALSE(region.contains(QPoint(10, 5)));
  EXPECT_TRUE(region.contains(QPoint(25, 4)));
}

}  // namespace
}  // namespace qv::platform::qt
