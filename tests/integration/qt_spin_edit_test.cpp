// The spin edit on a real window: its arrow block inside the native line edit,
// typed text kept clear of the arrows, clicked and held arrows, and the
// clipboard refused while the editor is off.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <memory>

#include "QtSession.h"
#include "platform/Services.h"
#include "platform/fake/FakeLocale.h"
#include "platform/qt/QtBackend.h"
#include "platform/qt/QtFontEngine.h"
#include "platform/qt/QtPeers.h"
#include "toolkit/Forms.h"
#include "widgets/Spin.h"

namespace qv::platform::qt {
namespace {

class QtSpinEditTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!PrepareDisplay()) return;
    backend_ = new QtBackend(QtArguments::argc, QtArguments::argv);
  }
  static void TearDownTestSuite() {
    delete backend_;
    backend_ = nullptr;
  }
  void SetUp() override {
    if (backend_ == nullptr) GTEST_SKIP() << "no X display";
    saved_ = Current();
    backend_->Install(Current());
    Current().fonts = &fonts_;
    Current().locale = &locale_;
    form_ = std::make_unique<TForm>(nullptr);
    form_->SetBounds(100, 100, 200, 80);
    edit_ = new TSpinEdit(form_.get());
    edit_->SetParent(form_.get());
    edit_->SetBounds(10, 10, 54, 22);
    edit_->SetMinValue(1);
    edit_->SetMaxValue(99999);
    edit_->SetValue(50);
    form_->ShowForm();
    line_ = qobject_cast<QLineEdit*>(WidgetOf(edit_->Peer()));
    arrows_ = WidgetOf(edit_->Button()->Peer());
    ASSERT_NE(line_, nullptr);
    ASSERT_NE(arrows_, nullptr);
    QWidget* window = WidgetOf(form_->Peer());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    window->activateWindow();  // focus shows only in the active window
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  }
  void TearDown() override {
    form_.reset();
    Current() = saved_;
  }

  // Control+V as X delivers it: the key with the control character it types.
  void Paste() {
    QTest::sendKeyEvent(QTest::Click, line_, Qt::Key_V, QString(QChar(0x16)), Qt::ControlModifier);
  }

  static inline QtBackend* backend_ = nullptr;
  Services saved_;
  QtFontEngine fonts_;
  fake::FakeLocale locale_;
  std::unique_ptr<TForm> form_;
  TSpinEdit* edit_ = nullptr;  // owned by the form
  QLineEdit* line_ = nullptr;
  QWidget* arrows_ = nullptr;
};

TEST_F(QtSpinEditTest, ArrowBlockLiesInsideTheLineEditClearOfTheText) {
  EXPECT_EQ(arrows_->parentWidget(), line_);
  EXPECT_TRUE(arrows_->isVisible());
  // Within the edit's 2-pixel edge: 5 pixels in from the right and the bottom.
  EXPECT_EQ(arrows_->geometry(), QRect(kEditEdge + 54 - 15 - 5, kEditEdge, 15, 22 - 5));
  EXPECT_EQ(line_->textMargins(), QMargins(0, 0, 15 + 2, 0));
  EXPECT_EQ(arrows_->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(QtSpinEditTest, ClickedAndHeldArrowsStepTheValue) {
  QTest::mouseClick(arrows_, Qt::LeftButton, Qt::NoModifier, QPoint(7, 3));
  EXPECT_EQ(line_->text(), "51");
  EXPECT_TRUE(line_->hasFocus()) << "pressing an arrow focuses the field";

  // 400 ms, then every 100 ms: a second's hold gives 7 repeats and the release one more.
  QTest::mousePress(arrows_, Qt::LeftButton, Qt::NoModifier, QPoint(7, 12));
  QTest::qWait(1000);
  QTest::mouseRelease(arrows_, Qt::LeftButton, Qt::NoModifier, QPoint(7, 12));
  // A busy machine may lose a tick or two, never gain one.
  const int steps = 51 - edit_->Value();
  EXPECT_GE(steps, 5);
  EXPECT_LE(steps, 9);
}

TEST_F(QtSpinEditTest, EditorOffRefusesTypingAndPasting) {
  QApplication::clipboard()->setText("12");
  line_->setFocus();
  QTest::keyClicks(line_, "a");
  EXPECT_EQ(line_->text(), "50") << "letters are refused";

  edit_->SetEditorEnabled(false);
  line_->selectAll();
  Paste();
  QTest::keyClicks(line_, "7");
  EXPECT_EQ(line_->text(), "50");
  QStringList offered;  // the enabled entries of the edit's own menu
  QTimer::singleShot(100, line_, [&] {
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
      for (QAction* action : menu->actions())
        if (action->isEnabled() && !action->isSeparator()) offered << action->text();
      menu->close();
    }
  });
  QContextMenuEvent request(QContextMenuEvent::Mouse, QPoint(5, 5), line_->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(line_, &request);
  ASSERT_TRUE(WaitUntil([&] { return !offered.isEmpty(); }, 2000));
  EXPECT_TRUE(offered.filter("Paste").isEmpty() && offered.filter("Cu&t").isEmpty())
      << offered.join(", ").toStdString();

  edit_->SetEditorEnabled(true);
  line_->selectAll();
  Paste();
  EXPECT_EQ(line_->text(), "12");
  EXPECT_EQ(edit_->Value(), 12);
}

}  // namespace
}  // namespace qv::platform::qt
