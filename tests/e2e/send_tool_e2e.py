#!/usr/bin/env python3
"""tablica-send writing to the virtual board over a real pseudo-terminal:
the board must receive exactly the bytes worked out by the test kit from the
pictures."""

import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import tablica_kit as kit  # noqa: E402

BIN = None
PORT = 7


class SendToolEndToEnd(unittest.TestCase):
    def setUp(self):
        self.tmp = kit.TempFolder("send-e2e-")
        self.addCleanup(self.tmp.remove)
        self.config = self.tmp.join("config")
        self.work = self.tmp.join("work")
        os.makedirs(self.work)
        self.first, self.second = kit.pattern(1), kit.pattern(2)
        kit.write_bmp(os.path.join(self.work, "first.bmp"), self.first)
        kit.write_bmp(os.path.join(self.work, "second.bmp"), self.second, top_down=True)
        kit.write_settings(self.work, PORT)
        self.board = kit.Emulator(BIN, PORT, self.config)
        self.addCleanup(self.stop_board)

    def stop_board(self):
        self.board.stop()
        self.assertFalse(os.path.lexists(self.board.link), "the port link was left behind")

    def send(self, *args):
        return subprocess.run([os.path.join(BIN, "tablica-send"), *args], cwd=self.work,
                              env=dict(os.environ, XDG_CONFIG_HOME=self.config),
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, timeout=60)

    def test_pictures_arrive_byte_for_byte(self):
        # One picture to the port named in ustaw.txt; a second picture over
        # CAN; --can alone repeats the first picture on the second board.
        cases = [
            (["first.bmp"], [("frame", 1, kit.expected_frame(self.first, can=False))]),
            (["--second", "second.bmp", "first.bmp"],
             [("frame", 1, kit.expected_frame(self.first, can=True)),
              ("block", 2, kit.expected_block(self.second))]),
            (["--can", "first.bmp"],
             [("frame", 1, kit.expected_frame(self.first, can=True)),
              ("block", 2, kit.expected_block(self.first))]),
        ]
        for args, expected in cases:
            with self.subTest(args=args):
                result = self.send(*args)
                self.assertEqual((result.returncode, result.stderr), (0, ""))
                kit.check_units(self.board.units(len(expected)), expected)

    def test_runs_one_after_another_reopen_the_port(self):
        for _ in range(3):
            result = self.send("--port", str(PORT), "first.bmp")
            self.assertEqual(result.returncode, 0, result.stderr)
        kit.check_units(self.board.units(3),
                        [("frame", 1, kit.expected_frame(self.first, can=False))] * 3)

    def test_a_board_reading_at_line_speed_still_gets_every_byte(self):
        with kit.Emulator(BIN, PORT + 2, self.config, extra=("--baud", "9600")) as paced:
            result = self.send("--port", str(PORT + 2), "--second", "second.bmp", "first.bmp")
            self.assertEqual(result.returncode, 0, result.stderr)
            kit.check_units(paced.units(2),
                            [("frame", 1, kit.expected_frame(self.first, can=True)),
                             ("block", 2, kit.expected_block(self.second))])

    def test_failures_send_nothing_and_say_why(self):
        # A picture that cannot be read (the whole message), a port with no
        # board behind it (the link's message among the lines).
        cases = [
            (["--second", "missing.bmp", "first.bmp"],
             "Nie mogę otworzyc pliku%s.\n" % os.path.join(self.work, "missing.bmp"), True),
            (["--port", str(PORT + 1), "first.bmp"],
             "Nie mogę otworzyć portu COM%d." % (PORT + 1), False),
        ]
        for args, message, whole in cases:
            with self.subTest(args=args):
                result = self.send(*args)
                self.assertNotEqual(result.returncode, 0)
                if whole:
                    self.assertEqual(result.stderr, message)
                else:
                    self.assertIn(message, result.stderr)
                self.assertEqual(self.board.quiet(0.5), [])

if __name__ == "__main__":
    BIN = sys.argv.pop(1)
    unittest.main(verbosity=2)
