#!/usr/bin/env python3
"""What the whole program costs while a meter streams to it.

Runs `corvel` under its own Xvfb, reading Oak frames at 2400 baud (17 frames
a second) from `corvel-meter-sim --frames` on a pseudo-terminal, and reports
the program's CPU (utime + stime from /proc) as a share of one core over
several windows after a warm-up. Three streams:

  steady    one frame over and over: 12.34, a small area on the chart
  changing  12.34 and an over-load display in turn: the decimal point moves
            and Pass/Fail flips on every frame
  top       one frame over and over: 3999, near the top of the value axis,
            so the filled area covers half the plot

    bench/idle_cpu.py [--build build/dev] [--cases steady,changing,top]
                      [--chart-options off|on|off,on]
                      [--rounds 3] [--seconds 60] [--warmup 15]
                      [--perf DIR [--perf-seconds 30] [--perf-freq 499]]
                      [--screenshots DIR]

--chart-options runs each case with the Graphic menu's "Fit to Readings" and
"Limit Lines" both off, both on, or (off,on) both ways in turn, and then
prints the ratio on / off for each case.

--perf records one extra window per case with `perf record --call-graph
dwarf` (after the measured rounds, so it does not disturb them);
--perf-freq is its samples a second (2999 tells one widget's paint from
another's in a steady stream).
"""

import argparse
import os
import subprocess
import sys
import tempfile
import time

from benchlib import cpu_ticks, oak_frame, start_xvfb

# The second row reads 17 (digit 6 leaves positions 15 on blank, so no
# annunciator is lit).
STREAMS = {
    "steady": oak_frame("1234", "  17", (28,)),
    "changing": oak_frame("1234", "  17", (28,)) + oak_frame(" 0@ ", "  17"),
    "top": oak_frame("3999", "  17"),
}


def run_case(name, args, tmp, options="off"):
    frames = os.path.join(tmp, name + ".bin")
    with open(frames, "wb") as f:
        f.write(STREAMS[name])
    bindir = os.path.join(args.build, "bin")
    sim = subprocess.Popen([os.path.join(bindir, "corvel-meter-sim"), "--frames", frames],
                           stdout=subprocess.PIPE, text=True)
    pty = sim.stdout.readline().strip()
    xvfb, display = start_xvfb()
    # A folder of its own for the log's journal: a journal left by another
    # run would hold this one at the start-up restore question.
    run = os.path.join(tmp, f"{name}-{options}")
    data = os.path.join(run, "data")
    runtime = os.path.join(run, "run")
    home = os.path.join(run, "home")
    config = os.path.join(run, "config")
    os.makedirs(data)
    os.makedirs(runtime, mode=0o700)
    os.makedirs(home)
    # Settings of its own: the chart's view options as asked, nothing else.
    os.makedirs(os.path.join(config, "corvel"))
    if options == "on":
        with open(os.path.join(config, "corvel", "corvel.conf"), "w") as f:
            f.write("[chart]\nfitToReadings=true\nlimitLines=true\n")
    env = dict(os.environ, DISPLAY=display, HOME=home, XDG_DATA_HOME=data, XDG_CONFIG_HOME=config,
               XDG_RUNTIME_DIR=runtime)
    env.pop("QT_QPA_PLATFORM", None)
    cmd = [os.path.join(bindir, "corvel"), "--port", "COM1=" + pty, "--connect"]
    shot = None
    if args.screenshots:
        os.makedirs(args.screenshots, exist_ok=True)
        shot = os.path.join(args.screenshots, f"{name}-{options}.png")
        total = args.warmup + args.rounds * args.seconds + (args.perf_seconds if args.perf else 0) + 5
        cmd += ["--screenshot", shot, "--screenshot-after", str(int(total * 1000))]
    app = subprocess.Popen(cmd, env=env, stdout=subprocess.DEVNULL)
    hz = os.sysconf("SC_CLK_TCK")
    shares, xshares = [], []
    try:
        time.sleep(args.warmup)
        for _ in range(args.rounds):
            t0, c0, x0 = time.monotonic(), cpu_ticks(app.pid), cpu_ticks(xvfb.pid)
            time.sleep(args.seconds)
            t1, c1, x1 = time.monotonic(), cpu_ticks(app.pid), cpu_ticks(xvfb.pid)
            shares.append(100.0 * (c1 - c0) / hz / (t1 - t0))
            xshares.append(100.0 * (x1 - x0) / hz / (t1 - t0))
        if args.perf:
            os.makedirs(args.perf, exist_ok=True)
            subprocess.run(["perf", "record", "-q", "--call-graph", "dwarf,32768", "-F", str(args.perf_freq), "-p", str(app.pid),
                            "-o", os.path.join(args.perf, name + ".data"), "--", "sleep", str(args.perf_seconds)],
                           check=False, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if shot:
            app.wait(timeout=args.seconds + 30)
    finally:
        for p in (app, sim, xvfb):
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    p.kill()
    return shares, xshares


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default="build/dev")
    ap.add_argument("--cases", default="steady,changing,top")
    ap.add_argument("--rounds", type=int, default=3)
    ap.add_argument("--seconds", type=float, default=60)
    ap.add_argument("--warmup", type=float, default=15)
    ap.add_argument("--perf", default="")
    ap.add_argument("--perf-seconds", type=float, default=30)
    ap.add_argument("--perf-freq", type=int, default=499)
    ap.add_argument("--screenshots", default="")
    ap.add_argument("--chart-options", default="off")
    args = ap.parse_args()
    variants = args.chart_options.split(",")
    with tempfile.TemporaryDirectory() as tmp:
        results = {}
        for name in args.cases.split(","):
            for options in variants:
                shares, xshares = run_case(name, args, tmp, options)
                results[(name, options)] = shares
                label = name if len(variants) == 1 else f"{name} {options}"
                print(f"{label:13s} corvel % of a core: " + " ".join(f"{s:5.2f}" for s in shares) +
                      f"   mean {sum(shares) / len(shares):5.2f}   (Xvfb mean {sum(xshares) / len(xshares):5.2f})",
                      flush=True)

        def mean(key):
            return sum(results[key]) / len(results[key])

        for options in variants:
            if ("steady", options) in results and ("changing", options) in results:
                suffix = "" if len(variants) == 1 else f" (options {options})"
                print(f"changing / steady{suffix}: {mean(('changing', options)) / mean(('steady', options)):.2f}")
        if "on" in variants and "off" in variants:
            for name in args.cases.split(","):
                print(f"{name:9s} options on / off: {mean((name, 'on')) / mean((name, 'off')):.2f}")


if __name__ == "__main__":
    sys.exit(main())
