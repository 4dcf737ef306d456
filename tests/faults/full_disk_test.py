"""Every writer of zond8t-cli on full disks: with /tmp full (the temporary files of the libraries
behind the writers must not go there unchecked), and with the output's own folder filled to
several levels. Whatever happens, no exit 0 leaves a broken output, and a failure keeps the old
file byte for byte with nothing left beside it.

usage: full_disk_test.py CLI SIM COMMAND

Needs root for a private mount namespace (unshare -m) with small tmpfs mounts; exits 77 (skipped)
otherwise."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "cli"))
from fault_sweep import output_readable  # noqa: E402
from sim_process import Sim  # noqa: E402

WRITERS = {
    "export_xls": (["export", "{table}", "{out}"], "out.xls"),
    "export_csv": (["export", "{table}", "{out}"], "out.csv"),
    "export_xlsx": (["export", "{table}", "{out}"], "out.xlsx"),
    "report": (["report", "{table}", "{out}"], "out.pdf"),
    "chart_pdf": (["chart", "{table}", "{out}"], "out.pdf"),
    "chart_png": (["chart", "{table}", "{out}"], "out.png"),
    "resistance_pdf": (["resistance", "{table}", "--pdf", "{out}"], "out.pdf"),
    "fetch_image": (["fetch", "--port", "{port}", "--image-out", "{out}"], "out.img"),
}
FOLDER_SIZE = 8 << 20


def fill(folder, leave):
    """Fills the file system of `folder` until `leave` bytes are free."""
    stats = os.statvfs(folder)
    free = stats.f_bavail * stats.f_frsize
    with open(os.path.join(folder, "filler"), "wb") as f:
        f.write(b"\0" * max(0, free - leave))
    try:  # what the block rounding left
        with open(os.path.join(folder, "filler2"), "wb") as f:
            while os.statvfs(folder).f_bavail * os.statvfs(folder).f_frsize > leave:
                f.write(b"\0" * 4096)
                f.flush()
    except OSError:
        pass


def big_table(cli, sim, work):
    """3,000 rows: the emulator's 500 records repeated."""
    source = os.path.join(work, "source.db")
    subprocess.run([cli, "fetch", "--port", sim.device, source], check=True, capture_output=True)
    with open(source, "rb") as f:
        data = bytearray(f.read())
    count = struct.unpack_from("<I", data, 4)[0]
    header, record = struct.unpack_from("<HH", data, 8)
    big = data[:header] + data[header:header + count * record] * 6 + b"\x1a"
    struct.pack_into("<I", big, 4, count * 6)
    with open(source, "wb") as f:
        f.write(big)
    return source


def run(cli, args, table, out, port):
    filled = [a.format(table=table, out=out, port=port) for a in args]
    done = subprocess.run([cli, *filled], capture_output=True, text=True, timeout=300,
                          env=dict(os.environ, QT_QPA_PLATFORM="offscreen",
                                   ASAN_OPTIONS="detect_leaks=0"))
    # Qt's notes on a missing runtime folder are no part of the command's message.
    lines = [line for line in done.stderr.splitlines() if not line.startswith("QStandardPaths")]
    return done.returncode, "\n".join(lines).strip()


def main():
    cli, sim_program, command = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), \
        sys.argv[3]
    if os.geteuid() != 0:
        print("needs root for its own mounts")
        sys.exit(77)
    if "ZOND_PRIVATE_MOUNTS" not in os.environ:
        if subprocess.run(["unshare", "-m", "true"], stderr=subprocess.DEVNULL).returncode != 0:
            print("this machine gives no private mount namespace")
            sys.exit(77)
        env = dict(os.environ, ZOND_PRIVATE_MOUNTS="1")
        sys.exit(subprocess.run(["unshare", "-m", "--propagation", "private", sys.executable,
                                 *sys.argv], env=env).returncode)
    args, name = WRITERS[command]
    work = tempfile.mkdtemp(prefix="full_disk_", dir="/var/tmp")
    sim = Sim(sim_program, work, "--records", "500", "--seed", "4")
    failures = []
    try:
        table = big_table(cli, sim, work)
        reference = os.path.join(work, name)
        status, message = run(cli, args, table, reference, sim.device)
        assert status == 0 and output_readable(reference), "dry run: %s" % message
        with open(reference, "rb") as f:
            good = f.read()

        # /tmp a full 1 MiB tmpfs; the output on a disk with room.
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", "/tmp"], check=True)
        fill("/tmp", 0)
        out = os.path.join(work, "tmp_full_" + name)
        shutil.copy(reference, out)
        status, message = run(cli, args, table, out, sim.device)
        if status != 0 or not output_readable(out):
            failures.append("/tmp full: exit %d, readable %s: %s" % (status, output_readable(out),
                                                                     message))

        # The output's folder full, to several levels.
        folder = os.path.join(work, "full")
        os.mkdir(folder)
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%d" % FOLDER_SIZE, "tmpfs", folder],
                       check=True)
        out = os.path.join(folder, name)
        levels = sorted({0, 4096, 65536, len(good) // 2, len(good) + 4096, 3 * len(good)})
        for leave in levels:
            for entry in os.listdir(folder):
                os.remove(os.path.join(folder, entry))
            with open(out, "wb") as f:
                f.write(b"the file this run replaces\n")
            fill(folder, leave)
            status, message = run(cli, args, table, out, sim.device)
            extra = set(os.listdir(folder)) - {name, "filler", "filler2"}
            with open(out, "rb") as f:
                kept = f.read() == b"the file this run replaces\n"
            verdict = "exit %d" % status
            if status == 0 and not output_readable(out):
                failures.append("%d bytes free: exit 0 with an unreadable output" % leave)
            if status != 0 and (not kept or not message):
                failures.append("%d bytes free: failed (%s) but the old file changed or no "
                                "message" % (leave, message))
            if status != 0 and leave < len(good) and "места" not in message:
                failures.append("%d bytes free: the message names no full disk: %s" % (leave,
                                                                                       message))
            if extra:
                failures.append("%d bytes free: left behind %s" % (leave, sorted(extra)))
            print("%-15s %9d bytes free: %s %s" % (command, leave, verdict, message[:100]))
    finally:
        sim.stop()
        subprocess.run(["umount", "-l", os.path.join(work, "full")], capture_output=True)
        shutil.rmtree(work, ignore_errors=True)
    for line in failures:
        print("FAIL:", line)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
