"""What zond8t-cli tells about the ports it tried, and its communication log, against zond-sim.

Run as: link_test.py CLI SIM CASE."""
import os
import pty
import re
import subprocess
import sys
import tempfile
import time
import tty

from sim_process import Sim, expect

CLI, SIM, CASE = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), sys.argv[3]
WORK = tempfile.mkdtemp(prefix="zond-link-")
os.chmod(WORK, 0o755)
NO_INSTRUMENT = "Ошибка: Прибор не обнаружен! "


def settings(com1, com2):
    config = os.path.join(WORK, "config")
    os.makedirs(os.path.join(config, "Orbelin"), exist_ok=True)
    with open(os.path.join(config, "Orbelin", "ZOND05.conf"), "w") as f:
        f.write("[1.0]\nPorts\\COM1=%s\nPorts\\COM2=%s\n" % (com1, com2))
    return dict(os.environ, XDG_CONFIG_HOME=config)


def fetch(*arguments, env=None, user=None):
    done = subprocess.run([CLI, "fetch", *arguments], env=env or settings("/dev/none", "/dev/none"),
                          capture_output=True, text=True, timeout=60, user=user, cwd=WORK)
    return done.returncode, done.stderr


def expect_lines(err, lines):
    for line in lines:
        expect("\n  " + line + "\n" in err, "stderr lacks the line %r:\n%s" % (line, err))


def case_missing_devices_on_both_ports():
    code, err = fetch(env=settings("/dev/zond-test-none-1", "/dev/zond-test-none-2"))
    expect(code == 2 and err.startswith(NO_INSTRUMENT), "exit %d: %s" % (code, err))
    expect_lines(err, ["COM1 (/dev/zond-test-none-1): устройство не существует",
                       "COM2 (/dev/zond-test-none-2): устройство не существует"])


def case_permission_denied():
    master, slave = pty.openpty()
    tty.setraw(slave)
    device = os.ttyname(slave)
    os.chmod(device, 0)
    # Root opens any device: the check runs as an unprivileged user then.
    user = "nobody" if os.geteuid() == 0 else None
    code, err = fetch("--port", device, user=user)
    expect(code == 2, "exit %d: %s" % (code, err))
    expect_lines(err, [device + ": нет прав на доступ к устройству; добавьте пользователя в группу "
                       "dialout (sudo usermod -a -G dialout $USER) и войдите в систему заново"])


def case_busy_device():
    sim = Sim(SIM, WORK, "--fault", "silent")
    holder = subprocess.Popen([CLI, "fetch", "--port", sim.device], stderr=subprocess.DEVNULL)
    # The first transfer holds the device for 3 s waiting for an answer.
    time.sleep(1)
    code, err = fetch("--port", sim.device)
    holder.wait(timeout=30)
    sim.stop()
    expect(code == 2, "exit %d: %s" % (code, err))
    expect_lines(err, [sim.device + ": устройство занято другой программой"])


def case_silent_device():
    sim = Sim(SIM, WORK, "--fault", "silent")
    code, err = fetch(env=settings(sim.device, "/dev/zond-test-none-2"))
    sim.stop()
    expect(code == 2 and err.startswith(NO_INSTRUMENT), "exit %d: %s" % (code, err))
    expect_lines(err, ["COM1 (%s): открыто, но нет ответа в течение 3 с" % sim.device,
                       "COM2 (/dev/zond-test-none-2): устройство не существует"])


def case_wrong_instrument():
    sim = Sim(SIM, WORK, "--type", "7", "--generation", "4")
    code, err = fetch("--port", sim.device)
    sim.stop()
    expect(code == 2 and err.startswith("Error: Вы подключили не тот прибор !"),
           "exit %d: %s" % (code, err))
    expect_lines(err, [sim.device + ": ответил другой прибор (тип 7, поколение 4)"])


def encoded(data):
    """Bytes as the instrument sends them: two digits each, low nibble first."""
    return bytes(0x30 + (b >> shift & 0x0F) for b in data for shift in (0, 4))


def case_log_holds_the_exchange():
    sim = Sim(SIM, WORK, "--records", "300", "--version", "1.2.3", "--sensors", "4,0,6")
    log = os.path.join(WORK, "transfer.log")
    code, err = fetch("--port", sim.device, "--log", log)
    image = sim.image()
    sim.stop()
    expect(code == 0, "exit %d: %s" % (code, err))
    sent, received, notes = b"", b"", 0
    chunk = re.compile(r"^\d\d:\d\d:\d\d\.\d\d\d ([<>])((?: [0-9A-F]{2})+)$")
    event = re.compile(r"^\d\d:\d\d:\d\d\.\d\d\d # .+$")
    for line in open(log, encoding="utf-8").read().splitlines():
        match = chunk.match(line)
        if match:
            data = bytes.fromhex(match.group(2))
            if match.group(1) == ">":
                sent += data
            else:
                received += data
        else:
            expect(event.match(line), "not a log line: %r" % line)
            notes += 1
    # Header: type 5, generation 5, version bytes 1.2.3, a free character, sensors 4, 0, 6.
    header = encoded([5]) + b"5" + encoded([1, 2, 3]) + b"0" + encoded([4, 0, 6])
    expect(sent == b"VN", "sent %r" % sent)
    expect(received == header + b"S" + encoded(image) + b"P", "received bytes differ")
    expect(notes >= 4, "only %d event lines" % notes)


def case_log_cut_short_is_an_error():
    # /dev/full opens and takes no byte, as a full disk: the table is still written.
    sim = Sim(SIM, WORK, "--records", "50")
    table = os.path.join(WORK, "t.db")
    code, err = fetch("--port", sim.device, "--log", "/dev/full", table)
    sim.stop()
    expect(code == 1 and "the communication log /dev/full is incomplete: No space left on device"
           in err, "exit %d: %s" % (code, err))
    expect(os.path.getsize(table) == 481 + 50 * 228 + 1, "the table lacks rows")


globals()["case_" + CASE]()
