"""zond8t-cli resistance on tables fetched from zond-sim --wall, its JSON read back by Python.

Run as: resistance_test.py CLI SIM CASE.
"""
import json
import os
import subprocess
import sys
import tempfile

from sim_process import Sim, expect

CLI, SIM, CASE = sys.argv[1], sys.argv[2], sys.argv[3]
WORK = tempfile.mkdtemp(prefix="zond-resistance-")
TABLE = os.path.join(WORK, "wall.db")


def cli(*arguments):
    done = subprocess.run([CLI, *arguments], capture_output=True, text=True, timeout=60)
    return done.returncode, done.stdout, done.stderr


def fetch_wall(*options):
    sim = Sim(SIM, WORK, *options)
    code, _, err = cli("fetch", "--port", sim.device, "--decimal-separator", ",", TABLE)
    sim.stop()
    expect(code == 0, "fetch exit %d: %s" % (code, err))


def resistance_json(*arguments):
    code, out, err = cli("resistance", TABLE, "--json", *arguments)
    expect(code == 0, "resistance exit %d: %s" % (code, err))
    return json.loads(out)


def case_wall_is_recovered_and_conforms():
    fetch_wall("--wall", "3.2", "--days", "5")
    got = resistance_json("--longest")
    expect(got["rows_used"] == 720 and got["rows_excluded"] == 0, "rows %r" % got)
    expect(got["interval_s"] == 600 and got["days"] == 5, "interval and days %r" % got)
    expect(got["window"]["from"] == "01.10.2009 08:00:00", "window %r" % got["window"])
    [q1] = got["channels"]
    expect(q1["channel"] == "q1", "channel %r" % q1["channel"])
    expect(abs(q1["R0"] - 3.2) / 3.2 <= 0.02, "R0 %r is not within 2 %% of 3.2" % q1["R0"])
    expect(abs(q1["U"] * q1["R0"] - 1) < 1e-12, "U is not 1/R0")
    expect(abs(q1["Rk"] - (q1["R0"] - 1 / 8.7 - 1 / 23)) < 1e-12, "Rk")
    expect(len(q1["daily"]) == 5 and len(q1["cumulative"]) == 720, "series lengths")
    expect(abs(q1["cumulative"][-1] - q1["R0"]) < 1e-12, "the cumulative R ends at R0")
    criteria = q1["criteria"]
    expect(criteria["conforms"] and criteria["duration"] == {"days": 5, "pass": True},
           "criteria %r" % criteria)
    expect(criteria["thirds"]["deviation"] < 0.05, "thirds %r" % criteria["thirds"])
    expect(got["longest"]["days"] == 5, "longest %r" % got["longest"])


def case_rows_and_coefficients():
    fetch_wall("--wall", "1.5", "--days", "2", "--interval", "1200")
    got = resistance_json("--rows", "1-72", "--alpha-in", "10", "--alpha-out", "20")
    expect(got["rows_used"] == 72 and got["days"] == 1, "rows %r" % got)
    q1 = got["channels"][0]
    expect(abs(q1["Rk"] - (q1["R0"] - 0.1 - 0.05)) < 1e-12, "Rk with the given coefficients")
    expect(q1["criteria"]["last_day"]["deviation"] is None, "C2 with one day is undefined")
    expect(not q1["criteria"]["conforms"], "one day conforms")
    expect(got["longest"] is None, "longest without --longest")
    code, out, _ = cli("resistance", TABLE, "--decimal-separator", ",")
    expect(code == 0 and "✗ C1" in out and "Измерение не соответствует" in out, out)


def case_pdf_protocol():
    fetch_wall("--wall", "3.2", "--days", "5")
    pdf = os.path.join(WORK, "протокол.pdf")
    got = resistance_json("--decimal-separator", ",", "--pdf", pdf)
    text = subprocess.run(["pdftotext", pdf, "-"], capture_output=True, text=True,
                          check=True).stdout
    flat = " ".join(text.split())
    q1 = got["channels"][0]
    r0 = ("%.3f" % q1["R0"]).replace(".", ",")
    expect("R₀, м²·К/Вт " + r0 in flat, "R0 %s not in the protocol:\n%s" % (r0, text))
    expect("Вывод соответствует" in flat, "verdict not in the protocol")
    expect("Таблица измерений wall" in flat and "Строк в расчёте 720" in flat, text)
    left = set(os.listdir(WORK)) - {"wall.db", "served.img", "sim.log"}
    expect(left == {"протокол.pdf"}, "files beside the protocol: %r" % left)
    code, _, err = cli("resistance", TABLE, "--pdf", os.path.join(WORK, "no", "p.pdf"))
    expect(code == 1 and "p.pdf" in err, "a protocol in a missing folder: %d %s" % (code, err))


def case_usage_and_unreadable_table():
    with open(TABLE, "wb") as f:
        f.write(b"not a table")
    for arguments, wanted in (([TABLE, "--pdf"], 1), ([TABLE, "--alpha-in", "0"], 1),
                              ([], 1), ([TABLE], 2), ([TABLE + ".missing"], 2)):
        code, _, err = cli("resistance", *arguments)
        expect(code == wanted, "%r: exit %d instead of %d: %s" % (arguments, code, wanted, err))


globals()["case_" + CASE]()
print("ok")
