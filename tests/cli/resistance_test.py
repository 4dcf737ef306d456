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
    expect("(k = 2), м²·К/Вт %s ± " % r0 in flat, "R0 %s not in the protocol:\n%s" % (r0, text))
    expect("Вывод соответствует" in flat, "verdict not in the protocol")
    expect("Таблица измерений wall" in flat and "Строк в расчёте 720" in flat, text)
    left = set(os.listdir(WORK)) - {"wall.db", "served.img", "sim.log"}
    expect(left == {"протокол.pdf"}, "files beside the protocol: %r" % left)
    code, _, err = cli("resistance", TABLE, "--pdf", os.path.join(WORK, "no", "p.pdf"))
    expect(code == 1 and "p.pdf" in err, "a protocol in a missing folder: %d %s" % (code, err))


def case_heavy_wall_under_warming():
    # 800 kJ/(m²·K) and +3 K/day: the average is biased, the dynamic method is not.
    fetch_wall("--wall", "1.0", "--days", "3", "--mass", "800", "--warming", "3")
    got = resistance_json()
    expect(got["days"] == 3 and got["min_dt"] == 10, "days %r" % got)
    [q1] = got["channels"]
    expect(abs(q1["R0"] - 1.0) > 0.03, "average R0 %r within 3 %% of 1.0" % q1["R0"])
    expect(q1["storage_drift"] is True, "no storage drift")
    dynamic = q1["dynamic"]
    expect(dynamic is not None and abs(dynamic["R0"] - 1.0) <= 0.03, "dynamic %r" % dynamic)
    expect(dynamic["low"] <= dynamic["R0"] <= dynamic["high"], "interval %r" % dynamic)
    expect(len(dynamic["time_constants_h"]) == 2, "time constants %r" % dynamic)
    u = q1["uncertainty"]
    parts = u["components"]
    relative = 2 * (parts["flux"] ** 2 + parts["temperature"] ** 2 + parts["scatter"] ** 2) ** 0.5
    expect(abs(u["relative"] - relative) < 1e-12 and abs(u["R0"] - relative * q1["R0"]) < 1e-12,
           "uncertainty %r" % u)
    expect(parts["flux"] == 0.05, "flux uncertainty %r" % parts)
    difference = q1["criteria"]["temperature_difference"]
    expect(difference["minimum"] == 10 and difference["pass"] == (difference["mean_dt"] >= 10),
           "difference %r" % difference)
    expect(got["mean"] is None, "mean of one channel")
    # Ten steady days of the same heavy wall: the average is within 2 %.
    fetch_wall("--wall", "1.0", "--days", "10", "--mass", "800")
    steady = resistance_json("--no-dynamic")
    expect(abs(steady["channels"][0]["R0"] - 1.0) <= 0.02, "steady R0 %r" % steady)


def case_light_wall_dynamic_and_condition():
    fetch_wall("--wall", "1.5", "--days", "5")
    got = resistance_json()
    q1 = got["channels"][0]
    expect(abs(q1["dynamic"]["R0"] - 1.5) / 1.5 <= 0.005, "dynamic %r" % q1["dynamic"])
    expect(q1["dynamic"]["accepted"] and not q1["storage_drift"], "verdict %r" % q1)
    mean_dt = q1["criteria"]["temperature_difference"]["mean_dt"]
    strict = resistance_json("--min-dt", str(mean_dt + 1), "--no-dynamic")
    criteria = strict["channels"][0]["criteria"]
    expect(not criteria["temperature_difference"]["pass"] and not criteria["conforms"],
           "a minimum above the mean conforms: %r" % criteria)
    expect(strict["channels"][0]["dynamic"] is None, "--no-dynamic")


def case_long_series_is_thinned():
    # 26 days at 10 min: 3744 rows, at most 2000 points in the JSON unless asked for all.
    fetch_wall("--wall", "2.0", "--days", "26")
    got = resistance_json("--longest")
    series = got["channels"][0]["cumulative"]
    times = got["cumulative_times"]
    expect(len(series) == len(times) and 1000 < len(series) <= 2000, "points %d" % len(series))
    expect(times[-1] == got["window"]["to"], "series ends at %r" % times[-1])
    expect(abs(series[-1] - got["channels"][0]["R0"]) < 1e-12, "series ends at R0")
    full = resistance_json("--full-series")
    expect(len(full["channels"][0]["cumulative"]) == full["rows_used"], "full series")


def case_usage_and_unreadable_table():
    with open(TABLE, "wb") as f:
        f.write(b"not a table")
    for arguments, wanted in (([TABLE, "--pdf"], 1), ([TABLE, "--alpha-in", "0"], 1),
                              ([TABLE, "--min-dt", "-1"], 1),
                              ([], 1), ([TABLE], 2), ([TABLE + ".missing"], 2)):
        code, _, err = cli("resistance", *arguments)
        expect(code == wanted, "%r: exit %d instead of %d: %s" % (arguments, code, wanted, err))


globals()["case_" + CASE]()
print("ok")
