#!/usr/bin/env python3
"""The picture window under a private Xvfb, driven by keystrokes (xdotool):
a PNG opened through the real file dialog, a choice changed, "Wyślij na
tablicę" pressed, and the virtual board must receive the dots the preview
showed on the screen (read back from a screenshot), which are the dots
tablica-convert makes of the same picture with the same choice."""

import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import tablica_kit as kit  # noqa: E402
from xserver import WindowDriver, XServer  # noqa: E402

BIN = None
PORT = 7
DIALOG_TITLE = "Otwórz obraz"
BOARD_BACKGROUND = (0x14, 0x12, 0x10)  # how the board's face is drawn


def picture(x, y):
    """Dark stripes and a light square on a mid-grey ground, 256 x 64."""
    if 150 <= x < 200 and 10 <= y < 50:
        return 240
    return 20 if (x // 16 + y // 16) % 2 == 0 else 140


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
        cls.x = XServer()

    @classmethod
    def tearDownClass(cls):
        cls.x.stop()

    def setUp(self):
        # Cleanups run even when setUp fails half-way, so nothing is left running.
        self.tmp = kit.TempFolder("obraz-e2e-")
        self.addCleanup(self.tmp.remove)
        self.config = self.tmp.join("config")
        self.work = self.tmp.join("work")
        os.makedirs(self.work)
        self.picture = kit.write_png(os.path.join(self.work, "szachownica.png"), 256, 64, picture)
        kit.write_settings(self.work, PORT)
        self.board = kit.Emulator(BIN, PORT, self.config)
        self.addCleanup(self.board.stop)
        # The program's output goes to a file that a failure quotes.
        self.log = open(self.tmp.join("program.log"), "wb")
        self.addCleanup(self.log.close)
        self.program = kit.Process(
            [os.path.join(BIN, "tablica-obraz")], cwd=self.work,
            env=self.x.env(XDG_CONFIG_HOME=self.config),
            stdout=self.log, stderr=subprocess.STDOUT)
        self.addCleanup(self.program.stop)
        self.window = WindowDriver(self.x, self.x.wait_for_window(
            kit.OBRAZ_TITLE, process=self.program, log=self.log.name))
        self.window.focus()

    def converted(self, *options):
        return kit.converted_dots(BIN, self.tmp.join(), *options, self.picture)

    def test_opened_picture_with_a_changed_choice_reaches_the_board_as_previewed(self):
        self.window.keys("alt+o")
        self.window.choose_in_dialog(self.picture, caption=DIALOG_TITLE, search=DIALOG_TITLE)
        # "Świecą": from the dark parts to the bright parts. The preview is
        # read again until it shows what tablica-convert makes (at most 10 s;
        # a preview that never does fails below).
        self.window.keys("alt+e", "Down")
        expected = self.converted("--lit", "bright")
        deadline = time.monotonic() + 10
        while True:
            previewed = screen_dots(self.x.screenshot(self.window.window))
            if previewed == expected or time.monotonic() > deadline:
                break
            time.sleep(0.1)
        self.window.keys("alt+w")

        units = self.board.units(1)
        self.assertEqual(units[0]["event"], "frame")
        self.assertTrue(units[0]["checksum_ok"])
        received = kit.unit_dots(units[0])
        self.assertEqual(received, previewed)
        self.assertEqual(received, expected)
        self.assertNotEqual(received, self.converted())
        self.assertEqual(self.board.quiet(0.5), [])


if __name__ == "__main__":
    BIN = sys.argv.pop(1)
    unittest.main(verbosity=2)
