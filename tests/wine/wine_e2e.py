#!/usr/bin/env python3
"""The Windows programs of the portable folder under Wine, against the virtual
board (the Linux build, --json) on a pseudo-terminal that is linked as COM
port N of the shared Wine prefix (dosdevices/comN). The bytes the board
receives are compared with bytes worked out here from the pictures.

  wine_e2e.py <portable folder> <Linux bin folder> <wine64>

WINEPREFIX names the prefix that the tests' fixture made."""

import json
import os
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import e2e_lib as lib  # noqa: E402

FOLDER = BIN = WINE = None
PORT = 3
PORT_NOT_THERE = 4
# The Wine desktop whose windows are the X server's own top-level windows
# ("root" is Wine's name for that), for zapis-bitmapy.exe only.
DESKTOP_KEY = r"HKCU\Software\Wine\AppDefaults\zapis-bitmapy.exe\Explorer"


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def wine_environment(**more):
    env = {name: value for name, value in os.environ.items() if name != "DISPLAY"}
    return dict(env, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=", **more)


def run_wine(*args, **kwargs):
    # Wine's services inherit open files and outlive the program: output goes
    # to files, never to pipes that would stay open.
    return subprocess.run([WINE, *args], env=wine_environment(), stdin=subprocess.DEVNULL,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True,
                          timeout=60, **kwargs)


class BoardOnComPort:
    """The virtual board with its pseudo-terminal linked as COM `port`."""

    def __init__(self, tmp, port):
        self.board = lib.Emulator(BIN, port, tmp.join("config"))
        self.link = os.path.join(os.environ["WINEPREFIX"], "dosdevices", "com%d" % port)
        if os.path.lexists(self.link):
            os.remove(self.link)
        os.symlink(self.board.device, self.link)

    def stop(self):
        os.remove(self.link)
        self.board.stop()


class Pictures:
    def __init__(self, tmp):
        self.work = tmp.join("work")
        os.makedirs(self.work)
        self.first, self.second = lib.pattern(5), lib.pattern(6)
        self.first_path = os.path.join(self.work, "first.bmp")
        self.second_path = os.path.join(self.work, "second.bmp")
        lib.write_bmp(self.first_path, self.first)
        lib.write_bmp(self.second_path, self.second, top_down=True)

    def name_port(self, port):
        with open(os.path.join(self.work, "ustaw.txt"), "w") as f:
            f.write("PORT %d\r\nMODEL\r\n" % port)


class WindowUnderWine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.xvfb = lib.Xvfb()
        # The prefix's default desktop belongs to the headless tests: its
        # windows go nowhere. The window gets a desktop of its own, started
        # on this test's display.
        run_wine("reg", "add", DESKTOP_KEY, "/v", "Desktop", "/d", "root", "/f")

    @classmethod
    def tearDownClass(cls):
        run_wine("reg", "delete", DESKTOP_KEY, "/f")
        cls.xvfb.stop()

    def setUp(self):
        self.tmp = lib.TempFolder("wine-window-e2e-")
        self.pictures = Pictures(self.tmp)
        self.board = BoardOnComPort(self.tmp, PORT)
        self.program = None

    def tearDown(self):
        if self.program is not None and self.program.poll() is None:
            self.program.kill()
            self.program.wait()
        self.board.stop()
        self.tmp.remove()

    def start(self):
        with open(self.tmp.join("program.log"), "wb") as log:
            self.program = subprocess.Popen(
                [WINE, os.path.join(FOLDER, "zapis-bitmapy.exe")], cwd=self.pictures.work,
                env=wine_environment(DISPLAY=self.xvfb.display), stdin=subprocess.DEVNULL,
                stdout=log, stderr=log)
        self.window = lib.WindowDriver(self.xvfb,
                                       lib.wait_for_window(self.xvfb, lib.WINDOW_TITLE, 60))
        self.window.focus()

    def choose(self, path):
        self.window.choose_in_dialog(windows_path(path))

    def close_with_escape(self):
        self.window.keys("Escape")
        self.assertEqual(self.program.wait(30), 0)

    def test_picture_typed_into_the_file_dialog_goes_out_as_one_frame(self):
        self.pictures.name_port(PORT)
        self.start()
        self.window.keys("alt+o")
        self.choose(self.pictures.first_path)
        self.window.keys("alt+w")
        lib.check_units(self.board.board.units(1),
                        [("frame", 1, lib.expected_frame(self.pictures.first, can=False))])
        self.assertEqual(self.board.board.quiet(0.5), [])
        self.close_with_escape()

    def test_can_box_and_second_picture_add_the_second_boards_block(self):
        self.pictures.name_port(PORT)
        self.start()
        self.window.keys("alt+o")
        self.choose(self.pictures.first_path)
        self.window.click(*lib.CAN_BOX)
        self.window.click(*lib.SECOND_FILE_BUTTON)
        self.choose(self.pictures.second_path)
        self.window.keys("alt+w")
        lib.check_units(self.board.board.units(2),
                        [("frame", 1, lib.expected_frame(self.pictures.first, can=True)),
                         ("block", 2, lib.expected_block(self.pictures.second))])
        self.assertEqual(self.board.board.quiet(0.5), [])
        self.close_with_escape()

    def test_without_ustaw_txt_send_shows_a_box_and_sends_nothing(self):
        self.start()
        self.window.keys("alt+o")
        self.choose(self.pictures.first_path)
        self.window.keys("alt+w")
        # The box carries the window's own title: it is the other window
        # of that name.
        box = lib.wait_for_window(self.xvfb, lib.WINDOW_TITLE, 20, besides=self.window.window)
        self.assertEqual(self.board.board.quiet(1.0), [])
        self.window.focus(box)
        self.window.keys("Return")
        lib.wait_window_gone(self.xvfb, box)
        self.window.focus()
        self.close_with_escape()


def linux_text_dots(tmp, text):
    """The board's dots of `text` as the Linux tablica-convert makes them: the
    bitmap's rows, top row first, colour 0 (black) lit."""
    out = tmp.join("text.bmp")
    subprocess.run([os.path.join(BIN, "tablica-convert"), "--text", text, out], check=True,
                   timeout=60)
    with open(out, "rb") as f:
        bitmap = f.read()
    rows = [bitmap[62 + 16 * r:62 + 16 * r + 16] for r in range(31, -1, -1)]
    return bytes(b ^ 0xFF for row in rows for b in row)


class SendToolUnderWine(unittest.TestCase):
    def setUp(self):
        self.tmp = lib.TempFolder("wine-send-e2e-")
        self.pictures = Pictures(self.tmp)
        self.pictures.name_port(PORT)
        self.board = BoardOnComPort(self.tmp, PORT)
        # A port linked to a device that does not exist, so that Wine does not
        # fall back to a serial device of this machine.
        self.missing = os.path.join(os.environ["WINEPREFIX"], "dosdevices",
                                    "com%d" % PORT_NOT_THERE)
        if os.path.lexists(self.missing):
            os.remove(self.missing)
        os.symlink(self.tmp.join("no-such-device"), self.missing)

    def tearDown(self):
        os.remove(self.missing)
        self.board.stop()
        self.tmp.remove()

    def send(self, *args):
        with open(self.tmp.join("errors.txt"), "wb") as errors:
            code = subprocess.run([WINE, os.path.join(FOLDER, "tablica-send.exe"), *args],
                                  cwd=self.pictures.work, env=wine_environment(),
                                  stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                  stderr=errors, timeout=60).returncode
        with open(self.tmp.join("errors.txt"), "rb") as errors:
            return code, errors.read().decode("utf-8", "replace")

    def test_frame_and_second_boards_block_arrive_byte_for_byte(self):
        code, errors = self.send("--second", "second.bmp", "first.bmp")
        self.assertEqual((code, errors), (0, ""))
        lib.check_units(self.board.board.units(2),
                        [("frame", 1, lib.expected_frame(self.pictures.first, can=True)),
                         ("block", 2, lib.expected_block(self.pictures.second))])

    def test_play_plays_a_show_to_the_board(self):
        show = {"repeat": 1, "pages": [
            {"text": ["Peron 3"], "seconds": 1},
            {"text": ["Tablica 1"], "second": {"text": ["Tablica 2"]}, "seconds": 1}]}
        with open(os.path.join(self.pictures.work, "pokaz.json"), "w") as f:
            json.dump(show, f)
        code, errors = self.send("--play", "pokaz.json")
        self.assertEqual((code, errors), (0, ""))
        units = self.board.board.units(3)
        self.assertEqual([(u["event"], u["checksum_ok"]) for u in units],
                         [("frame", True), ("frame", True), ("block", True)])
        for unit, text in zip(units, ("Peron 3", "Tablica 1", "Tablica 2")):
            data = bytes.fromhex(unit["bytes"])
            dots = data[4:516] if unit["event"] == "frame" else data[:512]
            self.assertEqual(dots, linux_text_dots(self.tmp, text), text)

    def test_a_port_that_is_not_there_fails_with_the_links_message(self):
        code, errors = self.send("--port", str(PORT_NOT_THERE), "first.bmp")
        self.assertNotEqual(code, 0)
        self.assertIn("Nie mogę otworzyć portu COM%d." % PORT_NOT_THERE, errors)
        self.assertEqual(self.board.board.quiet(0.5), [])


class ConvertToolUnderWine(unittest.TestCase):
    """tablica-convert.exe and tablica-send.exe --convert of the folder make
    the same bitmaps as the Linux build, and the text's font is the folder's
    own copy of GNU Unifont where Windows has none."""

    TEXT = ["--text", "Zażółć gęślą", "--text", "jaźń 12:45"]

    def setUp(self):
        self.tmp = lib.TempFolder("wine-convert-e2e-")
        self.work = self.tmp.join("work")
        os.makedirs(self.work)
        subprocess.run(["convert", "-seed", "3", "-size", "300x120", "plasma:",
                        os.path.join(self.work, "photo.png")], check=True)

    def tearDown(self):
        self.tmp.remove()

    def run_exe(self, folder, program, *args, **env):
        with open(self.tmp.join("errors.txt"), "wb") as errors:
            code = subprocess.run([WINE, os.path.join(folder, program), *args], cwd=self.work,
                                  env=wine_environment(**env), stdin=subprocess.DEVNULL,
                                  stdout=subprocess.DEVNULL, stderr=errors,
                                  timeout=60).returncode
        with open(self.tmp.join("errors.txt"), "rb") as errors:
            return code, errors.read().decode("utf-8", "replace")

    def linux_bitmap(self, *args):
        out = self.tmp.join("linux.bmp")
        subprocess.run([os.path.join(BIN, "tablica-convert"), *args, out], cwd=self.work,
                       check=True, timeout=60)
        with open(out, "rb") as f:
            return f.read()

    def windows_bitmap(self, folder, *args, **env):
        out = os.path.join(self.work, "windows.bmp")
        if os.path.exists(out):
            os.remove(out)
        code, errors = self.run_exe(folder, "tablica-convert.exe", *args, "windows.bmp", **env)
        self.assertEqual((code, errors), (0, ""))
        with open(out, "rb") as f:
            return f.read()

    def test_pictures_and_text_convert_as_on_linux(self):
        for args in (["--dots", "diffusion", "photo.png"], ["--place", "fill", "photo.png"],
                     self.TEXT, ["--align", "right", "--text", "Łódź"]):
            self.assertEqual(self.windows_bitmap(FOLDER, *args), self.linux_bitmap(*args), args)
        code, errors = self.run_exe(FOLDER, "tablica-convert.exe", "--text", "Zażółć gęślą jaźń",
                                    "x.bmp")
        self.assertEqual(code, 1)
        self.assertEqual(errors.strip(),
                         "Tekst nie mieści się na tablicy 128 × 32: jest o 8 punktów za szeroki.")

    def test_send_with_convert_puts_the_text_on_the_board(self):
        board = BoardOnComPort(self.tmp, PORT)
        try:
            code, errors = self.run_exe(FOLDER, "tablica-send.exe", "--convert", "--port",
                                        str(PORT), *self.TEXT)
            self.assertEqual((code, errors), (0, ""))
            (frame,) = board.board.units(1)
            bitmap = self.linux_bitmap(*self.TEXT)
            # The board's dots are the bitmap's rows, top row first, with
            # colour 0 (black) lit: the inverse of the stored bits.
            rows = [bitmap[62 + 16 * r:62 + 16 * r + 16] for r in range(31, -1, -1)]
            dots = bytes(b ^ 0xFF for row in rows for b in row)
            self.assertEqual(bytes.fromhex(frame["bytes"])[4:516], dots)
        finally:
            board.stop()

    def test_the_folders_own_unifont_is_used_where_the_system_has_none(self):
        # Qt's offscreen platform with an empty font folder sees no system
        # font at all, unlike Wine's own, which also offers this machine's.
        qt = os.path.join(os.path.dirname(os.path.abspath(FOLDER)), "qt6-mingw64")
        copy = self.tmp.join("folder")
        shutil.copytree(FOLDER, copy)
        shutil.copy(os.path.join(qt, "plugins", "platforms", "qoffscreen.dll"),
                    os.path.join(copy, "platforms"))
        empty = self.tmp.join("no-fonts")
        os.makedirs(empty)
        offscreen = dict(WINEQT_QPA_PLATFORM="offscreen", WINEQT_QPA_FONTDIR=windows_path(empty))
        self.assertEqual(self.windows_bitmap(copy, *self.TEXT, **offscreen),
                         self.linux_bitmap(*self.TEXT))
        os.remove(os.path.join(copy, "fonts", "unifont.otf"))
        code, errors = self.run_exe(copy, "tablica-convert.exe", *self.TEXT, "x.bmp", **offscreen)
        self.assertEqual((code, errors.strip()),
                         (1, "Nie znaleziono czcionki GNU Unifont (w Debianie: pakiet fonts-unifont)."))


if __name__ == "__main__":
    FOLDER, BIN, WINE = sys.argv[1:4]
    del sys.argv[1:4]
    unittest.main(verbosity=2)
