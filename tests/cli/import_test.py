"""zond8t-cli fetch TABLE, append and stats against zond-sim, tables read back by python3-dbfread.

Run as: import_test.py CLI SIM CASE. The expected rows are decoded here from the image the
emulator served, following the instrument's record layout rule by rule.
"""
import datetime
import math
import os
import shutil
import subprocess
import sys
import tempfile

from dbfread import DBF

from sim_process import Sim, expect

CLI, SIM, CASE = sys.argv[1], sys.argv[2], sys.argv[3]
WORK = tempfile.mkdtemp(prefix="zond-import-")
TABLE = os.path.join(WORK, "obj1.db")
ADDED = "Добавлено записей в базовый метод: "
SENSORS = {0: "НЕТ", 1: "диам. 27 мм", 2: "12X80", 3: "20X80", 4: "40X80", 5: "110X110",
           6: "10X52"}


def start_sim(*options):
    return Sim(SIM, WORK, *options)


def cli(*arguments):
    done = subprocess.run([CLI, *arguments], capture_output=True, text=True, timeout=60)
    return done.returncode, done.stdout, done.stderr


# --- the record layout, written out ---------------------------------------------------------

def word(image, position):
    return image[position] | image[position + 1] << 8


def round_tenths(raw):
    return ((raw + 5) // 10) / 10.0


def temperature(raw):
    if raw == 0x7D01:
        return 3200.1
    if raw & 0x8000:
        return -round_tenths(65536 - raw)
    return round_tenths(raw)


def general_text(value, separator):
    text = repr(float("%.15g" % value))
    if text.endswith(".0"):
        text = text[:-2]
    if text == "-0":
        text = "0"
    return text.replace(".", separator)


def temperature_text(value, separator):
    if value < -40:
        return "-40"
    if value > 320:
        return ">320.0"
    return general_text(value, separator)


def flux(raw, version):
    if version <= 70514:
        return round_tenths(raw)
    if version == 90818:
        return raw / 10.0
    return float(raw)


def two(value, low, high, tail, fallback):
    return "%02d%s" % (value, tail) if low <= value <= high else fallback


def expected_rows(image, version, sensors, separator, first=0):
    codes = [6 if c == 2 else c for c in sensors]  # new firmware reports 10X52 as 2
    if codes[1] == 0 and codes[2] == 0:
        type_text = SENSORS[codes[0]]
    else:
        type_text = "/".join(SENSORS[c] for c in codes)
    rows = []
    count = min(word(image, 0), (len(image) - 2) // 17)
    for k in range(first, count):
        r = image[2 + 17 * k: 2 + 17 * (k + 1)]
        time = two(r[7], 0, 23, ":", "00:") + two(r[6], 0, 59, ":", "00:") + two(r[5], 0, 59, "", "00")
        date = two(r[8], 1, 31, ".", "01.") + two(r[9], 1, 12, ".", "01.") + str(2000 + r[10])
        day, month, year = (int(p) for p in date.split("."))
        hour, minute, second = (int(p) for p in time.split(":"))
        seconds = (datetime.date(year, month, day).toordinal() * 86400 + hour * 3600
                   + minute * 60 + second)
        rows.append({
            "N": k + 1,
            "MODE": "Наблюдения" if r[0] & 0x80 else "Оперативный",
            "CHANNEL": r[0] & 7,
            "EN_CH": sum(1 for c in sensors if c),
            "DATE": date,
            "TIME": time,
            "TIME_SEC": str(seconds),
            "TYPE": type_text,
            "TAVIS_1": flux(word(r, 11), version),
            "TAVIS_2": flux(word(r, 13), version),
            "TAVIS_3": flux(word(r, 15), version),
            "T_IN": temperature_text(temperature(word(r, 1)), separator),
            "T_EXT": temperature_text(temperature(word(r, 3)), separator),
            "COMMENT": "",
        })
    return rows


def table_rows():
    return [dict(row) for row in DBF(TABLE, encoding="cp1251")]


def expect_rows(expected):
    got = table_rows()
    expect(len(got) == len(expected), "%d rows instead of %d" % (len(got), len(expected)))
    for index, (have, want) in enumerate(zip(got, expected)):
        for field, value in want.items():
            expect(have[field] == value, "row %d field %s: %r instead of %r"
                   % (index + 1, field, have[field], value))


# --- cases ------------------------------------------------------------------------------------

def fetch_then_append(version_option, version, sensors, separator):
    common = ["--start", "18.08.2009 12:15:30", "--interval", "601", "--seed", "3",
              "--sensors", ",".join(map(str, sensors)), "--version", version_option]
    sim = start_sim("--records", "40", *common)
    code, out, err = cli("fetch", "--port", sim.device, "--decimal-separator", separator, TABLE)
    first = sim.image()
    sim.stop()
    expect(code == 0, "fetch exit %d: %s" % (code, err))
    expect_rows(expected_rows(first, version, sensors, separator))

    # The instrument has gained 30 records since.
    sim = start_sim("--records", "70", *common)
    code, out, err = cli("append", "--port", sim.device, "--decimal-separator", separator, TABLE)
    expect(code == 0, "append exit %d: %s" % (code, err))
    expect(out == ADDED + "30\n", "append printed %r" % out)
    second = sim.image()
    expect_rows(expected_rows(first, version, sensors, separator)
                + expected_rows(second, version, sensors, separator, first=40))

    code, out, err = cli("append", "--port", sim.device, TABLE)
    sim.stop()
    expect(code == 0 and out == ADDED + "0\n", "second append: %d %r %s" % (code, out, err))
    expect(len(table_rows()) == 70, "rows after the second append")


def case_tenths_version_comma():
    fetch_then_append("9.8.18", 90818, [3, 3, 0], ",")


def case_hundredths_version_substitution():
    fetch_then_append("7.5.14", 70514, [1, 2, 0], ".")


def case_raw_version_one_channel():
    fetch_then_append("9.8.19", 90819, [4, 0, 0], ",")


def case_stats_match_the_rows():
    sim = start_sim("--records", "25", "--seed", "9", "--sensors", "3,3,3")
    code, out, err = cli("fetch", "--port", sim.device, TABLE)
    sim.stop()
    expect(code == 0, "fetch exit %d: %s" % (code, err))
    code, out, err = cli("stats", "--decimal-separator", ",", TABLE)
    expect(code == 0, "stats exit %d: %s" % (code, err))
    rows = table_rows()
    lines = []
    for field in ("TAVIS_1", "TAVIS_2", "TAVIS_3"):
        values = [row[field] for row in rows]
        average = math.trunc(sum(values) / len(values) / 0.1 + 0.5) * 0.1
        lines.append("%s\t%s/%s/%s" % (field, general_text(min(values), ","),
                                        general_text(average, ","), general_text(max(values), ",")))
    expect(out == "\n".join(lines) + "\n", "stats printed %r, expected %r" % (out, lines))


def replay(stored):
    path = os.path.join(WORK, "stored.img")
    with open(path, "wb") as f:
        f.write(stored)
    return start_sim("--image", path, "--sensors", "1,0,0")


def record(day, month, hour, minute, flux1):
    return bytes([0, 0x29, 0x09, 0x9C, 0xFF, 0, minute, hour, day, month, 9,
                  flux1 & 0xFF, flux1 >> 8, 0, 0, 0, 0])


def case_bad_date_keeps_the_rows_before_it():
    # The second record's date is impossible: fetch keeps the first as a new table, append adds
    # the records before the bad one, and both name it and say how many rows were kept.
    good = record(30, 4, 10, 0, 1)
    bad = record(31, 4, 10, 0, 2)
    expect(cli("create", TABLE)[0] == 0, "create")
    sim = replay(bytes([3, 0]) + good + bad + record(1, 5, 10, 0, 3))
    code, out, err = cli("fetch", "--port", sim.device, TABLE)
    sim.stop()
    expect(code == 1, "fetch exit %d instead of 1" % code)
    expect("'31.04.2009 10:00:00' is not a valid date and time" in err, "stderr: %s" % err)
    expect("записи № 2 (31.04.2009 10:00:00)" in err and "Сохранено записей до неё: 1." in err,
           "stderr: %s" % err)
    expect([row["N"] for row in table_rows()] == [1], "rows %r" % table_rows())
    left = [name for name in os.listdir(WORK) if name.startswith(".obj1.db")]
    expect(not left, "left: %r" % left)

    sim = replay(bytes([5, 0]) + good + record(30, 4, 11, 0, 4) + record(30, 4, 12, 0, 5) + bad
                 + record(1, 5, 10, 0, 6))
    code, out, err = cli("append", "--port", sim.device, TABLE)
    sim.stop()
    expect(code == 1, "append exit %d instead of 1" % code)
    expect("записи № 4 (31.04.2009 10:00:00)" in err and "Сохранено записей до неё: 2." in err,
           "stderr: %s" % err)
    expect([row["N"] for row in table_rows()] == [1, 2, 3], "rows %r" % table_rows())


def case_count_beyond_the_records_sent():
    # The count promises 5 records, the block carries 2 and a half.
    stored = bytes([5, 0]) + record(1, 5, 10, 0, 1) + record(1, 5, 11, 0, 2) + bytes(8)
    sim = replay(stored)
    code, out, err = cli("fetch", "--port", sim.device, TABLE)
    sim.stop()
    expect(code == 0, "exit %d: %s" % (code, err))
    expect([row["N"] for row in table_rows()] == [1, 2], "rows %r" % table_rows())
    expect("Прибор сообщил о 5 записях, а получено только 2." in err, "stderr: %s" % err)


def case_failed_transfer_creates_and_changes_nothing():
    code, out, err = cli("fetch", "--port", "/dev/zond-test-no-port", TABLE)
    expect(code == 2 and not os.path.exists(TABLE), "fetch exit %d: %s" % (code, err))
    expect(cli("create", TABLE)[0] == 0, "create")
    before = open(TABLE, "rb").read()
    code, out, err = cli("append", "--port", "/dev/zond-test-no-port", TABLE)
    expect(code == 2 and out == "", "append exit %d: %r" % (code, out))
    expect(open(TABLE, "rb").read() == before, "the table changed")
    code, out, err = cli("append", "--port", "/dev/zond-test-no-port",
                         os.path.join(WORK, "missing.db"))
    expect(code == 1 and err, "append to a missing table: exit %d" % code)


def case_fetch_replaces_an_existing_file():
    with open(TABLE, "wb") as f:
        f.write(b"not a table at all")
    sim = start_sim("--records", "3")
    code, out, err = cli("fetch", "--port", sim.device, TABLE)
    sim.stop()
    expect(code == 0, "exit %d: %s" % (code, err))
    expect(len(table_rows()) == 3, "rows after replacing")


globals()["case_" + CASE]()
shutil.rmtree(WORK)
print("ok", CASE)
