#!/usr/bin/env python3
"""The whole program logging at the meter's top rate for a long time.

Runs `corvel` under its own Xvfb with the journal on and the record limit
set to limitless, and writes Oak frames into a pseudo-terminal mapped to
COM1 at --rate frames a second (a pty does not hold bytes back to a baud
rate, so the rate is the script's). Every frame shows another reading, so
repeat suppression keeps none back and every frame logs a row. Every
--every seconds it prints the frames sent, the rows the journal holds (read
back with `corvel-convert`, which counts independently of the window), the
program's resident size, its CPU as a share of one core over that interval
(utime + stime from /proc), the journal's size and the machine's load.

At the end it stops the frames, waits for the journal to catch up,
`kill -9`s the program and counts what the journal gives back, twice: with
`corvel-convert`, and by starting the program again with --restore-answer
no, which writes the journal's rows as a recovered text table. Rows lost is
frames sent minus rows restored; it must be 0.

    bench/soak.py [--build build/test] [--minutes 60] [--rate 140]
                  [--every 60] [--keep DIR] [--screenshot FILE]

--screenshot starts the program a third time on a copy of the journal,
answers the restore question with yes and saves a picture of the window
with every row back.
"""

import argparse
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import tty

from benchlib import cpu_ticks, memory_kib, oak_frame, start_xvfb

# 0.00 .. 39.99 in turn: the next frame always differs from the last.
FRAMES = [oak_frame(f"{i:04d}", "  17", (28,)) for i in range(4000)]


def count_rows(convert, source, tmp):
    """Rows of a journal or text table as `corvel-convert` reads them: the
    lines of the text table it writes, less the heading line."""
    out = os.path.join(tmp, "count.xls")
    r = subprocess.run([convert, source, out], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    if r.returncode != 0 or not os.path.exists(out):
        return None, r.stderr.strip()
    with open(out, "rb") as f:
        lines = sum(1 for line in f if line.strip())
    os.remove(out)
    return max(lines - 1, 0), r.stderr.strip()


class Sender(threading.Thread):
    """Writes one frame every 1/rate seconds on a fixed schedule, so that a
    late write is caught up rather than the rate drifting down."""

    def __init__(self, fd, rate):
        super().__init__(daemon=True)
        self.fd, self.rate = fd, rate
        self.sent = 0
        self.stop = threading.Event()

    def run(self):
        start = time.monotonic()
        while not self.stop.is_set():
            due = start + self.sent / self.rate
            wait = due - time.monotonic()
            if wait > 0:
                time.sleep(wait)
            os.write(self.fd, FRAMES[self.sent % len(FRAMES)])
            self.sent += 1


def wait_for_port(pid, device, seconds):
    """True once the program holds the pty's device open."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        for link in glob.glob(f"/proc/{pid}/fd/*"):
            try:
                if os.readlink(link) == device:
                    return True
            except OSError:
                pass
        time.sleep(0.2)
    return False


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default="build/test")
    ap.add_argument("--minutes", type=float, default=60)
    ap.add_argument("--rate", type=float, default=140)
    ap.add_argument("--every", type=float, default=60)
    ap.add_argument("--keep", default="", help="copy the journal and the recovered table here")
    ap.add_argument("--screenshot", default="")
    args = ap.parse_args()
    bindir = os.path.join(args.build, "bin")
    corvel = os.path.join(bindir, "corvel")
    convert = os.path.join(bindir, "corvel-convert")
    hz = os.sysconf("SC_CLK_TCK")

    tmp = tempfile.mkdtemp(prefix="corvel-soak-")
    home = os.path.join(tmp, "home")
    data = os.path.join(tmp, "data")
    config = os.path.join(tmp, "config")
    runtime = os.path.join(tmp, "run")
    for d in (home, data, config):
        os.makedirs(d)
    os.makedirs(runtime, mode=0o700)

    master, slave = os.openpty()
    device = os.ttyname(slave)
    tty.setraw(slave)  # the program sets its own line mode; raw until then
    xvfb, display = start_xvfb()
    env = dict(os.environ, DISPLAY=display, HOME=home, XDG_DATA_HOME=data, XDG_CONFIG_HOME=config,
               XDG_RUNTIME_DIR=runtime)
    env.pop("QT_QPA_PLATFORM", None)
    app = subprocess.Popen([corvel, "--port", "COM1=" + device, "--connect", "--record-limit", "limitless"],
                           env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    sender = Sender(master, args.rate)
    # Drains what the program writes back (it sends nothing to a meter
    # today; a full queue must never stall it if that changes).
    drain = threading.Thread(target=lambda: [os.read(master, 4096) for _ in iter(int, 1)], daemon=True)
    status = 0
    try:
        if not wait_for_port(app.pid, device, 30):
            raise RuntimeError("the program did not open " + device)
        time.sleep(2)
        journals = glob.glob(os.path.join(data, "corvel", "*.journal"))
        if len(journals) != 1:
            raise RuntimeError(f"expected one journal, found {journals}")
        journal = journals[0]
        print(f"corvel pid {app.pid} on {device}, {args.rate:g} frames/s for {args.minutes:g} min; "
              f"journal {journal}", flush=True)
        print(f"{'min':>5} {'frames':>9} {'rows':>9} {'behind':>6} {'RSS MB':>7} {'HWM MB':>7} "
              f"{'CPU %':>6} {'Xvfb %':>6} {'journal MB':>10} {'load':>5}", flush=True)
        drain.start()
        sender.start()
        start = time.monotonic()
        ticks, xticks, t_prev = cpu_ticks(app.pid), cpu_ticks(xvfb.pid), start
        n = 0
        while time.monotonic() - start < args.minutes * 60:
            n += 1
            time.sleep(max(0.0, start + n * args.every - time.monotonic()))
            if app.poll() is not None:
                raise RuntimeError(f"the program ended with {app.returncode}: {app.stderr.read()}")
            now, c, x = time.monotonic(), cpu_ticks(app.pid), cpu_ticks(xvfb.pid)
            rss, hwm = memory_kib(app.pid)
            share = 100.0 * (c - ticks) / hz / (now - t_prev)
            xshare = 100.0 * (x - xticks) / hz / (now - t_prev)
            ticks, xticks, t_prev = c, x, now
            rows, _ = count_rows(convert, journal, tmp)
            # Read after the count, so that "behind" is the journal's lag
            # (a batch of up to 200 ms and the time the count took).
            sent = sender.sent
            size = os.path.getsize(journal) / 1e6
            print(f"{(now - start) / 60:5.1f} {sent:9d} {rows if rows is not None else -1:9d} "
                  f"{sent - (rows or 0):6d} {rss / 1024:7.1f} {hwm / 1024:7.1f} {share:6.2f} {xshare:6.2f} "
                  f"{size:10.2f} {os.getloadavg()[0]:5.2f}", flush=True)

        # The frames stop; the journal's last batch reaches the disk within
        # a second or two.
        sender.stop.set()
        sender.join()
        sent = sender.sent
        time.sleep(5)
        rows_before_kill, _ = count_rows(convert, journal, tmp)
        app.kill()  # SIGKILL: no shutdown code runs
        app.wait()
        rows_after_kill, note = count_rows(convert, journal, tmp)
        print(f"frames sent {sent}; journal rows before kill -9 {rows_before_kill}, after {rows_after_kill}"
              + (f" ({note})" if note else ""), flush=True)
        if args.keep:
            # The restart below takes the journal away.
            os.makedirs(args.keep, exist_ok=True)
            shutil.copy(journal, args.keep)

        if args.screenshot:
            copy = os.path.join(tmp, "data-yes")
            shutil.copytree(data, copy)
            subprocess.run([corvel, "--restore-answer", "yes", "--screenshot", args.screenshot,
                            "--screenshot-after", "8000"],
                           env=dict(env, XDG_DATA_HOME=copy), stdout=subprocess.DEVNULL, timeout=600)

        # The program's own reading of the journal: "No" writes its rows as
        # a recovered text table beside it.
        again = subprocess.Popen([corvel, "--restore-answer", "no"], env=env, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
        recovered = []
        end = time.monotonic() + 300
        while not recovered and time.monotonic() < end:
            time.sleep(1)
            recovered = glob.glob(os.path.join(data, "corvel", "recovered-*"))
        time.sleep(3)  # the table is written whole before the message
        again.terminate()
        again.wait(timeout=30)
        restored = None
        if recovered:
            restored, _ = count_rows(convert, recovered[0], tmp)
        lost = sent - (restored or 0)
        print(f"restored by the program (--restore-answer no): {restored} rows in "
              f"{os.path.basename(recovered[0]) if recovered else 'no table'}; rows lost {lost}", flush=True)
        if args.keep and recovered:
            shutil.copy(recovered[0], args.keep)
        status = 0 if lost == 0 and rows_after_kill == sent else 1
    finally:
        sender.stop.set()
        for p in (app, xvfb):
            if p.poll() is None:
                p.kill()
                p.wait()
        shutil.rmtree(tmp, ignore_errors=True)
    return status


if __name__ == "__main__":
    sys.exit(main())
