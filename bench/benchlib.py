"""What the benchmark scripts that drive the program share: Oak frames to
feed it, its memory and CPU read from /proc, and a virtual display."""

import os
import select
import subprocess

PATTERNS = {
    "0": "1111011", "1": "0110000", "2": "1100111", "3": "1110101", "4": "0111100",
    "5": "1011101", "6": "1011111", "7": "1110000", "8": "1111111", "9": "1111101",
    "@": "0001011", " ": "0000000",
}


def oak_frame(main, second, point_bits=()):
    """14 bytes of an Oak frame: `main` and `second` are four characters from
    left to right; `point_bits` are frame bits to set (28: the point between
    the main row's second and third digit)."""
    bits = [False] * 129
    offsets = (1, 2, 3, 5, 6, 7, 8)  # a b c f g e d within a digit's byte
    for i in range(4):
        for k, ch in ((4 - i, main[i]), (8 - i, second[i])):
            for j, on in enumerate(PATTERNS[ch]):
                bits[8 * k + offsets[j]] = on == "1"
    for b in point_bits:
        bits[b] = True
    out = bytearray()
    for pos in range(1, 15):
        nib = 0
        for i in range(4):
            nib = (nib << 1) | (1 if bits[4 * (pos - 1) + 1 + i] else 0)
        out.append(pos << 4 | nib)
    return bytes(out)


def memory_kib(pid):
    """The process's resident size now and at its peak (VmRSS, VmHWM), KiB."""
    with open(f"/proc/{pid}/status") as f:
        fields = dict(line.split(":", 1) for line in f if ":" in line)
    return int(fields["VmRSS"].split()[0]), int(fields["VmHWM"].split()[0])


def cpu_ticks(pid):
    """User and system clock ticks the process has used (stat fields 14, 15)."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])


def start_xvfb():
    """A virtual display of its own; returns the server and its name."""
    r, w = os.pipe()
    proc = subprocess.Popen(
        ["Xvfb", "-displayfd", str(w), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
        pass_fds=(w,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(w)
    number = b""
    while not number.endswith(b"\n"):
        ready, _, _ = select.select([r], [], [], 10)
        if not ready:
            raise RuntimeError("Xvfb did not start")
        chunk = os.read(r, 64)
        if not chunk:
            raise RuntimeError("Xvfb did not name its display")
        number += chunk
    os.close(r)
    return proc, ":" + number.decode().strip()
