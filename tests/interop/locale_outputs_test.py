#!/usr/bin/python3
"""Every file and text zond8t-cli writes is the same on a computer set to Russian as on any other:
each command runs once under LANG=C.UTF-8 and once under LANG=ru_RU.UTF-8, and readers nobody here
wrote (openpyxl, xlrd, Python's csv and json, poppler) read both outputs to the same values.
Numbers meant for people take the separator the command is given, never the C library's.

usage: locale_outputs_test.py EXPORT_SAMPLES ZOND8T_CLI ZOND_SIM
"""
import csv
import json
import os
import re
import subprocess
import sys
import tempfile
import unittest

import openpyxl
import xlrd

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "cli"))
from sim_process import Sim  # noqa: E402

SAMPLES = CLI = SIM = None
LOCALES = ("C.UTF-8", "ru_RU.UTF-8")


def environment(locale):
    # As from cron, sudo or ssh: no runtime folder either.
    env = {k: v for k, v in os.environ.items()
           if not k.startswith("LC_") and k not in ("LANGUAGE", "XDG_RUNTIME_DIR")}
    env["LANG"] = locale
    return env


def run(locale, *args, quiet=False):
    """The command's stdout; with `quiet` it must say nothing on stderr."""
    result = subprocess.run([CLI, *args], env=environment(locale), capture_output=True,
                            timeout=300)
    if result.returncode != 0 or (quiet and result.stderr):
        raise AssertionError("%s under %s: exit %d: %s"
                             % (args, locale, result.returncode, result.stderr.decode()))
    return result.stdout


def pdf_text(path):
    return subprocess.run(["pdftotext", "-layout", path, "-"], check=True, capture_output=True,
                          text=True).stdout


def pdf_pixels(path):
    """The first page rendered by poppler: drawing operators with a decimal comma would move or
    drop what they draw."""
    return subprocess.run(["pdftoppm", "-r", "40", "-f", "1", "-l", "1", "-gray", path],
                          check=True, capture_output=True).stdout


class Outputs(unittest.TestCase):
    maxDiff = 4000

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="zond-locale-")
        cls.table = os.path.join(cls.work, "таблица.db")
        subprocess.run([SAMPLES, "cases", cls.table], check=True)
        # A wall with a thermal resistance to analyse, fetched from the emulator.
        cls.wall = os.path.join(cls.work, "стена.db")
        sim = Sim(SIM, cls.work, "--wall", "2.5", "--days", "4")
        try:
            run("C.UTF-8", "fetch", "--port", sim.device, "--decimal-separator", ",", cls.wall)
        finally:
            sim.stop()

    def outputs(self, suffix, *args, quiet=False):
        """The command's output file under each locale; `{}` in args stands for the file."""
        paths = []
        for locale in LOCALES:
            path = os.path.join(self.work, locale + suffix)
            run(locale, *[path if a == "{}" else a for a in args], quiet=quiet)
            paths.append(path)
        return paths

    def test_xlsx_cells_and_widths(self):
        books = [openpyxl.load_workbook(p) for p in self.outputs(".xlsx", "export", self.table,
                                                                   "{}")]
        sheets = [b.worksheets[0] for b in books]
        values = [[[c.value for c in row] for row in s.iter_rows()] for s in sheets]
        self.assertEqual(values[0], values[1])
        self.assertEqual(values[1][1][5], 12.5)  # q1 of the first row, a number
        self.assertEqual(values[1][1][8], 19.8)  # "19,8" in the table
        widths = [{k: d.width for k, d in s.column_dimensions.items()} for s in sheets]
        self.assertEqual(widths[0], widths[1])
        self.assertTrue(all(isinstance(w, float) and w > 1 for w in widths[1].values()))

    def test_xls_cells(self):
        books = [xlrd.open_workbook(p) for p in self.outputs(".xls", "export", self.table, "{}")]
        values = [[s.row_values(r) for s in b.sheets() for r in range(s.nrows)] for b in books]
        self.assertEqual(values[0], values[1])
        self.assertEqual(values[1][1][5], 12.5)

    def test_csv_keeps_the_separator_it_is_given(self):
        for separator in (",", "."):
            paths = self.outputs(separator + ".csv", "export", "--decimal-separator", separator,
                                 self.table, "{}")
            rows = []
            for path in paths:
                with open(path, encoding="utf-8-sig", newline="") as f:
                    rows.append(list(csv.reader(f, delimiter=";")))
            self.assertEqual(rows[0], rows[1])
            self.assertEqual(rows[1][1][5], "12" + separator + "5")

    def test_resistance_json(self):
        texts = [run(locale, "resistance", "--json", self.wall) for locale in LOCALES]
        results = [json.loads(t) for t in texts]
        self.assertEqual(results[0], results[1])
        self.assertAlmostEqual(results[1]["channels"][0]["R0"], 2.5, delta=0.05)

    def test_pdf_outputs_read_and_draw_the_same(self):
        for suffix, args in ((".report.pdf", ("report", self.table, "{}")),
                             (".protocol.pdf", ("resistance", "--decimal-separator", ",",
                                                "--pdf", "{}", self.wall)),
                             (".chart.pdf", ("chart", "--decimal-separator", ",", self.wall, "{}"))):
            with self.subTest(suffix):
                paths = self.outputs(suffix, *args, quiet=True)
                self.assertEqual(pdf_text(paths[0]), pdf_text(paths[1]))
                self.assertEqual(pdf_pixels(paths[0]), pdf_pixels(paths[1]))

    def test_chart_png(self):
        paths = self.outputs(".chart.png", "chart", "--decimal-separator", ",", self.wall, "{}",
                             quiet=True)
        difference = subprocess.run(["compare", "-metric", "AE", *paths, "null:"],
                                    capture_output=True, text=True)
        self.assertEqual(difference.stderr.strip(), "0")

    def test_texts_for_people_use_the_separator_given(self):
        for args in (("stats", "--decimal-separator", ",", self.table), ("show", self.table),
                     ("info", self.table),
                     ("resistance", "--decimal-separator", ",", self.wall)):
            with self.subTest(args[0]):
                texts = [run(locale, *args) for locale in LOCALES]
                self.assertEqual(texts[0], texts[1])

    def test_communication_log_notes(self):
        notes = []
        for locale in LOCALES:
            log = os.path.join(self.work, locale + ".log")
            sim = Sim(SIM, self.work, "--records", "20")
            try:
                run(locale, "fetch", "--port", sim.device, "--log", log)
            finally:
                sim.stop()
            with open(log, encoding="utf-8") as f:
                # Each line starts with its time of day; the notes say what happened, on a
                # pseudo-terminal of its own each time.
                notes.append([re.sub(r"/dev/pts/\d+", "PTY", line[13:]) for line in f
                              if line[13:14] == "#"])
        self.assertTrue(notes[1])
        self.assertEqual(notes[0], notes[1])


if __name__ == "__main__":
    SAMPLES, CLI, SIM = sys.argv[1:4]
    unittest.main(argv=sys.argv[:1])
