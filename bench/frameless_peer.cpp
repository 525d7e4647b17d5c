// The peer of the window benchmarks: the least a Qt program needs for a
// borderless, stay-on-top window of our window's size that the user drags by
// its body. A press remembers the pointer's place in the window; each move
// while a button is held sets left := left + x - pressX (and the same for the
// top), the rule our main window follows. It paints one flat colour and has no
// timers, so idle it only waits for events.
// drag_latency and window_idle.py start it under X.
#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWidget>

namespace {

// The size of our main window's full picture, so both are dragged alike.
constexpr int kWidth = 764, kHeight = 581;

class DragWindow final : public QWidget {
 public:
  DragWindow() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setWindowTitle("frameless peer");
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(kWidth, kHeight);
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QPainter painter(this);
    painter.fillRect(event->rect(), QColor(74, 77, 74));
  }
  void mousePressEvent(QMouseEvent* event) override {
    press_ = event->position().toPoint();
    dragging_ = true;
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    if (!dragging_) return;
    const QPoint at = event->position().toPoint();
    move(x() + at.x() - press_.x(), y() + at.y() - press_.y());
  }
  void mouseReleaseEvent(QMouseEvent*) override { dragging_ = false; }

 private:
  QPoint press_;
  bool dragging_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  DragWindow window;
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  window.move(screen.center() - QPoint(kWidth / 2, kHeight / 2));
  window.show();
  return QApplication::exec();
}
