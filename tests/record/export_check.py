#!/usr/bin/python3
"""The log's workbook and CSV as other programs read them.

    export_check.py CORVEL_CONVERT [--sheet-split]

Writes text tables, turns them into .xlsx and .csv with corvel-convert and
reads the results back with Python's csv module, openpyxl and zipfile,
which share no code with the program. The expectations are worked out here
from the rows, not taken from the program. --sheet-split writes a log one
row longer than a sheet holds (slow; not run by default).
"""
import csv
import datetime
import math
import os
import re
import statistics
import subprocess
import sys
import tempfile
import unittest
import zipfile

import openpyxl

CONVERT = None
HEADER = ["No", "Time", "Value", "Unit", "Value2", "Unit2"]
# What the mirror's fonts draw for the unit codes, per column.
UNIT = {"|": "/", "#": "\u00b0C", "?": "\u00b0F"}
UNIT2 = {"|": "/", "#": "\u00b0C", "$": "\u00b0F", "^": "DP", ">": "WB"}
NUMBER = re.compile(r"^\s*[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?\s*$")

# Rows as the text table holds them: No, time, Value, Unit, Value2, Unit2
# (bytes; the text table of an old program is not UTF-8).
ROWS = [
    (1, b"10:00:00", b"1.23", b"m|s", b"25.1", b"#"),
    (2, b"10:00:01", b"OL", b"Km|h", b"a,b", b"$"),
    (3, b"10:00:02", b"-2.50", b"ft|min", b'say "hi"', b"^"),
    (4, b"10:00:03", b"4", b"\xb0x", b"tab\there", b">"),
    (5, b"odd", b"1,5", b"CMM", b"12", b"%RH"),
    (6, b"23:59:59", b"1.5e3", b"?", b"-0.125", b"#"),
]


def quoted(text):
    if re.search(rb"[\x00-\x20\"]", text):
        return b'"' + text.replace(b'"', b'""') + b'"'
    return text


def text_table(rows):
    lines = [b"\t".join(h.encode() for h in HEADER)]
    for no, *texts in rows:
        lines.append(b"\t".join([str(no).encode()] + [quoted(t) for t in texts]))
    return b"".join(line + b"\r\n" for line in lines)


def text(b):
    try:
        return b.decode("utf-8")
    except UnicodeDecodeError:
        return b.decode("cp1252")


def readable(code, table):
    if code == "Km|h":
        return "km/h"
    return "".join(table.get(c, c) for c in code)


def number(t):
    return float(t) if NUMBER.match(t) else None


def run(*args):
    env = dict(os.environ, LC_ALL="C.UTF-8", LANG="C.UTF-8")
    return subprocess.run([CONVERT, *args], capture_output=True, env=env, check=False)


class Folder(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def convert(self, rows, out):
        src = self.path("in.xls")
        with open(src, "wb") as f:
            f.write(text_table(rows))
        result = run(src, self.path(out))
        self.assertEqual(result.returncode, 0, result.stderr)
        return self.path(out)


class Csv(Folder):
    def test_cells_round_trip_through_pythons_reader(self):
        out = self.convert(ROWS, "log.csv")
        raw = open(out, "rb").read()
        self.assertTrue(raw.startswith(b"\xef\xbb\xbf"))
        lines = raw.split(b"\r\n")
        self.assertEqual(lines[-1], b"")  # every line ends in CR LF
        self.assertNotIn(b"\n", b"".join(lines))
        with open(out, newline="", encoding="utf-8-sig") as f:
            got = list(csv.reader(f))
        want = [HEADER] + [
            [str(no), text(t), text(v), readable(text(u), UNIT), text(v2), readable(text(u2), UNIT2)]
            for no, t, v, u, v2, u2 in ROWS
        ]
        self.assertEqual(got, want)

    def test_an_empty_log_is_the_header_alone(self):
        out = self.convert([], "log.csv")
        self.assertEqual(open(out, "rb").read(), b"\xef\xbb\xbfNo,Time,Value,Unit,Value2,Unit2\r\n")


class Workbook(Folder):
    def test_cells_types_and_formats(self):
        book = openpyxl.load_workbook(self.convert(ROWS, "log.xlsx"))
        self.assertEqual(book.sheetnames, ["Log", "Summary"])
        log = book["Log"]
        self.assertEqual(log.freeze_panes, "A2")
        self.assertEqual(log.auto_filter.ref, "A1:F%d" % (len(ROWS) + 1))
        self.assertEqual([c.value for c in log[1]], HEADER)
        self.assertTrue(all(c.font.b for c in log[1]))
        for r, (no, t, v, u, v2, u2) in enumerate(ROWS, start=2):
            cells = log[r]
            self.assertEqual((cells[0].value, cells[0].data_type), (no, "n"))
            tt = text(t)
            if re.match(r"^\d\d:\d\d:\d\d$", tt):
                h, m, s = map(int, tt.split(":"))
                self.assertEqual(cells[1].value, datetime.time(h, m, s))
                self.assertEqual(cells[1].number_format, "hh:mm:ss")
            else:
                self.assertEqual(cells[1].value, tt)
            for cell, raw in ((cells[2], text(v)), (cells[4], text(v2))):
                n = number(raw)
                if n is None:
                    self.assertEqual((cell.value, cell.data_type), (raw, "s"), raw)
                else:
                    self.assertEqual(cell.data_type, "n", raw)
                    self.assertAlmostEqual(cell.value, n)
                    if "e" not in raw.lower():
                        places = len(raw.split(".")[1]) if "." in raw else 0
                        self.assertEqual(cell.number_format, "0" + ("." + "0" * places if places else ""))
            self.assertEqual(cells[3].value, readable(text(u), UNIT))
            self.assertEqual(cells[5].value, readable(text(u2), UNIT2))
        widths = [log.column_dimensions[c].width for c in "ABCDEF"]
        self.assertTrue(all(w >= 9 for w in widths), widths)

    def test_summary_matches_the_figures_worked_out_here(self):
        book = openpyxl.load_workbook(self.convert(ROWS, "log.xlsx"))
        figures = {row[0].value: row[1].value for row in book["Summary"].iter_rows(min_row=2)}
        values = [n for n in (number(text(r[2])) for r in ROWS) if n is not None]
        values2 = [n for n in (number(text(r[4])) for r in ROWS) if n is not None]
        self.assertEqual(figures["Rows"], len(ROWS))
        self.assertEqual(figures["First time"], datetime.time(10, 0, 0))
        self.assertEqual(figures["Last time"], datetime.time(23, 59, 59))
        for name, ns in (("Value", values), ("Value2", values2)):
            self.assertEqual(figures[name + " numbers"], len(ns))
            self.assertAlmostEqual(figures[name + " minimum"], min(ns))
            self.assertAlmostEqual(figures[name + " maximum"], max(ns))
            self.assertAlmostEqual(figures[name + " mean"], statistics.mean(ns))
            self.assertAlmostEqual(figures[name + " standard deviation"], statistics.pstdev(ns))
        # corvel-convert knows no limits: no counts of rows beyond them.
        self.assertNotIn("Rows above High", figures)

    def test_the_chart_draws_value_by_no_of_the_log_sheet(self):
        out = self.convert(ROWS, "log.xlsx")
        with zipfile.ZipFile(out) as z:
            charts = [n for n in z.namelist() if n.startswith("xl/charts/chart")]
            self.assertEqual(len(charts), 1)
            chart = z.read(charts[0]).decode()
            drawing_rels = z.read("xl/worksheets/_rels/sheet1.xml.rels").decode()
        self.assertIn("drawing", drawing_rels)  # on sheet Log
        self.assertIn("<c:scatterChart>", chart)
        self.assertIn('<c:scatterStyle val="lineMarker"/>', chart)
        self.assertEqual(re.findall(r"<c:ser>.*?<c:v>(\w+)</c:v>", chart), ["Value"])
        self.assertIn("<c:f>Log!$A$2:$A$%d</c:f>" % (len(ROWS) + 1), chart)
        self.assertIn("<c:f>Log!$C$2:$C$%d</c:f>" % (len(ROWS) + 1), chart)
        self.assertIn("<a:t>Value by No</a:t>", chart)

    def test_an_empty_log_has_its_header_an_empty_chart_and_zero_rows(self):
        out = self.convert([], "log.xlsx")
        book = openpyxl.load_workbook(out)
        log = book["Log"]
        self.assertEqual([c.value for c in log[1]], HEADER)
        self.assertEqual(log.max_row, 1)
        self.assertEqual(book["Summary"]["B2"].value, 0)
        with zipfile.ZipFile(out) as z:
            self.assertIn("<c:scatterChart>", z.read("xl/charts/chart1.xml").decode())


class Summary(Folder):
    def test_prints_one_figure_a_line(self):
        src = self.path("in.xls")
        with open(src, "wb") as f:
            f.write(text_table(ROWS))
        result = run("--summary", src)
        self.assertEqual(result.returncode, 0, result.stderr)
        lines = result.stdout.decode().splitlines()
        figures = dict(line.split(": ", 1) for line in lines)
        self.assertEqual(len(figures), len(lines))
        values = [n for n in (number(text(r[2])) for r in ROWS) if n is not None]
        self.assertEqual(figures["Rows"], str(len(ROWS)))
        self.assertEqual(figures["First time"], "10:00:00")
        self.assertEqual(figures["Last time"], "23:59:59")
        self.assertEqual(float(figures["Value minimum"]), min(values))
        self.assertTrue(math.isclose(float(figures["Value standard deviation"]), statistics.pstdev(values)))

    def test_an_unreadable_log_fails(self):
        result = run("--summary", self.path("missing.xls"))
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stdout, b"")


class SheetSplit(Folder):
    """A log one row longer than a sheet holds goes on in "Log (2)"."""

    def test_the_row_past_the_limit_opens_a_second_sheet(self):
        rows = 1048576
        src = self.path("in.xls")
        with open(src, "wb") as f:
            f.write(b"No\tTime\tValue\tUnit\tValue2\tUnit2\r\n")
            for i in range(rows):
                f.write(b"%d\t10:00:00\t%d.5\tm|s\r\n" % (i + 1, i % 100))
        out = self.path("big.xlsx")
        result = run(src, out)
        self.assertEqual(result.returncode, 0, result.stderr)
        book = openpyxl.load_workbook(out, read_only=True)
        self.assertEqual(book.sheetnames, ["Log", "Log (2)", "Summary"])
        self.assertEqual(book["Log"].max_row, 1048576)
        second = list(book["Log (2)"].iter_rows(values_only=True))
        self.assertEqual(second[0], tuple(HEADER))
        self.assertEqual(second[1][0], rows)
        self.assertEqual(second[1][2], (rows - 1) % 100 + 0.5)
        self.assertEqual(len(second), 2)
        figures = {r[0]: r[1] for r in book["Summary"].iter_rows(min_row=2, values_only=True)}
        self.assertEqual(figures["Rows"], rows)
        with zipfile.ZipFile(out) as z:
            chart = z.read("xl/charts/chart1.xml").decode()
        self.assertIn("<a:t>Value by No, sheet \"Log\" only</a:t>", chart.replace("&quot;", '"'))
        self.assertIn("<c:f>Log!$C$2:$C$1048576</c:f>", chart)


if __name__ == "__main__":
    CONVERT = sys.argv[1]
    split = "--sheet-split" in sys.argv[2:]
    loader = unittest.TestLoader()
    suite = unittest.TestSuite()
    for case in (SheetSplit,) if split else (Csv, Workbook, Summary):
        suite.addTests(loader.loadTestsFromTestCase(case))
    sys.exit(0 if unittest.TextTestRunner(verbosity=2).run(suite).wasSuccessful() else 1)
