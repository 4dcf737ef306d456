"""Kills zond8t-cli with SIGKILL at seeded random moments while it writes a table, and checks that
the table still opens and holds every row committed before the command.

usage: crash_test.py CLI SIM SCENARIO POINTS

  append  a full memory (3854 records) appended to a table of 3854 rows: rows added before the
          kill may be present, each as a complete run imports it
  fetch   a full memory fetched into the name of an existing table: the old table stays (or a
          complete new one replaces it)
  pack    rows deleted and the table packed: all the old rows, or all but the deleted ones
  export  the table exported to an .xlsx workbook: the old workbook stays, or a complete one

After a kill that left a temporary file beside the table or the workbook (pack, export), the
next run on that target must remove it."""
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "cli"))
from fault_sweep import output_readable, table_rows  # noqa: E402
from sim_process import Sim  # noqa: E402

FULL = "3854"


def main():
    cli, sim_program = (os.path.abspath(p) for p in sys.argv[1:3])
    scenario, points = sys.argv[3], int(sys.argv[4])
    work = tempfile.mkdtemp(prefix="crash_test_")
    old_memory = Sim(sim_program, os.path.join(work), "--records", FULL, "--seed", "5")
    os.makedirs(os.path.join(work, "new"))
    new_memory = Sim(sim_program, os.path.join(work, "new"), "--records", FULL, "--seed", "6",
                     "--start", "01.06.2012 08:00:00")
    try:
        base = os.path.join(work, "base.db")
        subprocess.run([cli, "fetch", "--port", old_memory.device, base], check=True,
                       capture_output=True)
        table = os.path.join(work, "table.db")
        book = os.path.join(work, "table.xlsx")
        args = {
            "append": ["append", "--port", new_memory.device, table],
            "fetch": ["fetch", "--port", new_memory.device, table],
            "pack": ["delete", table, *[str(n) for n in range(1, 3854, 7)]],
            "export": ["export", table, book],
        }[scenario]
        # The next run on the same target, which must remove what a killed one left.
        next_run = {"pack": ["delete", table, "1"], "export": ["export", table, book]}.get(scenario)

        def leftovers():
            return [n for n in os.listdir(work) if n.startswith(".zond-")]

        def run(kill_after=None):
            shutil.copy(base, table)
            for leftover in os.listdir(work):
                if leftover.startswith("table") and leftover != "table.db":
                    os.remove(os.path.join(work, leftover))
            started = time.monotonic()
            process = subprocess.Popen([cli, *args], stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
            if kill_after is not None:
                try:
                    process.wait(timeout=kill_after)
                except subprocess.TimeoutExpired:
                    process.send_signal(signal.SIGKILL)
            status = process.wait()
            return status, time.monotonic() - started

        before = table_rows(base)
        status, duration = run()
        assert status == 0, "%s without a kill ended with %d" % (scenario, status)
        complete = table_rows(table)
        print("%s: %d rows before, %d after a complete run of %.2f s" % (
            scenario, len(before), len(complete), duration))

        rng = random.Random(scenario)
        counts = {"killed": 0, "finished": 0, "damaged": 0, "rows lost": 0, "left over": 0,
                  "removed by the next run": 0}
        failures = []
        for point in range(points):
            moment = rng.uniform(0, duration * 1.1)
            status, _ = run(moment)
            counts["killed" if status == -signal.SIGKILL else "finished"] += 1
            rows = table_rows(table)
            if rows is None:
                counts["damaged"] += 1
                failures.append("kill at %.3f s: the table does not open" % moment)
                continue
            if scenario == "append":
                kept = rows[:len(before)] == before and \
                    rows[len(before):] == complete[len(before):len(rows)]
            else:
                kept = rows in (before, complete)
            if not kept:
                counts["rows lost"] += 1
                failures.append("kill at %.3f s: %d rows, not the %d before or the %d after" % (
                    moment, len(rows), len(before), len(complete)))
            if scenario == "export" and os.path.exists(book) and not output_readable(book):
                counts["damaged"] += 1
                failures.append("kill at %.3f s: the workbook does not open" % moment)
            if next_run and leftovers():
                counts["left over"] += 1
                subprocess.run([cli, *next_run], check=True, capture_output=True)
                if leftovers():
                    failures.append("kill at %.3f s: the next run left %s" % (moment,
                                                                              leftovers()))
                else:
                    counts["removed by the next run"] += 1
        print("%s: %d points: %s" % (scenario, points, ", ".join(
            "%s %d" % item for item in counts.items())))
        for line in failures:
            print("FAIL:", line)
        sys.exit(1 if failures else 0)
    finally:
        old_memory.stop()
        new_memory.stop()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
