#!/usr/bin/env python3
"""The picture window under a private Xvfb, driven by keystrokes (xdotool):
a PNG opened through the real file dialog, a choice changed, "Wyślij na
tablicę" pressed, and the virtual board must receive the dots the preview
showed on the screen (read back from a screenshot), which are the dots
tablica-convert makes of the same picture with the same choice."""

import os
import struct
import subprocess
import sys
import time
import unittest
import zlib

import e2e_lib as lib

BIN = None
PORT = 7
WINDOW_TITLE = "Przygotowanie obrazu dla tablicy"
DIALOG_TITLE = "Otwórz obraz"
BOARD_BACKGROUND = (0x14, 0x12, 0x10)  # how the board's face is drawn


def write_png(path, width, height, grey):
    """An 8-bit greyscale PNG; grey(x, y) gives each pixel."""
    raw = b"".join(b"\x00" + bytes(grey(x, y) for x in range(width)) for y in range(height))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" +
                chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 0, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def picture(x, y):
    """Dark stripes and a light square on a mid-grey ground, 256 x 64."""
    if 150 <= x < 200 and 10 <= y < 50:
        return 240
    return 20 if (x // 16 + y // 16) % 2 == 0 else 140


def bmp_dots(path):
    """The 512 dot bytes of a 1-bit 128 x 32 bitmap: lit where the pixel
    uses colour-table entry 0."""
    data = open(path, "rb").read()
    offset = struct.unpack_from("<I", data, 10)[0]
    height = struct.unpack_from("<i", data, 22)[0]
    rows = [data[offset + 16 * r: offset + 16 * r + 16] for r in range(abs(height))]
    if height > 0:
        rows.reverse()
    return bytes(b ^ 0xFF for row in rows for b in row)


def screen_dots(ppm):
    """The dots a screenshot (binary PPM) shows on the drawn board."""
    header, rest = [], ppm
    while len(header) < 4:
        line, rest = rest.split(b"\n", 1)
        if not line.startswith(b"#"):
            header.extend(line.split())
    width, height = int(header[1]), int(header[2])

    def pixel(x, y):
        i = 3 * (y * width + x)
        return tuple(rest[i:i + 3])

    face = [(x, y) for y in range(height) for x in range(width)
            if pixel(x, y) == BOARD_BACKGROUND]
    assert face, "no board drawn in the window"
    left, right = min(x for x, _ in face), max(x for x, _ in face) + 1
    top, bottom = min(y for _, y in face), max(y for _, y in face) + 1
    # The board's own layout: a 4-pixel border, one pitch both ways, centred.
    pitch = min((right - left - 8) / 128, (bottom - top - 8) / 32)
    x0 = left + (right - left - pitch * 128) / 2
    y0 = top + (bottom - top - pitch * 32) / 2
    out = bytearray(512)
    for y in range(32):
        for x in range(128):
            r, g, b = pixel(int(x0 + (x + 0.5) * pitch), int(y0 + (y + 0.5) * pitch))
            if r > 0xC0:
                out[16 * y + x // 8] |= 0x80 >> (x % 8)
    return bytes(out)


class PictureWindowEndToEnd(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.xvfb = lib.Xvfb()

    @classmethod
    def tearDownClass(cls):
        cls.xvfb.stop()

    def setUp(self):
        # Cleanups run even when setUp fails half-way, so nothing is left running.
        self.tmp = lib.TempFolder("obraz-e2e-")
        self.addCleanup(self.tmp.remove)
        self.config = self.tmp.join("config")
        self.work = self.tmp.join("work")
        os.makedirs(self.work)
        self.picture = os.path.join(self.work, "szachownica.png")
        write_png(self.picture, 256, 64, picture)
        with open(os.path.join(self.work, "ustaw.txt"), "w") as f:
            f.write("PORT %d\nMODEL\n" % PORT)
        self.board = lib.Emulator(BIN, PORT, self.config)
        self.addCleanup(self.board.stop)
        self.program = subprocess.Popen(
            [os.path.join(BIN, "tablica-obraz")], cwd=self.work,
            env=self.xvfb.env(XDG_CONFIG_HOME=self.config),
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(self.stop_program)
        self.window = lib.WindowDriver(self.xvfb, lib.wait_for_window(self.xvfb, WINDOW_TITLE))
        self.window.focus()

    def stop_program(self):
        if self.program.poll() is None:
            self.program.terminate()
            try:
                self.program.wait(10)
            except subprocess.TimeoutExpired:
                self.program.kill()
                self.program.wait()

    def converted(self, *options):
        out = self.tmp.join("convert-%d.bmp" % len(os.listdir(self.tmp.path)))
        subprocess.run([os.path.join(BIN, "tablica-convert"), *options, self.picture, out],
                       check=True, stdout=subprocess.DEVNULL)
        return bmp_dots(out)

    def test_opened_picture_with_a_changed_choice_reaches_the_board_as_previewed(self):
        self.window.keys("alt+o")
        self.window.choose_in_dialog(self.picture, caption=DIALOG_TITLE, search=DIALOG_TITLE)
        # "Świecą": from the dark parts to the bright parts.
        self.window.keys("alt+e", "Down")
        time.sleep(0.5)
        shot = subprocess.run(["import", "-window", self.window.window, "-depth", "8", "ppm:-"], env=self.xvfb.env(),
                              check=True, stdout=subprocess.PIPE).stdout
        previewed = screen_dots(shot)
        self.window.keys("alt+w")

        units = self.board.units(1)
        self.assertEqual(units[0]["event"], "frame")
        self.assertTrue(units[0]["checksum_ok"])
        received = bytes.fromhex(units[0]["bytes"])[4:516]
        self.assertEqual(received, previewed)
        self.assertEqual(received, self.converted("--lit", "bright"))
        self.assertNotEqual(received, self.converted())
        self.assertEqual(self.board.quiet(0.5), [])


if __name__ == "__main__":
    BIN = sys.argv.pop(1)
    unittest.main(verbosity=2)
