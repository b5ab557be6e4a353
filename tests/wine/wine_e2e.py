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
import signal
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import tablica_kit as kit  # noqa: E402
from wine_prefix import WinePrefix, windows_path  # noqa: E402
from xserver import WindowDriver, XServer  # noqa: E402

FOLDER = BIN = PREFIX = None
PORT = 3
PORT_NOT_THERE = 4
# The Wine desktop whose windows are the X server's own top-level windows
# ("root" is Wine's name for that), for zapis-bitmapy.exe only.
DESKTOP_KEY = r"HKCU\Software\Wine\AppDefaults\zapis-bitmapy.exe\Explorer"


class BoardOnComPort:
    """The virtual board with its pseudo-terminal linked as COM `port`."""

    def __init__(self, tmp, port):
        self.board = kit.Emulator(BIN, port, tmp.join("config"))
        self.link = os.path.join(PREFIX.path, "dosdevices", "com%d" % port)
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
        self.first, self.second = kit.pattern(5), kit.pattern(6)
        self.first_path = kit.write_bmp(os.path.join(self.work, "first.bmp"), self.first)
        self.second_path = kit.write_bmp(os.path.join(self.work, "second.bmp"), self.second,
                                         top_down=True)

    def name_port(self, port):
        kit.write_settings(self.work, port, line_end="\r\n")


class WindowUnderWine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.x = XServer()
        # The prefix's default desktop belongs to the headless tests: its
        # windows go nowhere. The window gets a desktop of its own, started
        # on this test's display.
        PREFIX.run("reg", "add", DESKTOP_KEY, "/v", "Desktop", "/d", "root", "/f")

    @classmethod
    def tearDownClass(cls):
        PREFIX.run("reg", "delete", DESKTOP_KEY, "/f")
        cls.x.stop()

    def setUp(self):
        self.tmp = kit.TempFolder("wine-window-e2e-")
        self.addCleanup(self.tmp.remove)
        self.pictures = Pictures(self.tmp)
        self.board = BoardOnComPort(self.tmp, PORT)
        self.addCleanup(self.board.stop)

    def start(self):
        with open(self.tmp.join("program.log"), "wb") as log:
            self.program = kit.Process(
                [PREFIX.wine, os.path.join(FOLDER, "zapis-bitmapy.exe")], cwd=self.pictures.work,
                env=PREFIX.env_with(DISPLAY=self.x.display), stdin=subprocess.DEVNULL,
                stdout=log, stderr=log)
        self.addCleanup(self.program.stop, signal.SIGKILL)
        self.window = WindowDriver(self.x, self.x.wait_for_window(kit.WINDOW_TITLE, 60))
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
        kit.check_units(self.board.board.units(1),
                        [("frame", 1, kit.expected_frame(self.pictures.first, can=False))])
        self.assertEqual(self.board.board.quiet(0.5), [])
        self.close_with_escape()

    def test_can_box_and_second_picture_add_the_second_boards_block(self):
        self.pictures.name_port(PORT)
        self.start()
        self.window.keys("alt+o")
        self.choose(self.pictures.first_path)
        self.window.click(*kit.CAN_BOX)
        self.window.click(*kit.SECOND_FILE_BUTTON)
        self.choose(self.pictures.second_path)
        self.window.keys("alt+w")
        kit.check_units(self.board.board.units(2),
                        [("frame", 1, kit.expected_frame(self.pictures.first, can=True)),
                         ("block", 2, kit.expected_block(self.pictures.second))])
        self.assertEqual(self.board.board.quiet(0.5), [])
        self.close_with_escape()

    def test_without_ustaw_txt_send_shows_a_box_and_sends_nothing(self):
        self.start()
        self.window.keys("alt+o")
        self.choose(self.pictures.first_path)
        self.window.keys("alt+w")
        # The box carries the window's own title: it is the other window
        # of that name.
        box = self.x.wait_for_window(kit.WINDOW_TITLE, 20, besides=self.window.window)
        self.assertEqual(self.board.board.quiet(1.0), [])
        self.window.focus(box)
        self.window.keys("Return")
        self.x.wait_window_gone(box)
        self.window.focus()
        self.close_with_escape()


def linux_text_dots(tmp, text):
    """The board's dots of `text` as the Linux tablica-convert makes them: the
    bitmap's rows, top row first, colour 0 (black) lit."""
    return kit.converted_dots(BIN, tmp.join(), "--text", text)


class SendToolUnderWine(unittest.TestCase):
    def setUp(self):
        self.tmp = kit.TempFolder("wine-send-e2e-")
        self.addCleanup(self.tmp.remove)
        self.pictures = Pictures(self.tmp)
        self.pictures.name_port(PORT)
        self.board = BoardOnComPort(self.tmp, PORT)
        self.addCleanup(self.board.stop)
        # A port linked to a device that does not exist, so that Wine does not
        # fall back to a serial device of this machine.
        self.missing = os.path.join(PREFIX.path, "dosdevices", "com%d" % PORT_NOT_THERE)
        if os.path.lexists(self.missing):
            os.remove(self.missing)
        os.symlink(self.tmp.join("no-such-device"), self.missing)
        self.addCleanup(os.remove, self.missing)

    def send(self, *args):
        result = PREFIX.run(os.path.join(FOLDER, "tablica-send.exe"), *args,
                            cwd=self.pictures.work, check=False, timeout=60)
        return result.returncode, result.stderr

    def test_frame_and_second_boards_block_arrive_byte_for_byte(self):
        code, errors = self.send("--second", "second.bmp", "first.bmp")
        self.assertEqual((code, errors), (0, ""))
        kit.check_units(self.board.board.units(2),
                        [("frame", 1, kit.expected_frame(self.pictures.first, can=True)),
                         ("block", 2, kit.expected_block(self.pictures.second))])

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
            self.assertEqual(kit.unit_dots(unit), linux_text_dots(self.tmp, text), text)

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
        self.tmp = kit.TempFolder("wine-convert-e2e-")
        self.addCleanup(self.tmp.remove)
        self.work = self.tmp.join("work")
        os.makedirs(self.work)
        subprocess.run(["convert", "-seed", "3", "-size", "300x120", "plasma:",
                        os.path.join(self.work, "photo.png")], check=True)

    def run_exe(self, folder, program, *args, **env):
        result = PREFIX.run(os.path.join(folder, program), *args, cwd=self.work, check=False,
                            timeout=60, env=PREFIX.env_with(**env))
        return result.returncode, result.stderr

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
            self.assertEqual(kit.unit_bytes(frame),
                             kit.expected_wire_from_bitmaps(self.linux_bitmap(*self.TEXT)))
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
    FOLDER, BIN, wine = sys.argv[1:4]
    del sys.argv[1:4]
    PREFIX = WinePrefix(os.environ["WINEPREFIX"], wine)
    unittest.main(verbosity=2)
