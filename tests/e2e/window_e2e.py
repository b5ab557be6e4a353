#!/usr/bin/env python3
"""The real window under a private X server, driven by keystrokes (xdotool):
a picture chosen through the real file dialog, "&Wyślij" pressed with
Alt+W, and the virtual board must receive exactly the bytes the test kit
works out from the pictures."""

import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import tablica_kit as kit  # noqa: E402
from xserver import WindowDriver, XServer  # noqa: E402

BIN = None
PORT = 7


class WindowEndToEnd(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.x = XServer()

    @classmethod
    def tearDownClass(cls):
        cls.x.stop()

    def setUp(self):
        self.tmp = kit.TempFolder("window-e2e-")
        self.addCleanup(self.tmp.remove)
        self.config = self.tmp.join("config")
        self.work = self.tmp.join("work")
        os.makedirs(self.work)
        self.first, self.second = kit.pattern(3), kit.pattern(4)
        self.first_path = kit.write_bmp(os.path.join(self.work, "first.bmp"), self.first)
        self.second_path = kit.write_bmp(os.path.join(self.work, "second.bmp"), self.second,
                                         top_down=True)
        kit.write_settings(self.work, PORT)
        self.board = kit.Emulator(BIN, PORT, self.config)
        self.addCleanup(self.board.stop)
        # The program's output goes to a file that a failure quotes.
        self.log = open(self.tmp.join("program.log"), "wb")
        self.addCleanup(self.log.close)
        self.program = kit.Process(
            [os.path.join(BIN, "zapis-bitmapy")], cwd=self.work,
            env=self.x.env(XDG_CONFIG_HOME=self.config),
            stdout=self.log, stderr=subprocess.STDOUT)
        self.addCleanup(self.program.stop)
        self.window = WindowDriver(self.x, self.x.wait_for_window(
            kit.WINDOW_TITLE, process=self.program, log=self.log.name))
        self.window.focus()

    def test_picture_chosen_by_keys_goes_out_as_one_frame(self):
        self.window.keys("alt+o")
        self.window.choose_in_dialog(self.first_path)
        self.window.keys("alt+w")
        kit.check_units(self.board.units(1),
                        [("frame", 1, kit.expected_frame(self.first, can=False))])
        self.assertEqual(self.board.quiet(0.5), [])
        # Sent again, unchanged: the same bytes.
        self.window.keys("alt+w")
        kit.check_units(self.board.units(1),
                        [("frame", 1, kit.expected_frame(self.first, can=False))])

    def test_can_box_and_second_picture_add_the_second_boards_block(self):
        self.window.keys("alt+o")
        self.window.choose_in_dialog(self.first_path)
        # The CAN box and the second file button (shown once the box is
        # ticked) by mouse, where the window's fixed layout puts them.
        self.window.click(*kit.CAN_BOX)
        self.window.click(*kit.SECOND_FILE_BUTTON)
        self.window.choose_in_dialog(self.second_path)
        self.window.keys("alt+w")
        kit.check_units(self.board.units(2),
                        [("frame", 1, kit.expected_frame(self.first, can=True)),
                         ("block", 2, kit.expected_block(self.second))])
        self.assertEqual(self.board.quiet(0.5), [])


if __name__ == "__main__":
    BIN = sys.argv.pop(1)
    unittest.main(verbosity=2)
