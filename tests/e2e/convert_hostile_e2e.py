#!/usr/bin/env python3
"""tablica-convert (and tablica-send --convert) against files and paths a
hostile user would give: each ends within seconds with the right picture,
or with a Polish message, exit code 1 and nothing written."""

import os
import resource
import stat
import subprocess
import sys
import threading
import time
import unittest
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import tablica_kit as kit  # noqa: E402
from tablica_kit import bitmap_dots, gif_bytes as gif, png_chunk as chunk  # noqa: E402
from tablica_kit import png_of_rows as png  # noqa: E402

BIN = None
PORT = 12
LIMIT = 1536 * 1024 * 1024  # address space of the thin-picture runs
SECONDS = 30  # the longest any case may take, on a busy machine


def limited():
    resource.setrlimit(resource.RLIMIT_AS, (LIMIT, LIMIT))


class HostileInput(unittest.TestCase):
    def setUp(self):
        self.tmp = kit.TempFolder("convert-hostile-")

    def tearDown(self):
        self.tmp.remove()

    def write(self, name, data):
        with open(self.tmp.join(name), "wb") as f:
            f.write(data)
        return self.tmp.join(name)

    def run_tool(self, *args, name="tablica-convert", limit=False, env=None):
        start = time.monotonic()
        result = subprocess.run([os.path.join(BIN, name), *args], cwd=self.tmp.join(),
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                timeout=SECONDS, preexec_fn=limited if limit else None,
                                env=env)
        result.seconds = time.monotonic() - start
        return result

    def assertRefused(self, result, message):
        self.assertEqual((result.returncode, result.stderr), (1, message + "\n"))

    def test_thin_pictures_placed_to_fill_light_every_dot_in_little_memory(self):
        for height in (250000, 1000000):
            with self.subTest(height=height):
                source = self.write("thin.png", png(1, height))
                result = self.run_tool("--place", "fill", source, "thin.bmp", limit=True)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(bitmap_dots(self.tmp.join("thin.bmp")), b"\xff" * 512)
                print(f"1 x {height}: {result.seconds:.2f} s", file=sys.stderr)

    def test_a_thin_picture_sent_with_convert_arrives_whole(self):
        config = self.tmp.join("config")
        board = kit.Emulator(BIN, PORT, config)
        try:
            self.write("thin.png", png(1, 1000000))
            result = self.run_tool("--convert", "--port", str(PORT), "--place", "fill",
                                   "thin.png", name="tablica-send", limit=True,
                                   env=dict(os.environ, XDG_CONFIG_HOME=config))
            self.assertEqual(result.returncode, 0, result.stderr)
            (unit,) = board.units(1)
            self.assertEqual(bytes.fromhex(unit["bytes"])[4:516], b"\xff" * 512)
        finally:
            board.stop()

    def test_endless_inputs_are_read_no_further_than_a_picture_may_be(self):
        result = self.run_tool("/dev/zero", "out.bmp")
        self.assertRefused(result, "Plik /dev/zero jest za duży na obraz.")
        fifo = self.tmp.join("fifo")
        os.mkfifo(fifo)

        def feed(data, endless):
            try:
                with open(fifo, "wb") as f:
                    f.write(data)
                    while endless:
                        f.write(bytes(1 << 20))
            except BrokenPipeError:
                pass

        for data, endless in ((b"", True), (png(64, 32), False)):
            writer = threading.Thread(target=feed, args=(data, endless), daemon=True)
            writer.start()
            result = self.run_tool(fifo, "out.bmp")
            writer.join(SECONDS)
            if endless:
                self.assertRefused(result, f"Plik {fifo} jest za duży na obraz.")
                self.assertFalse(os.path.exists(self.tmp.join("out.bmp")))
            else:
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(bitmap_dots(self.tmp.join("out.bmp"))[:4], b"\0\0\0\0")

    def test_outputs_that_are_no_regular_files_are_never_replaced(self):
        targets = [("fifo", lambda p: os.mkfifo(p)), ("folder", os.mkdir)]
        if os.geteuid() == 0:  # root could rename over a device: one of our own
            targets.append(("null", lambda p: os.mknod(p, 0o666 | stat.S_IFCHR,
                                                      os.makedev(1, 3))))
        for name, make in targets:
            with self.subTest(name):
                path = self.tmp.join(name)
                make(path)
                kind = stat.S_IFMT(os.lstat(path).st_mode)
                for args in (["--text", "A", path], ["--text", "A", "--preview", path, "o.bmp"]):
                    result = self.run_tool(*args)
                    self.assertRefused(result, f"Nie zapisuję do {path}: to nie jest zwykły plik.")
                    self.assertEqual(stat.S_IFMT(os.lstat(path).st_mode), kind)
                    self.assertFalse(os.path.exists(self.tmp.join("o.bmp")))

    def test_paths_named_twice_and_a_preview_that_fails_write_nothing(self):
        picture = self.write("in.png", png(64, 32))
        self.assertEqual(self.run_tool("--text", "Stare", "out.bmp").returncode, 0)
        with open(self.tmp.join("out.bmp"), "rb") as f:
            old = f.read()
        cases = [
            ([picture, "./in.png"], "Obraz wejściowy i bitmapa wyjściowa to ten sam plik "
                                    "(./in.png); nic nie zapisano."),
            ([picture, "--preview", "out.bmp", "out.bmp"],
             "Podgląd i bitmapa wyjściowa to ten sam plik (out.bmp); nic nie zapisano."),
            ([picture, "--preview", "brak/p.png", "out.bmp"],
             "Nie mogę zapisać pliku brak/p.png."),
        ]
        for args, message in cases:
            with self.subTest(message):
                self.assertRefused(self.run_tool(*args), message)
                with open(picture, "rb") as f:
                    self.assertEqual(f.read(), png(64, 32))
                with open(self.tmp.join("out.bmp"), "rb") as f:
                    self.assertEqual(f.read(), old)
        self.assertEqual(sorted(os.listdir(self.tmp.join())), ["in.png", "out.bmp"])

    def test_damaged_and_oversized_pictures_are_refused_in_polish_only(self):
        whole = png(40, 30, depth=8, colour=2, row=bytes(range(120)))
        bad_header = bytearray(whole)
        bad_header[29] ^= 1  # the header's checksum
        black = gif((64, 32), (64, 32))
        # Checksums right, contents wrong: only the decoder itself finds out.
        signed = kit.png_signed_header(4, 4)
        stream = zlib.compress(bytes(5) * 4)
        broken_stream = signed + chunk(b"IDAT", stream[:2] + b"\xff" * 4 + stream[6:])
        bad_filter = signed + chunk(b"IDAT", zlib.compress(b"\x07\0\0\0\0" * 4))
        cases = [
            ("stream.png", broken_stream + chunk(b"IEND", b""),
             "Obraz stream.png jest uszkodzony albo niepełny."),
            ("filter.png", bad_filter + chunk(b"IEND", b""),
             "Obraz filter.png jest uszkodzony albo niepełny."),
            ("head.png", bytes(bad_header), "Obraz head.png jest uszkodzony albo niepełny."),
            ("cut.png", whole[:len(whole) // 2], "Obraz cut.png jest uszkodzony albo niepełny."),
            ("cut.gif", black[:len(black) // 2], "Obraz cut.gif jest uszkodzony albo niepełny."),
            ("screen.gif", gif((10000, 10000), (1, 1)),
             "Obraz screen.gif ma 10000 × 10000 pikseli, ponad 64 megapiksele; "
             "takiego nie wczytuję."),
        ]
        for name, data, message in cases:
            with self.subTest(name):
                self.write(name, data)
                self.assertRefused(self.run_tool(name, "out.bmp"), message)
                self.assertFalse(os.path.exists(self.tmp.join("out.bmp")))
        self.write("whole.gif", black)
        self.assertEqual(self.run_tool("whole.gif", "out.bmp").returncode, 0)

    def test_a_deep_picture_within_the_limit_converts(self):
        # 36 megapixels at 16 bits a channel: 288 MB once decoded.
        row = bytes(range(256)) * (6000 * 6 // 256) + bytes(6000 * 6 % 256)
        self.write("deep.png", png(6000, 6000, depth=16, colour=2, row=row, level=1))
        result = self.run_tool("deep.png", "out.bmp")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stderr, "")


if __name__ == "__main__":
    BIN = sys.argv.pop(1)
    unittest.main(verbosity=2)
