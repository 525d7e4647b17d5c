// Native peers on Qt widgets, and the conversions between the toolkit's
// Windows-flavoured values and Qt's.
//
// Forms and custom peers are plain widgets that show the pixels the toolkit
// paints; edits, list boxes and check boxes are Qt's own controls. Every peer
// reports what the user does through its IPeerEvents.
#pragma once

#include <QColor>
#include <QFont>
#include <QRegion>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/WindowSystem.h"

namespace qv::platform::qt {

// Windows virtual key codes the peers report.
enum VirtualKey : int {
  kVkBack = 0x08,
  kVkTab = 0x09,
  kVkReturn = 0x0D,
  kVkShift = 0x10,
  kVkControl = 0x11,
  kVkMenu = 0x12,
  kVkEscape = 0x1B,
  kVkSpace = 0x20,
  kVkPrior = 0x21,
  kVkNext = 0x22,
  kVkEnd = 0x23,
  kVkHome = 0x24,
  kVkLeft = 0x25,
  kVkUp = 0x26,
  kVkRight = 0x27,
  kVkDown = 0x28,
  kVkInsert = 0x2D,
  kVkDelete = 0x2E,
  kVkF1 = 0x70,
};

// 0x00BBGGRR to a Qt colour.
QColor ColorFromBgr(std::uint32_t bgr);
// The Windows virtual key of a Qt key, 0 when there is none.
int VirtualKeyFromQt(int qtKey);
// Shift flags from keyboard modifiers and the mouse buttons held.
unsigned ShiftFromQt(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);
// Installed families that stand in for a Windows font name, best first.
QStringList FamiliesFor(const std::string& windowsName);
// Windows heights: negative is the character (em) height in pixels, positive the
// whole cell height, 0 the customary 11 pixels. Needs the application object.
QFont ToQtFont(const FontSpec& wanted);
// The union of the rectangles (right and bottom exclusive); empty ones are skipped.
QRegion RegionFromRects(const std::vector<PeerRect>& rects);

// Creates the peer of `kind`; null when a control is asked for without a parent
// peer of this backend (controls are always children of a form).
std::unique_ptr<IWindowPeer> CreateQtPeer(PeerKind kind, IWindowPeer* parent, IPeerEvents* events);

// The widget behind a peer of this backend (null for others or once destroyed).
QWidget* WidgetOf(const IWindowPeer* peer);

// While one is alive, destroyed peers only hide their widgets and delete them
// later. Modal loops and peer callbacks hold one: the widget whose event is
// being handled (or a parent of it) must outlive the handler.
class DeferWidgetDeletion {
 public:
  DeferWidgetDeletion();
  ~DeferWidgetDeletion();
  DeferWidgetDeletion(const DeferWidgetDeletion&) = delete;
  DeferWidgetDeletion& operator=(const DeferWidgetDeletion&) = delete;
  static bool Active();
};

}  // namespace qv::platform::qt
