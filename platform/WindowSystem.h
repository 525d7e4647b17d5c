// Native windows behind the toolkit's windowed controls.
//
// The toolkit's controls are models that hold their own state; a native peer
// mirrors a model on screen and reports what the user does to it. Custom peers
// show pixels the toolkit paints itself (forms, panels, our own widgets);
// edits, list boxes and check boxes use the window system's own controls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qv::platform {

struct PeerRect {
  int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
};

// Read-only view of 32-bit pixels (bytes B, G, R, unused), row 0 at the top.
struct PixelView {
  const std::uint8_t* top = nullptr;  // first byte of the top row
  std::ptrdiff_t stride = 0;          // bytes from one row to the next one down (may be < 0)
  int width = 0;
  int height = 0;
  const std::uint8_t* Row(int y) const { return top + stride * y; }
};

enum class PeerKind { Form, Custom, Edit, ListBox, CheckBox };

enum class MouseButton { Left, Right, Middle };
enum ShiftFlags : unsigned {
  kShift = 1,
  kAlt = 2,
  kCtrl = 4,
  kLeft = 8,
  kRight = 16,
  kMiddle = 32,
  kDouble = 64
};
enum class MouseAction { Down, Move, Up, DoubleClick, Enter, Leave };

// Width of the sunken edge around an edit: its client area, where child windows
// are placed and text is laid out, begins inside it.
constexpr int kEditEdge = 2;

// What the user asks an edit to do with the clipboard.
enum class ClipboardCommand { Cut, Paste };

struct MouseEvent {
  MouseAction action = MouseAction::Move;
  MouseButton button = MouseButton::Left;
  unsigned shift = 0;
  int x = 0, y = 0;  // relative to the peer's client area
};

struct FontSpec {
  std::string name = "MS Sans Serif";
  int height = -11;  // negative: character height in pixels (Windows convention)
  bool bold = false, italic = false, underline = false, strikeOut = false;
  std::uint32_t color = 0;  // 0x00BBGGRR, system colours already resolved
};

// What a peer reports to its model. Called on the GUI thread only.
class IPeerEvents {
 public:
  virtual ~IPeerEvents() = default;
  // Custom peers: the model paints `dirty` and returns its pixels.
  virtual PixelView PeerPaint(const PeerRect& dirty) = 0;
  virtual void PeerMouse(const MouseEvent& event) = 0;
  // A key pressed while the peer has the focus: virtual key code (Windows values) and
  // the typed character (0 when none). Return true to swallow it.
  virtual bool PeerKey(int virtualKey, char typed, unsigned shift) = 0;
  virtual void PeerFocus(bool gained) = 0;
  // The user changed the native control's value.
  virtual void PeerTextEdited(const std::string& latin1Text) = 0;
  virtual void PeerToggled(bool checked) = 0;
  virtual void PeerItemSelected(int index) = 0;
  // The window system moved or resized a top-level peer (e.g. the user or the manager).
  virtual void PeerMoved(int left, int top) = 0;
  virtual void PeerContextMenu(int x, int y) = 0;
  // Edits: the user asked to cut or paste (keys, menu, middle button, a drop);
  // false refuses the request and the text stays as it is.
  virtual bool PeerClipboardCommand(ClipboardCommand) { return true; }
};

class IWindowPeer {
 public:
  virtual ~IWindowPeer() = default;
  // Position relative to the parent peer's client area (screen for forms; inside
  // an edit, the area within its sunken edge), size of the client area.
  virtual void SetBounds(int left, int top, int width, int height) = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual void Invalidate(const PeerRect& area) = 0;  // deferred repaint
  virtual void Update() = 0;                          // paint pending areas now
  virtual void SetFocus() = 0;
  virtual bool Focused() const = 0;
  virtual void SetFont(const FontSpec& font) = 0;
  virtual void SetColors(std::uint32_t background, std::uint32_t text) = 0;
  virtual void SetHint(const std::string& latin1Hint) = 0;
  // Edit text, check box caption or form title (Latin-1).
  virtual void SetText(const std::string& latin1Text) = 0;
  virtual void BringToFront() = 0;
  // Where the pointer is now, in this peer's client coordinates; false when the
  // window system cannot tell.
  virtual bool PointerPos(int& /*x*/, int& /*y*/) const { return false; }
  // Forms: the window is the desktop's active window.
  virtual bool IsActiveWindow() const { return false; }

  // Check boxes.
  virtual void SetChecked(bool) {}
  // Edits.
  virtual void SetReadOnly(bool) {}
  virtual void SetMaxLength(int) {}
  // Pixels of the client area on each side that typed text keeps clear of.
  virtual void SetTextMargins(int /*left*/, int /*top*/, int /*right*/, int /*bottom*/) {}
  virtual void SelectAll() {}
  // Whether the latest focus gain came from a mouse press (on the edit or on a
  // window inside it) rather than from the keyboard or the program.
  virtual bool FocusedByMouse() const { return false; }
  // List boxes.
  virtual void ListAdd(const std::string&) {}
  virtual void ListDelete(int) {}
  virtual void ListClear() {}
  virtual void ListSetItemIndex(int) {}
  // Forms.
  virtual void SetStayOnTop(bool) {}
  // The window's outline: the union of the rectangles (client coordinates).
  // An empty list is an empty outline: nothing shows and every click goes
  // through. ClearShape gives the window back its plain rectangle.
  virtual void SetShape(const std::vector<PeerRect>&) {}
  virtual void ClearShape() {}
  virtual void ShowMinimized() {}
  virtual void ShowNormal() {}
};

struct MenuEntry {
  std::string caption;  // "-" is a separator
  bool enabled = true;
  bool checked = false;
};

class IWindowSystem {
 public:
  virtual ~IWindowSystem() = default;
  // `parent` is null for forms. The peer starts hidden at (0, 0) with no size.
  virtual std::unique_ptr<IWindowPeer> CreatePeer(PeerKind kind, IWindowPeer* parent,
                                                  IPeerEvents* events) = 0;
  virtual int ScreenWidth() const = 0;
  virtual int ScreenHeight() const = 0;
  virtual void SetApplicationTitle(const std::string& latin1Title) = 0;
  // Shows a pop-up menu at a point of `owner`'s client area and waits for the
  // choice; returns the index of the chosen entry or -1.
  virtual int PopupMenu(IWindowPeer* owner, int x, int y, const std::vector<MenuEntry>& entries) = 0;
  // Drops the mouse button input that has arrived and not been delivered yet, so
  // that clicks made while a menu was open reach no control afterwards.
  virtual void DiscardPendingMouseInput() {}
};

}  // namespace qv::platform
