#include "platform/qt/QtWindowSystem.h"

#include <QAction>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QWidget>

#include "platform/qt/QtPeers.h"
#include "platform/qt/QtText.h"

namespace qv::platform::qt {

namespace {

// What a separator entry's caption is, as in the Windows menu templates.
constexpr char kSeparatorCaption[] = "-";

QRect PrimaryScreenGeometry() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->geometry() : QRect();
}

// Swallows mouse button events for as long as it is installed.
class MouseButtonSink final : public QObject {
 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick: return true;
      default: return false;
    }
  }
};

}  // namespace

std::unique_ptr<IWindowPeer> QtWindowSystem::CreatePeer(PeerKind kind, IWindowPeer* parent,
                                                        IPeerEvents* events) {
  return CreateQtPeer(kind, parent, events);
}

int QtWindowSystem::ScreenWidth() const {
  return PrimaryScreenGeometry().width();
}

int QtWindowSystem::ScreenHeight() const {
  return PrimaryScreenGeometry().height();
}

void QtWindowSystem::SetApplicationTitle(const std::string& latin1Title) {
  // The application name, not the display name: Qt appends a display name to
  // every window title on X11, and other programs find our form by its exact
  // caption. The name still labels untitled windows and dialogs.
  QCoreApplication::setApplicationName(TextToQt(latin1Title));
}

int QtWindowSystem::PopupMenu(IWindowPeer* owner, int x, int y, const std::vector<MenuEntry>& entries) {
  if (entries.empty()) return -1;
  QMenu menu;
  // The click that closes the menu outside it ends there: it is not replayed to
  // the window below, as a native menu does not pass it on either.
  menu.setAttribute(Qt::WA_NoMouseReplay);
  std::vector<QAction*> actions;
  actions.reserve(entries.size());
  for (const MenuEntry& entry : entries) {
    if (entry.caption == kSeparatorCaption) {
      actions.push_back(menu.addSeparator());
      continue;
    }
    QAction* action = menu.addAction(TextToQt(entry.caption));
    action->setEnabled(entry.enabled);
    if (entry.checked) {
      action->setCheckable(true);
      action->setChecked(true);
    }
    actions.push_back(action);
  }
  QWidget* widget = WidgetOf(owner);
  const QPoint at = widget != nullptr ? widget->mapToGlobal(QPoint(x, y)) : QPoint(x, y);
  QAction* chosen = nullptr;
  {
    // Runs a nested loop: peers destroyed meanwhile must keep their widgets.
    const DeferWidgetDeletion keepWidgets;
    chosen = menu.exec(at);
  }
  if (chosen == nullptr || chosen->isSeparator()) return -1;
  for (size_t i = 0; i < actions.size(); ++i)
    if (actions[i] == chosen) return static_cast<int>(i);
  return -1;
}

void QtWindowSystem::DiscardPendingMouseInput() {
  if (QCoreApplication::instance() == nullptr) return;
  // Whatever the window system has queued is read and delivered now, with the
  // button events eaten on the way.
  MouseButtonSink sink;
  QCoreApplication::instance()->installEventFilter(&sink);
  QCoreApplication::processEvents();
  QCoreApplication::instance()->removeEventFilter(&sink);
}

}  // namespace qv::platform::qt
