"""The Python test kit: what the end-to-end tests and scripts need of this
system, in one place.

- pictures: 1-bit Windows bitmaps, PNG and GIF files made byte by byte
  (whole, or chunk by chunk for damaged ones);
- the bytes a board must receive, worked out here from the pixels and the
  board's byte layout (never with the program's own encoder or frame
  builder, so the two catch each other out), also from a bitmap file that
  tablica-convert wrote;
- the virtual board (tablica-emulator --json) as a child process with a
  ports folder of its own, its JSON lines collected as they come;
- free loopback TCP ports, and child processes that are always stopped.

The X server and the Wine prefix have helpers of their own beside this one
(xserver.py, wine_prefix.py)."""

import atexit
import json
import os
import queue
import shutil
import signal
import socket
import struct
import subprocess
import tempfile
import threading
import time
import zlib

WIDTH, HEIGHT = 128, 32
ROW_BYTES = WIDTH // 8
DOT_BYTES = ROW_BYTES * HEIGHT
START_BYTE = 0xAA
HEADER_ALONE, HEADER_WITH_BLOCK = 0x00, 0x02
FRAME_BYTES = 4 + DOT_BYTES + 1
BLOCK_BYTES = DOT_BYTES + 1


# --- pictures -----------------------------------------------------------------

def pattern(seed, width=WIDTH, height=HEIGHT):
    """A picture (colour indices, top row first) with something different in
    every byte, so a shifted, flipped or swapped byte shows."""
    return [[1 if (x * 3 + y * 7 + seed) % 5 >= 2 else 0 for x in range(width)]
            for y in range(height)]


def uniform(index, width=WIDTH, height=HEIGHT):
    return [[index] * width for _ in range(height)]


def bmp_bytes(pixels, top_down=False, palette=(0x000000, 0xFFFFFF)):
    """A 1-bit .bmp (40-byte info header) of `pixels`, a list of rows of
    colour indices 0 or 1, top row first; any width and height."""
    height, width = len(pixels), len(pixels[0])
    stride = (width + 31) // 32 * 4
    rows = []
    for row in pixels:
        packed = bytearray(stride)
        for x, index in enumerate(row):
            if index:
                packed[x // 8] |= 0x80 >> (x % 8)
        rows.append(bytes(packed))
    if not top_down:
        rows.reverse()
    offset = 14 + 40 + 4 * len(palette)
    data = b"".join(rows)
    header = b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, -height if top_down else height, 1, 1, 0,
                       len(data), 2835, 2835, len(palette), len(palette))
    table = b"".join(struct.pack("<I", colour) for colour in palette)
    return header + info + table + data


def write_bmp(path, pixels, top_down=False, palette=(0x000000, 0xFFFFFF)):
    with open(path, "wb") as f:
        f.write(bmp_bytes(pixels, top_down, palette))
    return path


def png_chunk(kind, data):
    """One PNG chunk: length, kind, data and the checksum of kind and data."""
    return (struct.pack(">I", len(data)) + kind + data +
            struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))


def png_signed_header(width, height, depth=8, colour=0):
    """A PNG's signature and IHDR chunk (colour 0 grey, 2 RGB, 4 grey and
    alpha, 6 RGBA), for pictures made or damaged chunk by chunk."""
    return (b"\x89PNG\r\n\x1a\n" +
            png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, 0)))


def png_bytes(width, height, grey):
    """An 8-bit greyscale PNG; grey(x, y) gives each pixel (0 to 255)."""
    raw = b"".join(b"\x00" + bytes(grey(x, y) for x in range(width)) for y in range(height))
    return (png_signed_header(width, height) + png_chunk(b"IDAT", zlib.compress(raw)) +
            png_chunk(b"IEND", b""))


def png_of_rows(width, height, depth=1, colour=0, row=None, level=9):
    """A PNG whose every row is `row` (all zero: black at depth 1), made row
    by row, so a picture of a million rows costs little to make."""
    channels = {0: 1, 2: 3, 4: 2, 6: 4}[colour]
    row = row if row is not None else bytes((width * depth * channels + 7) // 8)
    packer = zlib.compressobj(level)
    data = b"".join(packer.compress(b"\0" + row) for _ in range(height)) + packer.flush()
    return (png_signed_header(width, height, depth, colour) + png_chunk(b"IDAT", data) +
            png_chunk(b"IEND", b""))


def _gif_image(frame, index=0):
    """A GIF image descriptor at (0, 0) and its data: `frame` (width,
    height) of colour `index`, each pixel coded after a clear code (3-bit
    codes)."""
    codes, bits, count = bytearray(), 0, 0
    for code in [4, index] * (frame[0] * frame[1]) + [5]:
        bits |= code << count
        count += 3
        while count >= 8:
            codes.append(bits & 0xFF)
            bits >>= 8
            count -= 8
    if count:
        codes.append(bits)
    blocks = b"".join(bytes([len(codes[i:i + 255])]) + codes[i:i + 255]
                      for i in range(0, len(codes), 255))
    return b"\x2c" + struct.pack("<HHHHB", 0, 0, *frame, 0) + b"\x02" + blocks + b"\0"


def gif_bytes(screen, frame):
    """A one-colour GIF (black) with a logical screen of `screen` (width,
    height) and one frame of `frame`."""
    return (b"GIF89a" + struct.pack("<HHBBB", *screen, 0x80, 0, 0) + b"\0\0\0\xff\xff\xff"
            + _gif_image(frame) + b"\x3b")


def gif_animation(indices, delay=10):
    """A board-sized GIF with one frame of one colour for each index in
    `indices` (0 black, 1 white), each shown `delay` hundredths of a
    second."""
    frames = b"".join(b"\x21\xf9\x04\x00" + struct.pack("<H", delay) + b"\x00\x00"
                      + _gif_image((WIDTH, HEIGHT), index) for index in indices)
    return (b"GIF89a" + struct.pack("<HHBBB", WIDTH, HEIGHT, 0x80, 0, 0)
            + b"\0\0\0\xff\xff\xff" + frames + b"\x3b")


def write_png(path, width, height, grey):
    with open(path, "wb") as f:
        f.write(png_bytes(width, height, grey))
    return path


# --- the bytes a board must receive --------------------------------------------
# Dot (x, y) of the board is bit 7 - x % 8 of dot byte 16 y + x // 8, set
# when lit. A frame is 0xAA, 0x01, 0x00, a header byte (2 when a second
# board's block follows, else 0), the 512 dot bytes and a checksum: the XOR
# of everything after 0xAA. The block is 512 dot bytes and the XOR of 0x01,
# 0x00, 0x02 and those dots.

def dots_where(lit):
    """The dot bytes of a board whose dot (x, y) is lit where lit(x, y)."""
    out = bytearray(DOT_BYTES)
    for y in range(HEIGHT):
        for x in range(WIDTH):
            if lit(x, y):
                out[ROW_BYTES * y + x // 8] |= 0x80 >> (x % 8)
    return bytes(out)


def dots(pixels):
    """The board's dot bytes for a 128 x 32 picture: a dot is lit where the
    pixel has colour-table index 0, whatever the colours."""
    return dots_where(lambda x, y: pixels[y][x] == 0)


def xor(data, start=0):
    for b in data:
        start ^= b
    return start


def frame_bytes(dot_bytes, header=HEADER_ALONE):
    body = bytes([0x01, 0x00, header]) + bytes(dot_bytes)
    return bytes([START_BYTE]) + body + bytes([xor(body)])


def block_bytes(dot_bytes):
    return bytes(dot_bytes) + bytes([xor(dot_bytes, 0x01 ^ 0x00 ^ HEADER_WITH_BLOCK)])


def expected_wire(first_dots, second_dots=None):
    """What one Send puts on the wire: the frame, and the second board's
    block behind it when `second_dots` is given."""
    if second_dots is None:
        return frame_bytes(first_dots)
    return frame_bytes(first_dots, HEADER_WITH_BLOCK) + block_bytes(second_dots)


def expected_frame(pixels, can):
    return frame_bytes(dots(pixels), HEADER_WITH_BLOCK if can else HEADER_ALONE)


def expected_block(pixels):
    return block_bytes(dots(pixels))


def bitmap_dots(bitmap):
    """The board's dot bytes for a 1-bit 128 x 32 bitmap (a path or the
    file's bytes), such as tablica-convert writes: a dot is lit where the
    pixel has colour-table index 0. Rows stored either way up."""
    if not isinstance(bitmap, (bytes, bytearray)):
        with open(bitmap, "rb") as f:
            bitmap = f.read()
    if len(bitmap) < 54 or bitmap[:2] != b"BM":
        raise AssertionError("not a Windows bitmap (%d bytes)" % len(bitmap))
    offset, info_size, width, height, _, bits, compression = struct.unpack_from(
        "<IIiiHHI", bitmap, 10)
    if info_size < 40 or bits != 1 or compression != 0 or width != WIDTH or abs(height) != HEIGHT:
        raise AssertionError("not a 1-bit 128 x 32 bitmap: %d x %d, %d bits, compression %d"
                             % (width, height, bits, compression))
    stride = (WIDTH + 31) // 32 * 4
    if offset + stride * HEIGHT > len(bitmap):
        raise AssertionError("the bitmap's rows run past its end")
    rows = [bitmap[offset + stride * r:offset + stride * r + ROW_BYTES] for r in range(HEIGHT)]
    if height > 0:
        rows.reverse()
    return bytes(b ^ 0xFF for row in rows for b in row)


def converted_dots(bin_dir, folder, *args, cwd=None):
    """The board's dots of the bitmap tablica-convert (from `bin_dir`)
    writes for `args` (options and input), written into `folder`; a
    conversion that fails fails the test with its message."""
    out = os.path.join(folder, "converted-%d.bmp" % time.monotonic_ns())
    done = subprocess.run([os.path.join(bin_dir, "tablica-convert"), *args, out], cwd=cwd,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
    if done.returncode != 0:
        raise AssertionError("tablica-convert %s: exit %d, %s" % (
            " ".join(map(str, args)), done.returncode, done.stderr.decode("utf-8", "replace")))
    return bitmap_dots(out)


def expected_wire_from_bitmaps(first, second=None):
    """The bytes a Send of bitmap files (paths or bytes) must put on the
    wire; `second` also ticks the CAN box."""
    return expected_wire(bitmap_dots(first), None if second is None else bitmap_dots(second))


def unit_bytes(unit):
    """The bytes of one unit the virtual board reported."""
    return bytes.fromhex(unit["bytes"])


def unit_dots(unit):
    """The dot bytes of a frame or block the virtual board reported."""
    data = unit_bytes(unit)
    return data[4:4 + DOT_BYTES] if unit["event"] == "frame" else data[:DOT_BYTES]


def check_units(units, expected):
    """`expected`: list of (event, board, bytes). Compares every byte."""
    assert [u["event"] for u in units] == [e for e, _, _ in expected], \
        "units: %s" % [(u["event"], len(u["bytes"]) // 2) for u in units]
    for unit, (event, board, data) in zip(units, expected):
        assert unit["board"] == board, unit
        assert unit["checksum_ok"] is True, unit
        got = unit_bytes(unit)
        assert got == data, "%s: %d bytes received, %d expected, first difference at %s" % (
            event, len(got), len(data),
            next((i for i, (a, b) in enumerate(zip(got, data)) if a != b), min(len(got), len(data))))


# --- child processes ----------------------------------------------------------

class Process:
    """A child process that is always stopped: by stop(), at the end of a
    `with` block, when this Python program ends, and (Linux) when the thread
    that started it dies, by a signal the kernel sends (--pdeathsig), so
    not even a killed test leaves it behind. stop() asks with SIGTERM, then
    kills after `grace` seconds."""

    _running = set()
    _lock = threading.Lock()

    def __init__(self, args, die_with_parent=True, grace=10, **popen):
        args = [str(a) for a in args]
        if die_with_parent and shutil.which("setpriv"):
            args = ["setpriv", "--pdeathsig", "TERM", "--"] + args
        self.args, self.grace = args, grace
        self.proc = subprocess.Popen(args, **popen)
        self.pid = self.proc.pid
        if args[0] == "setpriv":
            self._wait_for_death_signal()
        with Process._lock:
            Process._running.add(self)

    def _wait_for_death_signal(self):
        # setpriv sets the death signal just before it becomes the program;
        # a parent that died before that would go unnoticed, so the
        # program's start is waited for (a few milliseconds): until then the
        # child's command line is this program's (before setpriv runs) or
        # setpriv's own.
        with open("/proc/self/cmdline", "rb") as f:
            own = f.read()
        deadline = time.monotonic() + 5
        while self.proc.poll() is None and time.monotonic() < deadline:
            try:
                with open("/proc/%d/cmdline" % self.pid, "rb") as f:
                    line = f.read()
            except OSError:
                return
            if line and line != own and not line.startswith(b"setpriv\0"):
                return
            time.sleep(0.001)

    def poll(self):
        return self.proc.poll()

    def wait(self, timeout=None):
        return self.proc.wait(timeout)

    def running(self):
        return self.proc.poll() is None

    def stop(self, sig=signal.SIGTERM):
        """Ends the process (if it still runs) and returns its exit code."""
        if self.proc.poll() is None:
            self.proc.send_signal(sig)
            try:
                self.proc.wait(self.grace)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        with Process._lock:
            Process._running.discard(self)
        return self.proc.returncode

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.stop()

    @classmethod
    def stop_all(cls):
        with cls._lock:
            left = list(cls._running)
        for process in left:
            process.stop()


atexit.register(Process.stop_all)


# --- loopback ports -----------------------------------------------------------

def free_port():
    """A TCP port on 127.0.0.1 that nothing listens on right now."""
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_port(port, timeout=10, process=None):
    """Waits until something accepts connections on 127.0.0.1:`port`; fails
    at once when `process` (a Process) has ended meanwhile."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.5):
                return
        except OSError:
            if process is not None and not process.running():
                raise AssertionError("%s ended (exit %s) before it listened on port %d"
                                     % (process.args, process.poll(), port))
            if time.monotonic() > deadline:
                raise AssertionError("nothing listens on 127.0.0.1:%d after %s s"
                                     % (port, timeout))
            time.sleep(0.05)


# --- folders ------------------------------------------------------------------

class TempFolder:
    def __init__(self, prefix):
        self.path = tempfile.mkdtemp(prefix=prefix)

    def join(self, *parts):
        return os.path.join(self.path, *parts)

    def remove(self):
        shutil.rmtree(self.path, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.remove()


def write_settings(folder, port, line_end="\n"):
    """ustaw.txt in `folder`, naming COM `port`."""
    path = os.path.join(folder, "ustaw.txt")
    with open(path, "w", newline="") as f:
        f.write("PORT %d%sMODEL%s" % (port, line_end, line_end))
    return path


# --- the virtual board ----------------------------------------------------------

class Emulator:
    """tablica-emulator --headless --json as COM `port`, its link made in a
    ports folder of its own (under `config_home`, a private folder by
    default, removed on stop), so no link of the user's is touched. Its JSON
    lines (dicts: "ready", then "frame", "block" and "garbage" units with
    their bytes in hex) are collected as they come.

    `program` is the emulator itself or the folder it is in."""

    def __init__(self, program, port, config_home=None, extra=(), start_timeout=10):
        if os.path.isdir(program):
            program = os.path.join(program, "tablica-emulator")
        self.port = port
        self._own_config = config_home is None
        self.config_home = tempfile.mkdtemp(prefix="emulator-") if config_home is None \
            else config_home
        self.link = os.path.join(self.config_home, "zapis-bitmapy", "ports", "com%d" % port)
        self.events = queue.Queue()
        self.errors = []
        self.process = Process(
            [program, "--port", str(port), "--headless", "--json", *extra],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE,
            env=dict(os.environ, XDG_CONFIG_HOME=self.config_home))
        self.proc = self.process.proc
        self.readers = [threading.Thread(target=self._read, daemon=True),
                        threading.Thread(target=self._read_errors, daemon=True)]
        for reader in self.readers:
            reader.start()
        ready = self.next_event(start_timeout)
        if ready is None or ready.get("event") != "ready":
            self.stop()
            raise AssertionError("emulator did not start: %r %s" % (ready, self.stderr()))
        self.device = ready["device"]

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
        code = self.process.stop()
        for reader in self.readers:
            reader.join(5)
        self.proc.stdout.close()
        self.proc.stderr.close()
        if self._own_config:
            shutil.rmtree(self.config_home, ignore_errors=True)
        return code

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.stop()


# --- the main window as a user meets it -------------------------------------------

WINDOW_TITLE = "Zapis bitmapy do tablicy informacyjnej."
DIALOG_TITLE = "Wybierz plik z bitmap"
# The file dialog's whole caption: nothing of the program is added to it.
DIALOG_CAPTION = "Wybierz plik z bitmapą do wysłania."
# Points inside controls of the window's fixed layout (client coordinates):
# the CAN check box at (24, 240) 273 x 17, and the second file button at
# (112, 24) 145 x 25 in its group box at (24, 264).
CAN_BOX = (30, 248)
SECOND_FILE_BUTTON = (24 + 112 + 72, 264 + 24 + 12)
OBRAZ_TITLE = "Przygotowanie obrazu dla tablicy"
