"""zond-sim as a child process of a CLI test, and the test's own failure helpers."""
import os
import subprocess
import sys


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def expect(condition, message):
    if not condition:
        fail(message)


class Sim:
    """The emulator started with `options`; it writes the image it serves and its exchange log
    into `work`."""

    def __init__(self, program, work, *options):
        self.served = os.path.join(work, "served.img")
        self.log = os.path.join(work, "sim.log")
        self.process = subprocess.Popen(
            [program, "--write-image", self.served, "--log", self.log, *options],
            stdout=subprocess.PIPE, text=True)
        self.device = self.process.stdout.readline().strip()
        expect(self.device.startswith("/dev/"), "emulator gave no device: %r" % self.device)

    def image(self):
        with open(self.served, "rb") as f:
            return f.read()

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=5)
