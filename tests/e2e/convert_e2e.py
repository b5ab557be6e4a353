#!/usr/bin/env python3
"""tablica-convert and tablica-send --convert with the virtual board: what
the converter writes, sent to the board, arrives as the dots of its own
preview; a text sent with --convert arrives as the text's preview shows it;
a damaged picture sends nothing."""

import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import tablica_kit as kit  # noqa: E402

BIN = None
PORT = 11
PITCH, BORDER = 5, 4  # the preview's default drawing


def preview_dots(path):
    """The dots a preview PNG shows, read back with ImageMagick: a dot is lit
    where its centre is bright."""
    width = kit.WIDTH * PITCH + 2 * BORDER
    rgb = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], check=True,
                         stdout=subprocess.PIPE).stdout
    out = bytearray(512)
    for y in range(kit.HEIGHT):
        for x in range(kit.WIDTH):
            cx, cy = BORDER + PITCH * x + PITCH // 2, BORDER + PITCH * y + PITCH // 2
            if rgb[3 * (cy * width + cx)] > 200:
                out[16 * y + x // 8] |= 0x80 >> (x % 8)
    return bytes(out)


class ConvertEndToEnd(unittest.TestCase):
    def setUp(self):
        self.tmp = kit.TempFolder("convert-e2e-")
        self.addCleanup(self.tmp.remove)
        self.config = self.tmp.join("config")
        self.board = kit.Emulator(BIN, PORT, self.config)
        self.addCleanup(self.board.stop)

    def run_tool(self, name, *args):
        return subprocess.run([os.path.join(BIN, name), *args], cwd=self.tmp.join(),
                              env=dict(os.environ, XDG_CONFIG_HOME=self.config),
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                              timeout=60)

    def photo(self, name):
        path = self.tmp.join(name)
        subprocess.run(["convert", "-seed", "7", "-size", "400x300", "plasma:", path], check=True)
        return path

    def test_a_converted_photo_arrives_as_its_preview_shows_it(self):
        photo = self.photo("photo.jpg")
        for options in (["--dots", "diffusion", "--lit", "bright"], ["--place", "fill"],
                        ["--dots", "ordered", "--place", "stretch"]):
            result = self.run_tool("tablica-convert", *options, "--preview", "p.png", photo,
                                   "out.bmp")
            self.assertEqual(result.returncode, 0, result.stderr)
            shown = preview_dots(self.tmp.join("p.png"))
            self.assertTrue(0 < sum(bin(b).count("1") for b in shown) < 4096, options)
            result = self.run_tool("tablica-send", "--port", str(PORT), "out.bmp")
            self.assertEqual(result.returncode, 0, result.stderr)
            (unit,) = self.board.units(1)
            self.assertTrue(unit["checksum_ok"])
            self.assertEqual(kit.unit_dots(unit), shown, options)
            # The whole frame, as the test kit works it out from the bitmap.
            self.assertEqual(kit.unit_bytes(unit),
                             kit.expected_wire_from_bitmaps(self.tmp.join("out.bmp")), options)

    def test_text_sent_with_convert_arrives_as_its_preview_shows_it(self):
        text = ["--text", "Zażółć gęślą", "--text", "jaźń", "--align", "left"]
        result = self.run_tool("tablica-convert", *text, "--preview", "p.png", "out.bmp")
        self.assertEqual(result.returncode, 0, result.stderr)
        result = self.run_tool("tablica-send", "--convert", "--port", str(PORT), "--can", *text)
        self.assertEqual(result.returncode, 0, result.stderr)
        frame, block = self.board.units(2)
        self.assertEqual(kit.unit_dots(frame), preview_dots(self.tmp.join("p.png")))
        self.assertEqual(kit.unit_dots(block), kit.unit_dots(frame))
        self.assertEqual(kit.unit_bytes(frame) + kit.unit_bytes(block),
                         kit.expected_wire_from_bitmaps(self.tmp.join("out.bmp"),
                                                        self.tmp.join("out.bmp")))

    def test_a_damaged_picture_is_refused_and_sends_nothing(self):
        with open(self.photo("photo.jpg"), "rb") as f:
            data = f.read()
        with open(self.tmp.join("cut.jpg"), "wb") as f:
            f.write(data[:len(data) // 2])
        result = self.run_tool("tablica-send", "--convert", "--port", str(PORT), "cut.jpg")
        self.assertNotEqual(result.returncode, 0)
        self.assertEqual(result.stderr, "Obraz cut.jpg jest uszkodzony albo niepełny.\n")
        result = self.run_tool("tablica-convert", "cut.jpg", "out.bmp")
        self.assertEqual(result.returncode, 1)
        self.assertFalse(os.path.exists(self.tmp.join("out.bmp")))
        self.assertEqual(self.board.quiet(0.5), [])


if __name__ == "__main__":
    BIN = sys.argv.pop(1)
    unittest.main(verbosity=2)
