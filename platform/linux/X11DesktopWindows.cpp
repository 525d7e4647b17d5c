#include "platform/linux/X11DesktopWindows.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace qv::platform {

namespace {

// Property reads ask for this many 32-bit units: 512 bytes, room for 255
// characters of two bytes each.
constexpr std::uint32_t kCaptionUnits = 128;
constexpr std::size_t kMaxCaption = 255;
constexpr std::uint32_t kWithdrawnState = 0, kIconicState = 3;

template <typename T>
struct FreeReply {
  void operator()(T* reply) const { std::free(reply); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeReply<T>>;

}  // namespace

std::string_view CutAtCharacter(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t cut = limit;
  // Back to the first byte of the sequence that the limit splits (at most 3 steps).
  for (int step = 0; step < 3 && cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80; ++step)
    --cut;
  return text.substr(0, cut);
}

struct X11DesktopWindows::Connection {
  xcb_connection_t* xcb = nullptr;
  xcb_window_t root = 0;
  xcb_atom_t clientListStacking = 0, netWmName = 0, utf8String = 0, wmState = 0, wmProtocols = 0,
             wmDeleteWindow = 0, netWmPid = 0, netWmState = 0, netWmStateHidden = 0, netCloseWindow = 0,
             netActiveWindow = 0;

  ~Connection() {
    if (xcb != nullptr) xcb_disconnect(xcb);
  }

  bool Broken() const { return xcb == nullptr || xcb_connection_has_error(xcb) != 0; }

  // Top-level windows, top of the stacking order first: the window manager's
  // clients, then the root's other children (withdrawn windows among them).
  // Without a window manager, the root's children alone.
  // `managed` gets the number of the manager's clients at the front.
  std::vector<xcb_window_t> TopLevels(std::size_t* managed = nullptr) const {
    // Both requests go out before either reply is read.
    const xcb_get_property_cookie_t stackingAsked =
        xcb_get_property(xcb, 0, root, clientListStacking, XCB_ATOM_WINDOW, 0, 1 << 16);
    const xcb_query_tree_cookie_t treeAsked = xcb_query_tree(xcb, root);
    Reply<xcb_get_property_reply_t> stacking(xcb_get_property_reply(xcb, stackingAsked, nullptr));
    Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(xcb, treeAsked, nullptr));
    std::vector<xcb_window_t> windows;
    if (stacking != nullptr && stacking->format == 32 && xcb_get_property_value_length(stacking.get()) > 0) {
      const auto* ids = static_cast<const xcb_window_t*>(xcb_get_property_value(stacking.get()));
      windows.assign(ids, ids + xcb_get_property_value_length(stacking.get()) / 4);
    }
    std::reverse(windows.begin(), windows.end());  // the list runs bottom to top
    if (managed != nullptr) *managed = windows.size();
    if (tree == nullptr) return windows;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());
    const std::size_t clients = windows.size();
    for (int i = count - 1; i >= 0; --i) {  // children run bottom to top too
      if (std::find(windows.begin(), windows.begin() + static_cast<std::ptrdiff_t>(clients), children[i]) ==
          windows.begin() + static_cast<std::ptrdiff_t>(clients))
        windows.push_back(children[i]);
    }
    return windows;
  }

  // Errors of requests without a reply (a close or raise sent to a window that
  // has gone) arrive as events; nobody reads events on this connection, so
  // they are dropped here after each pass instead of piling up.
  void DropEvents() const {
    while (xcb_generic_event_t* event = xcb_poll_for_event(xcb)) std::free(event);
  }

  xcb_get_property_cookie_t AskProperty(xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
                                        std::uint32_t units) const {
    return xcb_get_property(xcb, 0, window, property, type, 0, units);
  }

  // The caption from the replies to _NET_WM_NAME and WM_NAME (either may be
  // null), as UTF-8 when the window says what it is.
  std::string Caption(xcb_get_property_reply_t* netName, xcb_get_property_reply_t* name) const {
    const auto text = [](xcb_get_property_reply_t* reply) {
      return std::string_view(static_cast<const char*>(xcb_get_property_value(reply)),
                              static_cast<std::size_t>(xcb_get_property_value_length(reply)));
    };
    std::string caption;
    if (netName != nullptr && netName->type == utf8String && xcb_get_property_value_length(netName) > 0) {
      caption = text(netName);
    } else if (name != nullptr && name->format == 8 && xcb_get_property_value_length(name) > 0) {
      // STRING is Latin-1; UTF8_STRING stays; anything else (COMPOUND_TEXT) as it comes.
      caption = name->type == XCB_ATOM_STRING ? Latin1ToUtf8(text(name)) : std::string(text(name));
    }
    const std::size_t end = caption.find('\0');  // some programs send the C terminator along
    if (end != std::string::npos) caption.resize(end);
    caption.resize(CutAtCharacter(caption, kMaxCaption).size());
    return caption;
  }

  std::uint32_t Cardinal(xcb_get_property_reply_t* reply, std::uint32_t missing) const {
    if (reply == nullptr || reply->format != 32 || xcb_get_property_value_length(reply) < 4) return missing;
    return *static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
  }

  bool HasAtom(xcb_get_property_reply_t* reply, xcb_atom_t atom) const {
    if (reply == nullptr || reply->format != 32) return false;
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
    const int count = xcb_get_property_value_length(reply) / 4;
    return std::find(atoms, atoms + count, atom) != atoms + count;
  }
};

X11DesktopWindows::X11DesktopWindows(std::string display) : display_(std::move(display)) {}

X11DesktopWindows::~X11DesktopWindows() = default;

X11DesktopWindows::Connection* X11DesktopWindows::Connect() {
  if (connection_ != nullptr && !connection_->Broken()) return connection_.get();
  if (failed_) return nullptr;
  // A connection that broke (the X server went away, the session ended) is
  // tried once more; after that the list stays unreadable for this run.
  const bool lost = connection_ != nullptr;
  connection_.reset();
  auto connection = std::make_unique<Connection>();
  int screenNumber = 0;
  connection->xcb = xcb_connect(display_.empty() ? nullptr : display_.c_str(), &screenNumber);
  if (connection->Broken()) {
    // No display now means none for this run: do not retry at every idle moment.
    failed_ = true;
    problem_ = lost ? "the X server closed the connection" : "no connection to the X server";
    return nullptr;
  }
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection->xcb));
  for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
  if (screens.rem == 0) {
    failed_ = true;
    problem_ = "the X server has no such screen";
    return nullptr;
  }
  connection->root = screens.data->root;
  // All atoms in one round trip.
  const char* names[] = {"_NET_CLIENT_LIST_STACKING",
                         "_NET_WM_NAME",
                         "UTF8_STRING",
                         "WM_STATE",
                         "WM_PROTOCOLS",
                         "WM_DELETE_WINDOW",
                         "_NET_WM_PID",
                         "_NET_WM_STATE",
                         "_NET_WM_STATE_HIDDEN",
                         "_NET_CLOSE_WINDOW",
                         "_NET_ACTIVE_WINDOW"};
  xcb_atom_t* atoms[] = {&connection->clientListStacking, &connection->netWmName,
                         &connection->utf8String,         &connection->wmState,
                         &connection->wmProtocols,        &connection->wmDeleteWindow,
                         &connection->netWmPid,           &connection->netWmState,
                         &connection->netWmStateHidden,   &connection->netCloseWindow,
                         &connection->netActiveWindow};
  xcb_intern_atom_cookie_t cookies[std::size(names)];
  for (std::size_t i = 0; i < std::size(names); ++i) {
    cookies[i] =
        xcb_intern_atom(connection->xcb, 0, static_cast<std::uint16_t>(std::strlen(names[i])), names[i]);
  }
  for (std::size_t i = 0; i < std::size(names); ++i) {
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection->xcb, cookies[i], nullptr));
    *atoms[i] = reply != nullptr ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
  }
  connection_ = std::move(connection);
  return connection_.get();
}

bool X11DesktopWindows::ForEachCaption(const std::function<bool(std::string_view caption)>& visit) {
  Connection* c = Connect();
  if (c == nullptr) return false;
  const std::vector<xcb_window_t> windows = c->TopLevels();
  // Every request goes out before the first reply is read: one round trip in all.
  std::vector<xcb_get_property_cookie_t> netNames, names;
  netNames.reserve(windows.size());
  names.reserve(windows.size());
  for (const xcb_window_t window : windows) {
    netNames.push_back(c->AskProperty(window, c->netWmName, c->utf8String, kCaptionUnits));
    names.push_back(c->AskProperty(window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, kCaptionUnits));
  }
  std::size_t i = 0;
  for (; i < windows.size(); ++i) {
    Reply<xcb_get_property_reply_t> netName(xcb_get_property_reply(c->xcb, netNames[i], nullptr));
    Reply<xcb_get_property_reply_t> name(xcb_get_property_reply(c->xcb, names[i], nullptr));
    if (!visit(c->Caption(netName.get(), name.get()))) {
      ++i;
      break;
    }
  }
  for (; i < windows.size(); ++i) {  // the visitor stopped: the rest is not wanted
    xcb_discard_reply(c->xcb, netNames[i].sequence);
    xcb_discard_reply(c->xcb, names[i].sequence);
  }
  if (c->Broken()) {  // the server went away during the pass: what was read proves nothing
    problem_ = "the X server closed the connection";
    return false;
  }
  c->DropEvents();
  return true;
}

std::vector<DesktopWindow> X11DesktopWindows::List() {
  std::vector<DesktopWindow> list;
  Connection* c = Connect();
  if (c == nullptr) return list;
  std::size_t managed = 0;
  const std::vector<xcb_window_t> windows = c->TopLevels(&managed);
  struct Asked {
    xcb_get_property_cookie_t netName, name, state, pid, netState;
    xcb_get_window_attributes_cookie_t attributes;
    xcb_get_geometry_cookie_t geometry;
    xcb_translate_coordinates_cookie_t origin;
  };
  std::vector<Asked> asked;
  asked.reserve(windows.size());
  for (const xcb_window_t w : windows) {
    asked.push_back(
        {c->AskProperty(w, c->netWmName, c->utf8String, kCaptionUnits),
         c->AskProperty(w, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, kCaptionUnits),
         c->AskProperty(w, c->wmState, c->wmState, 2), c->AskProperty(w, c->netWmPid, XCB_ATOM_CARDINAL, 1),
         c->AskProperty(w, c->netWmState, XCB_ATOM_ATOM, 64), xcb_get_window_attributes(c->xcb, w),
         xcb_get_geometry(c->xcb, w), xcb_translate_coordinates(c->xcb, w, c->root, 0, 0)});
  }
  list.reserve(windows.size());
  for (std::size_t i = 0; i < windows.size(); ++i) {
    const Asked& a = asked[i];
    Reply<xcb_get_property_reply_t> netName(xcb_get_property_reply(c->xcb, a.netName, nullptr));
    Reply<xcb_get_property_reply_t> name(xcb_get_property_reply(c->xcb, a.name, nullptr));
    Reply<xcb_get_property_reply_t> state(xcb_get_property_reply(c->xcb, a.state, nullptr));
    Reply<xcb_get_property_reply_t> pid(xcb_get_property_reply(c->xcb, a.pid, nullptr));
    Reply<xcb_get_property_reply_t> netState(xcb_get_property_reply(c->xcb, a.netState, nullptr));
    Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c->xcb, a.attributes, nullptr));
    Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c->xcb, a.geometry, nullptr));
    Reply<xcb_translate_coordinates_reply_t> origin(
        xcb_translate_coordinates_reply(c->xcb, a.origin, nullptr));

    DesktopWindow entry;
    entry.handle = windows[i];
    if (attributes != nullptr) {  // else the window went away: the zero entry stands
      entry.caption = c->Caption(netName.get(), name.get());
      entry.threadId = c->Cardinal(pid.get(), 0);
      // A managed window's state says it all (minimised clients are unmapped);
      // an unmanaged one is shown when mapped.
      const std::uint32_t wmState = c->Cardinal(state.get(), ~0u);
      entry.visible =
          wmState != ~0u ? wmState != kWithdrawnState : attributes->map_state != XCB_MAP_STATE_UNMAPPED;
      entry.iconic = wmState == kIconicState || c->HasAtom(netState.get(), c->netWmStateHidden);
      entry.enabled = true;  // X11 has no disabled top-level windows
      if (geometry != nullptr && origin != nullptr) {
        entry.left = origin->dst_x;
        entry.top = origin->dst_y;
        entry.right = entry.left + geometry->width;
        entry.bottom = entry.top + geometry->height;
      }
    }
    // Beside a manager's clients, the root's children are mostly its frames:
    // only those with a title are windows of a program.
    if (managed > 0 && i >= managed && entry.caption.empty()) continue;
    list.push_back(std::move(entry));
  }
  c->DropEvents();
  return list;
}

void X11DesktopWindows::RequestClose(WindowHandle handle) {
  Connection* c = Connect();
  if (c == nullptr || handle == 0) return;
  c->DropEvents();
  Reply<xcb_get_property_reply_t> protocols(
      xcb_get_property_reply(c->xcb, c->AskProperty(handle, c->wmProtocols, XCB_ATOM_ATOM, 32), nullptr));
  xcb_client_message_event_t message;
  std::memset(&message, 0, sizeof message);
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = handle;
  if (c->HasAtom(protocols.get(), c->wmDeleteWindow)) {
    // The window's own close: it may ask, refuse or close later.
    message.type = c->wmProtocols;
    message.data.data32[0] = c->wmDeleteWindow;
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c->xcb, 0, handle, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
  } else {
    // A window that takes no close request from its owner's peers: the window
    // manager, if there is one, decides (a window without one keeps running).
    message.type = c->netCloseWindow;
    message.data.data32[0] = XCB_CURRENT_TIME;
    message.data.data32[1] = 2;  // source: a pager or other tool
    xcb_send_event(c->xcb, 0, c->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
  }
  xcb_flush(c->xcb);
}

void X11DesktopWindows::Activate(WindowHandle handle) {
  Connection* c = Connect();
  if (c == nullptr || handle == 0) return;
  c->DropEvents();
  xcb_client_message_event_t message;
  std::memset(&message, 0, sizeof message);
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = handle;
  message.type = c->netActiveWindow;
  message.data.data32[0] = 2;  // source: a pager or other tool, which managers obey
  message.data.data32[1] = XCB_CURRENT_TIME;
  xcb_send_event(c->xcb, 0, c->root,
                 XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                 reinterpret_cast<const char*>(&message));
  // Without a window manager nobody acts on the message: raise it ourselves.
  const std::uint32_t above = XCB_STACK_MODE_ABOVE;
  xcb_configure_window(c->xcb, handle, XCB_CONFIG_WINDOW_STACK_MODE, &above);
  xcb_flush(c->xcb);
}

}  // namespace qv::platform
