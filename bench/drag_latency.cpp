// How closely a dragged window follows the pointer: from a pointer move to the
// moment the X server has moved the window. Our program and the peer (a plain
// Qt frameless window that moves itself by the same rule, frameless_peer) are
// started in turn; for each, the pointer is pressed on the window at client
// (520, 130), a point of the picture clear of controls (opaque: the picture's
// top strip around (300, 20) is cut out), and moved in steps of a
// few pixels, one step at a time: a fake motion through XTest, then a wait for
// the ConfigureNotify that puts the window (its frame, under a window manager)
// at the place the step asks for. Prints the median, 99th percentile and
// maximum per program and the ratios ours/peer.
//
// Run it under Xvfb with a window manager, from the bench preset's build:
//   xvfb-run -a -s "-screen 0 1280x1024x24" sh -c 'openbox & sleep 1;
//     build/bench/bench/drag_latency build/bench/app/quorvane build/bench/bench/frameless_peer'
// Options (before the programs): --moves N (200), --step PX (2), --dy PX (0,
// vertical step as well), --rounds R (1; each round drags ours, then the peer).
// Each program runs in a temporary directory holding a copy of it, with HOME
// and the settings store there, so nothing of the user's is touched.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The point pressed, in the window's client coordinates: right of the title
// lettering, above the rule beneath it.
constexpr int kPressX = 520, kPressY = 130;
constexpr auto kStepTimeout = std::chrono::milliseconds(1000);
constexpr auto kSettle = std::chrono::milliseconds(300);

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
Reply<T> Own(T* reply) {
  return Reply<T>(reply, &std::free);
}

struct Point {
  int x = 0, y = 0;
  bool operator==(const Point&) const = default;
};

class XConnection {
 public:
  XConnection() {
    c_ = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c_) != 0) return;
    root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
    clientList_ = Atom("_NET_CLIENT_LIST");
    wmPid_ = Atom("_NET_WM_PID");
    wmCheck_ = Atom("_NET_SUPPORTING_WM_CHECK");
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c_, root_, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c_);
  }
  ~XConnection() { xcb_disconnect(c_); }
  XConnection(const XConnection&) = delete;
  XConnection& operator=(const XConnection&) = delete;

  bool Ok() const { return xcb_connection_has_error(c_) == 0; }
  bool HasXTest() const {
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c_, &xcb_test_id);
    return ext != nullptr && ext->present != 0;
  }
  bool HasWindowManager() { return !Windows(root_, wmCheck_).empty(); }

  // The viewable top-level client of `pid` with the largest area, if any.
  std::optional<xcb_window_t> ClientOf(pid_t pid) {
    std::vector<xcb_window_t> candidates = Windows(root_, clientList_);
    if (candidates.empty()) {  // no window manager: the root's children
      auto tree = Own(xcb_query_tree_reply(c_, xcb_query_tree(c_, root_), nullptr));
      if (tree) {
        const xcb_window_t* kids = xcb_query_tree_children(tree.get());
        candidates.assign(kids, kids + xcb_query_tree_children_length(tree.get()));
      }
    }
    std::optional<xcb_window_t> best;
    int bestArea = 0;
    for (xcb_window_t w : candidates) {
      const std::vector<xcb_window_t> owner = Windows(w, wmPid_, XCB_ATOM_CARDINAL);
      if (owner.empty() || static_cast<pid_t>(owner[0]) != pid) continue;
      auto attrs = Own(xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, w), nullptr));
      if (!attrs || attrs->map_state != XCB_MAP_STATE_VIEWABLE) continue;
      auto geom = Own(xcb_get_geometry_reply(c_, xcb_get_geometry(c_, w), nullptr));
      if (!geom || geom->width * geom->height <= bestArea) continue;
      bestArea = geom->width * geom->height;
      best = w;
    }
    return best;
  }

  // The window's ancestor that is a child of the root: the frame a window
  // manager put around it, or the window itself.
  xcb_window_t TopLevelOf(xcb_window_t w) {
    for (;;) {
      auto tree = Own(xcb_query_tree_reply(c_, xcb_query_tree(c_, w), nullptr));
      if (!tree || tree->parent == root_ || tree->parent == XCB_NONE) return w;
      w = tree->parent;
    }
  }

  Point RootPosition(xcb_window_t w) {
    auto at =
        Own(xcb_translate_coordinates_reply(c_, xcb_translate_coordinates(c_, w, root_, 0, 0), nullptr));
    return at ? Point{at->dst_x, at->dst_y} : Point{};
  }
  Point Position(xcb_window_t w) {  // relative to its parent, border included
    auto geom = Own(xcb_get_geometry_reply(c_, xcb_get_geometry(c_, w), nullptr));
    return geom ? Point{geom->x, geom->y} : Point{};
  }

  void Motion(Point p) { Fake(XCB_MOTION_NOTIFY, 0, p); }
  void Button(bool press) { Fake(press ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, 1, {}); }

  // Waits until a ConfigureNotify puts `frame` at `at`; false at the deadline.
  bool WaitFramePlaced(xcb_window_t frame, Point at, Clock::time_point deadline) {
    for (;;) {
      while (auto event = Own(xcb_poll_for_event(c_))) {
        if ((event->response_type & 0x7F) != XCB_CONFIGURE_NOTIFY) continue;
        const auto* configure = reinterpret_cast<const xcb_configure_notify_event_t*>(event.get());
        if ((event->response_type & 0x80) == 0 && configure->window == frame &&
            Point{configure->x, configure->y} == at)
          return true;
      }
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return false;
      pollfd fd{xcb_get_file_descriptor(c_), POLLIN, 0};
      ::poll(&fd, 1, static_cast<int>(left));
    }
  }

  void Drain() {
    xcb_aux_sync();
    while (auto event = Own(xcb_poll_for_event(c_))) {
    }
  }

 private:
  xcb_atom_t Atom(const char* name) {
    auto reply = Own(xcb_intern_atom_reply(
        c_, xcb_intern_atom(c_, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : XCB_NONE;
  }
  std::vector<xcb_window_t> Windows(xcb_window_t w, xcb_atom_t property, xcb_atom_t type = XCB_ATOM_ANY) {
    auto reply =
        Own(xcb_get_property_reply(c_, xcb_get_property(c_, 0, w, property, type, 0, 4096), nullptr));
    if (!reply || reply->format != 32) return {};
    const auto* values = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    return {values, values + xcb_get_property_value_length(reply.get()) / 4};
  }
  void Fake(uint8_t type, uint8_t detail, Point p) {
    xcb_test_fake_input(c_, type, detail, XCB_CURRENT_TIME, root_, static_cast<int16_t>(p.x),
                        static_cast<int16_t>(p.y), 0);
    xcb_flush(c_);
  }
  void xcb_aux_sync() { std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }

  xcb_connection_t* c_ = nullptr;
  xcb_window_t root_ = XCB_NONE;
  xcb_atom_t clientList_ = XCB_NONE, wmPid_ = XCB_NONE, wmCheck_ = XCB_NONE;
};

// A program started in a temporary directory of its own, killed at the end.
class Program {
 public:
  explicit Program(const fs::path& exe) {
    char pattern[] = "/tmp/drag_latency.XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return;
    dir_ = pattern;
    const fs::path copy = dir_ / exe.filename();
    std::error_code error;
    fs::copy_file(exe, copy, error);
    if (error) return;
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string_view v(*e);
      if (!v.starts_with("HOME=") && !v.starts_with("QUORVANE_REGISTRY=") &&
          !v.starts_with("XDG_CONFIG_HOME="))
        env.emplace_back(v);
    }
    env.push_back("HOME=" + dir_.string());
    env.push_back("XDG_CONFIG_HOME=" + (dir_ / "config").string());
    env.push_back("QUORVANE_REGISTRY=" + (dir_ / "registry.sqlite3").string());
    std::vector<char*> envp;
    for (std::string& s : env) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::string path = copy.string();
    char* argv[] = {path.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv, envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Program() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    std::error_code ignored;
    if (!dir_.empty()) fs::remove_all(dir_, ignored);
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  pid_t Pid() const { return pid_; }

 private:
  fs::path dir_;
  pid_t pid_ = -1;
};

struct Options {
  int moves = 200;
  int step = 2;
  int dy = 0;
  int rounds = 1;
};

struct Series {
  std::vector<double> micros;
  int missed = 0;
};

// One drag of `options.moves` steps, out and back, added to `series`.
bool Drag(XConnection& x, const fs::path& exe, const Options& options, Series& series) {
  Program program(exe);
  if (program.Pid() <= 0) {
    std::fprintf(stderr, "cannot start %s\n", exe.c_str());
    return false;
  }
  std::optional<xcb_window_t> client;
  for (auto end = Clock::now() + std::chrono::seconds(20); !client && Clock::now() < end;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    client = x.ClientOf(program.Pid());
  }
  if (!client) {
    std::fprintf(stderr, "%s showed no window\n", exe.c_str());
    return false;
  }
  // The window may still be placed by its program or the window manager.
  Point origin = x.RootPosition(*client);
  for (;;) {
    std::this_thread::sleep_for(kSettle);
    const Point now = x.RootPosition(*client);
    if (now == origin) break;
    origin = now;
  }
  const xcb_window_t frame = x.TopLevelOf(*client);
  const Point frameAt = x.Position(frame);
  const Point inset{origin.x - frameAt.x, origin.y - frameAt.y};  // client within its frame

  Point pointer{origin.x + kPressX, origin.y + kPressY};
  x.Motion(pointer);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  x.Button(true);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  x.Drain();
  Point expected = frameAt;
  int followed = 0;
  for (int i = 0; i < options.moves; ++i) {
    const int sign = i < options.moves / 2 ? 1 : -1;  // out, then back
    pointer.x += sign * options.step;
    pointer.y += sign * options.dy;
    expected.x += sign * options.step;
    expected.y += sign * options.dy;
    const Clock::time_point start = Clock::now();
    x.Motion(pointer);
    if (x.WaitFramePlaced(frame, expected, start + kStepTimeout)) {
      series.micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
      ++followed;
    } else {
      ++series.missed;
      const Point at = x.RootPosition(*client);  // go on from wherever it is
      expected = {at.x - inset.x, at.y - inset.y};
    }
  }
  x.Button(false);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  x.Drain();
  if (followed == 0) {
    std::fprintf(stderr, "%s: the window never followed the pointer\n", exe.c_str());
    return false;
  }
  return true;
}

double Percentile(std::vector<double> v, double q) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const auto rank = static_cast<size_t>(std::max(1.0, q * static_cast<double>(v.size()) + 0.999999));
  return v[std::min(rank, v.size()) - 1];
}

void Print(const char* name, const Series& s) {
  std::printf("%-16s %zu moves: median %7.0f us, p99 %7.0f us, max %7.0f us, %d missed\n", name,
              s.micros.size(), Percentile(s.micros, 0.5), Percentile(s.micros, 0.99),
              Percentile(s.micros, 1.0), s.missed);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::vector<fs::path> programs;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    int* value = arg == "--moves"    ? &options.moves
                 : arg == "--step"   ? &options.step
                 : arg == "--dy"     ? &options.dy
                 : arg == "--rounds" ? &options.rounds
                                     : nullptr;
    if (value != nullptr && i + 1 < argc) {
      *value = std::atoi(argv[++i]);
    } else {
      programs.emplace_back(arg);
    }
  }
  if (programs.size() != 2 || options.moves < 2 || options.rounds < 1) {
    std::fprintf(stderr, "usage: drag_latency [--moves N] [--step PX] [--dy PX] [--rounds R] OURS PEER\n");
    return 2;
  }
  XConnection x;
  if (!x.Ok() || !x.HasXTest()) {
    std::fprintf(stderr, "needs an X display with the XTEST extension (run under xvfb-run)\n");
    return 2;
  }
  if (!x.HasWindowManager()) std::fprintf(stderr, "note: no window manager is running\n");
  Series ours, peer;
  for (int round = 0; round < options.rounds; ++round) {
    if (!Drag(x, programs[0], options, ours) || !Drag(x, programs[1], options, peer)) return 1;
  }
  Print(programs[0].filename().c_str(), ours);
  Print(programs[1].filename().c_str(), peer);
  std::printf("ratio ours/peer: median %.2f, p99 %.2f\n",
              Percentile(ours.micros, 0.5) / Percentile(peer.micros, 0.5),
              Percentile(ours.micros, 0.99) / Percentile(peer.micros, 0.99));
  return 0;
}
