#!/usr/bin/python3
"""Measurement tables made by zond8t-cli and filled through the table module, read by readers
nobody here wrote (python3-dbfread, python3-dbf, LibreOffice); and tables written by python3-dbf,
shown by zond8t-cli.

usage: dbf_readers_test.py ZOND8T_CLI FILL_TABLE
"""
import csv
import decimal
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import dbf
import dbfread

CLI = FILL = None

FIELDS = ["N", "MODE", "CHANNEL", "EN_CH", "DATE", "TIME", "TIME_SEC", "TYPE",
          "TAVIS_1", "TAVIS_2", "TAVIS_3", "T_IN", "T_EXT", "COMMENT"]
NUMERIC = {"N", "CHANNEL", "EN_CH", "TAVIS_1", "TAVIS_2", "TAVIS_3"}

LONG_COMMENT = "Щ" * 50
# (deleted, values in field order); None is an empty field.
ROWS = [
    (False, [1, "Оперативный", 1, 3, "05.03.2009", "12:30:15", "1236256215",
             "ПТП-1/ПТП-2/нет", 12.5, -3.25, 0.0, "21.5", "-40", "Ёж и ёлка"]),
    (True, [2, "Наблюдения", 0, 1, "06.03.2009", "00:00:00", "1236297600",
            "удалить", 1.0, 2.0, 3.0, "0.0", "0.0", "удалённая строка"]),
    (False, [3, "Наблюдения", 7, 1, "31.12.2010", "23:59:59", "1293839999",
             "ТЕПЛОМЕР", None, 1234.567890123, None, ">320.0", "-40", ""]),
    (False, [9999, None, None, None, None, None, None, None,
             99999999.0, -9999999.5, 1e-9, None, None, LONG_COMMENT]),
]
LIVE = [values for deleted, values in ROWS if not deleted]


def tsv_value(value):
    if isinstance(value, float):
        return format(decimal.Decimal(repr(value)), "f")
    return "" if value is None else str(value)


def expected(values, empty_text=""):
    """Values as a reader returns them: text without trailing spaces, '' for empty text."""
    return [empty_text if v is None and name not in NUMERIC else v
            for name, v in zip(FIELDS, values)]


class TableFromCli(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="zond-interop-")
        cls.table = os.path.join(cls.folder, "measurements.db")
        subprocess.run([CLI, "create", cls.table], check=True)
        rows = "".join(("*" if deleted else "") + "\t".join(map(tsv_value, values)) + "\n"
                       for deleted, values in ROWS)
        subprocess.run([FILL, cls.table], input=rows.encode(), check=True)
        # Both python3-dbf and LibreOffice go by the extension.
        cls.dbf_copy = os.path.join(cls.folder, "measurements.dbf")
        shutil.copyfile(cls.table, cls.dbf_copy)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder)

    def test_dbfread_reads_identical_values(self):
        table = dbfread.DBF(self.table)
        self.assertEqual(table.encoding, "cp1251")
        self.assertEqual(table.field_names, FIELDS)
        self.assertEqual([list(r.values()) for r in table], [expected(v) for v in LIVE])
        self.assertEqual(len(table.deleted), 1)

    def test_python_dbf_reads_identical_values(self):
        table = dbf.Table(self.dbf_copy)
        table.open(dbf.READ_ONLY)
        try:
            self.assertTrue(table.codepage.name.startswith("cp1251"))
            self.assertEqual([f.upper() for f in table.field_names], FIELDS)
            rows = [[v.rstrip() if isinstance(v, str) else v for v in record]
                    for record in table if not dbf.is_deleted(record)]
            self.assertEqual(rows, [expected(v) for v in LIVE])
            self.assertEqual(sum(1 for r in table if dbf.is_deleted(r)), 1)
        finally:
            table.close()

    def test_libreoffice_converts_it_to_csv(self):
        out = os.path.join(self.folder, "csv")
        profile = "file://" + os.path.join(self.folder, "lo-profile")
        # Calc's dBase import takes the character set from its options (34: Windows-1251),
        # as a user picks it in the import dialog; the CSV is written as UTF-8 (76).
        subprocess.run(["soffice", "--headless", "-env:UserInstallation=" + profile,
                        "--infilter=dBase:34",
                        "--convert-to", "csv:Text - txt - csv (StarCalc):9,34,76",
                        "--outdir", out, self.dbf_copy],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=240)
        with open(os.path.join(out, "measurements.csv"), encoding="utf-8", newline="") as f:
            lines = list(csv.reader(f, delimiter="\t"))
        self.assertEqual([h.split(",")[0] for h in lines[0]], FIELDS)
        cells = [[(float(c) if c else None) if name in NUMERIC else c
                  for name, c in zip(FIELDS, line)] for line in lines[1:]]
        self.assertEqual(cells, [expected(v) for v in LIVE])


class TableFromPythonDbf(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="zond-interop-")

    def tearDown(self):
        shutil.rmtree(self.folder)

    def write_table(self, codepage):
        path = os.path.join(self.folder, "foreign.dbf")
        table = dbf.Table(path, "N N(4,0); MODE C(11); TAVIS_1 N(18,9); COMMENT C(50)",
                          dbf_type="db3", codepage=codepage)
        table.open(dbf.READ_WRITE)
        table.append((1, "Оперативный", 12.5, "первая"))
        table.append((2, "Наблюдения", -0.125, "вторая"))
        table.append((3, "", None, "удалена"))
        dbf.delete(table[2])
        table.append((4, "Ёлка", 100.0, ""))
        table.close()
        return path

    def show(self, path):
        return subprocess.run([CLI, "show", path], check=True, capture_output=True,
                              text=True).stdout

    def test_cp1251_table_shows_correctly(self):
        self.assertEqual(self.show(self.write_table("cp1251")),
                         "N\tMODE\tTAVIS_1\tCOMMENT\n"
                         "1\tОперативный\t12.5\tпервая\n"
                         "2\tНаблюдения\t-0.125\tвторая\n"
                         "4\tЁлка\t100\t\n")

    def test_cp866_table_is_converted(self):
        path = self.write_table("cp866")
        self.assertIn("(code page 866)", subprocess.run(
            [CLI, "info", path], check=True, capture_output=True, text=True).stdout)
        self.assertIn("2\tНаблюдения\t-0.125\tвторая\n", self.show(path))


if __name__ == "__main__":
    CLI, FILL = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
