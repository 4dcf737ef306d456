"""zond8t-cli fetch against zond-sim on a pseudo-terminal.

Run as: fetch_test.py CLI SIM CASE. Every case starts its own emulator and its own settings
folder, so the cases can run in parallel.
"""
import datetime
import os
import subprocess
import sys
import tempfile

from sim_process import Sim, expect

CLI, SIM, CASE = sys.argv[1], sys.argv[2], sys.argv[3]
WORK = tempfile.mkdtemp(prefix="zond-fetch-")


def start_sim(*options):
    return Sim(SIM, WORK, *options)


def fetch(*arguments, com1=None):
    """Runs the CLI with settings of its own; COM2 always leads nowhere."""
    config = os.path.join(WORK, "config")
    os.makedirs(os.path.join(config, "Orbelin"), exist_ok=True)
    with open(os.path.join(config, "Orbelin", "ZOND05.conf"), "w") as f:
        f.write("[1.0]\nPorts\\COM1=%s\nPorts\\COM2=/dev/zond-test-no-port\n"
                % (com1 or "/dev/zond-test-no-port"))
    env = dict(os.environ, XDG_CONFIG_HOME=config)
    out = os.path.join(WORK, "got.img")
    if os.path.exists(out):
        os.remove(out)
    done = subprocess.run([CLI, "fetch", "--image-out", out, *arguments], env=env,
                          capture_output=True, text=True, timeout=60)
    got = open(out, "rb").read() if os.path.exists(out) else None
    return done.returncode, done.stderr, got


def success(options, via_settings=False):
    """Fetches from an emulator started with `options`; the image must be the one it served."""
    sim = start_sim(*options)
    code, err, got = fetch(com1=sim.device) if via_settings else fetch("--port", sim.device)
    served = sim.image()
    sim.stop()
    expect(code == 0, "exit %d: %s" % (code, err))
    expect(got == served, "image differs from the one served")
    return sim, got


def full_memory_of(records, via_settings):
    _, got = success(["--records", str(records), "--seed", str(records + 7), "--sensors", "1,2,0"],
                     via_settings)
    expect(len(got) == 2 + 17 * records, "image of %d bytes" % len(got))
    # The count leads the image, little-endian.
    expect(got[0] + 256 * got[1] == records, "record count in the image")


def failure(options, expected_texts, *arguments):
    sim = start_sim(*options)
    code, err, got = fetch("--port", sim.device, *arguments)
    sim.stop()
    expect(code == 2, "exit %d instead of 2: %s" % (code, err))
    expect(got is None, "an image was written after a failed transfer")
    for text in expected_texts:
        expect(text in err, "stderr lacks %r: %s" % (text, err))
    return sim


NO_INSTRUMENT = "Прибор не обнаружен!"


def case_records_0():
    full_memory_of(0, via_settings=True)


def case_records_1():
    full_memory_of(1, via_settings=False)


def case_records_500():
    full_memory_of(500, via_settings=True)


def case_records_3854():
    full_memory_of(3854, via_settings=False)


def case_replayed_image():
    # Served as stored, even when the count promises more records than follow.
    path = os.path.join(WORK, "odd.img")
    stored = bytes([5, 0]) + bytes(range(34))
    with open(path, "wb") as f:
        f.write(stored)
    _, got = success(["--image", path])
    expect(got == stored, "replayed image differs from the file")


def case_generated_records_decode():
    # Decoded here by the record layout: ascending times from --start every --interval, plausible
    # temperatures, fluxes in hundredths for a version number up to 70514, none without a sensor.
    _, got = success(["--records", "200", "--start", "28.02.2012 23:50:00", "--interval", "300",
                      "--version", "7.5.14", "--sensors", "1,0,2", "--seed", "3"])
    word = lambda at: got[at] | got[at + 1] << 8
    celsius = lambda raw: (raw - 65536 if raw & 0x8000 else raw) / 100.0
    start = datetime.datetime(2012, 2, 28, 23, 50)
    for k in range(word(0)):
        r = 2 + 17 * k
        second, minute, hour, day, month, year = got[r + 5:r + 11]
        when = datetime.datetime(2000 + year, month, day, hour, minute, second)
        expect(when == start + datetime.timedelta(seconds=300 * k), "record %d at %s" % (k, when))
        expect(got[r] & 0x07 in (0, 1), "channel of record %d" % k)
        expect(10 < celsius(word(r + 1)) < 30, "inside temperature of record %d" % k)
        expect(-40 < celsius(word(r + 3)) < 25, "outside temperature of record %d" % k)
        flux = [word(r + 11 + 2 * i) / 100.0 for i in range(3)]
        expect(0 < flux[0] < 100 and flux[1] == 0 and 0 < flux[2] < 100,
               "fluxes of record %d: %s" % (k, flux))


def case_fault_zap():
    sim, _ = success(["--records", "300", "--fault", "zap"])
    log = open(sim.log).read()
    expect(log.count("host> V") == 2, "identification was not asked again after 'Z'")


def case_fault_noise():
    success(["--records", "50", "--fault", "noise"])


def case_fault_silent():
    failure(["--fault", "silent"], [NO_INSTRUMENT])


def case_fault_bad_header():
    failure(["--fault", "bad-header"], ["Range check error", NO_INSTRUMENT])


def case_fault_bad_data():
    failure(["--records", "20", "--fault", "bad-data"], ["Range check error", "cancelled"])


def case_fault_no_end():
    failure(["--records", "20", "--fault", "no-end"], ["cancelled: no character"],
            "--idle-timeout", "0.5")


def case_fault_oversize():
    failure(["--records", "20", "--fault", "oversize"], ["Ошибка: ", "Прием прерван"])


def case_wrong_instrument():
    failure(["--type", "6"], ["Error: Вы подключили не тот прибор !"])


def case_missing_port():
    code, err, got = fetch("--port", "/dev/zond-test-no-port")
    expect(code == 2 and NO_INSTRUMENT in err, "exit %d: %s" % (code, err))


def case_once_exits_after_the_caller_closes():
    sim = start_sim("--records", "10", "--once")
    code, err, got = fetch("--port", sim.device)
    expect(code == 0, "exit %d: %s" % (code, err))
    expect(sim.process.wait(timeout=5) == 0, "emulator still running after --once")
    expect("line closed" in open(sim.log).read(), "the port was not closed")


globals()["case_" + CASE]()
print("ok", CASE)
