// The presence check runs at every idle moment of the GUI loop, so its cost
// per check matters: one pass over the desktop's top-level windows with their
// captions. Ours pipelines every request (two round trips in all); the peer is
// the classic Xlib walk that tools such as xdotool's name search do,
// XQueryTree and then XFetchName window by window (a round trip each).
// Needs an X display: `xvfb-run -a build/bench/bench/presence_bench`.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <benchmark/benchmark.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/X11DesktopWindows.h"

namespace {

// Top-level windows with captions, made once on a connection of their own.
class Desktop {
 public:
  explicit Desktop(int windows) {
    c_ = xcb_connect(nullptr, nullptr);
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
    for (int i = 0; i < windows; ++i) {
      const xcb_window_t w = xcb_generate_id(c_);
      xcb_create_window(c_, XCB_COPY_FROM_PARENT, w, screen->root, static_cast<std::int16_t>(i % 40 * 20),
                        static_cast<std::int16_t>(i / 40 * 20), 50, 30, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                        screen->root_visual, 0, nullptr);
      const std::string caption = "window number " + std::to_string(i) + " of the bench desktop";
      xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                          static_cast<std::uint32_t>(caption.size()), caption.data());
      xcb_map_window(c_, w);
    }
    xcb_aux_sync();
  }
  ~Desktop() { xcb_disconnect(c_); }

 private:
  void xcb_aux_sync() { std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }
  xcb_connection_t* c_ = nullptr;
};

bool HaveDisplay(benchmark::State& state) {
  const char* display = std::getenv("DISPLAY");
  if (display != nullptr && *display != '\0') return true;
  state.SkipWithError("no X display (run under xvfb-run)");
  return false;
}

void BM_PresenceCheck(benchmark::State& state) {
  if (!HaveDisplay(state)) return;
  Desktop desktop(static_cast<int>(state.range(0)));
  qv::platform::X11DesktopWindows windows;
  std::size_t seen = 0;
  for (auto _ : state) {
    windows.ForEachCaption([&](std::string_view caption) {
      seen += caption.substr(0, 4) == "DC++";  // the watched title, never present
      return true;
    });
  }
  benchmark::DoNotOptimize(seen);
  state.SetLabel("ours: pipelined xcb");
}

void BM_XlibFetchNamePeer(benchmark::State& state) {
  if (!HaveDisplay(state)) return;
  Desktop desktop(static_cast<int>(state.range(0)));
  Display* display = XOpenDisplay(nullptr);
  std::size_t seen = 0;
  for (auto _ : state) {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
    for (unsigned i = count; i-- > 0;) {
      char* name = nullptr;
      if (XFetchName(display, children[i], &name) != 0 && name != nullptr) {
        seen += std::strncmp(name, "DC++", 4) == 0;
        XFree(name);
      }
    }
    if (children != nullptr) XFree(children);
  }
  XCloseDisplay(display);
  benchmark::DoNotOptimize(seen);
  state.SetLabel("peer: Xlib XFetchName per window");
}

BENCHMARK(BM_PresenceCheck)->Arg(20)->Arg(100)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_XlibFetchNamePeer)->Arg(20)->Arg(100)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
