#!/usr/bin/env python3
"""The Python test kit's own checks: its bitmaps and frames against known
bytes, and its helpers against what they promise (processes and X servers
always stopped, the virtual board's link gone with it).

  kit_test.py <folder of the built programs>"""

import os
import signal
import socket
import struct
import subprocess
import sys
import textwrap
import time
import unittest
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tablica_kit as kit  # noqa: E402
from xserver import XServer  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
BIN = None


def gone(pid, timeout=10):
    """Whether process `pid` has ended within `timeout` (a zombie has: who
    reaps an orphan is up to the machine's first process)."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            with open("/proc/%d/stat" % pid) as f:
                if f.read().rsplit(")", 1)[1].split()[0] == "Z":
                    return True
        except FileNotFoundError:
            return True
        time.sleep(0.05)
    return False


def display_gone(display, timeout=10):
    number = display.lstrip(":")
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if not os.path.exists("/tmp/.X11-unix/X" + number) and \
                not os.path.exists("/tmp/.X%s-lock" % number):
            return True
        time.sleep(0.05)
    return False


class PicturesAndFrames(unittest.TestCase):
    def test_frames_and_blocks_have_the_boards_layout_and_known_checksums(self):
        # (picture, frame checksum alone, with a block behind, block checksum)
        cases = [("nothing lit", kit.uniform(1), 0x01, 0x03, 0x03),
                 ("every dot lit", kit.uniform(0), 0x01, 0x03, 0x03),
                 ("top-left dot", [[0 if (x, y) == (0, 0) else 1 for x in range(128)]
                                   for y in range(32)], 0x81, 0x83, 0x83),
                 ("bottom-right dot", [[0 if (x, y) == (127, 31) else 1 for x in range(128)]
                                       for y in range(32)], 0x00, 0x02, 0x02)]
        for name, pixels, alone, announcing, block in cases:
            with self.subTest(name):
                frame = kit.expected_frame(pixels, can=False)
                self.assertEqual(len(frame), kit.FRAME_BYTES)
                self.assertEqual(frame[:4], bytes([0xAA, 0x01, 0x00, 0x00]))
                self.assertEqual(frame[4:-1], kit.dots(pixels))
                self.assertEqual(frame[-1], alone)
                self.assertEqual(kit.expected_frame(pixels, can=True)[3:4], b"\x02")
                self.assertEqual(kit.expected_frame(pixels, can=True)[-1], announcing)
                self.assertEqual(kit.expected_block(pixels)[-1], block)
                self.assertEqual(len(kit.expected_block(pixels)), kit.BLOCK_BYTES)
        self.assertEqual(kit.dots(cases[2][1])[:2], b"\x80\x00")
        self.assertEqual(kit.dots(cases[3][1])[-2:], b"\x00\x01")
        self.assertEqual(kit.expected_wire(bytes(512), bytes([1] * 512)),
                         kit.frame_bytes(bytes(512), 2) + kit.block_bytes(bytes([1] * 512)))

    def test_bitmaps_are_laid_out_as_the_format_says(self):
        pixels = kit.pattern(1)
        for top_down in (False, True):
            data = kit.bmp_bytes(pixels, top_down=top_down)
            size, offset, info, width, height, planes, bits = struct.unpack_from(
                "<2xI4xIIiiHH", data)
            self.assertEqual((data[:2], size, offset, info), (b"BM", len(data), 62, 40))
            self.assertEqual((width, height, planes, bits),
                             (128, -32 if top_down else 32, 1, 1))
            self.assertEqual(data[54:62], bytes([0, 0, 0, 0, 255, 255, 255, 0]))
            top_row = data[62:78] if top_down else data[-16:]
            self.assertEqual(top_row, bytes(b ^ 0xFF for b in kit.dots(pixels)[:16]))
        # Narrow and odd sizes get rows padded to whole 32-bit words.
        self.assertEqual(len(kit.bmp_bytes(kit.pattern(2, 9, 3))), 62 + 3 * 4)

    def test_a_bitmaps_dots_are_read_back_whichever_way_up_and_whatever_its_colours(self):
        for seed in range(3):
            for top_down in (False, True):
                pixels = kit.pattern(seed)
                self.assertEqual(kit.bitmap_dots(kit.bmp_bytes(pixels, top_down)),
                                 kit.dots(pixels))
        # Index 0 is lit even when it is white.
        pixels = kit.pattern(4)
        inverted = kit.bmp_bytes(pixels, palette=(0xFFFFFF, 0x000000))
        self.assertEqual(kit.bitmap_dots(inverted), kit.dots(pixels))
        self.assertEqual(kit.expected_wire_from_bitmaps(inverted, inverted),
                         kit.expected_frame(pixels, True) + kit.expected_block(pixels))

    def test_what_is_no_board_bitmap_is_refused_with_its_reason(self):
        good = kit.bmp_bytes(kit.pattern(1))
        eight_bits = good[:28] + struct.pack("<H", 8) + good[30:]
        for name, data, reason in [
                ("empty", b"", "not a Windows bitmap"),
                ("not BM", b"PM" + good[2:], "not a Windows bitmap"),
                ("64 wide", kit.bmp_bytes(kit.pattern(1, 64, 32)), "not a 1-bit 128 x 32"),
                ("8 bits", eight_bits, "not a 1-bit 128 x 32"),
                ("cut short", good[:-1], "run past its end")]:
            with self.subTest(name):
                with self.assertRaisesRegex(AssertionError, reason):
                    kit.bitmap_dots(data)

    def test_png_holds_the_grey_levels_given(self):
        data = kit.png_bytes(5, 3, lambda x, y: x * 50 + y)
        self.assertEqual(data[:8], b"\x89PNG\r\n\x1a\n")
        width, height, depth, colour = struct.unpack_from(">IIBB", data, 16)
        self.assertEqual((width, height, depth, colour), (5, 3, 8, 0))
        length = struct.unpack_from(">I", data, 33)[0]
        self.assertEqual(data[37:41], b"IDAT")
        raw = zlib.decompress(data[41:41 + length])
        self.assertEqual(raw, b"".join(b"\x00" + bytes(x * 50 + y for x in range(5))
                                       for y in range(3)))


class Processes(unittest.TestCase):
    def test_stop_ends_a_process_even_when_it_ignores_sigterm(self):
        stubborn = kit.Process(
            [sys.executable, "-c", "import signal, time\n"
             "signal.signal(signal.SIGTERM, signal.SIG_IGN)\nprint('ready', flush=True)\n"
             "time.sleep(60)"], grace=0.5, stdout=subprocess.PIPE)
        self.addCleanup(stubborn.proc.stdout.close)
        self.assertEqual(stubborn.proc.stdout.readline(), b"ready\n")
        self.assertEqual(stubborn.stop(), -signal.SIGKILL)
        self.assertFalse(stubborn.running())
        self.assertEqual(stubborn.stop(), -signal.SIGKILL)  # a second stop is harmless

    def test_what_a_program_started_goes_when_it_ends_or_is_killed(self):
        # A test program that starts a child, says its number and then ends
        # without stopping it: by returning, or killed outright.
        program = textwrap.dedent("""
            import sys, time
            sys.path.insert(0, %r)
            import tablica_kit as kit
            child = kit.Process(["sleep", "60"])
            print(child.pid, flush=True)
            if sys.argv[1] == "return":
                sys.exit(0)
            time.sleep(60)
            """ % HERE)
        for how in ("return", "killed"):
            with self.subTest(how):
                parent = subprocess.Popen([sys.executable, "-c", program, how],
                                          stdout=subprocess.PIPE)
                child = int(parent.stdout.readline())
                if how == "killed":
                    parent.kill()
                parent.wait()
                parent.stdout.close()
                self.assertTrue(gone(child), "the child %d outlived its program" % child)

    def test_a_free_port_can_be_listened_on_and_is_waited_for(self):
        port = kit.free_port()
        with socket.socket() as listener:
            listener.bind(("127.0.0.1", port))
            listener.listen()
            kit.wait_for_port(port, timeout=2)
        # A server that ends before it listens is reported at once.
        ended = kit.Process(["true"])
        ended.wait()
        began = time.monotonic()
        with self.assertRaisesRegex(AssertionError, "ended"):
            kit.wait_for_port(kit.free_port(), timeout=30, process=ended)
        self.assertLess(time.monotonic() - began, 5)


class XServers(unittest.TestCase):
    def test_a_server_answers_and_is_gone_after_its_block(self):
        with XServer("320x200x24") as x:
            self.assertEqual(x.xdotool("getdisplaygeometry").split(), ["320", "200"])
            display = x.display
        self.assertTrue(display_gone(display))

    def test_the_command_runs_on_its_own_display_and_its_exit_code_is_kept(self):
        result = subprocess.run(
            [sys.executable, os.path.join(HERE, "xserver.py"), "--size", "320x200x24", "--",
             "sh", "-c", 'echo "$DISPLAY $QT_QPA_PLATFORM"; xdotool getdisplaygeometry; exit 3'],
            stdout=subprocess.PIPE, text=True, timeout=60)
        self.assertEqual(result.returncode, 3)
        display, platform, width, height = result.stdout.split()
        self.assertEqual((platform, width, height), ("xcb", "320", "200"))
        self.assertTrue(display_gone(display))

    def test_a_signal_ends_the_command_and_then_the_server(self):
        runner = subprocess.Popen(
            [sys.executable, os.path.join(HERE, "xserver.py"), "--",
             "sh", "-c", 'echo "$DISPLAY $$"; exec sleep 60'], stdout=subprocess.PIPE, text=True)
        display, command = runner.stdout.readline().split()
        runner.send_signal(signal.SIGTERM)
        self.assertEqual(runner.wait(30), 128 + signal.SIGTERM)
        runner.stdout.close()
        self.assertTrue(gone(int(command)))
        self.assertTrue(display_gone(display))


class VirtualBoard(unittest.TestCase):
    def test_the_board_reports_what_arrives_and_leaves_no_link_behind(self):
        board = kit.Emulator(BIN, 23)
        self.addCleanup(board.stop)
        self.assertEqual(os.path.realpath(board.link), os.path.realpath(board.device))
        first, second = kit.pattern(7), kit.pattern(8)
        wire = kit.expected_frame(first, True) + kit.expected_block(second) + b"\x42"
        line = os.open(board.link, os.O_RDWR | os.O_NOCTTY)
        try:
            os.write(line, wire)
            units = board.units(3)
        finally:
            os.close(line)
        kit.check_units(units[:2], [("frame", 1, kit.expected_frame(first, True)),
                                    ("block", 2, kit.expected_block(second))])
        self.assertEqual((units[2]["event"], kit.unit_bytes(units[2])), ("garbage", b"\x42"))
        self.assertEqual(kit.unit_dots(units[0]), kit.dots(first))
        self.assertEqual(kit.unit_dots(units[1]), kit.dots(second))
        config = board.config_home
        board.stop()
        self.assertFalse(os.path.lexists(board.link))
        self.assertFalse(os.path.exists(config))


if __name__ == "__main__":
    BIN = sys.argv.pop(1)
    unittest.main(verbosity=2)
