#!/usr/bin/env python3
"""The real window under a private Xvfb, driven by keystrokes (xdotool):
a picture chosen through the real file dialog, "&Wyślij" pressed with
Alt+W, and the virtual board must receive exactly the bytes worked out here
from the pictures."""

import os
import subprocess
import sys
import unittest

import e2e_lib as lib

BIN = None
PORT = 7


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
        self.window = lib.WindowDriver(self.xvfb, lib.wait_for_window(self.xvfb, lib.WINDOW_TITLE))
        self.window.focus()

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

    def test_picture_chosen_by_keys_goes_out_as_one_frame(self):
        self.window.keys("alt+o")
        self.window.choose_in_dialog(self.first_path)
        self.window.keys("alt+w")
        lib.check_units(self.board.units(1),
                        [("frame", 1, lib.expected_frame(self.first, can=False))])
        self.assertEqual(self.board.quiet(0.5), [])
        # Sent again, unchanged: the same bytes.
        self.window.keys("alt+w")
        lib.check_units(self.board.units(1),
                        [("frame", 1, lib.expected_frame(self.first, can=False))])

    def test_can_box_and_second_picture_add_the_second_boards_block(self):
        self.window.keys("alt+o")
        self.window.choose_in_dialog(self.first_path)
        # The CAN box and the second file button (shown once the box is
        # ticked) by mouse, where the window's fixed layout puts them.
        self.window.click(*lib.CAN_BOX)
        self.window.click(*lib.SECOND_FILE_BUTTON)
        self.window.choose_in_dialog(self.second_path)
        self.window.keys("alt+w")
        lib.check_units(self.board.units(2),
                        [("frame", 1, lib.expected_frame(self.first, can=True)),
                         ("block", 2, lib.expected_block(self.second))])
        self.assertEqual(self.board.quiet(0.5), [])


if __name__ == "__main__":
    BIN = sys.argv.pop(1)
    unittest.main(verbosity=2)
