#!/usr/bin/env python3
"""Writes starting inputs for the fuzz targets whose corpus is empty.

    fuzz/seed_corpus.py OUTDIR [--bin BUILD/bin]

OUTDIR/<target>/ gets inputs made the way the tests make theirs: frames as
each meter family sends them (the frame handlers' inputs are chunks, each
led by a byte that gives its length less one), report descriptors of the
HID tests, and, when --bin names a built program, a text table and a
packet written by `corvel-decode --log` from a stream of frames. run.sh
merges these into fuzz/corpus/<target>/, keeping only those that add
coverage. The journal's corpus comes from a journal a killed program left
(bench/soak.py --keep), as no tool writes one on its own.
"""

import argparse
import os
import subprocess
import sys
import tempfile

PATTERNS = {
    "0": "1111011", "1": "0110000", "2": "1100111", "3": "1110101", "4": "0111100",
    "5": "1011101", "6": "1011111", "7": "1110000", "8": "1111111", "9": "1111101",
    "@": "0001011", " ": "0000000",
}


def nibbles(main, second, point_bits=()):
    """Positions 1..32 of the segment frame showing `main` over `second`."""
    bits = [False] * 129
    offsets = (1, 2, 3, 5, 6, 7, 8)
    for i in range(4):
        for k, ch in ((4 - i, main[i]), (8 - i, second[i])):
            for j, on in enumerate(PATTERNS[ch]):
                bits[8 * k + offsets[j]] = on == "1"
    for b in point_bits:
        bits[b] = True
    out = []
    for pos in range(1, 33):
        nib = 0
        for i in range(4):
            nib = (nib << 1) | (1 if bits[4 * (pos - 1) + 1 + i] else 0)
        out.append(nib)
    return out


def oak(n):
    return bytes((pos << 4) | n[pos - 1] for pos in range(1, 15))


def birch(n):
    return bytes([0x1A] + [(pos << 4) | n[pos - 1] for pos in range(2, 11)] + [0x0D])


def packed(n, head):
    """A frame as text-like bytes: the type digits, positions in pairs, CR LF."""
    return bytes(head + [(n[i] << 4) | n[i + 1] for i in range(0, 32, 2)] + [0x0D, 0x0A])


def pine(n):
    return packed(n, [0x30, 0x3F])


def hid_reports(payload, size=8):
    """The payload cut into reports of `size` bytes, each led by F and its
    count, then an empty report that hands the frame over."""
    out = []
    for i in range(0, len(payload), size - 1):
        part = payload[i:i + size - 1]
        out.append(bytes([0xF0 | len(part)]) + part + bytes(size - 1 - len(part)))
    out.append(bytes([0xF0]) + bytes(size - 1))
    return out


def chunked(chunks):
    """The handlers' fuzz input: each chunk led by its length less one."""
    out = bytearray()
    for c in chunks:
        for i in range(0, len(c), 64):
            piece = c[i:i + 64]
            out.append(len(piece) - 1)
            out += piece
    return bytes(out)


DISPLAYS = [("1234", "  17", (28,)), (" 0@ ", "  17", ()), ("3999", "    ", ()), ("   0", " 4 0", (12,)),
            (" 5 7", "1 40", (20, 44))]

DESCRIPTORS = [
    "06 A0 FF 09 01 A1 01 15 00 26 FF 00 75 08 95 08 81 02 95 08 91 02 C0",
    "85 01 75 08 95 04 81 02 85 02 75 08 95 08 81 02",
    "75 01 95 03 81 02 75 05 95 01 81 03",
    "75 08 95 04 A4 85 05 81 02 B4 81 02",
    "FE 02 10 95 7F 75 08 95 02 81 02",
    "77 FF FF FF FF 97 FF FF FF FF 81 02 81 02",
    "75 08 95 09 B1 02",
    "75 08 97 20 00 00 00 81 02",
]


def write(folder, name, data):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("out")
    ap.add_argument("--bin", default="")
    args = ap.parse_args()
    frames = [nibbles(*d) for d in DISPLAYS]
    for name, make in (("oak", oak), ("birch", birch), ("pine", pine)):
        for i, n in enumerate(frames):
            write(os.path.join(args.out, name), f"one-{i}", chunked([make(n)]))
        # Frames split across reads, with a torn frame between them.
        stream = b"".join(make(n) for n in frames)
        write(os.path.join(args.out, name), "stream", chunked([stream[:5], stream[3:17], stream[17:]]))
    for i, n in enumerate(frames):
        for kind, head in (("oak", [0x30, 0x30]), ("birch", [0x30, 0x33]), ("pine", [0x30, 0x3F])):
            write(os.path.join(args.out, "hid"), f"{kind}-{i}", chunked(hid_reports(packed(n, head))))
    for i, d in enumerate(DESCRIPTORS):
        write(os.path.join(args.out, "hid_descriptor"), f"test-{i}", bytes.fromhex(d))

    if args.bin:
        decode = os.path.join(args.bin, "corvel-decode")
        with tempfile.TemporaryDirectory() as tmp:
            stream = b"".join(oak(nibbles(f"{v:04d}", "  17", (28,))) for v in range(0, 4000, 97))
            for fmt, target in (("xls", "text_table"), ("xml", "xml_packet")):
                out = os.path.join(tmp, "log." + fmt)
                subprocess.run([decode, "--handler", "oak", "--log", out, "--quiet"], input=stream, check=True,
                               stdout=subprocess.DEVNULL)
                with open(out, "rb") as f:
                    data = f.read()
                # The readers take the file in pieces whose size its first
                # byte picks; the file's own first byte does that here.
                write(os.path.join(args.out, target), "decoded", data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
