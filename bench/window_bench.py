#!/usr/bin/env python3
"""The main window as the user meets it: drag latency and idle CPU, beside peers.

Drag: runs BUILD/bench/drag_latency on the program and on the peer
BUILD/bench/frameless_peer (a plain Qt frameless window); see that program's
header for what is timed.

Idle CPU: starts the program, visits all three views as a user would (the
small view's button at client (606, 73); a double click on the small picture
to restore; the bonus link at client (372, 178); the 10 s bonus timer gives
the small view; a double click restores again), moves the pointer off the
window, then starts the peers (the same plain Qt frameless window, and
xclock) and measures the CPU time that each process uses over the same idle
interval: utime + stime from /proc/PID/stat (clock ticks), and the on-CPU time
of all its threads from /proc/PID/task/*/schedstat (nanoseconds), per second
of wall time, as a share of one core; with the context switches per second
(its wake-ups).

Run it under Xvfb; it starts openbox when no window manager is running:
  xvfb-run -a -s "-screen 0 1280x1024x24" bench/window_bench.py build/bench [--idle 60] [--moves 200]
BUILD is the build folder of the bench preset (a Release build, like the
release preset's). Needs xdotool, xclock (x11-apps) and openbox.
"""
import argparse
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import time

TICKS = os.sysconf("SC_CLK_TCK")


def run(*argv):
    return subprocess.run(list(argv), capture_output=True, text=True).stdout


def window_manager_running():
    return "window id" in run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK")


def window_of(pid, timeout=20.0):
    """The largest visible window of process `pid`."""
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        best, area = None, 0
        for wid in run("xdotool", "search", "--onlyvisible", "--pid", str(pid), "").split():
            if run("xdotool", "getwindowpid", wid).strip() != str(pid):
                continue  # the search also lists windows that carry no process id
            geometry = dict(line.split("=", 1) for line in
                            run("xdotool", "getwindowgeometry", "--shell", wid).split())
            size = int(geometry.get("WIDTH", 0)) * int(geometry.get("HEIGHT", 0))
            if size > area:
                best, area = wid, size
        if best:
            return best
        time.sleep(0.05)
    sys.exit(f"process {pid} showed no window")


def size_of(wid):
    geometry = dict(line.split("=", 1) for line in run("xdotool", "getwindowgeometry", "--shell", wid).split())
    return int(geometry["WIDTH"]), int(geometry["HEIGHT"])


def click(wid, x, y, repeat=1):
    subprocess.run(["xdotool", "mousemove", "--window", wid, str(x), str(y), "click", "--repeat", str(repeat),
                    "--delay", "60", "1"], check=True)
    time.sleep(0.8)


class Launched:
    """A program in a temporary directory of its own (a copy of it, HOME and settings store there)."""

    def __init__(self, argv, copy=True):
        self.tmp = tempfile.TemporaryDirectory()
        exe = argv[0]
        if copy:
            exe = os.path.join(self.tmp.name, os.path.basename(argv[0]))
            shutil.copy(argv[0], exe)
        env = dict(os.environ, HOME=self.tmp.name, XDG_CONFIG_HOME=os.path.join(self.tmp.name, "config"),
                   QUORVANE_REGISTRY=os.path.join(self.tmp.name, "registry.sqlite3"))
        self.proc = subprocess.Popen([exe] + argv[1:], env=env, cwd=self.tmp.name,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.name = os.path.basename(argv[0])

    def close(self):
        self.proc.kill()
        self.proc.wait()
        self.tmp.cleanup()


def cpu_sample(pid):
    """(clock ticks, on-CPU nanoseconds of all threads, context switches)."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    ticks = int(fields[11]) + int(fields[12])
    nanos = switches = 0
    for task in glob.glob(f"/proc/{pid}/task/*"):
        try:
            with open(f"{task}/schedstat") as f:
                nanos += int(f.read().split()[0])
            with open(f"{task}/status") as f:
                for line in f:
                    if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")):
                        switches += int(line.split()[1])
        except (FileNotFoundError, ProcessLookupError):
            pass  # a thread that ended meanwhile
    return ticks, nanos, switches


def visit_views(wid, screenshots):
    """Small view, full view, bonus view, small view after the bonus timer, full view."""
    def shot(name):
        if screenshots:
            subprocess.run(["import", "-window", "root", os.path.join(screenshots, name + ".png")])

    shot("0-full")
    click(wid, 606, 73)  # the small view's button
    if size_of(wid) != (98, 125):
        sys.exit(f"the small view's button gave a {size_of(wid)} window")
    shot("1-small")
    click(wid, 49, 60, repeat=2)  # double click on the small picture
    if size_of(wid) != (764, 581):
        sys.exit(f"restoring gave a {size_of(wid)} window")
    click(wid, 372, 178)  # the bonus link
    if size_of(wid) != (151, 358):
        sys.exit(f"the bonus link gave a {size_of(wid)} window")
    shot("2-bonus")
    time.sleep(10.5)  # the bonus timer gives the small view
    if size_of(wid) != (98, 125):
        sys.exit(f"after the bonus timer the window is {size_of(wid)}")
    click(wid, 49, 60, repeat=2)
    if size_of(wid) != (764, 581):
        sys.exit(f"restoring gave a {size_of(wid)} window")
    subprocess.run(["xdotool", "mousemove", "2", "2"])  # off the window
    time.sleep(0.5)
    shot("3-restored")


def idle(build, seconds, screenshots):
    ours = Launched([os.path.join(build, "app", "quorvane")])
    peers = []
    try:
        visit_views(window_of(ours.proc.pid), screenshots)
        peers = [Launched([os.path.join(build, "bench", "frameless_peer")]), Launched(["xclock"], copy=False)]
        for peer in peers:
            window_of(peer.proc.pid)
        subprocess.run(["xdotool", "mousemove", "2", "2"])
        time.sleep(2)
        everyone = [ours] + peers
        before = {p.name: cpu_sample(p.proc.pid) for p in everyone}
        start = time.monotonic()
        time.sleep(seconds)
        wall = time.monotonic() - start
        after = {p.name: cpu_sample(p.proc.pid) for p in everyone}
    finally:
        for p in [ours] + peers:
            p.close()
    shares = {}
    print(f"idle CPU over {wall:.1f} s, as % of one core (stat ticks | schedstat), CPU time, wake-ups:")
    for name in before:
        ticks = (after[name][0] - before[name][0]) / TICKS
        nanos = (after[name][1] - before[name][1]) / 1e9
        switches = (after[name][2] - before[name][2]) / wall
        shares[name] = 100.0 * nanos / wall
        print(f"  {name:16s} {100.0 * ticks / wall:7.3f} % | {shares[name]:7.4f} %   {nanos * 1e3:8.2f} ms"
              f"   {switches:6.1f}/s")
    for peer in peers:
        if shares[peer.name] > 0:
            print(f"ratio quorvane/{peer.name} (schedstat): {shares['quorvane'] / shares[peer.name]:.1f}")
        else:
            print(f"ratio quorvane/{peer.name}: none, {peer.name} used no CPU time at all")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build", help="build folder of the bench preset")
    ap.add_argument("--idle", type=int, default=60, help="seconds of idle measurement, 0 to skip")
    ap.add_argument("--moves", type=int, default=200, help="pointer moves per drag, 0 to skip")
    ap.add_argument("--rounds", type=int, default=1, help="drags of each program")
    ap.add_argument("--screenshots", help="folder for screenshots of the views")
    args = ap.parse_args()
    if not os.environ.get("DISPLAY"):
        sys.exit("needs DISPLAY (run under xvfb-run)")
    wm = None
    if not window_manager_running():
        wm = subprocess.Popen(["openbox"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            if window_manager_running():
                break
            time.sleep(0.05)
    try:
        if args.moves > 0:
            sys.stdout.flush()
            subprocess.run([os.path.join(args.build, "bench", "drag_latency"), "--moves", str(args.moves),
                            "--rounds", str(args.rounds), os.path.join(args.build, "app", "quorvane"),
                            os.path.join(args.build, "bench", "frameless_peer")], check=True)
        if args.idle > 0:
            idle(args.build, args.idle, args.screenshots)
    finally:
        if wm:
            wm.kill()
            wm.wait()


if __name__ == "__main__":
    main()
