"""zond8t-cli fetch against hostile lines: each ends within its limit with its message, exit 2,
no table, and without spinning (CPU time of the whole run well under the time it waited).

Run as: hostile_line_test.py CLI CASE."""
import os
import subprocess
import sys
import tempfile
import time

from hostile_line import HostileLine
from sim_process import expect

CLI, CASE = sys.argv[1], sys.argv[2]
NO_INSTRUMENT = "Прибор не обнаружен!"
WRONG = "Вы подключили не тот прибор !"
LOST = "Связь с прибором прервана"
IDLE = "no character from the line for too long"
OVERALL = "the overall time limit of 5 s has passed"

# mode: (options, longest run in seconds, texts of which stderr holds at least one)
CASES = {
    "silence": ([], 8, [NO_INSTRUMENT + " ", "нет ответа в течение 3 с"]),
    "header_then_silence": (["--idle-timeout", "5"], 7, [IDLE]),
    "endless_zap": (["--timeout", "5"], 7, [OVERALL]),
    "random_bytes": (["--timeout", "5"], 7, [WRONG, OVERALL]),
    "random_without_markers": (["--timeout", "5"], 7, [WRONG]),
    "hang_up_in_header": (["--timeout", "5"], 2, [LOST]),
    "hang_up_in_data": (["--timeout", "5"], 2, [LOST]),
    "endless_data": (["--timeout", "5"], 7, [OVERALL]),
    "count_beyond_data": (["--idle-timeout", "5"], 7, [IDLE]),
}


def run(mode):
    options, limit, texts = CASES[mode]
    work = tempfile.mkdtemp(prefix="zond-hostile-")
    table = os.path.join(work, "t.db")
    env = dict(os.environ, XDG_CONFIG_HOME=work)
    line = HostileLine(mode)
    started = time.monotonic()
    child = subprocess.Popen([CLI, "fetch", "--port", line.device, *options, table], env=env,
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    # The child's CPU time comes from wait4; stderr is read afterwards (it is small).
    deadline = started + limit + 10
    while True:
        pid, status, usage = os.wait4(child.pid, os.WNOHANG)
        if pid != 0 or time.monotonic() > deadline:
            break
        time.sleep(0.05)
    elapsed = time.monotonic() - started
    if pid == 0:
        child.kill()
        child.wait()
        line.stop()
        expect(False, "%s: still running after %.1f s" % (mode, elapsed))
    err = child.stderr.read().decode()
    line.stop()
    code = os.waitstatus_to_exitcode(status)
    cpu = usage.ru_utime + usage.ru_stime
    print("%s: exit %d after %.2f s, CPU %.3f s\n%s" % (mode, code, elapsed, cpu, err))
    expect(code == 2, "%s: exit %d instead of 2" % (mode, code))
    expect(elapsed <= limit, "%s: took %.1f s, more than %d s" % (mode, elapsed, limit))
    expect(any(text in err for text in texts), "%s: stderr lacks %r" % (mode, texts))
    expect(not os.path.exists(table), "%s: a table was created" % mode)
    expect(cpu < 1.0, "%s: %.2f s of CPU time" % (mode, cpu))


run(CASE)
