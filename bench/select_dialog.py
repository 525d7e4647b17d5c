#!/usr/bin/env python3
"""How long a "Select" of the settings panel takes, as a user sees it.

Starts Quorvane with an empty temporary registry, opens its settings panel and
presses the "Select" beside the restart sound N times. For each press it
reports the time from the click to the file dialog being mapped, and from the
dialog's close (Escape) to the main window being shaped and on top again (the
top of the window manager's stacking list, or of the root's children without
one). An xclock is started first, so that "on top" has something to be above.

Usage: bench/select_dialog.py BUILD/app/quorvane [--runs 10]
Needs DISPLAY (run under xvfb-run, with or without a window manager such as
openbox started in it) and the
X11, Xext and Xtst libraries (clicks and keys are sent with XTest). The times
are polled; one poll's cost, their resolution, is printed with them.
"""
import argparse
import ctypes
import ctypes.util
import os
import shutil
import statistics
import subprocess
import tempfile
import time

SETTINGS = (51 + 23, 218 + 23)
# The restart sound's "Select": panel 122,154 + sub-panel 20,38 + 354,50.
SELECT = (122 + 20 + 354 + 19, 154 + 38 + 50 + 10)


def out(argv):
    return subprocess.run(argv, capture_output=True, text=True).stdout


class XWindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int), ("height", ctypes.c_int),
                ("border_width", ctypes.c_int), ("depth", ctypes.c_int), ("visual", ctypes.c_void_p),
                ("root", ctypes.c_ulong), ("c_class", ctypes.c_int), ("bit_gravity", ctypes.c_int),
                ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
                ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong),
                ("map_installed", ctypes.c_int), ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]


class X:
    """The few Xlib calls the polls need, straight from the libraries: a poll
    then costs well under a millisecond instead of a process start."""

    IS_VIEWABLE = 2

    def __init__(self):
        self.xlib = ctypes.CDLL(ctypes.util.find_library("X11"))
        self.xext = ctypes.CDLL(ctypes.util.find_library("Xext"))
        self.xtst = ctypes.CDLL(ctypes.util.find_library("Xtst"))
        self.xlib.XOpenDisplay.restype = ctypes.c_void_p
        self.xlib.XDefaultRootWindow.restype = ctypes.c_ulong
        self.xlib.XInternAtom.restype = ctypes.c_ulong
        self.dpy = ctypes.c_void_p(self.xlib.XOpenDisplay(None))
        # Windows come and go between two calls: such errors are expected.
        self._ignore = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(lambda d, e: 0)
        self.xlib.XSetErrorHandler(self._ignore)
        self.root = self.xlib.XDefaultRootWindow(self.dpy)
        self.stacking = self.xlib.XInternAtom(self.dpy, b"_NET_CLIENT_LIST_STACKING", False)
        self.pid_atom = self.xlib.XInternAtom(self.dpy, b"_NET_WM_PID", False)

    def _property(self, window, atom):
        actual, fmt = ctypes.c_ulong(), ctypes.c_int()
        count, after = ctypes.c_ulong(), ctypes.c_ulong()
        data = ctypes.POINTER(ctypes.c_ulong)()
        ok = self.xlib.XGetWindowProperty(self.dpy, ctypes.c_ulong(window), ctypes.c_ulong(atom), 0, 65536, False,
                                          0, ctypes.byref(actual), ctypes.byref(fmt), ctypes.byref(count),
                                          ctypes.byref(after), ctypes.byref(data))
        if ok != 0 or not data:
            return None
        values = [data[i] for i in range(count.value)] if fmt.value == 32 else []
        self.xlib.XFree(data)
        return values

    def children(self):
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        kids, n = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
        self.xlib.XQueryTree(self.dpy, ctypes.c_ulong(self.root), ctypes.byref(root), ctypes.byref(parent),
                             ctypes.byref(kids), ctypes.byref(n))
        out = [kids[i] for i in range(n.value)]  # bottom to top
        if kids:
            self.xlib.XFree(kids)
        return out

    def attributes(self, window):
        attrs = XWindowAttributes()
        if not self.xlib.XGetWindowAttributes(self.dpy, ctypes.c_ulong(window), ctypes.byref(attrs)):
            return None
        return attrs

    def name(self, window):
        text = ctypes.c_char_p()
        if not self.xlib.XFetchName(self.dpy, ctypes.c_ulong(window), ctypes.byref(text)) or not text.value:
            return ""
        value = text.value.decode("latin-1")
        self.xlib.XFree(text)
        return value

    def clients(self):
        """Top-level client windows, bottom to top, with or without a window manager."""
        listed = self._property(self.root, self.stacking)
        return listed if listed is not None else self.children()

    def has_manager(self):
        return self._property(self.root, self.stacking) is not None

    def visible(self, pid, name):
        found = []
        for w in self.clients():
            attrs = self.attributes(w)
            if attrs is None or attrs.map_state != self.IS_VIEWABLE:
                continue
            if self.name(w) == name and self._property(w, self.pid_atom) == [pid]:
                found.append(w)
        return found

    def click(self, window, point):
        """A left click at a point of the window; returns the time it was sent."""
        x, y, child = ctypes.c_int(), ctypes.c_int(), ctypes.c_ulong()
        self.xlib.XTranslateCoordinates(self.dpy, ctypes.c_ulong(window), ctypes.c_ulong(self.root), point[0],
                                        point[1], ctypes.byref(x), ctypes.byref(y), ctypes.byref(child))
        self.xtst.XTestFakeMotionEvent(self.dpy, -1, x.value, y.value, 0)
        self.xlib.XSync(self.dpy, False)
        time.sleep(0.05)
        self.xtst.XTestFakeButtonEvent(self.dpy, 1, True, 0)
        self.xtst.XTestFakeButtonEvent(self.dpy, 1, False, 0)
        self.xlib.XSync(self.dpy, False)
        return time.monotonic()

    def escape(self):
        code = self.xlib.XKeysymToKeycode(self.dpy, ctypes.c_ulong(0xFF1B))
        self.xtst.XTestFakeKeyEvent(self.dpy, code, True, 0)
        self.xtst.XTestFakeKeyEvent(self.dpy, code, False, 0)
        self.xlib.XSync(self.dpy, False)
        return time.monotonic()

    def shaped(self, window):
        b, c = ctypes.c_int(), ctypes.c_int()
        ints = [ctypes.c_int() for _ in range(4)]
        self.xext.XShapeQueryExtents(self.dpy, ctypes.c_ulong(window), ctypes.byref(b), *[ctypes.byref(i) for i in ints[:2]],
                                     ctypes.byref(ctypes.c_uint()), ctypes.byref(ctypes.c_uint()), ctypes.byref(c),
                                     *[ctypes.byref(i) for i in ints[2:4]], ctypes.byref(ctypes.c_uint()),
                                     ctypes.byref(ctypes.c_uint()))
        return bool(b.value)

    def above(self, upper, lower):
        order = self.clients()
        return upper in order and lower in order and order.index(upper) > order.index(lower)

    def raise_window(self, window):
        self.xlib.XRaiseWindow(self.dpy, ctypes.c_ulong(window))
        self.xlib.XSync(self.dpy, False)

    def top(self):
        for w in reversed(self.clients()):
            attrs = self.attributes(w)
            if attrs is not None and attrs.map_state == self.IS_VIEWABLE:
                return w
        return None


def wait(check, timeout=10.0, must=True):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        result = check()
        if result:
            return time.monotonic(), result
    if must:
        raise TimeoutError("the window did not get there")
    return time.monotonic(), None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("program")
    parser.add_argument("--runs", type=int, default=10)
    args = parser.parse_args()
    x = X()
    with tempfile.TemporaryDirectory() as tmp:
        exe = os.path.join(tmp, "quorvane")
        shutil.copy(args.program, exe)
        env = dict(os.environ, QUORVANE_REGISTRY=os.path.join(tmp, "registry.sqlite3"), CANBERRA_DRIVER="null")
        clock = subprocess.Popen(["xclock", "-geometry", "200x200+300+250"], stderr=subprocess.DEVNULL)
        proc = subprocess.Popen([exe], env=env, cwd=tmp, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            _, main_win = wait(lambda: x.visible(proc.pid, "Quorvane"), 20.0)
            x.click(main_win[0], SETTINGS)
            time.sleep(0.5)
            poll_start = time.monotonic()
            for _ in range(20):
                back_on_top(x, proc.pid)
            poll_ms = (time.monotonic() - poll_start) / 20 * 1000
            opened, closed, covered = [], [], 0
            for _ in range(args.runs):
                main_win = x.visible(proc.pid, "Quorvane")[0]
                start = x.click(main_win, SELECT)
                mapped_at, _ = wait(lambda: x.visible(proc.pid, "Open"))
                opened.append((mapped_at - start) * 1000)
                # The main window is ordinary now: another window may cover it,
                # and closing the dialog must bring it back above that one.
                time.sleep(0.2)
                clock_win = x.visible(clock.pid, "xclock")[0]
                main_win = x.visible(proc.pid, "Quorvane")[0]
                x.raise_window(clock_win)
                covered += bool(wait(lambda: x.above(clock_win, main_win), 2.0, False)[1])
                time.sleep(0.1)
                start = x.escape()
                done_at, _ = wait(lambda: back_on_top(x, proc.pid))
                closed.append((done_at - start) * 1000)
                time.sleep(0.3)
            wm = "with a window manager" if x.has_manager() else "without a window manager"
            print(f"{args.runs} runs {wm}; one poll takes {poll_ms:.2f} ms; "
                  f"covered by another window while the dialog was up: {covered} of {args.runs}")
            for label, values in (("click -> dialog mapped", opened), ("close -> shaped and on top", closed)):
                print(f"{label:28s} median {statistics.median(values):7.1f} ms  min {min(values):7.1f}  max {max(values):7.1f}")
        finally:
            proc.kill()
            proc.wait()
            clock.kill()
            clock.wait()


def back_on_top(x, pid):
    if x.visible(pid, "Open"):
        return False
    wins = x.visible(pid, "Quorvane")
    return bool(wins) and x.shaped(wins[0]) and x.top() == wins[0]


if __name__ == "__main__":
    main()
