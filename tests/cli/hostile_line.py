"""A pseudo-terminal that plays a broken or hostile instrument line, for the transfer's limits.

Each mode is a function that reads what the host sends (`wait_for`) and writes what it likes
(`send`); `hang_up` closes the line under the host as a pulled USB adapter does."""
import os
import pty
import random
import select
import threading
import time
import tty

HEADER = b"5059080210100000"  # type 5, generation 5, version 18.08.09, one channel
RECORD = b"0" * 34  # one record of 17 encoded bytes


def count_word(count):
    """The record count as the instrument encodes it: low byte first, low nibble first."""
    return bytes(0x30 + (b >> shift & 0x0F) for b in (count & 0xFF, count >> 8) for shift in (0, 4))


class HostileLine:
    def __init__(self, mode):
        self.master, self.slave = pty.openpty()
        tty.setraw(self.slave)
        self.device = os.ttyname(self.slave)
        self.stopped = threading.Event()
        self.thread = threading.Thread(target=self._run, args=(mode,), daemon=True)
        self.thread.start()

    def stop(self):
        self.stopped.set()
        self.thread.join(timeout=5)
        for fd in (self.master, self.slave):
            if fd is not None:
                try:
                    os.close(fd)
                except OSError:
                    pass

    def wait_for(self, command):
        while not self.stopped.is_set():
            ready, _, _ = select.select([self.master], [], [], 0.05)
            if ready and command in os.read(self.master, 256):
                return True
        return False

    def send(self, data, pace=None):
        """Writes `data`; with `pace` (characters a second) spread over time."""
        step = len(data) if pace is None else max(1, pace // 20)
        for at in range(0, len(data), step):
            if self.stopped.is_set():
                return
            os.write(self.master, data[at:at + step])
            if pace is not None:
                time.sleep(step / pace)

    def hang_up(self):
        os.close(self.master)
        os.close(self.slave)
        self.master = self.slave = None

    def idle(self):
        self.stopped.wait()

    def stream(self, make_chunk, pace):
        while not self.stopped.is_set():
            self.send(make_chunk(), pace)

    def _run(self, mode):
        try:
            MODES[mode](self)
        except OSError:
            pass  # the host went away


def silence(line):
    line.idle()


def header_then_silence(line):
    line.wait_for(b"V")
    line.send(HEADER)
    line.idle()


def endless_zap(line):
    line.wait_for(b"V")
    line.stream(lambda: b"Z", pace=200)


def random_bytes(line, exclude=b""):
    line.wait_for(b"V")
    rng = random.Random(5)
    allowed = bytes(b for b in range(256) if b not in exclude)
    line.stream(lambda: bytes(rng.choice(allowed) for _ in range(64)), pace=4000)


def random_without_markers(line):
    random_bytes(line, exclude=b"SPZ")


def hang_up_in_header(line):
    line.wait_for(b"V")
    line.send(HEADER[:7])
    time.sleep(0.3)
    line.hang_up()


def hang_up_in_data(line):
    line.wait_for(b"V")
    line.send(HEADER)
    line.wait_for(b"N")
    line.send(b"S" + count_word(100) + RECORD * 10)
    time.sleep(0.3)
    line.hang_up()


def endless_data(line):
    line.wait_for(b"V")
    line.send(HEADER)
    line.wait_for(b"N")
    line.send(b"S" + count_word(3854))
    line.stream(lambda: RECORD, pace=2000)


def count_beyond_data(line):
    line.wait_for(b"V")
    line.send(HEADER)
    line.wait_for(b"N")
    line.send(b"S" + count_word(100) + RECORD * 10)
    line.idle()


MODES = {f.__name__: f for f in (silence, header_then_silence, endless_zap, random_bytes,
                                 random_without_markers, hang_up_in_header, hang_up_in_data,
                                 endless_data, count_beyond_data)}
