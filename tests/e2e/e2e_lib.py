"""Shared pieces of the end-to-end tests: pictures and the bytes they must
become on the wire (worked out here from the pixels, not by the program's
code), the virtual board as a child process, and a private X display."""

import json
import os
import queue
import shutil
import signal
import struct
import subprocess
import tempfile
import threading
import time

WIDTH, HEIGHT = 128, 32


# --- pictures and expected bytes -------------------------------------------

def pattern(seed):
    """A 128 x 32 picture (colour indices, top row first) with something
    different in every byte, so a shifted, flipped or swapped byte shows."""
    return [[1 if (x * 3 + y * 7 + seed) % 5 >= 2 else 0 for x in range(WIDTH)]
            for y in range(HEIGHT)]


def write_bmp(path, pixels, top_down=False):
    """Writes a 1-bit .bmp with colour 0 black and colour 1 white."""
    stride = 16
    rows = []
    for row in pixels:
        packed = bytearray(stride)
        for x, index in enumerate(row):
            if index:
                packed[x // 8] |= 0x80 >> (x % 8)
        rows.append(bytes(packed))
    if not top_down:
        rows.reverse()
    offset = 14 + 40 + 8
    data = b"".join(rows)
    header = b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, -HEIGHT if top_down else HEIGHT, 1, 1, 0,
                       len(data), 2835, 2835, 2, 2)
    palette = struct.pack("<II", 0x000000, 0xFFFFFF)
    with open(path, "wb") as f:
        f.write(header + info + palette + data)


def dots(pixels):
    """The board's 512 dot bytes: a dot is lit where the pixel has colour 0;
    dot (x, y) is bit 7 - x % 8 of byte 16 y + x / 8."""
    out = bytearray(512)
    for y, row in enumerate(pixels):
        for x, index in enumerate(row):
            if index == 0:
                out[16 * y + x // 8] |= 0x80 >> (x % 8)
    return bytes(out)


def xor(data, start=0):
    for b in data:
        start ^= b
    return start


def expected_frame(pixels, can):
    body = bytes([0x01, 0x00, 0x02 if can else 0x00]) + dots(pixels)
    return bytes([0xAA]) + body + bytes([xor(body)])


def expected_block(pixels):
    d = dots(pixels)
    return d + bytes([xor(d, 0x01 ^ 0x00 ^ 0x02)])


# --- the virtual board -------------------------------------------------------

class Emulator:
    """tablica-emulator --headless --json linked as COM `port` under a
    private XDG_CONFIG_HOME; its JSON lines are collected as they come."""

    def __init__(self, bin_dir, port, config_home, extra=()):
        self.port = port
        env = dict(os.environ, XDG_CONFIG_HOME=config_home)
        self.proc = subprocess.Popen(
            [os.path.join(bin_dir, "tablica-emulator"), "--port", str(port), "--headless",
             "--json", *extra],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
        self.events = queue.Queue()
        self.errors = []
        self.readers = [threading.Thread(target=self._read, daemon=True),
                        threading.Thread(target=self._read_errors, daemon=True)]
        for reader in self.readers:
            reader.start()
        ready = self.next_event(10)
        if ready is None or ready.get("event") != "ready":
            raise AssertionError("emulator did not start: %r %s" % (ready, self.stderr()))
        self.device = ready["device"]
        self.link = os.path.join(config_home, "zapis-bitmapy", "ports", "com%d" % port)

    def _read(self):
        for line in self.proc.stdout:
            self.events.put(json.loads(line))
        self.events.put(None)

    def _read_errors(self):
        for line in self.proc.stderr:
            self.errors.append(line.decode("utf-8", "replace"))

    def next_event(self, timeout):
        try:
            return self.events.get(timeout=timeout)
        except queue.Empty:
            return None

    def units(self, count, timeout=15):
        """The next `count` units; fails if they do not all come in time."""
        got = []
        deadline = time.monotonic() + timeout
        while len(got) < count:
            event = self.next_event(max(0.0, deadline - time.monotonic()))
            if event is None:
                raise AssertionError("expected %d units, got %d: %s" % (count, len(got),
                                                                         [u["event"] for u in got]))
            got.append(event)
        return got

    def quiet(self, seconds):
        """Every unit that arrives within `seconds`: there should be none."""
        extra = []
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            event = self.next_event(max(0.0, deadline - time.monotonic()))
            if event is not None:
                extra.append(event)
        return extra

    def stderr(self):
        return "".join(self.errors)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        for reader in self.readers:
            reader.join(5)
        self.proc.stdout.close()
        self.proc.stderr.close()
        return self.proc.returncode


def check_units(units, expected):
    """`expected`: list of (event, board, bytes). Compares every byte."""
    assert [u["event"] for u in units] == [e for e, _, _ in expected], \
        "units: %s" % [(u["event"], len(u["bytes"]) // 2) for u in units]
    for unit, (event, board, data) in zip(units, expected):
        assert unit["board"] == board, unit
        assert unit["checksum_ok"] is True, unit
        got = bytes.fromhex(unit["bytes"])
        assert got == data, "%s: %d bytes received, %d expected, first difference at %s" % (
            event, len(got), len(data),
            next((i for i, (a, b) in enumerate(zip(got, data)) if a != b), min(len(got), len(data))))


# --- a private X display -----------------------------------------------------

class Xvfb:
    """An Xvfb server on a display number it picks itself (-displayfd)."""

    def __init__(self, size="1280x1024x24"):
        if shutil.which("Xvfb") is None:
            raise AssertionError("Xvfb is not installed (scripts/install-deps installs it)")
        read_fd, write_fd = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", size, "-nolisten", "tcp"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as f:
            number = f.readline().strip()
        if not number:
            self.proc.kill()
            raise AssertionError("Xvfb did not start")
        self.display = ":" + number

    def env(self, **more):
        env = dict(os.environ, DISPLAY=self.display, QT_QPA_PLATFORM="xcb", **more)
        env.pop("WAYLAND_DISPLAY", None)
        return env

    def stop(self):
        self.proc.terminate()
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()


def xdotool(xvfb, *args, check=True):
    return subprocess.run(["xdotool", *args], env=xvfb.env(), check=check,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True).stdout


def wait_for_window(xvfb, name, timeout=20, besides=None):
    """The id of the first visible window whose title holds `name` (other
    than the window `besides`)."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        out = xdotool(xvfb, "search", "--onlyvisible", "--name", name, check=False).split()
        out = [window for window in out if window != besides]
        if out:
            return out[0]
        time.sleep(0.1)
    raise AssertionError("no window named %r appeared" % name)


def wait_window_gone(xvfb, window_id, timeout=20):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        out = xdotool(xvfb, "search", "--onlyvisible", "--name", ".", check=False).split()
        if window_id not in out:
            return
        time.sleep(0.1)
    raise AssertionError("window %s is still open" % window_id)


# --- driving the window -------------------------------------------------------

WINDOW_TITLE = "Zapis bitmapy do tablicy informacyjnej."
DIALOG_TITLE = "Wybierz plik z bitmap"
# The file dialog's whole caption: nothing of the program is added to it.
DIALOG_CAPTION = "Wybierz plik z bitmapą do wysłania."
# Points inside controls of the window's fixed layout (client coordinates):
# the CAN check box at (24, 240) 273 x 17, and the second file button at
# (112, 24) 145 x 25 in its group box at (24, 264).
CAN_BOX = (30, 248)
SECOND_FILE_BUTTON = (24 + 112 + 72, 264 + 24 + 12)


class WindowDriver:
    """Keystrokes and clicks into the program's window as a person gives
    them. There is no window manager: focus is handed over by hand."""

    def __init__(self, xvfb, window):
        self.xvfb = xvfb
        self.window = window

    def focus(self, window=None):
        xdotool(self.xvfb, "windowfocus", "--sync", window or self.window)
        time.sleep(0.2)

    def keys(self, *keys):
        for key in keys:
            xdotool(self.xvfb, "key", "--clearmodifiers", key)
            time.sleep(0.15)

    def click(self, x, y):
        xdotool(self.xvfb, "mousemove", "--window", self.window, str(x), str(y))
        time.sleep(0.1)
        xdotool(self.xvfb, "click", "1")
        time.sleep(0.3)

    def choose_in_dialog(self, path, caption=DIALOG_CAPTION, search=DIALOG_TITLE):
        """Types `path` into the open file dialog (found by `search`, and
        captioned exactly `caption`) and accepts it."""
        dialog = wait_for_window(self.xvfb, search)
        shown = xdotool(self.xvfb, "getwindowname", dialog).rstrip("\n")
        if shown != caption:
            raise AssertionError("the file dialog is captioned %r" % shown)
        self.focus(dialog)
        # Whatever the name box proposes is selected before typing. Ctrl+A
        # selects all in Qt's dialog only; End, Shift+Home works in the
        # system's dialog under Windows and Wine as well. (On Windows the
        # proposed name starts selected; Wine's dialog leaves it unselected,
        # with the caret in front of it.)
        self.keys("End", "shift+Home")
        xdotool(self.xvfb, "type", "--delay", "20", path)
        time.sleep(0.3)
        self.keys("Return")
        wait_window_gone(self.xvfb, dialog)
        self.focus()


class TempFolder:
    def __init__(self, prefix):
        self.path = tempfile.mkdtemp(prefix=prefix)

    def join(self, *parts):
        return os.path.join(self.path, *parts)

    def remove(self):
        shutil.rmtree(self.path, ignore_errors=True)
