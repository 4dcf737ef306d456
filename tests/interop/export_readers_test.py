#!/usr/bin/python3
"""CSV and .xlsx written by "zond8t-cli export", read back by readers nobody here wrote: Python's
csv module in the chosen dialect against python3-dbfread's reading of the table, python3-openpyxl
(values, cell types, formats, frozen pane, autofilter, widths, properties) and LibreOffice headless
(CSV imported with matching filter options; the workbook converted). A write that fails leaves no
partial file and an existing file as it was.

usage: export_readers_test.py EXPORT_SAMPLES ZOND8T_CLI [--large]
With --large only a 1,100,000-row table is exported to .xlsx, which must give two sheets.
"""
import csv
import datetime
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import dbfread
import openpyxl

SAMPLES = None
CLI = None

HEADINGS = ["N", "Дата", "Время", "Режим", "Типы датчиков", "q1, Вт/кв.м", "q2, Вт/кв.м",
            "q3, Вт/кв.м", "tв,°C", "tн,°C", "Примечание"]
FIELDS = ["N", "DATE", "TIME", "MODE", "TYPE", "TAVIS_1", "TAVIS_2", "TAVIS_3", "T_IN", "T_EXT",
          "COMMENT"]
SHEET = "ЗОНД-8Т.05 \"Тавис\""
NUMBER_COLUMNS = range(5, 10)

# (file name, CLI options, csv dialect, Python encoding, LibreOffice filter options)
DIALECTS = [
    ("default.csv", [], ";", "utf-8-sig", ","),
    ("comma_cp1251.csv", ["--delimiter", ",", "--decimal-separator", ".", "--encoding", "cp1251"],
     ",", "cp1251", "."),
    ("tab.csv", ["--delimiter", "tab", "--decimal-separator", "."], "\t", "utf-8-sig", "."),
]


def temperature(text):
    """A temperature text of the table as a number, or the text itself when it is none."""
    try:
        return float(text.replace(",", "."))
    except ValueError:
        return text


def expected_rows(table):
    """The table as python3-dbfread reads it, one list of 11 values per live row."""
    rows = []
    for record in dbfread.DBF(table, encoding="cp1251"):
        row = []
        for name in FIELDS:
            value = record[name]
            if isinstance(value, str):
                value = value.rstrip(" ")
                if name in ("T_IN", "T_EXT") and value:
                    value = temperature(value)
            row.append(value)
        rows.append(row)
    return rows


def run_cli(*args, check=True):
    return subprocess.run([CLI, "export", *args], check=check, capture_output=True, text=True,
                          timeout=500)


def soffice(folder, *args):
    subprocess.run(["soffice", "-env:UserInstallation=file://" + folder + "/profile", "--headless",
                    *args, "--outdir", folder + "/lo"], check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=300)


class Exports(unittest.TestCase):
    maxDiff = 4000

    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="export_readers_")
        cls.table = os.path.join(cls.folder, "cases.db")
        subprocess.run([SAMPLES, "cases", cls.table], check=True)
        cls.expected = expected_rows(cls.table)
        for name, options, *_ in DIALECTS:
            run_cli(cls.table, os.path.join(cls.folder, name), *options)
        cls.xlsx = os.path.join(cls.folder, "cases.xlsx")
        run_cli(cls.table, cls.xlsx)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder)

    def test_samples_hold_the_awkward_values(self):
        rows = self.expected
        self.assertEqual(rows[0][10], "Угол; \"окно\"\r\nстена")
        self.assertIsNone(rows[1][6])
        self.assertEqual(rows[0][9], ">320.0")
        self.assertEqual(rows[0][8], 19.8)

    def test_csv_read_by_the_csv_module_matches_dbfread(self):
        for name, _, delimiter, encoding, decimal in DIALECTS:
            with self.subTest(name):
                path = os.path.join(self.folder, name)
                with open(path, "rb") as f:
                    raw = f.read()
                self.assertEqual(raw.startswith(b"\xef\xbb\xbf"), encoding == "utf-8-sig")
                self.assertEqual(raw.count(b"\n"), raw.count(b"\r\n"))
                with open(path, encoding=encoding, newline="") as f:
                    lines = list(csv.reader(f, delimiter=delimiter))
                self.assertEqual(lines[0], HEADINGS)
                self.assertEqual(len(lines) - 1, len(self.expected))
                for k, (line, want) in enumerate(zip(lines[1:], self.expected), start=1):
                    self.assertEqual(self.csv_values(line, decimal), want, f"{name} line {k}")

    def csv_values(self, line, decimal):
        """A CSV line as typed values: numbers read with the dialect's decimal separator only."""
        def number_or_text(text):
            if ("." if decimal == "," else ",") in text:
                return text
            try:
                return float(text.replace(decimal, "."))
            except ValueError:
                return text

        fluxes = [number_or_text(text) if text else None for text in line[5:8]]
        return [int(line[0])] + line[1:5] + fluxes + [number_or_text(t) for t in line[8:10]] + \
            line[10:]

    def test_libreoffice_imports_csv_into_the_same_numbers(self):
        for name, _, delimiter, encoding, decimal in DIALECTS:
            with self.subTest(name):
                charset = 34 if encoding == "cp1251" else 76  # MS 1251, UTF-8
                language = 1049 if decimal == "," else 1033  # ru-RU, en-US
                options = f"CSV:{ord(delimiter)},34,{charset},1,,{language}"
                soffice(self.folder, "--infilter=" + options, "--convert-to", "xlsx",
                        os.path.join(self.folder, name))
                book = openpyxl.load_workbook(
                    os.path.join(self.folder, "lo", name[:-4] + ".xlsx"))
                rows = list(book.active.iter_rows(values_only=True))
                self.assertEqual(list(rows[0][:11]), HEADINGS)
                self.assertEqual(len(rows) - 1, len(self.expected))
                for row, want in zip(rows[1:], self.expected):
                    self.assertEqual(row[0], want[0])
                    for c in NUMBER_COLUMNS:
                        self.assertEqual(row[c], want[c] if want[c] != "" else None,
                                         f"{name} N={want[0]} column {c}")

    def test_xlsx_cells_by_openpyxl(self):
        book = openpyxl.load_workbook(self.xlsx)
        self.assertEqual(book.sheetnames, [SHEET])
        self.assertEqual(book.properties.title, "cases.db")
        sheet = book[SHEET]
        header = sheet[1]
        self.assertEqual([c.value for c in header], HEADINGS)
        self.assertTrue(all(c.font.b for c in header))
        self.assertEqual(sheet.freeze_panes, "A2")
        self.assertEqual(sheet.auto_filter.ref, f"A1:K{len(self.expected) + 1}")
        for r, want in enumerate(self.expected, start=2):
            cells = sheet[r]
            got = [c.value for c in cells]
            self.assertEqual(got[0], want[0])
            self.assertIsInstance(got[0], int)
            self.assertEqual(got[1], datetime.datetime.strptime(want[1], "%d.%m.%Y"))
            self.assertEqual(cells[1].number_format, "dd.mm.yyyy")
            self.assertEqual(got[2], datetime.datetime.strptime(want[2], "%H:%M:%S").time())
            self.assertEqual(cells[2].number_format, "hh:mm:ss")
            self.assertEqual(got[3:5], want[3:5])
            for c in NUMBER_COLUMNS:
                value = want[c] if want[c] != "" else None
                self.assertEqual(got[c], value, f"row {r} column {c}")
                if isinstance(value, float):
                    self.assertEqual(cells[c].number_format, "0.0")
            # A spreadsheet cell breaks lines with LF alone.
            self.assertEqual(got[10], want[10].replace("\r\n", "\n") or None)

    def test_xlsx_widths_fit_the_contents(self):
        sheet = openpyxl.load_workbook(self.xlsx)[SHEET]
        for c, letter in enumerate("ABCDEFGHIJK"):
            shown = [len(HEADINGS[c])]
            for row in self.expected:
                value = row[c]
                if c == 1:
                    shown.append(10)
                elif c == 2:
                    shown.append(8)
                elif isinstance(value, float):
                    shown.append(len(f"{value:.1f}"))
                elif value is not None:
                    shown.append(len(str(value)))
            width = sheet.column_dimensions[letter].width
            self.assertGreaterEqual(width, max(shown), HEADINGS[c])
            self.assertLessEqual(width, max(shown) + 8, HEADINGS[c])

    def test_libreoffice_converts_the_xlsx(self):
        soffice(self.folder, "--convert-to", "csv:Text - txt - csv (StarCalc):44,34,76",
                self.xlsx)
        with open(os.path.join(self.folder, "lo", "cases.csv"), encoding="utf-8",
                  newline="") as f:
            lines = list(csv.reader(f))
        self.assertEqual(lines[0], HEADINGS)
        self.assertEqual(len(lines) - 1, len(self.expected))
        self.assertEqual(lines[1][:3], ["1", "01.10.2008", "12:34:56"])
        self.assertEqual(lines[1][5], "12.5")
        self.assertEqual(lines[1][9], ">320.0")

    def test_missing_folder_leaves_nothing(self):
        for extension in ("csv", "xlsx"):
            target = os.path.join(self.folder, "absent", "out." + extension)
            result = run_cli(self.table, target, check=False)
            self.assertEqual(result.returncode, 1)
            self.assertIn("не существует", result.stderr)
            self.assertFalse(os.path.exists(os.path.dirname(target)))

    def test_full_disk_leaves_the_old_file_and_no_temporary(self):
        """A 16 KiB file system of its own, mounted in a private user and mount namespace."""
        disk = os.path.join(self.folder, "disk")
        os.mkdir(disk)
        for extension in ("csv", "xlsx"):
            with self.subTest(extension):
                script = (f'mount -t tmpfs -o size=16k tmpfs "{disk}" || exit 77\n'
                          f'printf old > "{disk}/out.{extension}"\n'
                          f'"{CLI}" export "{self.table}" "{disk}/out.{extension}" 2>&1\n'
                          f'echo "rc=$?"; ls -A "{disk}"; cat "{disk}/out.{extension}"\n')
                result = subprocess.run(["unshare", "--user", "--map-root-user", "--mount",
                                         "sh", "-c", script], capture_output=True, text=True,
                                        timeout=300)
                if result.returncode == 77 or "unshare" in result.stderr:
                    self.skipTest("no private mount namespace here: " + result.stderr)
                # libxlsxwriter prints its own diagnostics first.
                lines = result.stdout.splitlines()
                rc = lines.index("rc=1")
                self.assertIn("на диске не хватает места", lines[rc - 1])
                self.assertEqual(lines[rc + 1:], [f"out.{extension}", "old"])


class LargeTable(unittest.TestCase):
    ROWS = 1_100_000

    def test_two_sheets(self):
        folder = tempfile.mkdtemp(prefix="export_large_")
        try:
            table = os.path.join(folder, "large.db")
            subprocess.run([SAMPLES, "large", table, str(self.ROWS)], check=True)
            xlsx = os.path.join(folder, "large.xlsx")
            run_cli(table, xlsx)
            book = openpyxl.load_workbook(xlsx, read_only=True)
            self.assertEqual(book.sheetnames, [SHEET, SHEET + " (2)"])
            first, second = book.worksheets
            self.assertEqual(first.max_row, 1_048_576)
            self.assertEqual(second.max_row, self.ROWS - 1_048_575 + 1)
            rows = second.iter_rows(min_row=1, max_row=2, values_only=True)
            self.assertEqual(list(next(rows)), HEADINGS)
            # Row i of the sample table (tests/support/export_table.h): N = i % 9999 + 1.
            i = 1_048_575
            row = next(rows)
            self.assertEqual(row[0], i % 9999 + 1)
            self.assertEqual(row[1], datetime.datetime(2009 + i % 15, i % 12 + 1, i % 28 + 1))
            book.close()
        finally:
            shutil.rmtree(folder)


if __name__ == "__main__":
    SAMPLES, CLI = sys.argv[1], sys.argv[2]
    loader = unittest.defaultTestLoader
    case = LargeTable if "--large" in sys.argv[3:] else Exports
    result = unittest.TextTestRunner(verbosity=2).run(loader.loadTestsFromTestCase(case))
    sys.exit(0 if result.wasSuccessful() else 1)
