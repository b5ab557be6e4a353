#!/usr/bin/env python3
"""tablica-send writing to the virtual board over a real pseudo-terminal:
the board must receive exactly the bytes worked out here from the pictures."""

import os
import subprocess
import sys
import unittest

import e2e_lib as lib

BIN = None
PORT = 7


class SendToolEndToEnd(unittest.TestCase):
    def setUp(self):
        self.tmp = lib.TempFolder("send-e2e-")
        self.config = self.tmp.join("config")
        self.work = self.tmp.join("work")
        os.makedirs(self.work)
        self.first, self.second = lib.pattern(1), lib.pattern(2)
        lib.write_bmp(os.path.join(self.work, "first.bmp"), self.first)
        lib.write_bmp(os.path.join(self.work, "second.bmp"), self.second, top_down=True)
        with open(os.path.join(self.work, "ustaw.txt"), "w") as f:
            f.write("PORT %d\nMODEL\n" % PORT)
        self.board = lib.Emulator(BIN, PORT, self.config)

    def tearDown(self):
        self.board.stop()
        self.assertFalse(os.path.lexists(self.board.link), "the port link was left behind")
        self.tmp.remove()

    def send(self, *args):
        return subprocess.run([os.path.join(BIN, "tablica-send"), *args], cwd=self.work,
                              env=dict(os.environ, XDG_CONFIG_HOME=self.config),
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, timeout=60)

    def test_one_picture_to_the_port_named_in_ustaw_txt(self):
        result = self.send("first.bmp")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stderr, "")
        lib.check_units(self.board.units(1),
                        [("frame", 1, lib.expected_frame(self.first, can=False))])

    def test_second_picture_over_can(self):
        result = self.send("--second", "second.bmp", "first.bmp")
        self.assertEqual(result.returncode, 0, result.stderr)
        lib.check_units(self.board.units(2),
                        [("frame", 1, lib.expected_frame(self.first, can=True)),
                         ("block", 2, lib.expected_block(self.second))])

    def test_can_alone_repeats_the_first_picture(self):
        result = self.send("--can", "first.bmp")
        self.assertEqual(result.returncode, 0, result.stderr)
        lib.check_units(self.board.units(2),
                        [("frame", 1, lib.expected_frame(self.first, can=True)),
                         ("block", 2, lib.expected_block(self.first))])

    def test_runs_one_after_another_reopen_the_port(self):
        for _ in range(3):
            result = self.send("--port", str(PORT), "first.bmp")
            self.assertEqual(result.returncode, 0, result.stderr)
        lib.check_units(self.board.units(3),
                        [("frame", 1, lib.expected_frame(self.first, can=False))] * 3)

    def test_a_board_reading_at_line_speed_still_gets_every_byte(self):
        paced = lib.Emulator(BIN, PORT + 2, self.config, extra=("--baud", "9600"))
        try:
            result = self.send("--port", str(PORT + 2), "--second", "second.bmp", "first.bmp")
            self.assertEqual(result.returncode, 0, result.stderr)
            lib.check_units(paced.units(2),
                            [("frame", 1, lib.expected_frame(self.first, can=True)),
                             ("block", 2, lib.expected_block(self.second))])
        finally:
            paced.stop()

    def test_a_missing_picture_sends_nothing_and_fails(self):
        result = self.send("--second", "missing.bmp", "first.bmp")
        self.assertNotEqual(result.returncode, 0)
        self.assertEqual(result.stderr,
                         "Nie mogę otworzyc pliku%s.\n" % os.path.join(self.work, "missing.bmp"))
        self.assertEqual(self.board.quiet(0.5), [])

    def test_a_port_without_a_board_fails_with_the_links_message(self):
        result = self.send("--port", str(PORT + 1), "first.bmp")
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("Nie mogę otworzyć portu COM%d." % (PORT + 1), result.stderr)


if __name__ == "__main__":
    BIN = sys.argv.pop(1)
    unittest.main(verbosity=2)
