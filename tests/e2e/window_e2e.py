#!/usr/bin/env python3
"""The real window under a private Xvfb, driven by keystrokes (xdotool):
a picture chosen through the real file dialog, "&Wyślij" pressed with
Alt+W, and the virtual board must receive exactly the bytes worked out here
from the pictures."""

import os
import subprocess
import sys
import time
import unittest

import e2e_lib as lib

BIN = None
PORT = 7
WINDOW_TITLE = "Zapis bitmapy do tablicy informacyjnej."
DIALOG_TITLE = "Wybierz plik z bitmap"
# Points inside controls of the window's fixed layout (client coordinates):
# the CAN check box at (24, 240) 273 x 17, and the second file button at
# (112, 24) 145 x 25 in its group box at (24, 264).
CAN_BOX = (30, 248)
SECOND_FILE_BUTTON = (24 + 112 + 72, 264 + 24 + 12)


class WindowEndToEnd(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.xvfb = lib.Xvfb()

    @classmethod
    def tearDownClass(cls):
        cls.xvfb.stop()

    def setUp(self):
        self.tmp = lib.TempFolder("window-e2e-")
        self.config = self.tmp.join("config")
        self.work = self.tmp.join("work")
        os.makedirs(self.work)
        self.first, self.second = lib.pattern(3), lib.pattern(4)
        self.first_path = os.path.join(self.work, "first.bmp")
        self.second_path = os.path.join(self.work, "second.bmp")
        lib.write_bmp(self.first_path, self.first)
        lib.write_bmp(self.second_path, self.second, top_down=True)
        with open(os.path.join(self.work, "ustaw.txt"), "w") as f:
            f.write("PORT %d\nMODEL\n" % PORT)
        self.board = lib.Emulator(BIN, PORT, self.config)
        self.program = subprocess.Popen(
            [os.path.join(BIN, "zapis-bitmapy")], cwd=self.work,
            env=self.xvfb.env(XDG_CONFIG_HOME=self.config),
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.window = lib.wait_for_window(self.xvfb, WINDOW_TITLE)
        self.focus(self.window)

    def tearDown(self):
        if self.program.poll() is None:
            self.program.terminate()
            try:
                self.program.wait(10)
            except subprocess.TimeoutExpired:
                self.program.kill()
                self.program.wait()
        self.board.stop()
        self.tmp.remove()

    # There is no window manager: focus is handed over by hand.
    def focus(self, window):
        lib.xdotool(self.xvfb, "windowfocus", "--sync", window)
        time.sleep(0.2)

    def keys(self, *keys):
        for key in keys:
            lib.xdotool(self.xvfb, "key", "--clearmodifiers", key)
            time.sleep(0.15)

    def click(self, x, y):
        lib.xdotool(self.xvfb, "mousemove", "--window", self.window, str(x), str(y))
        time.sleep(0.1)
        lib.xdotool(self.xvfb, "click", "1")
        time.sleep(0.3)

    def choose_in_dialog(self, path):
        """Types `path` into the open file dialog and accepts it."""
        dialog = lib.wait_for_window(self.xvfb, DIALOG_TITLE)
        self.focus(dialog)
        self.keys("ctrl+a")
        lib.xdotool(self.xvfb, "type", "--delay", "20", path)
        time.sleep(0.3)
        self.keys("Return")
        lib.wait_window_gone(self.xvfb, dialog)
        self.focus(self.window)

    def test_picture_chosen_by_keys_goes_out_as_one_frame(self):
        self.keys("alt+o")
        self.choose_in_dialog(self.first_path)
        self.keys("alt+w")
        lib.check_units(self.board.units(1),
                        [("frame", 1, lib.expected_frame(self.first, can=False))])
        self.assertEqual(self.board.quiet(0.5), [])
        # Sent again, unchanged: the same bytes.
        self.keys("alt+w")
        lib.check_units(self.board.units(1),
                        [("frame", 1, lib.expected_frame(self.first, can=False))])

    def test_can_box_and_second_picture_add_the_second_boards_block(self):
        self.keys("alt+o")
        self.choose_in_dialog(self.first_path)
        # The CAN box and the second file button (shown once the box is
        # ticked) by mouse, where the window's fixed layout puts them.
        self.click(*CAN_BOX)
        self.click(*SECOND_FILE_BUTTON)
        self.choose_in_dialog(self.second_path)
        self.keys("alt+w")
        lib.check_units(self.board.units(2),
                        [("frame", 1, lib.expected_frame(self.first, can=True)),
                         ("block", 2, lib.expected_block(self.second))])
        self.assertEqual(self.board.quiet(0.5), [])


if __name__ == "__main__":
    BIN = sys.argv.pop(1)
    unittest.main(verbosity=2)
