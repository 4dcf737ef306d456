"""scripts/check-windows: compares what the installed zond8t-cli.exe wrote (WINDOWS folder) with
what the Linux build wrote for the same tables (LINUX folder), read by programs nobody here wrote:
Python's json and csv, openpyxl, pdftotext and pdffonts, ImageMagick."""
import json
import math
import os
import re
import subprocess
import sys

import openpyxl

linux, windows = sys.argv[1], sys.argv[2]
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def read(folder, name, mode="r"):
    with open(os.path.join(folder, name), mode, **({} if "b" in mode else {"encoding": "utf-8"})) as f:
        return f.read()


def same_numbers(a, b):
    """JSON values equal, numbers to 1e-9 relative (a last bit may differ between the libraries)."""
    if isinstance(a, dict) and isinstance(b, dict):
        return a.keys() == b.keys() and all(same_numbers(a[k], b[k]) for k in a)
    if isinstance(a, list) and isinstance(b, list):
        return len(a) == len(b) and all(same_numbers(x, y) for x, y in zip(a, b))
    if isinstance(a, float) or isinstance(b, float):
        return math.isclose(a, b, rel_tol=1e-9, abs_tol=1e-12)
    return a == b


# What the programs print: the same text, Windows ending its lines in CR LF.
for name in ("stats-wall.txt", "stats-memory.txt"):
    check(read(windows, name).replace("\r\n", "\n") == read(linux, name), name + " differs")
check(same_numbers(json.loads(read(windows, "resistance.json")),
                   json.loads(read(linux, "resistance.json"))), "resistance --json differs")

# The CSV export byte for byte; the workbook cell for cell (its file holds a time stamp).
check(read(windows, "Выгрузка.csv", "rb") == read(linux, "Выгрузка.csv", "rb"), "CSV export differs")
books = [openpyxl.load_workbook(os.path.join(d, "Выгрузка.xlsx"), read_only=True) for d in (linux, windows)]
check(books[0].sheetnames == books[1].sheetnames, ".xlsx sheets differ")
for sheet in books[0].sheetnames:
    rows = [list(book[sheet].iter_rows(values_only=True)) for book in books]
    check(len(rows[0]) > 1 and rows[0] == rows[1], ".xlsx sheet %s differs" % sheet)


def pdf_text(folder, name):
    text = subprocess.run(["pdftotext", "-layout", os.path.join(folder, name), "-"],
                          check=True, capture_output=True, text=True).stdout
    return " ".join(text.split())


def pdf_fonts(folder, name):
    listing = subprocess.run(["pdffonts", os.path.join(folder, name)],
                             check=True, capture_output=True, text=True).stdout
    return listing.splitlines()[2:]


# The PDFs carry fonts and the same words as Linux's (the protocol's time of printing aside).
stamp = re.compile(r"\d\d\.\d\d\.\d{4} \d\d:\d\d(:\d\d)?")
for name in ("Отчёт.pdf", "Протокол.pdf"):
    check(len(pdf_fonts(windows, name)) > 0, name + " embeds no font")
    texts = [stamp.sub("<time>", pdf_text(d, name)) for d in (linux, windows)]
    check(len(texts[1]) > 200, name + " has almost no text: %r" % texts[1][:200])
    check(texts[0] == texts[1], name + " text differs:\nLinux:   %s\nWindows: %s" % (texts[0][:600], texts[1][:600]))
    check("Стена север" in texts[1] or name != "Протокол.pdf", "the protocol does not name its table")

# The chart's labels: the axis texts below and left of the plot and the legend. Drawn from the
# same font (the installation's DejaVu Sans, Linux's own copy), they darken about as many pixels
# as Linux's; labels drawn as boxes (no font found) or not at all are far off (boxes: +76 % below,
# -86 % at the left).
def dark_pixels(folder, area):
    count = subprocess.run(["convert", os.path.join(folder, "График.png"), "-crop", area, "+repage",
                            "-colorspace", "gray", "-threshold", "60%",
                            "-format", "%[fx:int(w*h*(1-mean))]", "info:"],
                           check=True, capture_output=True, text=True).stdout
    return int(count)


for area in ("1000x110+0+590", "52x590+0+0"):
    expected, found = dark_pixels(linux, area), dark_pixels(windows, area)
    print("chart labels in %s: %d dark pixels, Linux %d" % (area, found, expected))
    check(expected > 100 and abs(found - expected) <= 0.25 * expected,
          "the chart's labels in %s differ from Linux's: %d dark pixels, not %d"
          % (area, found, expected))

for failure in failures:
    print("check-windows:", failure, file=sys.stderr)
sys.exit(1 if failures else 0)
