#!/usr/bin/python3
"""Workbooks written by the export and the workbook library, read back by readers nobody here
wrote: python3-olefile (the container and its "Workbook" stream), python3-xlrd (sheets, cells,
types, merged ranges, palette), LibreOffice headless and Gnumeric's ssconvert (CSV texts).

usage: xls_readers_test.py XLS_SAMPLES [--large] [--cli=ZOND8T_CLI]
With --large only the export of 65,535 rows is checked, by olefile, xlrd and ssconvert. With
--cli, "zond8t-cli export" must write the same workbook as the export the samples made.
"""
import csv
import fcntl
import glob
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import dbfread
import olefile
import xlrd

SAMPLES = None
LARGE = False
CLI = None

HEADINGS = ["N", "Дата", "Время", "Режим", "Типы датчиков", "q1, Вт/кв.м.", "q2, Вт/кв.м.",
            "q3, Вт/кв.м.", "tв, C", "tн, C", "Примечание"]
EXPORT_FIELDS = ["N", "DATE", "TIME", "MODE", "TYPE", "TAVIS_1", "TAVIS_2", "TAVIS_3", "T_IN",
                 "T_EXT", "COMMENT"]
EXPORT_SHEET = "ЗОНД-8Т.05 \"Тавис\""


def export_expectation(table):
    """The sheet an export of `table` must give, from the table as python3-dbfread reads it:
    numbers as floats, texts as text, an empty text as None (a blank cell)."""
    cells = [[0, c, h] for c, h in enumerate(HEADINGS)]
    for k, record in enumerate(dbfread.DBF(table, encoding="cp1251"), start=1):
        for c, name in enumerate(EXPORT_FIELDS):
            value = record[name]
            if isinstance(value, (int, float)):
                value = float(value)
            elif value is None:
                value = 0.0 if name.startswith("TAVIS") or name == "N" else None
            else:
                value = value.rstrip() or None
            cells.append([k, c, value])
    return {"sheets": [{"name": EXPORT_SHEET, "cells": cells, "merged": []}]}


def expectation(xls):
    base = xls[:-len(".xls")]
    if os.path.exists(base + ".db"):
        return export_expectation(base + ".db")
    with open(base + ".json", encoding="utf-8") as f:
        expected = json.load(f)
    for sheet in expected["sheets"]:
        for cell in sheet["cells"]:
            if isinstance(cell[2], int):
                cell[2] = float(cell[2])
    return expected


def grid(sheet):
    """The first sheet's cells as CSV converters print them: a list of rows of texts."""
    rows = 1 + max((c[0] for c in sheet["cells"]), default=-1)
    cols = 1 + max((c[1] for c in sheet["cells"]), default=-1)
    table = [[None] * cols for _ in range(rows)]
    for r, c, value in sheet["cells"]:
        table[r][c] = value
    return table


def trimmed(rows):
    rows = [list(r) for r in rows]
    for r in rows:
        while r and r[-1] == "":
            r.pop()
    while rows and not rows[-1]:
        rows.pop()
    return rows


def gnumeric_csv(xls):
    """Every sheet of the workbook as CSV by Gnumeric's ssconvert, in sheet order."""
    pattern = xls[:-4] + ".gnumeric.%n.csv"
    subprocess.run(["ssconvert", "-S", xls, pattern], check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=500)
    return sorted(glob.glob(xls[:-4] + ".gnumeric.*.csv"),
                  key=lambda p: int(p.rsplit(".", 2)[-2]))


class Check(unittest.TestCase):
    maxDiff = 2000

    def check_csv(self, path, sheet):
        with open(path, encoding="utf-8", newline="") as f:
            got = trimmed(csv.reader(f))
        want = grid(sheet)
        self.assertEqual(len(got), len(trimmed([["x" if v is not None else "" for v in r]
                                                for r in want])), path)
        for r, row in enumerate(want):
            line = got[r] if r < len(got) else []
            for c, value in enumerate(row):
                text = line[c] if c < len(line) else ""
                where = f"{os.path.basename(path)} row {r} column {c}"
                if isinstance(value, float):
                    self.assertEqual(float(text), value, where)
                else:
                    self.assertEqual(text, value or "", where)

    def check_container(self, xls):
        with olefile.OleFileIO(xls) as ole:
            self.assertEqual(ole.listdir(), [["Workbook"]])
            stream = ole.openstream("Workbook").read()
        with open(xls[:-len(".xls")] + ".stream", "rb") as f:
            self.assertEqual(stream, f.read(), xls)

    def check_xlrd(self, xls, expected, formatting):
        book = xlrd.open_workbook(xls, formatting_info=formatting)
        self.assertEqual(book.nsheets, len(expected["sheets"]))
        for s, want in enumerate(expected["sheets"]):
            sheet = book.sheet_by_index(s)
            self.assertEqual(sheet.name, want["name"])
            filled = {(r, c) for r, c, _ in want["cells"]}
            for r, c, value in want["cells"]:
                cell = sheet.cell(r, c)
                where = f"{os.path.basename(xls)} {sheet.name} row {r} column {c}"
                if isinstance(value, float):
                    self.assertEqual(cell.ctype, xlrd.XL_CELL_NUMBER, where)
                    self.assertEqual(cell.value, value, where)
                elif value is None:
                    blank = xlrd.XL_CELL_BLANK if formatting else xlrd.XL_CELL_EMPTY
                    self.assertEqual(cell.ctype, blank, where)
                else:
                    self.assertEqual(cell.ctype, xlrd.XL_CELL_TEXT, where)
                    self.assertEqual(cell.value, value, where)
            # Nothing beyond what the model holds (merged areas are blank).
            for r in range(sheet.nrows):
                for c in range(sheet.ncols):
                    if (r, c) not in filled:
                        self.assertIn(sheet.cell_type(r, c),
                                      (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK))
            if formatting:
                merged = sorted([t, b + 1, l, rt + 1] for t, b, l, rt in want["merged"])
                self.assertEqual(sorted(list(m) for m in sheet.merged_cells), merged)
        return book


class SmallWorkbooks(Check):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="zond-xls-")
        subprocess.run([SAMPLES, cls.folder], check=True)
        cls.books = sorted(glob.glob(os.path.join(cls.folder, "*.xls")))
        # One LibreOffice start converts them all; a private profile keeps it apart.
        cls.lo = os.path.join(cls.folder, "lo")
        subprocess.run(["soffice", "-env:UserInstallation=file://" + cls.folder + "/profile",
                        "--headless", "--convert-to",
                        "csv:Text - txt - csv (StarCalc):44,34,76,1", "--outdir", cls.lo]
                       + cls.books, check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=300)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder)

    def test_all_cases_written(self):
        names = {os.path.basename(b) for b in self.books}
        self.assertEqual(names, {"export_empty.xls", "export_1.xls", "export_33.xls",
                                 "export_5000.xls", "long_text.xls", "merged.xls",
                                 "colour.xls"})

    def test_container_holds_the_assembled_stream(self):
        for xls in self.books:
            self.check_container(xls)

    def test_xlrd_reads_every_cell(self):
        for xls in self.books:
            with self.subTest(xls=os.path.basename(xls)):
                self.check_xlrd(xls, expectation(xls), formatting=True)

    def test_export_shape(self):
        for name, rows in (("export_empty", 0), ("export_1", 1), ("export_33", 33),
                           ("export_5000", 5000)):
            sheet = xlrd.open_workbook(os.path.join(self.folder, name + ".xls")).sheet_by_index(0)
            self.assertEqual((sheet.nrows, sheet.ncols), (rows + 1, 11), name)

    def test_custom_colour_in_palette(self):
        book = xlrd.open_workbook(os.path.join(self.folder, "colour.xls"), formatting_info=True)
        self.assertEqual(book.colour_map[24], (0x12, 0x34, 0x56))
        self.assertEqual(book.colour_map[8], (0, 0, 0))
        sheet = book.sheet_by_index(0)
        font = book.font_list[book.xf_list[sheet.cell_xf_index(0, 0)].font_index]
        self.assertEqual(font.colour_index, 24)
        self.assertEqual(font.name, "Arial")
        plain = book.font_list[book.xf_list[sheet.cell_xf_index(0, 1)].font_index]
        self.assertEqual(plain.colour_index, 8)

    def test_libreoffice_csv(self):
        for xls in self.books:
            with self.subTest(xls=os.path.basename(xls)):
                csv_path = os.path.join(self.lo, os.path.basename(xls)[:-4] + ".csv")
                self.check_csv(csv_path, expectation(xls)["sheets"][0])

    def test_gnumeric_csv(self):
        for xls in self.books:
            with self.subTest(xls=os.path.basename(xls)):
                expected = expectation(xls)
                for n, path in enumerate(gnumeric_csv(xls)):
                    self.check_csv(path, expected["sheets"][n])


    def test_cli_export(self):
        if not CLI:
            self.skipTest("zond8t-cli not built")
        table = os.path.join(self.folder, "export_33.db")
        target = os.path.join(self.folder, "cli.xls")
        done = subprocess.run([CLI, "export", table, target], capture_output=True, text=True)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stdout, "Эксторт в Excel в файл cli.xls завершен успешно.\n")
        with olefile.OleFileIO(target) as ole:
            stream = ole.openstream("Workbook").read()
        with open(os.path.join(self.folder, "export_33.stream"), "rb") as f:
            self.assertEqual(stream, f.read())
        # A workbook another program holds locked is not replaced.
        with open(target, "rb") as held:
            fcntl.flock(held, fcntl.LOCK_EX)
            done = subprocess.run([CLI, "export", table, target], capture_output=True,
                                  text=True)
        self.assertEqual(done.returncode, 1)
        self.assertEqual(done.stdout, "")
        self.assertIn("StgCreateDocFile error -2147287008", done.stderr)


class LargestExport(Check):
    def test_65535_rows(self):
        folder = tempfile.mkdtemp(prefix="zond-xls-large-")
        try:
            subprocess.run([SAMPLES, folder, "--large"], check=True)
            xls = os.path.join(folder, "export_65535.xls")
            self.check_container(xls)
            expected = expectation(xls)
            book = self.check_xlrd(xls, expected, formatting=False)
            self.assertEqual(book.sheet_by_index(0).nrows, 65536)
            (csv_path,) = gnumeric_csv(xls)
            self.check_csv(csv_path, expected["sheets"][0])
        finally:
            shutil.rmtree(folder)


if __name__ == "__main__":
    SAMPLES = sys.argv[1]
    LARGE = "--large" in sys.argv[2:]
    CLI = next((a[len("--cli="):] for a in sys.argv[2:] if a.startswith("--cli=")), None)
    suite = unittest.TestSuite()
    loader = unittest.defaultTestLoader
    suite.addTests(loader.loadTestsFromTestCase(LargestExport if LARGE else SmallWorkbooks))
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)
