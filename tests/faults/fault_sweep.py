"""Fails, one run at a time, each file-writing call a zond8t-cli command makes, and checks what
the user is left with: the failure reported as such, every row of the table kept, no partial file
beside it, a file being replaced left as it was.

usage: fault_sweep.py CLI SIM SHIM COMMAND [--max-runs N]

A dry run with the interposer counting gives the calls of each kind; the sweep then fails every
fsync, rename and open for writing, and the writes and truncations up to N runs a kind (the first
and the last always, the rest a seeded sample), alternating ENOSPC and EIO."""
import csv
import filecmp
import os
import random
import shutil
import subprocess
import sys
import tempfile

import dbfread

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "cli"))
from sim_process import Sim  # noqa: E402

KINDS = ["open", "write", "ftruncate", "fsync", "rename"]
ALWAYS_SWEPT = {"open", "fsync", "rename"}
TABLE = "table.db"


def table_rows(path, ignore=()):
    """The rows as tuples of their values, or None when no dBase reader makes sense of the file."""
    try:
        table = dbfread.DBF(path, encoding="cp1251", char_decode_errors="strict", load=True)
        with open(path, "rb") as f:
            data = f.read()
        header_length = int.from_bytes(data[8:10], "little")
        record_length = int.from_bytes(data[10:12], "little")
        count = int.from_bytes(data[4:8], "little")
        # The header's count must be backed by whole records on disk.
        if len(data) < header_length + count * record_length:
            return None
        names = [f.name for f in table.fields if f.name not in ignore]
        return [tuple(record[name] for name in names) for record in table.records]
    except Exception:  # any reader error means a damaged table
        return None


class Case:
    """One command: how its folder is prepared, its arguments, and its output's reader."""

    def __init__(self, name, args, output=None, uses_sim=False, ignore=(), new_rows_allowed=False,
                 original=b"the file this run replaces\n"):
        self.name = name
        self.args = args  # with {table}, {out} and {port} filled in per run
        self.output = output  # the file the command writes, other than the table
        self.uses_sim = uses_sim
        self.ignore = ignore  # fields a failed run may have changed in some rows
        self.new_rows_allowed = new_rows_allowed
        self.original = original  # what the output holds before the run


CASES = {
    "create": Case("create", ["create", "{table}"]),
    "fetch": Case("fetch", ["fetch", "--port", "{port}", "{table}"], uses_sim=True),
    "append": Case("append", ["append", "--port", "{port}", "{table}"], uses_sim=True,
                   new_rows_allowed=True),
    "delete": Case("delete", ["delete", "{table}", "2", "5", "7"]),
    "renumber": Case("renumber", ["renumber", "{table}"], ignore=("N",)),
    "export_xls": Case("export_xls", ["export", "{table}", "{out}"], output="out.xls"),
    "export_csv": Case("export_csv", ["export", "{table}", "{out}"], output="out.csv"),
    "export_xlsx": Case("export_xlsx", ["export", "{table}", "{out}"], output="out.xlsx"),
    "report": Case("report", ["report", "{table}", "{out}"], output="out.pdf"),
    "chart_pdf": Case("chart_pdf", ["chart", "{table}", "{out}"], output="out.pdf"),
    "chart_png": Case("chart_png", ["chart", "{table}", "{out}"], output="out.png"),
    "resistance_pdf": Case("resistance_pdf", ["resistance", "{table}", "--pdf", "{out}"],
                           output="out.pdf"),
    "resistance_odt": Case("resistance_odt", ["resistance", "{table}", "--odt", "{out}"],
                           output="out.odt"),
    "survey": Case("survey", ["survey", "{table}", "--set", "object=Школа № 5"],
                   output="table.survey.json", original='{"client": "Заказчик"}'.encode()),
    "fetch_image": Case("fetch_image", ["fetch", "--port", "{port}", "--image-out", "{out}"],
                        output="out.img", uses_sim=True),
}


def output_values(path):
    """What a reader sees in the output: the cells of a workbook, else the bytes."""
    if path.endswith(".xlsx"):
        import openpyxl
        book = openpyxl.load_workbook(path, read_only=True)
        values = [list(sheet.iter_rows(values_only=True)) for sheet in book.worksheets]
        book.close()
        return values
    with open(path, "rb") as f:
        return f.read()


def output_readable(path):
    """Whether an independent reader takes the finished output."""
    ext = os.path.splitext(path)[1]
    try:
        if ext == ".xls":
            import xlrd
            xlrd.open_workbook(path)
        elif ext == ".xlsx":
            import openpyxl
            openpyxl.load_workbook(path, read_only=True).close()
        elif ext == ".csv":
            with open(path, encoding="utf-8-sig", newline="") as f:
                return len(list(csv.reader(f, delimiter=";"))) > 1
        elif ext == ".pdf":
            return subprocess.run(["pdftotext", path, "-"], capture_output=True).returncode == 0
        elif ext == ".odt":
            import zipfile
            with zipfile.ZipFile(path) as odt:
                return b"office:document-content" in odt.read("content.xml")
        elif ext == ".json":
            import json
            with open(path, encoding="utf-8") as f:
                return json.load(f)["object"] == "Школа № 5"
        elif ext == ".png":
            with open(path, "rb") as f:
                data = f.read()
            return data.startswith(b"\x89PNG\r\n\x1a\n") and data.endswith(b"IEND\xaeB`\x82")
        return True
    except Exception:
        return False


class Sweep:
    def __init__(self, cli, shim, case, work, port):
        self.cli = cli
        self.shim = shim
        self.case = case
        self.work = work
        self.port = port
        self.base = os.path.join(work, "base")
        self.expected = None  # the table after a run without faults
        self.expected_output = None  # what a reader sees in the output of that run

    def run(self, folder, fault=None):
        """Runs the command in `folder`; returns (exit status, stderr, the interposer's report)."""
        report = os.path.join(self.work, "report.txt")
        env = dict(os.environ, LD_PRELOAD=self.shim, ZOND_FAULT_DIR=folder,
                   ZOND_FAULT_REPORT=report, QT_QPA_PLATFORM="offscreen",
                   ASAN_OPTIONS="detect_leaks=0:verify_asan_link_order=0")
        for key in ("ZOND_FAULT_CALL", "ZOND_FAULT_AT", "ZOND_FAULT_ERRNO"):
            env.pop(key, None)
        if fault:
            kind, number, errno_name = fault
            env.update(ZOND_FAULT_CALL=kind, ZOND_FAULT_AT=str(number), ZOND_FAULT_ERRNO=errno_name)
        args = [a.format(table=os.path.join(folder, TABLE), port=self.port,
                         out=os.path.join(folder, self.case.output or "none"))
                for a in self.case.args]
        result = subprocess.run([self.cli, *args], cwd=folder, env=env, capture_output=True,
                                text=True, timeout=120)
        counts = {}
        with open(report) as f:
            for line in f:
                key, value = line.split()
                counts[key] = int(value)
        return result.returncode, result.stderr.strip(), counts

    def fresh_folder(self, name):
        folder = os.path.join(self.work, name)
        shutil.rmtree(folder, ignore_errors=True)
        shutil.copytree(self.base, folder)
        return folder

    def prepare(self, table_source):
        os.makedirs(self.base)
        shutil.copy(table_source, os.path.join(self.base, TABLE))
        if self.case.output:
            with open(os.path.join(self.base, self.case.output), "wb") as f:
                f.write(self.case.original)
        self.before = table_rows(os.path.join(self.base, TABLE), self.case.ignore)
        folder = self.fresh_folder("dry")
        status, message, counts = self.run(folder)
        if status != 0:
            sys.exit("dry run of %s failed (%d): %s" % (self.case.name, status, message))
        if self.case.output:
            assert output_readable(os.path.join(folder, self.case.output)), "dry run's output"
            self.expected_output = output_values(os.path.join(folder, self.case.output))
        self.expected = table_rows(os.path.join(folder, TABLE), self.case.ignore)
        return counts

    def rows_kept(self, rows, status):
        if status == 0:
            return rows == self.expected
        if self.case.new_rows_allowed:  # each row added before the failure reads as imported
            return rows[:len(self.before)] == self.before and \
                all(r in self.expected for r in rows[len(self.before):])
        # A deletion that went through but reported a late failure lost nothing unasked.
        return rows == self.before or (self.case.name == "delete" and rows == self.expected)

    def check(self, folder, status, message, fired):
        """The defects of one faulted run, as a set of names."""
        found = set()
        # A library may absorb a fault itself (libxlsxwriter retries a temporary file elsewhere):
        # fine only when the output holds exactly what a run without faults writes.
        if fired and status == 0 and not (self.case.output and self.absorbed(folder)):
            found.add("unreported")
        if status != 0 and not message:
            found.add("silent")
        table = os.path.join(folder, TABLE)
        rows = table_rows(table, self.case.ignore) if os.path.exists(table) else None
        if rows is None:
            found.add("damaged")
        elif not self.rows_kept(rows, status):
            found.add("rows lost")
        names = set(os.listdir(folder))
        extra = names - set(os.listdir(self.base)) - {TABLE + ".mdx"}
        if extra:
            found.add("partial")
        if self.case.output:
            out = os.path.join(folder, self.case.output)
            if status != 0 and not filecmp.cmp(out, os.path.join(self.base, self.case.output),
                                               shallow=False):
                found.add("replaced file changed")
            if status == 0 and not output_readable(out):
                found.add("unreadable output")
        return found


    def absorbed(self, folder):
        try:
            return output_values(os.path.join(folder, self.case.output)) == self.expected_output
        except Exception:  # an output no reader takes absorbed nothing
            return False


def plan(counts, max_runs, rng):
    """(kind, number) pairs to fail."""
    runs = []
    for kind in KINDS:
        total = counts.get(kind, 0)
        numbers = list(range(1, total + 1))
        if kind not in ALWAYS_SWEPT and total > max_runs:
            middle = rng.sample(numbers[1:-1], max_runs - 2)
            numbers = sorted({1, total, *middle})
        runs += [(kind, n) for n in numbers]
    return runs


def main():
    cli, sim_program, shim = (os.path.abspath(p) for p in sys.argv[1:4])
    command = sys.argv[4]
    max_runs = int(sys.argv[sys.argv.index("--max-runs") + 1]) if "--max-runs" in sys.argv else 40
    case = CASES[command]
    work = tempfile.mkdtemp(prefix="fault_sweep_")
    sim = Sim(sim_program, work, "--records", "40", "--seed", "3")
    try:
        # The table every run starts from: the first 12 of the emulator's records, so append
        # has 28 newer ones to add.
        source = os.path.join(work, "source.db")
        subprocess.run([cli, "fetch", "--port", sim.device, source], check=True,
                       capture_output=True)
        subprocess.run([cli, "delete", source, *[str(n) for n in range(13, 41)]], check=True)
        sweep = Sweep(cli, shim, case, work, sim.device)
        counts = sweep.prepare(source)
        print("%s: calls in a run: %s" % (command, ", ".join(
            "%s %d" % (k, counts.get(k, 0)) for k in KINDS)))
        tally = {}
        failures = []
        rng = random.Random(14)
        for index, (kind, number) in enumerate(plan(counts, max_runs, rng)):
            errno_name = "ENOSPC" if index % 2 == 0 else "EIO"
            folder = sweep.fresh_folder("run")
            status, message, report = sweep.run(folder, (kind, number, errno_name))
            found = sweep.check(folder, status, message, report["fired"] == 1)
            row = tally.setdefault(kind, dict(runs=0, reported=0, unreported=0, damaged=0,
                                              lost=0, partial=0, replaced=0))
            row["runs"] += 1
            row["reported"] += status != 0 and bool(message)
            row["unreported"] += "unreported" in found or "silent" in found
            row["damaged"] += "damaged" in found or "unreadable output" in found
            row["lost"] += "rows lost" in found
            row["partial"] += "partial" in found
            row["replaced"] += "replaced file changed" in found
            if found:
                failures.append("%s #%d %s: exit %d, %s; %r" % (kind, number, errno_name, status,
                                                               ", ".join(sorted(found)), message))
        print("%-12s %-9s %5s %9s %11s %8s %9s %8s %9s" % (
            "command", "fault", "runs", "reported", "unreported", "damaged", "rows lost",
            "partial", "replaced"))
        for kind in KINDS:
            if kind in tally:
                r = tally[kind]
                print("%-12s %-9s %5d %9d %11d %8d %9d %8d %9d" % (
                    command, kind, r["runs"], r["reported"], r["unreported"], r["damaged"],
                    r["lost"], r["partial"], r["replaced"]))
        for line in failures:
            print("FAIL:", line)
        if failures:
            sys.exit(1)
    finally:
        sim.stop()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
