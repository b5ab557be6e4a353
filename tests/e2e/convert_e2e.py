#!/usr/bin/env python3
"""tablica-convert and tablica-send --convert with the virtual board: what
the converter writes, sent to the board, arrives as the dots of its own
preview; a text sent with --convert arrives as the text's preview shows it;
a damaged picture sends nothing."""

import os
import subprocess
import sys
import unittest

import e2e_lib as lib

BIN = None
PORT = 11
PITCH, BORDER = 5, 4  # the preview's default drawing


def preview_dots(path):
    """The dots a preview PNG shows, read back with ImageMagick: a dot is lit
    where its centre is bright."""
    width = lib.WIDTH * PITCH + 2 * BORDER
    rgb = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], check=True,
                         stdout=subprocess.PIPE).stdout
    out = bytearray(512)
    for y in range(lib.HEIGHT):
        for x in range(lib.WIDTH):
            cx, cy = BORDER + PITCH * x + PITCH // 2, BORDER + PITCH * y + PITCH // 2
            if rgb[3 * (cy * width + cx)] > 200:
                out[16 * y + x // 8] |= 0x80 >> (x % 8)
    return bytes(out)


def frame_dots(unit):
    data = bytes.fromhex(unit["bytes"])
    return data[4:516]


class ConvertEndToEnd(unittest.TestCase):
    def setUp(self):
        self.tmp = lib.TempFolder("convert-e2e-")
        self.config = self.tmp.join("config")
        self.board = lib.Emulator(BIN, PORT, self.config)

    def tearDown(self):
        self.board.stop()
        self.tmp.remove()

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
            self.assertEqual(frame_dots(unit), shown, options)

    def test_text_sent_with_convert_arrives_as_its_preview_shows_it(self):
        text = ["--text", "Zażółć gęślą", "--text", "jaźń", "--align", "left"]
        result = self.run_tool("tablica-convert", *text, "--preview", "p.png", "out.bmp")
        self.assertEqual(result.returncode, 0, result.stderr)
        result = self.run_tool("tablica-send", "--convert", "--port", str(PORT), "--can", *text)
        self.assertEqual(result.returncode, 0, result.stderr)
        frame, block = self.board.units(2)
        self.assertEqual(frame_dots(frame), preview_dots(self.tmp.join("p.png")))
        self.assertEqual(bytes.fromhex(block["bytes"])[:512], frame_dots(frame))

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
