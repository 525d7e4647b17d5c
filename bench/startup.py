#!/usr/bin/env python3
"""Start-up time, memory and idle CPU of Quorvane under X, beside a peer.

Runs the program N times with an empty temporary registry and log directory
and reports the median time from process start to its window being mapped,
the resident memory once it is up, and its CPU use over an idle interval.
The peer is xclock (x11-apps), a minimal X client timed the same way.

Usage: bench/startup.py BUILD/app/quorvane [--runs 10] [--idle 60]
Needs DISPLAY (run under xvfb-run) and xdotool.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import tempfile
import time

TICKS = os.sysconf("SC_CLK_TCK")


def wait_mapped(pid, name, timeout=20.0):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid), "--name", name],
                             capture_output=True, text=True).stdout.split()
        for wid in out:
            owner = subprocess.run(["xdotool", "getwindowpid", wid], capture_output=True, text=True).stdout
            if owner.strip() == str(pid):
                return True
        time.sleep(0.002)
    return False


def rss_mb(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024.0
    return float("nan")


def cpu_ticks(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])


def launch(argv, env, cwd):
    start = time.monotonic()
    proc = subprocess.Popen(argv, env=env, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return proc, start


def measure(argv, name, runs, make_env):
    times = []
    rss = []
    for _ in range(runs):
        with tempfile.TemporaryDirectory() as tmp:
            exe = argv[0]
            if name == "^Quorvane$":
                exe = os.path.join(tmp, "quorvane")
                shutil.copy(argv[0], exe)
            proc, start = launch([exe] + argv[1:], make_env(tmp), tmp)
            ok = wait_mapped(proc.pid, name)
            elapsed = (time.monotonic() - start) * 1000.0
            time.sleep(0.3)
            if ok:
                times.append(elapsed)
                rss.append(rss_mb(proc.pid))
            proc.kill()
            proc.wait()
    return times, rss


def idle_cpu(argv, make_env, seconds):
    with tempfile.TemporaryDirectory() as tmp:
        exe = os.path.join(tmp, "quorvane")
        shutil.copy(argv[0], exe)
        proc, _ = launch([exe], make_env(tmp), tmp)
        wait_mapped(proc.pid, "^Quorvane$")
        time.sleep(2)
        before = cpu_ticks(proc.pid)
        time.sleep(seconds)
        used = (cpu_ticks(proc.pid) - before) / TICKS
        proc.kill()
        proc.wait()
    return 100.0 * used / seconds


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("quorvane")
    ap.add_argument("--runs", type=int, default=10)
    ap.add_argument("--idle", type=int, default=60)
    args = ap.parse_args()

    def env_for(tmp):
        env = dict(os.environ)
        env["QUORVANE_REGISTRY"] = os.path.join(tmp, "registry.sqlite3")
        env["HOME"] = tmp
        return env

    qt, qr = measure([args.quorvane], "^Quorvane$", args.runs, env_for)
    pt, pr = measure(["xclock"], "^xclock$", args.runs, lambda tmp: dict(os.environ))
    print(f"quorvane: start to mapped median {statistics.median(qt):.0f} ms over {len(qt)} runs, "
          f"RSS {statistics.median(qr):.1f} MB")
    print(f"xclock:   start to mapped median {statistics.median(pt):.0f} ms over {len(pt)} runs, "
          f"RSS {statistics.median(pr):.1f} MB")
    print(f"ratio quorvane/xclock start-up: {statistics.median(qt) / statistics.median(pt):.2f}")
    if args.idle > 0:
        print(f"quorvane idle CPU over {args.idle} s: {idle_cpu([args.quorvane], env_for, args.idle):.3f} % of one core")


if __name__ == "__main__":
    main()
