// The Qt notification area on a real X server: a small tray manager of the
// test's own takes the icon in (the X11 system tray protocol), and real clicks
// on the docked icon reach its owner.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "QtSession.h"
#include "platform/qt/QtTray.h"

namespace qv::platform::qt {
namespace {

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t atom = reply != nullptr ? reply->atom : 0;
  std::free(reply);
  return atom;
}

// Owns the tray selection of screen 0 and docks every icon that asks, as a
// panel's tray would: the icon window goes into the manager's window.
class TrayManager {
 public:
  TrayManager() {
    int screenNumber = 0;
    c_ = xcb_connect(nullptr, &screenNumber);
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
    root_ = screen->root;
    window_ = xcb_generate_id(c_);
    const std::uint32_t values[] = {screen->white_pixel};
    xcb_create_window(c_, XCB_COPY_FROM_PARENT, window_, root_, 900, 0, 200, 40, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL, values);
    xcb_map_window(c_, window_);
    const xcb_atom_t selection = Atom(c_, "_NET_SYSTEM_TRAY_S0");
    opcode_ = Atom(c_, "_NET_SYSTEM_TRAY_OPCODE");
    xcb_set_selection_owner(c_, window_, selection, XCB_CURRENT_TIME);
    // Tell the clients a manager has come.
    xcb_client_message_event_t manager;
    std::memset(&manager, 0, sizeof manager);
    manager.response_type = XCB_CLIENT_MESSAGE;
    manager.format = 32;
    manager.window = root_;
    manager.type = Atom(c_, "MANAGER");
    manager.data.data32[0] = XCB_CURRENT_TIME;
    manager.data.data32[1] = selection;
    manager.data.data32[2] = window_;
    xcb_send_event(c_, 0, root_, XCB_EVENT_MASK_STRUCTURE_NOTIFY, reinterpret_cast<const char*>(&manager));
    xcb_flush(c_);
  }
  ~TrayManager() { xcb_disconnect(c_); }

  // Handles the dock requests that arrived; the docked icon windows so far.
  const std::vector<xcb_window_t>& Serve() {
    while (xcb_generic_event_t* event = xcb_poll_for_event(c_)) {
      if ((event->response_type & 0x7F) == XCB_CLIENT_MESSAGE) {
        const auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
        if (message->type == opcode_ && message->data.data32[1] == 0) {  // SYSTEM_TRAY_REQUEST_DOCK
          const xcb_window_t icon = message->data.data32[2];
          xcb_reparent_window(c_, icon, window_, static_cast<std::int16_t>(4 + 26 * docked_.size()), 4);
          const std::uint32_t size[] = {22, 22};
          xcb_configure_window(c_, icon, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
          xcb_map_window(c_, icon);
          xcb_flush(c_);
          docked_.push_back(icon);
        }
      }
      std::free(event);
    }
    return docked_;
  }

 private:
  xcb_connection_t* c_ = nullptr;
  xcb_window_t root_ = 0, window_ = 0;
  xcb_atom_t opcode_ = 0;
  std::vector<xcb_window_t> docked_;
};

struct Owner : ITrayEvents {
  void TrayMouse(unsigned message) override { messages.push_back(message); }
  std::vector<unsigned> messages;
};

void Xdotool(const std::string& arguments) {
  const std::string command = "xdotool " + arguments + " >/dev/null 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
}

TEST(QtTrayTest, AnIconDocksAndReportsTheMouse) {
  if (!PrepareDisplay()) GTEST_SKIP() << "no X display";
  QApplication app(QtArguments::argc, QtArguments::argv);
  QtTray tray;
  Owner owner;
  TrayRecord record;
  record.parts = kTrayMessage | kTrayIcon | kTrayTip;
  record.width = record.height = 16;
  record.pixels.assign(16 * 16 * 4, 0xFF);
  record.tip = "Quorvane";
  if (!tray.Available()) {
    EXPECT_FALSE(tray.Add(&owner, record));  // no notification area: refused, nothing shown
  }

  TrayManager manager;
  ASSERT_TRUE(WaitUntil([&] { return tray.Available(); }));
  ASSERT_TRUE(tray.Add(&owner, record));
  EXPECT_FALSE(tray.Add(&owner, record));  // one icon per owner
  ASSERT_TRUE(WaitUntil([&] { return !manager.Serve().empty(); }));
  // Qt may replace the icon's window once it is docked: the newest one counts.
  WaitUntil([&] { return manager.Serve().size() > 1; }, 500);
  const std::string icon = std::to_string(manager.Serve().back());

  Xdotool("mousemove --window " + icon + " 8 8 click 1");
  ASSERT_TRUE(WaitUntil([&] { return !owner.messages.empty(); }));
  EXPECT_EQ(owner.messages.front(), kTrayLeftButtonUp);
  Xdotool("mousemove --window " + icon + " 8 8 click 3");
  ASSERT_TRUE(WaitUntil([&] { return owner.messages.back() == kTrayRightButtonUp; }));
  int x = 0, y = 0;
  tray.CursorPos(x, y);
  EXPECT_GT(x, 900);  // over the manager's window, where the icon sits
  Xdotool("mousemove --window " + icon + " 8 8 click --repeat 2 --delay 80 1");
  EXPECT_TRUE(WaitUntil([&] { return owner.messages.back() == kTrayLeftButtonDoubleClick; }));

  record.parts = kTrayTip;
  record.tip = "changed";
  EXPECT_TRUE(tray.Modify(&owner, record));
  EXPECT_TRUE(tray.Remove(&owner));
  EXPECT_FALSE(tray.Remove(&owner));
  EXPECT_FALSE(tray.Modify(&owner, record));
}

}  // namespace
}  // namespace qv::platform::qt

namespace qv::platform::qt {
namespace {

// Restoring the window from the tray removes the icon from inside the icon's
// own activation signal; the icon object must outlive that signal.
struct RemovingOwner : ITrayEvents {
  void TrayMouse(unsigned message) override {
    messages.push_back(message);
    removed = tray->Remove(this);
  }
  QtTray* tray = nullptr;
  bool removed = false;
  std::vector<unsigned> messages;
};

TEST(QtTrayTest, AnIconRemovedByItsOwnClickGoesQuietly) {
  if (!PrepareDisplay()) GTEST_SKIP() << "no X display";
  QApplication app(QtArguments::argc, QtArguments::argv);
  QtTray tray;
  RemovingOwner owner;
  owner.tray = &tray;
  TrayRecord record;
  record.parts = kTrayMessage | kTrayIcon;
  record.width = record.height = 16;
  record.pixels.assign(16 * 16 * 4, 0xFF);
  TrayManager manager;
  ASSERT_TRUE(WaitUntil([&] { return tray.Available(); }));
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    owner.messages.clear();
    const size_t before = manager.Serve().size();
    ASSERT_TRUE(tray.Add(&owner, record));
    ASSERT_TRUE(WaitUntil([&] { return manager.Serve().size() > before; }));
    WaitUntil([&] { return manager.Serve().size() > before + 1; }, 500);
    const std::string icon = std::to_string(manager.Serve().back());
    Xdotool("mousemove --window " + icon + " 8 8 click --repeat 2 --delay 80 1");
    ASSERT_TRUE(WaitUntil([&] { return !owner.messages.empty(); }));
    WaitUntil([] { return false; }, 300);  // the deferred deletion and any late click
    EXPECT_TRUE(owner.removed);
    EXPECT_EQ(owner.messages.size(), 1u) << "nothing reaches the owner once its icon is gone";
  }
}

}  // namespace
}  // namespace qv::platform::qt
