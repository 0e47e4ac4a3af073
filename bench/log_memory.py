#!/usr/bin/env python3
"""Memory a logged row costs, log and chart points together.

Feeds `corvel-decode --handler oak --record-limit limitless --log FILE` a
stream of Oak frames, once making SMALL rows and once LARGE rows, and reports
the growth of the peak resident size (VmHWM) and of the resident size at the
end (VmRSS, read just before the process exits) per added row:

    bench/log_memory.py [--build build/dev] [--small 100000] [--large 2100000]

The peak tells whether a growing container briefly holds an old and a new
copy of itself; the end figure is what a row costs while it stays.
"""

import argparse
import os
import subprocess
import sys
import tempfile
import threading
import time

from benchlib import cpu_ticks, memory_kib, oak_frame

def run(build, tmp, rows):
    # Values that change from frame to frame, as a real stream's do.
    frames = [oak_frame(f"{i:04d}", "  17", (28,)) for i in range(0, 4000, 7)]
    data = b"".join(frames[i % len(frames)] for i in range(rows))
    log = os.path.join(tmp, "log.txt")
    # Fed through a pipe that stays open until the tool has taken every
    # frame, so that its resident size can be read with every row held.
    tool = subprocess.Popen(
        [os.path.join(build, "bin", "corvel-decode"), "--handler", "oak", "--record-limit", "limitless",
         "--log", log, "--quiet"], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL)
    writer = threading.Thread(target=tool.stdin.write, args=(data,))
    writer.start()
    writer.join()
    tool.stdin.flush()
    before = -1
    while True:
        time.sleep(0.5)
        now = cpu_ticks(tool.pid)
        if now == before:
            break
        before = now
    held, peak = memory_kib(tool.pid)
    tool.stdin.close()
    if tool.wait() != 0:
        raise RuntimeError(f"corvel-decode failed with {tool.returncode}")
    with open(log, "rb") as f:
        logged = sum(1 for _ in f) - 1
    os.remove(log)
    return peak, held, logged


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default="build/dev")
    ap.add_argument("--small", type=int, default=100_000)
    ap.add_argument("--large", type=int, default=2_100_000)
    args = ap.parse_args()
    with tempfile.TemporaryDirectory() as tmp:
        small = run(args.build, tmp, args.small)
        large = run(args.build, tmp, args.large)
    for rows, (peak, last, logged) in ((args.small, small), (args.large, large)):
        print(f"{rows:9d} frames: {logged:9d} rows logged, peak resident {peak} KiB, with every row held {last} KiB")
    rows = large[2] - small[2]
    print(f"per row: peak {(large[0] - small[0]) * 1024 / rows:.1f} bytes, "
          f"held {(large[1] - small[1]) * 1024 / rows:.1f} bytes")


if __name__ == "__main__":
    sys.exit(main())
