#include "platform/qt/QtPeers.h"

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QCursor>
#include <QEnterEvent>
#include <QEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QPointer>
#include <QSignalBlocker>
#include <QWindow>
#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <utility>

#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtText.h"

namespace qv::platform::qt {

// ---------------------------------------------------------------------------
// Conversions

namespace {

int g_deferDepth = 0;  // GUI thread only, like every widget

struct KeyMapping {
  int qtKey;
  int virtualKey;
};

constexpr KeyMapping kKeyMappings[] = {
    {Qt::Key_Backspace, kVkBack},  {Qt::Key_Tab, kVkTab},       {Qt::Key_Backtab, kVkTab},
    {Qt::Key_Return, kVkReturn},   {Qt::Key_Enter, kVkReturn},  {Qt::Key_Shift, kVkShift},
    {Qt::Key_Control, kVkControl}, {Qt::Key_Alt, kVkMenu},      {Qt::Key_Escape, kVkEscape},
    {Qt::Key_Space, kVkSpace},     {Qt::Key_PageUp, kVkPrior},  {Qt::Key_PageDown, kVkNext},
    {Qt::Key_End, kVkEnd},         {Qt::Key_Home, kVkHome},     {Qt::Key_Left, kVkLeft},
    {Qt::Key_Up, kVkUp},           {Qt::Key_Right, kVkRight},   {Qt::Key_Down, kVkDown},
    {Qt::Key_Insert, kVkInsert},   {Qt::Key_Delete, kVkDelete},
};

enum class Face { kUiSans, kArial, kSerif, kMono };

struct WindowsFont {
  const char* name;
  Face face;
};

// Windows faces the program's forms name, and the kind of installed face that
// takes their place (the metric-compatible ones first where they exist).
constexpr WindowsFont kWindowsFonts[] = {
    {"MS Sans Serif", Face::kUiSans},  {"Microsoft Sans Serif", Face::kUiSans},
    {"MS Shell Dlg", Face::kUiSans},   {"MS Shell Dlg 2", Face::kUiSans},
    {"Tahoma", Face::kUiSans},         {"Verdana", Face::kUiSans},
    {"Segoe UI", Face::kUiSans},       {"System", Face::kUiSans},
    {"Arial", Face::kArial},           {"Helvetica", Face::kArial},
    {"Times New Roman", Face::kSerif}, {"MS Serif", Face::kSerif},
    {"Times", Face::kSerif},           {"Courier New", Face::kMono},
    {"Courier", Face::kMono},          {"Lucida Console", Face::kMono},
    {"Fixedsys", Face::kMono},         {"Terminal", Face::kMono},
};

QStringList Substitutes(Face face) {
  switch (face) {
    case Face::kUiSans: return {"Liberation Sans", "DejaVu Sans", "Nimbus Sans"};
    case Face::kArial: return {"Liberation Sans", "Arimo", "Nimbus Sans", "DejaVu Sans"};
    case Face::kSerif: return {"Liberation Serif", "Tinos", "Nimbus Roman", "DejaVu Serif"};
    case Face::kMono: return {"Liberation Mono", "Cousine", "Nimbus Mono PS", "DejaVu Sans Mono"};
  }
  return {"DejaVu Sans"};
}

QFont::StyleHint HintFor(const QStringList& families) {
  if (families.contains("DejaVu Sans Mono")) return QFont::Monospace;
  if (families.contains("DejaVu Serif")) return QFont::Serif;
  return QFont::SansSerif;
}

PeerRect ToPeerRect(const QRect& r) {
  return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

QRect ToQRect(const PeerRect& r) {
  return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

bool Usable(const PixelView& view) {
  return view.top != nullptr && view.width > 0 && view.height > 0 &&
         std::llabs(static_cast<long long>(view.stride)) >= 4LL * view.width;
}

// Copies the part of the toolkit's pixels a paint needs. The unused fourth byte
// is made opaque: Qt would otherwise take it for alpha on translucent surfaces.
QImage CopyPixels(const PixelView& view, const QRect& area) {
  QImage image(area.size(), QImage::Format_RGB32);
  for (int y = 0; y < area.height(); ++y) {
    const std::uint8_t* src = view.Row(area.top() + y) + 4 * area.left();
    auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < area.width(); ++x, src += 4)
      dst[x] = qRgb(src[2], src[1], src[0]);  // bytes B, G, R, unused
  }
  return image;
}

// The Latin-1 character a key types, 0 when none. Delete types nothing on
// Windows although X reports DEL for it.
char TypedCharacter(const QKeyEvent* event) {
  const QString text = event->text();
  if (text.size() != 1) return 0;
  const char16_t code = text.at(0).unicode();
  if (code == 0 || code == 0x7F || code > 0xFF) return 0;
  return static_cast<char>(static_cast<unsigned char>(code));
}

bool IsContextMenuKey(const QKeyEvent* event) {
  return event->key() == Qt::Key_Menu ||
         (event->key() == Qt::Key_F10 && (event->modifiers() & Qt::ShiftModifier));
}

// The sizes the canvas's text uses too, so native controls and painted text agree.
constexpr int kDefaultFontPixels = 11;
constexpr int kMaxFontPixels = 512;

int CellHeight(const QFont& font) {
  const QFontMetrics metrics(font);
  return metrics.ascent() + metrics.descent();
}

bool IsPainted(PeerKind kind) {
  return kind == PeerKind::Form || kind == PeerKind::Custom;
}

// Where a child's coordinates start: inside an edit, within its sunken edge,
// as for the window system's own edits; elsewhere at the parent's corner.
QPoint ClientOrigin(const QWidget* parent) {
  return qobject_cast<const QLineEdit*>(parent) != nullptr ? QPoint(kEditEdge, kEditEdge) : QPoint();
}

}  // namespace

QColor ColorFromBgr(std::uint32_t bgr) {
  return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                static_cast<int>((bgr >> 16) & 0xFF));
}

int VirtualKeyFromQt(int qtKey) {
  // Letters and digits have their ASCII codes in both systems.
  if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)) return qtKey;
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return kVkF1 + (qtKey - Qt::Key_F1);
  for (const KeyMapping& m : kKeyMappings)
    if (m.qtKey == qtKey) return m.virtualKey;
  return 0;
}

unsigned ShiftFromQt(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
  unsigned shift = 0;
  if (modifiers & Qt::ShiftModifier) shift |= kShift;
  if (modifiers & Qt::AltModifier) shift |= kAlt;
  if (modifiers & Qt::ControlModifier) shift |= kCtrl;
  if (buttons & Qt::LeftButton) shift |= kLeft;
  if (buttons & Qt::RightButton) shift |= kRight;
  if (buttons & Qt::MiddleButton) shift |= kMiddle;
  return shift;
}

QStringList FamiliesFor(const std::string& windowsName) {
  const QString name = QString::fromLatin1(windowsName);
  for (const WindowsFont& f : kWindowsFonts)
    if (name.compare(QLatin1String(f.name), Qt::CaseInsensitive) == 0) return Substitutes(f.face);
  // A face we do not know may be installed under its own name.
  return {name, "DejaVu Sans"};
}

QFont ToQtFont(const FontSpec& wanted) {
  QFont font;
  const QStringList families = FamiliesFor(wanted.name);
  font.setFamilies(families);
  font.setStyleHint(HintFor(families));
  font.setBold(wanted.bold);
  font.setItalic(wanted.italic);
  font.setUnderline(wanted.underline);
  font.setStrikeOut(wanted.strikeOut);
  if (wanted.height < 0) {
    font.setPixelSize(std::clamp(-wanted.height, 1, kMaxFontPixels));
  } else if (wanted.height == 0) {
    font.setPixelSize(kDefaultFontPixels);
  } else {
    // A cell height: the largest pixel size whose ascent plus descent fits.
    const int cell = std::min(wanted.height, kMaxFontPixels);
    int size = cell;
    font.setPixelSize(size);
    while (size > 1 && CellHeight(font) > cell) font.setPixelSize(--size);
  }
  return font;
}

QRegion RegionFromRects(const std::vector<PeerRect>& rects) {
  std::vector<QRect> bands;
  bands.reserve(rects.size());
  bool banded = true;  // one-row runs, top to bottom and left to right, never touching
  for (const PeerRect& r : rects) {
    if (r.right <= r.left || r.bottom <= r.top) continue;
    const QRect q = ToQRect(r);
    if (!bands.empty()) {
      const QRect& last = bands.back();
      const bool sameBand =
          q.top() == last.top() && q.height() == last.height() && q.left() > last.right() + 1;
      banded = banded && (sameBand || q.top() > last.bottom());
    }
    bands.push_back(q);
  }
  QRegion region;
  if (banded) {
    // Already in the region's own form: taken over in one step.
    region.setRects(bands.data(), static_cast<int>(bands.size()));
    return region;
  }
  for (const QRect& q : bands) region += q;
  return region;
}

DeferWidgetDeletion::DeferWidgetDeletion() {
  ++g_deferDepth;
}
DeferWidgetDeletion::~DeferWidgetDeletion() {
  --g_deferDepth;
}
bool DeferWidgetDeletion::Active() {
  return g_deferDepth > 0;
}

// ---------------------------------------------------------------------------
// Event translation

namespace {

// Translates a widget's events into calls on its model. It is a child object
// of the widget, so it lives exactly as long as the widget does; the peer
// detaches it when the model goes away before the widget.
class PeerBridge final : public QObject {
 public:
  PeerBridge(QWidget* widget, IPeerEvents* events, PeerKind kind)
      : QObject(widget), widget_(widget), events_(events), kind_(kind) {
    widget->installEventFilter(this);
  }

  // Mouse events of a list box arrive at its viewport.
  void WatchMouseOf(QWidget* child) { child->installEventFilter(this); }
  void Detach() { events_ = nullptr; }
  bool Attached() const { return events_ != nullptr; }

  template <typename Call>
  void Notify(Call&& call) {
    if (events_ == nullptr) return;
    DeferWidgetDeletion keepWidgets;
    RunShielded([&] { call(*events_); });
  }

  QRegion pending;  // invalidated, not yet painted
  QColor background = Qt::black;
  QPoint lastReportedPos;
  bool focusByMouse = false;  // the latest focus gain came from a mouse press

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool OnMouse(QWidget* source, QMouseEvent* event);
  bool OnKey(QKeyEvent* event);
  void OnFocus(bool gained, Qt::FocusReason reason);
  // Edits: whether the model lets the user cut or paste now.
  bool Allows(ClipboardCommand command);
  void ShowMenuWithoutCutAndPaste(const QContextMenuEvent* event);

  QWidget* widget_;
  IPeerEvents* events_;
  PeerKind kind_;
  bool focusReported_ = false;
};

bool PeerBridge::eventFilter(QObject* watched, QEvent* event) {
  auto* source = static_cast<QWidget*>(watched);
  const bool own = source == widget_;
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: return OnMouse(source, static_cast<QMouseEvent*>(event));
    case QEvent::Enter:
    case QEvent::Leave: {
      if (!own) break;  // the viewport's crossings repeat the list box's own
      MouseEvent m;
      m.action = event->type() == QEvent::Enter ? MouseAction::Enter : MouseAction::Leave;
      const QPoint p = event->type() == QEvent::Enter ? static_cast<QEnterEvent*>(event)->position().toPoint()
                                                      : widget_->mapFromGlobal(QCursor::pos());
      m.x = p.x();
      m.y = p.y();
      m.shift = ShiftFromQt(QGuiApplication::keyboardModifiers(), QGuiApplication::mouseButtons());
      Notify([&](IPeerEvents& e) { e.PeerMouse(m); });
      break;
    }
    case QEvent::KeyPress:
      if (own) return OnKey(static_cast<QKeyEvent*>(event));
      break;
    case QEvent::FocusIn:
    case QEvent::FocusOut:
      if (own) OnFocus(event->type() == QEvent::FocusIn, static_cast<QFocusEvent*>(event)->reason());
      break;
    case QEvent::Move:
      if (own && kind_ == PeerKind::Form && widget_->pos() != lastReportedPos) {
        lastReportedPos = widget_->pos();
        Notify([&](IPeerEvents& e) { e.PeerMoved(lastReportedPos.x(), lastReportedPos.y()); });
      }
      break;
    case QEvent::Close:
      // A form goes away when its program says so; a close request from the
      // window manager would hide it behind its model's back.
      if (own && kind_ == PeerKind::Form && event->spontaneous() && Attached()) {
        event->ignore();
        return true;
      }
      break;
    case QEvent::Paint:
      if (own) pending -= static_cast<QPaintEvent*>(event)->region();
      break;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
      // Dropping text into an edit is pasting it.
      if (own && kind_ == PeerKind::Edit && !Allows(ClipboardCommand::Paste)) {
        event->ignore();
        return true;
      }
      break;
    case QEvent::ContextMenu:
      if (own && kind_ == PeerKind::Edit &&
          !(Allows(ClipboardCommand::Cut) && Allows(ClipboardCommand::Paste))) {
        ShowMenuWithoutCutAndPaste(static_cast<QContextMenuEvent*>(event));
        return true;
      }
      break;
    default: break;
  }
  return false;
}

bool PeerBridge::OnMouse(QWidget* source, QMouseEvent* event) {
  MouseEvent m;
  bool buttonEvent = true;
  switch (event->type()) {
    case QEvent::MouseButtonPress: m.action = MouseAction::Down; break;
    case QEvent::MouseButtonRelease: m.action = MouseAction::Up; break;
    case QEvent::MouseButtonDblClick: m.action = MouseAction::DoubleClick; break;
    default:
      m.action = MouseAction::Move;
      buttonEvent = false;
      break;
  }
  if (buttonEvent) {
    switch (event->button()) {
      case Qt::LeftButton: m.button = MouseButton::Left; break;
      case Qt::RightButton: m.button = MouseButton::Right; break;
      case Qt::MiddleButton: m.button = MouseButton::Middle; break;
      default: return IsPainted(kind_);  // buttons the toolkit has no name for
    }
  }
  const QPoint p = source->mapTo(widget_, event->position().toPoint());
  m.x = p.x();
  m.y = p.y();
  // Held buttons after the change, as Windows reports them: a press includes
  // its button, a release no longer does.
  m.shift = ShiftFromQt(event->modifiers(), event->buttons());
  if (m.action == MouseAction::DoubleClick) m.shift |= kDouble;
  Notify([&](IPeerEvents& e) { e.PeerMouse(m); });
  // Windows asks for the context menu when the right button comes up. Edits
  // keep their own menu, as the native edit control does.
  if (m.action == MouseAction::Up && m.button == MouseButton::Right && kind_ != PeerKind::Edit)
    Notify([&](IPeerEvents& e) { e.PeerContextMenu(m.x, m.y); });
  // X11 edits paste the selection where the middle button comes up.
  if (m.action == MouseAction::Up && m.button == MouseButton::Middle && kind_ == PeerKind::Edit &&
      !Allows(ClipboardCommand::Paste))
    return true;
  if (!IsPainted(kind_)) return false;  // the native control handles it as well
  event->accept();
  return true;
}

bool PeerBridge::OnKey(QKeyEvent* event) {
  const int virtualKey = VirtualKeyFromQt(event->key());
  const char typed = TypedCharacter(event);
  const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
  bool swallowed = false;
  if (virtualKey != 0 || typed != 0) {
    const unsigned shift = ShiftFromQt(event->modifiers(), QGuiApplication::mouseButtons());
    Notify([&](IPeerEvents& e) { swallowed = e.PeerKey(virtualKey, typed, shift); });
  }
  if (!swallowed && kind_ == PeerKind::Edit) {
    swallowed = (event->matches(QKeySequence::Cut) && !Allows(ClipboardCommand::Cut)) ||
                (event->matches(QKeySequence::Paste) && !Allows(ClipboardCommand::Paste));
  }
  if (!swallowed && IsContextMenuKey(event) && kind_ != PeerKind::Edit) {
    // The keyboard's menu request opens the menu at the control's corner.
    Notify([&](IPeerEvents& e) { e.PeerContextMenu(0, 0); });
    swallowed = true;
  }
  // Keys go to the focused control only; painted peers let Tab move the focus.
  if (swallowed || (IsPainted(kind_) && !tab)) {
    event->accept();
    return true;
  }
  return false;
}

void PeerBridge::OnFocus(bool gained, Qt::FocusReason reason) {
  // Switching windows or opening a menu does not move the focus between the
  // form's controls: the control stays the active one and is not told.
  const bool transient = reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
  if (gained) {
    if (transient && focusReported_) return;
    focusReported_ = true;
  } else {
    if (transient || !focusReported_) return;
    focusReported_ = false;
  }
  if (gained) focusByMouse = reason == Qt::MouseFocusReason;
  Notify([&](IPeerEvents& e) { e.PeerFocus(gained); });
}

bool PeerBridge::Allows(ClipboardCommand command) {
  bool allowed = true;
  Notify([&](IPeerEvents& e) { allowed = e.PeerClipboardCommand(command); });
  return allowed;
}

void PeerBridge::ShowMenuWithoutCutAndPaste(const QContextMenuEvent* event) {
  auto* edit = static_cast<QLineEdit*>(widget_);
  // The edit's own menu as a read-only edit has it: copying and selecting only.
  const bool readOnly = edit->isReadOnly();
  edit->setReadOnly(true);
  const std::unique_ptr<QMenu> menu(edit->createStandardContextMenu());
  edit->setReadOnly(readOnly);
  const DeferWidgetDeletion keepWidgets;
  menu->exec(event->globalPos());
}

// Forms and custom peers: the toolkit paints every pixel.
class PaintedWidget final : public QWidget {
 public:
  PaintedWidget(QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    setContextMenuPolicy(Qt::PreventContextMenu);
  }
  void SetBridge(PeerBridge* bridge) { bridge_ = bridge; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPointer<PeerBridge> bridge_;
};

void PaintedWidget::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect dirty = event->rect();
  PixelView view;
  if (bridge_ != nullptr) bridge_->Notify([&](IPeerEvents& e) { view = e.PeerPaint(ToPeerRect(dirty)); });
  QRect covered;
  if (Usable(view)) covered = dirty & QRect(0, 0, view.width, view.height);
  if (!covered.isEmpty()) painter.drawImage(covered.topLeft(), CopyPixels(view, covered));
  // Whatever the model did not paint shows its background, never stale pixels.
  const QColor background = bridge_ != nullptr ? bridge_->background : QColor(Qt::black);
  for (const QRect& r : QRegion(dirty) - QRegion(covered)) painter.fillRect(r, background);
}

// Qt's controls pass unused mouse and key events on to their parent; a Windows
// control keeps them, and the form must not see them a second time.
template <typename Control>
class NativeControl final : public Control {
 public:
  explicit NativeControl(QWidget* parent) : Control(parent) {}

 protected:
  void mousePressEvent(QMouseEvent* e) override {
    Control::mousePressEvent(e);
    e->accept();
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    Control::mouseReleaseEvent(e);
    e->accept();
  }
  void mouseDoubleClickEvent(QMouseEvent* e) override {
    Control::mouseDoubleClickEvent(e);
    e->accept();
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    Control::mouseMoveEvent(e);
    e->accept();
  }
  void keyPressEvent(QKeyEvent* e) override {
    Control::keyPressEvent(e);
    e->accept();
  }
};

// ---------------------------------------------------------------------------
// Peers

class QtPeer : public IWindowPeer {
 public:
  QtPeer(PeerKind kind, QWidget* widget, IPeerEvents* events)
      : kind_(kind), widget_(widget), bridge_(new PeerBridge(widget, events, kind)) {
    widget->setMouseTracking(true);
    widget->setGeometry(0, 0, 0, 0);
    widget->hide();  // explicitly hidden: a child shows only when its model says so
  }

  ~QtPeer() override {
    // The toolkit frees a parent's peer only after its children's, so the
    // widget is still there: it never goes with its parent's widget first.
    assert(widget_ != nullptr && bridge_ != nullptr);
    bridge_->Detach();
    if (DeferWidgetDeletion::Active()) {
      widget_->hide();
      widget_->deleteLater();
    } else {
      delete widget_.data();
    }
  }

  QWidget* Widget() const { return widget_.data(); }

  void SetBounds(int left, int top, int width, int height) override {
    assert(widget_ != nullptr);
    const QPoint origin = ClientOrigin(widget_->parentWidget());
    widget_->setGeometry(left + origin.x(), top + origin.y(), std::max(0, width), std::max(0, height));
  }

  void SetVisible(bool visible) override {
    assert(widget_ != nullptr);
    widget_->setVisible(visible);
  }

  void SetEnabled(bool enabled) override {
    assert(widget_ != nullptr);
    widget_->setEnabled(enabled);
  }

  void Invalidate(const PeerRect& area) override {
    assert(widget_ != nullptr);
    const QRect r = ToQRect(area) & widget_->rect();
    if (r.isEmpty()) return;
    bridge_->pending += r;
    widget_->update(r);
  }

  void Update() override {
    assert(widget_ != nullptr);
    if (bridge_->pending.isEmpty()) return;
    const QRegion area = std::exchange(bridge_->pending, QRegion());
    widget_->repaint(area);
  }

  void SetFocus() override {
    assert(widget_ != nullptr);
    widget_->setFocus(Qt::OtherFocusReason);
  }

  bool Focused() const override {
    assert(widget_ != nullptr);
    return widget_->hasFocus();
  }
  bool FocusedByMouse() const override { return bridge_ != nullptr && bridge_->focusByMouse; }

  void SetFont(const FontSpec& font) override {
    assert(widget_ != nullptr);
    widget_->setFont(ToQtFont(font));
  }

  void SetColors(std::uint32_t background, std::uint32_t text) override;

  void SetHint(const std::string& latin1Hint) override {
    assert(widget_ != nullptr);
    widget_->setToolTip(TextToQt(latin1Hint));
  }

  void SetText(const std::string&) override {}

  void BringToFront() override {
    assert(widget_ != nullptr);
    widget_->raise();
    if (widget_->isWindow()) widget_->activateWindow();
  }

  bool PointerPos(int& x, int& y) const override {
    assert(widget_ != nullptr);
    const QPoint p = widget_->mapFromGlobal(QCursor::pos());
    x = p.x();
    y = p.y();
    return true;
  }

  bool IsActiveWindow() const override {
    assert(widget_ != nullptr);
    return widget_->isActiveWindow();
  }

 protected:
  PeerBridge& Bridge() { return *bridge_; }

  PeerKind kind_;
  QPointer<QWidget> widget_;
  QPointer<PeerBridge> bridge_;
};

void QtPeer::SetColors(std::uint32_t background, std::uint32_t text) {
  assert(widget_ != nullptr);
  const QColor back = ColorFromBgr(background), fore = ColorFromBgr(text);
  QPalette palette = widget_->palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    palette.setColor(group, QPalette::Window, back);
    palette.setColor(group, QPalette::Base, back);
    palette.setColor(group, QPalette::Button, back);
  }
  // Disabled text keeps the style's greyed look, as on Windows.
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    palette.setColor(group, QPalette::WindowText, fore);
    palette.setColor(group, QPalette::Text, fore);
    palette.setColor(group, QPalette::ButtonText, fore);
  }
  widget_->setPalette(palette);
  if (kind_ == PeerKind::CheckBox) widget_->setAutoFillBackground(true);
  bridge_->background = back;
}

class CustomPeer final : public QtPeer {
 public:
  CustomPeer(QWidget* parent, IPeerEvents* events)
      : QtPeer(PeerKind::Custom, new PaintedWidget(parent, Qt::Widget), events) {
    static_cast<PaintedWidget*>(widget_.data())->SetBridge(bridge_.data());
    // Buttons inside an edit show the pointer, not the edit's text cursor.
    if (qobject_cast<QLineEdit*>(parent) != nullptr) widget_->setCursor(Qt::ArrowCursor);
  }
};

class FormPeer final : public QtPeer {
 public:
  explicit FormPeer(IPeerEvents* events)
      : QtPeer(PeerKind::Form, new PaintedWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), events) {
    static_cast<PaintedWidget*>(widget_.data())->SetBridge(bridge_.data());
  }

  // Frame position and client size: the same thing for a frameless window.
  void SetBounds(int left, int top, int width, int height) override {
    assert(widget_ != nullptr);
    Bridge().lastReportedPos = QPoint(left, top);
    widget_->move(left, top);
    widget_->resize(std::max(0, width), std::max(0, height));
  }

  void SetVisible(bool visible) override {
    assert(widget_ != nullptr);
    widget_->setVisible(visible);
    if (visible) ApplyShape();
  }

  void SetText(const std::string& latin1Text) override {
    assert(widget_ != nullptr);
    widget_->setWindowTitle(TextToQt(latin1Text));
  }

  void SetStayOnTop(bool onTop) override;

  void SetShape(const std::vector<PeerRect>& rects) override {
    shape_ = RegionFromRects(rects);
    shaped_ = true;
    ApplyShape();
  }

  void ClearShape() override {
    shape_ = QRegion();
    shaped_ = false;
    ApplyShape();
  }

  void ShowMinimized() override {
    assert(widget_ != nullptr);
    // A hidden form only remembers the state and shows minimised later.
    if (widget_->isVisible())
      widget_->showMinimized();
    else
      widget_->setWindowState(widget_->windowState() | Qt::WindowMinimized);
  }

  void ShowNormal() override {
    assert(widget_ != nullptr);
    if (widget_->isVisible()) {
      widget_->showNormal();
      ApplyShape();
    } else {
      widget_->setWindowState(widget_->windowState() & ~Qt::WindowMinimized);
    }
  }

 private:
  // The window may have been rebuilt since the shape was set: give the current
  // native window the outline too, never a remembered one.
  void ApplyShape() {
    assert(widget_ != nullptr);
    if (!shaped_) {
      widget_->clearMask();
      if (QWindow* handle = widget_->windowHandle()) handle->setMask(QRegion());
      return;
    }
    // Qt reads an empty mask as "no mask". An empty outline is a single pixel
    // outside the window instead: the server clips it away, so nothing of the
    // window shows and every click goes through.
    const QRegion mask = shape_.isEmpty() ? QRegion(-1, -1, 1, 1) : shape_;
    widget_->setMask(mask);
    if (QWindow* handle = widget_->windowHandle()) handle->setMask(mask);
  }

  QRegion shape_;
  bool shaped_ = false;
};

void FormPeer::SetStayOnTop(bool onTop) {
  assert(widget_ != nullptr);
  if (widget_->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop) return;
  const bool wasVisible = widget_->isVisible();
  const bool wasMinimized = widget_->isMinimized();
  const QPoint pos = widget_->pos();
  // Changing the flags rebuilds the native window and hides it.
  widget_->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
  widget_->move(pos);
  if (wasVisible) {
    if (wasMinimized)
      widget_->showMinimized();
    else
      widget_->show();
  }
  ApplyShape();
}

class EditPeer final : public QtPeer {
 public:
  EditPeer(QWidget* parent, IPeerEvents* events)
      : QtPeer(PeerKind::Edit, new NativeControl<QLineEdit>(parent), events),
        edit_(static_cast<QLineEdit*>(widget_.data())) {
    QPointer<PeerBridge> bridge = bridge_;
    // textEdited comes from the user only, never from setText.
    QObject::connect(edit_, &QLineEdit::textEdited, edit_, [bridge](const QString& text) {
      if (bridge != nullptr) bridge->Notify([&](IPeerEvents& e) { e.PeerTextEdited(TextFromQt(text)); });
    });
  }

  void SetText(const std::string& latin1Text) override {
    const QString text = TextToQt(latin1Text);
    // The model hands back what the user just typed: keep the cursor where it is.
    assert(edit_ != nullptr);
    if (edit_->text() != text) {
      edit_->setText(text);
      // A text set by the program shows from its beginning, as native edits do.
      if (!edit_->hasFocus()) edit_->setCursorPosition(0);
    }
  }
  void SetReadOnly(bool readOnly) override {
    assert(edit_ != nullptr);
    edit_->setReadOnly(readOnly);
  }
  void SetMaxLength(int length) override {
    // 0 is "no limit", the largest length the Windows edit control accepts.
    constexpr int kUnlimited = 0x7FFFFFFE;
    assert(edit_ != nullptr);
    // Qt sets the text again for a new limit, which moves the cursor to its end
    // and would show a long path from its end.
    const int cursor = edit_->cursorPosition();
    edit_->setMaxLength(length > 0 ? length : kUnlimited);
    edit_->setCursorPosition(std::min(cursor, static_cast<int>(edit_->text().size())));
  }
  void SetTextMargins(int left, int top, int right, int bottom) override {
    assert(edit_ != nullptr);
    edit_->setTextMargins(std::max(0, left), std::max(0, top), std::max(0, right), std::max(0, bottom));
  }
  void SelectAll() override {
    assert(edit_ != nullptr);
    edit_->selectAll();
  }

 private:
  QPointer<QLineEdit> edit_;
};

class ListBoxPeer final : public QtPeer {
 public:
  ListBoxPeer(QWidget* parent, IPeerEvents* events)
      : QtPeer(PeerKind::ListBox, new NativeControl<QListWidget>(parent), events),
        list_(static_cast<QListWidget*>(widget_.data())) {
    list_->setFrameShape(QFrame::NoFrame);
    // Like the classic list box: long lines are cut at the edge, no horizontal scroll bar.
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setUniformItemSizes(true);
    list_->setContextMenuPolicy(Qt::PreventContextMenu);
    list_->viewport()->setMouseTracking(true);
    Bridge().WatchMouseOf(list_->viewport());
    QPointer<PeerBridge> bridge = bridge_;
    QPointer<QListWidget> list = list_;
    // The selection, not the current row: Qt makes the first line current when
    // the list gets the focus, which is no choice of the user's.
    QObject::connect(list_, &QListWidget::itemSelectionChanged, list_, [bridge, list] {
      if (bridge == nullptr || list == nullptr) return;
      const QList<QListWidgetItem*> selected = list->selectedItems();
      if (selected.isEmpty()) return;
      const int row = list->row(selected.first());
      bridge->Notify([&](IPeerEvents& e) { e.PeerItemSelected(row); });
    });
  }

  // The toolkit's changes are never reported back as the user's.
  void ListAdd(const std::string& line) override {
    assert(list_ != nullptr);
    const QSignalBlocker quiet(list_);
    list_->addItem(TextToQt(line));
  }
  void ListDelete(int index) override {
    assert(list_ != nullptr);
    if (index < 0 || index >= list_->count()) return;
    const QSignalBlocker quiet(list_);
    delete list_->takeItem(index);
  }
  void ListClear() override {
    assert(list_ != nullptr);
    const QSignalBlocker quiet(list_);
    list_->clear();
  }
  void ListSetItemIndex(int index) override {
    assert(list_ != nullptr);
    const QSignalBlocker quiet(list_);
    if (index < 0 || index >= list_->count()) {
      list_->clearSelection();
      list_->setCurrentRow(-1);
      return;
    }
    list_->setCurrentRow(index);
    list_->scrollToItem(list_->item(index));
  }

 private:
  QPointer<QListWidget> list_;
};

class CheckBoxPeer final : public QtPeer {
 public:
  CheckBoxPeer(QWidget* parent, IPeerEvents* events)
      : QtPeer(PeerKind::CheckBox, new NativeControl<QCheckBox>(parent), events),
        box_(static_cast<QCheckBox*>(widget_.data())) {
    box_->setContextMenuPolicy(Qt::PreventContextMenu);
    QPointer<PeerBridge> bridge = bridge_;
    // clicked comes from the user only (mouse or space bar), never from setChecked.
    QObject::connect(box_, &QCheckBox::clicked, box_, [bridge](bool checked) {
      if (bridge != nullptr) bridge->Notify([&](IPeerEvents& e) { e.PeerToggled(checked); });
    });
  }

  void SetText(const std::string& latin1Text) override {
    assert(box_ != nullptr);
    box_->setText(TextToQt(latin1Text));
  }
  void SetChecked(bool checked) override {
    assert(box_ != nullptr);
    const QSignalBlocker quiet(box_);
    box_->setChecked(checked);
  }

 private:
  QPointer<QCheckBox> box_;
};

}  // namespace

std::unique_ptr<IWindowPeer> CreateQtPeer(PeerKind kind, IWindowPeer* parent, IPeerEvents* events) {
  if (kind == PeerKind::Form) return std::make_unique<FormPeer>(events);
  auto* parentPeer = dynamic_cast<QtPeer*>(parent);
  QWidget* parentWidget = parentPeer != nullptr ? parentPeer->Widget() : nullptr;
  if (parentWidget == nullptr) return nullptr;
  switch (kind) {
    case PeerKind::Custom: return std::make_unique<CustomPeer>(parentWidget, events);
    case PeerKind::Edit: return std::make_unique<EditPeer>(parentWidget, events);
    case PeerKind::ListBox: return std::make_unique<ListBoxPeer>(parentWidget, events);
    case PeerKind::CheckBox: return std::make_unique<CheckBoxPeer>(parentWidget, events);
    case PeerKind::Form: break;
  }
  return nullptr;
}

QWidget* WidgetOf(const IWindowPeer* peer) {
  const auto* qtPeer = dynamic_cast<const QtPeer*>(peer);
  return qtPeer != nullptr ? qtPeer->Widget() : nullptr;
}

}  // namespace qv::platform::qt
