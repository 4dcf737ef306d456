"""What zond8t-cli's outputs may replace, and what their texts hold, read back by Python.

Run as: output_safety_test.py CLI SIM CASE. Tables come from zond-sim; every refusal must name
the file and leave it byte-identical.
"""
import csv
import fcntl
import os
import shutil
import stat
import struct
import subprocess
import sys
import tempfile

import openpyxl

from sim_process import Sim, expect

CLI, SIM, CASE = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), sys.argv[3]
WORK = tempfile.mkdtemp(prefix="zond-outputs-")
SOURCE = os.path.join(WORK, "s.db")


def cli(*arguments, env=None):
    done = subprocess.run([CLI, *arguments], capture_output=True, text=True, timeout=60, cwd=WORK,
                          env=env)
    return done.returncode, done.stdout, done.stderr


def fetch_table(path, *sim_options):
    sim = Sim(SIM, WORK, "--records", "40", "--seed", "5", *sim_options)
    code, _, err = cli("fetch", "--port", sim.device, path)
    sim.stop()
    expect(code == 0, "fetch exit %d: %s" % (code, err))


def read(path):
    with open(path, "rb") as f:
        return f.read()


def field_offsets(data):
    """Field name -> (offset in the record, width), from the dBase header."""
    fields, offset, at = {}, 1, 32
    while data[at] != 0x0D:
        name = data[at:at + 11].split(b"\0")[0].decode()
        fields[name] = (offset, data[at + 16])
        offset += data[at + 16]
        at += 32
    return fields


def set_comments(path, comments):
    data = bytearray(read(path))
    header, record = struct.unpack_from("<HH", data, 8)
    offset, width = field_offsets(data)["COMMENT"]
    for row, text in enumerate(comments):
        at = header + row * record + offset
        data[at:at + width] = text.encode("cp1251").ljust(width)
    with open(path, "wb") as f:
        f.write(data)


def expect_refused(arguments, path, what, named=True):
    before = read(path) if os.path.isfile(path) else None
    code, out, err = cli(*arguments)
    expect(code != 0, "%s: exit 0 for %s (%s)" % (what, arguments, out))
    expect(not named or os.path.basename(path) in err,
           "%s: the refusal does not name %s: %s" % (what, path, err))
    if before is not None:
        expect(read(path) == before, "%s: %s changed" % (what, path))
    return err


def temporary_name(target, pid, n):
    """The name a writer gives its temporary: a hash of the target's name, then PID and count."""
    h = 2166136261
    for byte in os.path.basename(target).encode():
        h = ((h ^ byte) * 16777619) & 0xFFFFFFFF
    return os.path.join(os.path.dirname(target), ".zond-%08x-%d-%d.tmp" % (h, pid, n))


def case_outputs_never_replace_tables():
    fetch_table(SOURCE)
    other = os.path.join(WORK, "t.db")
    shutil.copy(SOURCE, other)
    expect_refused(["report", SOURCE, other], other, "report over a table")
    expect_refused(["report", SOURCE, SOURCE], SOURCE, "report over its input")
    expect_refused(["resistance", SOURCE, "--pdf", other], other, "protocol over a table")
    expect_refused(["chart", SOURCE, SOURCE], SOURCE, "chart over its input")
    expect_refused(["fetch", "--port", "/dev/zond-none", "--log", other], other, "log over a table")
    expect_refused(["fetch", "--port", "/dev/zond-none", "--image-out", other], other,
                   "image over a table")
    # Held by another program: a table, and a document it has locked.
    held = os.path.join(WORK, "held.pdf")
    with open(held, "wb") as f:
        f.write(b"theirs")
    with open(other, "rb") as table_lock, open(held, "rb") as pdf_lock:
        fcntl.flock(table_lock, fcntl.LOCK_SH)
        fcntl.flock(pdf_lock, fcntl.LOCK_EX)
        expect_refused(["report", SOURCE, other], other, "report over a held table")
        err = expect_refused(["report", SOURCE, held], held, "report over a held file")
        expect("открыт другой программой" in err, err)
    leftovers = [n for n in os.listdir(WORK) if n.startswith(".zond-")]
    expect(not leftovers, "left behind: %s" % leftovers)


def case_special_targets_mode_and_links():
    fetch_table(SOURCE)
    fifo = os.path.join(WORK, "pipe.csv")
    os.mkfifo(fifo)
    folder = os.path.join(WORK, "folder.csv")
    os.mkdir(folder)
    for target in (fifo, folder):
        err = expect_refused(["export", SOURCE, target], target, "export to " + target)
        expect("не обычный файл" in err, err)
    for target in ("/dev/null", "/dev/full"):
        err = expect_refused(["report", SOURCE, target], target, "report to " + target)
        expect("не обычный файл" in err, err)
    expect(stat.S_ISCHR(os.stat("/dev/full").st_mode), "/dev/full is no device any more")
    expect(stat.S_ISFIFO(os.stat(fifo).st_mode) and os.path.isdir(folder), "a target changed")

    private = os.path.join(WORK, "private.csv")
    with open(private, "w") as f:
        f.write("old")
    os.chmod(private, 0o600)
    if os.geteuid() == 0:  # the superuser gives the new file the old one's owner too
        os.chown(private, 65534, 65534)
    code, _, err = cli("export", SOURCE, private)
    expect(code == 0, err)
    info = os.stat(private)
    expect(stat.S_IMODE(info.st_mode) == 0o600, "mode %o" % info.st_mode)
    expect(os.geteuid() != 0 or (info.st_uid, info.st_gid) == (65534, 65534), "owner changed")

    real = os.path.join(WORK, "real.xlsx")
    link = os.path.join(WORK, "link.xlsx")
    with open(real, "w") as f:
        f.write("old")
    os.symlink("real.xlsx", link)
    code, _, err = cli("export", SOURCE, link)
    expect(code == 0, err)
    expect(os.path.islink(link) and os.readlink(link) == "real.xlsx", "the link was replaced")
    book = openpyxl.load_workbook(real, read_only=True)
    expect(book.worksheets[0].max_row == 41, "rows in the linked workbook")


def case_long_cyrillic_name_and_leftovers():
    fetch_table(SOURCE)
    name = "ж" * 118 + "яя"
    for extension in (".xlsx", ".csv"):
        target = os.path.join(WORK, name + extension)
        expect(len(os.path.basename(target).encode()) == 244 + len(extension) - 4, "name length")
        # A killed export's temporary, and one a running export holds.
        abandoned = temporary_name(target, 99999, 1)
        held = temporary_name(target, 99998, 1)
        for path in (abandoned, held):
            with open(path, "wb") as f:
                f.write(b"partial")
        with open(held, "rb") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            code, out, err = cli("export", SOURCE, target)
            expect(code == 0, "export to a 244-byte name: %s" % err)
            expect(not os.path.exists(abandoned), "a killed export's temporary stayed")
            expect(os.path.exists(held), "a running export's temporary was removed")
        os.remove(held)
    book = openpyxl.load_workbook(os.path.join(WORK, name + ".xlsx"), read_only=True)
    expect(book.worksheets[0].max_row == 41, "rows of the long-named workbook")
    code, _, err = cli("export", SOURCE, os.path.join(WORK, "ж" * 130 + ".csv"))
    expect(code != 0 and "имя файла длиннее" in err, "too long a name: %s" % err)


def case_csv_formulas_and_unmeasured_channels():
    fetch_table(SOURCE, "--sensors", "3,0,0")
    comments = ["=HYPERLINK(\"http://x\")", "+7 (812) 555-00-00", "-минус", "@SUM(A1)", "обычный"]
    set_comments(SOURCE, comments)
    out = os.path.join(WORK, "out.csv")
    code, _, err = cli("export", SOURCE, out)
    expect(code == 0, err)
    with open(out, encoding="utf-8-sig", newline="") as f:
        rows = list(csv.reader(f, delimiter=";"))
    got = [row[10] for row in rows[1:6]]
    expected = ["'" + c for c in comments[:4]] + [comments[4]]
    expect(got == expected, "comments read back: %r" % got)
    for row in rows[1:]:
        expect(all(not cell.startswith("'") for cell in row[:10]), "a number changed: %r" % row)
        expect(row[5] != "" and row[6] == "" and row[7] == "", "q columns of one channel: %r" % row)
    negative = [row for row in rows[1:] if row[9].startswith("-")]
    expect(negative or all(not row[9].startswith("'") for row in rows[1:]), "temperatures")

    book = os.path.join(WORK, "out.xlsx")
    code, _, err = cli("export", SOURCE, book)
    expect(code == 0, err)
    sheet = openpyxl.load_workbook(book, read_only=True).worksheets[0]
    for row in list(sheet.iter_rows(min_row=2, values_only=True)):
        expect(isinstance(row[5], (int, float)) and row[6] is None and row[7] is None,
               "q columns of one channel in .xlsx: %r" % (row,))


def case_log_appends():
    log = os.path.join(WORK, "transfer.log")
    with open(log, "w") as f:
        f.write("an earlier transfer\n")
    sim = Sim(SIM, WORK, "--records", "5")
    code, _, err = cli("fetch", "--port", sim.device, "--log", log)
    sim.stop()
    expect(code == 0, err)
    text = open(log, encoding="utf-8").read()
    expect(text.startswith("an earlier transfer\n") and len(text) > 100, "log: %r" % text[:200])


def case_renumber_refuses_big_tables():
    fetch_table(SOURCE)
    data = bytearray(read(SOURCE))
    count = struct.unpack_from("<I", data, 4)[0]
    header, record = struct.unpack_from("<HH", data, 8)
    records = data[header:header + count * record]
    copies = 10000 // count + 1
    big = data[:header] + records * copies + b"\x1a"
    struct.pack_into("<I", big, 4, count * copies)
    with open(SOURCE, "wb") as f:
        f.write(big)
    err = expect_refused(["renumber", SOURCE], SOURCE, "renumber of %d rows" % (count * copies),
                         named=False)
    expect("9999" in err, err)


def case_short_idle_timeout_keeps_the_diagnosis():
    sim = Sim(SIM, WORK, "--fault", "silent")
    config = os.path.join(WORK, "config")
    os.makedirs(os.path.join(config, "Orbelin"))
    with open(os.path.join(config, "Orbelin", "ZOND05.conf"), "w") as f:
        f.write("[1.0]\nPorts\\COM1=%s\nPorts\\COM2=/dev/zond-none\n" % sim.device)
    code, _, err = cli("fetch", "--idle-timeout", "1", env=dict(os.environ, XDG_CONFIG_HOME=config))
    sim.stop()
    expect(code == 2, "exit %d: %s" % (code, err))
    expect("нет ответа в течение 3 с" in err and "too long" not in err, err)


try:
    globals()["case_" + CASE]()
finally:
    shutil.rmtree(WORK, ignore_errors=True)
