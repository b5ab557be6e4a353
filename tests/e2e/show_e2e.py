#!/usr/bin/env python3
"""tablica-send --play to the virtual board at 38400 baud, with a show of
every kind of page. Still pages must arrive as tablica-convert's bitmap for
the same content, a clock as the bitmap of a time within the play, scroll
frames as one line shifted by the distance the elapsed time gives, the
animation's frames as each frame converted alone, in order, and a page for
the second board as the frame with its block. A show that is refused sends
nothing."""

import json
import os
import signal
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import tablica_kit as kit  # noqa: E402

BIN = None
PORT = 13
SPEED = 64  # the scrolling line's dots a second


def shifted(dots, by):
    """`dots` moved `by` columns to the right (dots leaving the board go)."""
    out = bytearray(512)
    for y in range(32):
        for x in range(128):
            if dots[16 * y + x // 8] & (0x80 >> (x % 8)) and 0 <= x + by < 128:
                out[16 * y + (x + by) // 8] |= 0x80 >> ((x + by) % 8)
    return bytes(out)


class ShowEndToEnd(unittest.TestCase):
    def setUp(self):
        self.tmp = kit.TempFolder("show-e2e-")
        self.addCleanup(self.tmp.remove)
        self.config = self.tmp.join("config")
        self.board = kit.Emulator(BIN, PORT, self.config, extra=("--baud", "38400"))
        self.addCleanup(self.board.stop)

    def run_tool(self, name, *args, timeout=120):
        return subprocess.run([os.path.join(BIN, name), *args], cwd=self.tmp.join(),
                              env=dict(os.environ, XDG_CONFIG_HOME=self.config),
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                              timeout=timeout)

    def converted(self, *args):
        """The dots tablica-convert makes of `args` (options and input)."""
        return kit.converted_dots(BIN, self.tmp.join(), *args, cwd=self.tmp.join())

    def make_pictures(self):
        subprocess.run(["convert", "-size", "96x48", "xc:white", "-fill", "gray40",
                        "-draw", "circle 48,24 48,4", self.tmp.join("logo.png")], check=True)
        frames = []
        for i, bar in enumerate((10, 30, 50)):
            frame = self.tmp.join("klatka%d.png" % i)
            subprocess.run(["convert", "-size", "64x32", "xc:white", "-fill", "black",
                            "-draw", "rectangle 0,0 %d,31" % bar, frame], check=True)
            frames.append(frame)
        subprocess.run(["convert", "-delay", "40", *frames, "-loop", "0",
                        self.tmp.join("flaga.gif")], check=True)
        return frames

    def test_a_show_of_every_kind_of_page_arrives_as_the_converter_makes_each(self):
        frames = self.make_pictures()
        show = {"repeat": 1, "pages": [
            {"text": ["Peron 3: Kraków", "odjazd 12:45"], "seconds": 1.5},
            {"picture": "logo.png", "dots": "diffusion", "seconds": 1},
            {"text": ["{time:HH:mm:ss}"], "seconds": 2.2},
            {"scroll": "AB", "speed": SPEED},
            {"animation": "flaga.gif", "place": "stretch"},
            {"text": ["Tablica 1"], "second": {"text": ["Tablica 2"]}, "seconds": 1},
        ]}
        with open(self.tmp.join("pokaz.json"), "w") as f:
            json.dump(show, f, ensure_ascii=False)
        started = time.time()
        result = self.run_tool("tablica-send", "--play", "pokaz.json", "--port", str(PORT))
        ended = time.time()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stderr, "")
        units = self.board.quiet(1.0)
        self.assertTrue(all(u.get("checksum_ok") for u in units), [u["event"] for u in units])

        text = self.converted("--text", "Peron 3: Kraków", "--text", "odjazd 12:45")
        logo = self.converted("--dots", "diffusion", self.tmp.join("logo.png"))
        line = self.converted("--text", "AB", "--align", "left")
        animation = [self.converted("--place", "stretch", frame) for frame in frames]
        board1 = self.converted("--text", "Tablica 1")
        board2 = self.converted("--text", "Tablica 2")
        clocks = {}
        for second in range(int(started) - 1, int(ended) + 2):
            shown = time.strftime("%H:%M:%S", time.localtime(second))
            clocks[self.converted("--text", shown)] = shown

        # Each unit, named by the page it belongs to.
        kinds = []
        scroll = []
        for unit in units:
            data, dots = kit.unit_bytes(unit), kit.unit_dots(unit)
            if unit["event"] == "block":
                self.assertEqual(kinds[-1], "second board")
                self.assertEqual(dots, board2)
                kinds.append("block")
            elif data[3] == 2:
                self.assertEqual(dots, board1)
                kinds.append("second board")
            elif dots == text:
                kinds.append("text")
            elif dots == logo:
                kinds.append("picture")
            elif dots in clocks:
                kinds.append("clock " + clocks[dots])
            elif dots in animation:
                kinds.append("animation %d" % animation.index(dots))
            else:
                moved = next((m for m in range(0, 161) if shifted(line, 128 - m) == dots), None)
                self.assertIsNotNone(moved, "unit %d is none of the pages" % len(kinds))
                kinds.append("scroll")
                if any(dots):  # an empty board says nothing of the place
                    scroll.append((unit["t"], moved))

        # The pages in their order, each whole.
        order = []
        for kind in kinds:
            page = kind.split(" ")[0]
            if not order or order[-1] != page:
                order.append(page)
        self.assertEqual(order, ["text", "picture", "clock", "scroll", "animation", "second",
                                 "block"], kinds)
        self.assertEqual(kinds.count("text"), 1)
        self.assertEqual(kinds.count("picture"), 1)
        clock_frames = [k for k in kinds if k.startswith("clock")]
        self.assertGreaterEqual(len(clock_frames), 2)
        self.assertEqual(len(set(clock_frames)), len(clock_frames), "a clock frame came twice")
        shown = [k for k in kinds if k.startswith("animation")]
        self.assertEqual(sorted(set(shown)), ["animation 0", "animation 1", "animation 2"])
        self.assertEqual(shown, sorted(shown), "animation frames out of order")

        # The scrolling line moves by the time its frames arrive: the speed
        # from the first to the last, and each frame on that line.
        self.assertGreater(len(scroll), 10)
        (t0, m0), (t1, m1) = scroll[0], scroll[-1]
        self.assertAlmostEqual((m1 - m0) / (t1 - t0), SPEED, delta=SPEED * 0.1, msg=scroll)
        for t, moved in scroll:
            self.assertLessEqual(abs(m0 + SPEED * (t - t0) - moved), 10, scroll)
        self.assertEqual([m for _, m in scroll], sorted(m for _, m in scroll))

    def test_zones_draw_in_their_places_and_only_the_scroll_moves(self):
        show = {"repeat": 1, "pages": [{"seconds": 3, "zones": [
            {"x": 0, "y": 0, "w": 88, "h": 16, "text": ["Linia 4"], "align": "left"},
            {"x": 88, "y": 0, "w": 40, "h": 16, "text": ["{time:mm:ss}"]},
            {"x": 0, "y": 16, "w": 128, "h": 16, "scroll": "AB", "speed": SPEED}]}]}
        with open(self.tmp.join("strefy.json"), "w") as f:
            json.dump(show, f)
        started = time.time()
        result = self.run_tool("tablica-send", "--play", "strefy.json", "--port", str(PORT))
        self.assertEqual(result.returncode, 0, result.stderr)
        frames = [kit.unit_dots(u) for u in self.board.quiet(1.0)]
        self.assertGreater(len(frames), 15)

        def part(dots, x0, y0, w, h, dx=0, dy=0):
            """The lit dots of a rectangle, taken `dx`, `dy` further on."""
            return [(x, y) for y in range(y0, y0 + h) for x in range(x0, x0 + w)
                    if dots[16 * (y + dy) + (x + dx) // 8] & (0x80 >> ((x + dx) % 8))]

        # Each zone as the converter draws its content in a 16-row line
        # (centred on the board, 8 rows lower), moved to the zone's place.
        still = self.converted("--text", "Linia 4", "--align", "left", "--size", "16")
        line = self.converted("--text", "AB", "--align", "left", "--size", "16")
        clocks = [self.converted("--text", time.strftime("%M:%S", time.localtime(s)), "--size", "16")
                  for s in range(int(started), int(time.time()) + 1)]
        clocks = [part(c, 88, 0, 40, 16, -44, 8) for c in clocks]
        for i, dots in enumerate(frames):
            self.assertEqual(part(dots, 0, 0, 88, 16), part(still, 0, 0, 88, 16, 0, 8), i)
            self.assertIn(part(dots, 88, 0, 40, 16), clocks, i)
            self.assertTrue(any(part(dots, 0, 16, 128, 16) == part(shifted(line, 128 - m), 0, 16,
                                                                   128, 16, 0, -8)
                                for m in range(0, 161)), i)
            self.assertNotEqual(dots, frames[i - 1] if i else None, "a frame came unchanged")

    def test_only_pages_due_now_play_and_the_next_slides_in(self):
        now = time.localtime()
        minute = now.tm_hour * 60 + now.tm_min

        def hours(start, end):  # minutes from now, as a wall-clock range (may pass midnight)
            return {"from": "%02d:%02d" % divmod((minute + start) % 1440, 60),
                    "to": "%02d:%02d" % divmod((minute + end) % 1440, 60)}
        show = {"repeat": 1, "pages": [
            {"text": ["Teraz"], "seconds": 1.5, "when": hours(-1, 10)},
            {"text": ["Później"], "seconds": 1.5, "when": hours(120, 180)},
            {"text": ["Zawsze"], "seconds": 1.5, "transition": "slide-left"}]}
        with open(self.tmp.join("pory.json"), "w") as f:
            json.dump(show, f, ensure_ascii=False)
        result = self.run_tool("tablica-send", "--play", "pory.json", "--port", str(PORT))
        self.assertEqual(result.returncode, 0, result.stderr)
        frames = [kit.unit_dots(u) for u in self.board.quiet(1.0)]
        now_page, always = self.converted("--text", "Teraz"), self.converted("--text", "Zawsze")
        self.assertEqual(frames[0], now_page)
        self.assertEqual(frames[-1], always)
        # Between them only the two pages pushed left together, further each frame.
        slid = [next((m for m in range(1, 128)
                      if bytes(a | b for a, b in zip(shifted(now_page, -m),
                                                      shifted(always, 128 - m))) == dots), None)
                for dots in frames[1:-1]]
        self.assertGreaterEqual(len(slid), 2, slid)
        self.assertNotIn(None, slid)
        self.assertEqual(slid, sorted(set(slid)))

    def test_ctrl_c_and_sigterm_end_the_show_after_the_frame_in_flight(self):
        with open(self.tmp.join("pokaz.json"), "w") as f:
            json.dump({"pages": [{"scroll": "Uwaga! Pociąg opóźniony.", "speed": 30}]}, f,
                      ensure_ascii=False)
        for sig in (signal.SIGINT, signal.SIGTERM):
            player = kit.Process(
                [os.path.join(BIN, "tablica-send"), "--play", "pokaz.json", "--port", str(PORT)],
                cwd=self.tmp.join(), env=dict(os.environ, XDG_CONFIG_HOME=self.config),
                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
            self.addCleanup(player.stop)
            first = self.board.next_event(10)
            self.assertIsNotNone(first, "no frame came")
            player.proc.send_signal(sig)
            _, errors = player.proc.communicate(timeout=10)
            self.assertEqual(player.poll(), 0, errors)
            self.assertEqual(errors, "")
            units = [first] + self.board.quiet(1.5)
            self.assertTrue(units)
            for unit in units:
                self.assertEqual(unit["event"], "frame", unit)
                self.assertTrue(unit["checksum_ok"], unit)

    def test_a_show_started_before_its_board_waits_for_it(self):
        with open(self.tmp.join("pokaz.json"), "w") as f:
            json.dump({"pages": [{"text": ["Peron 3"]}]}, f)
        log = self.tmp.join("log.txt")
        with open(log, "w") as errors:
            player = kit.Process(
                [os.path.join(BIN, "tablica-send"), "--play", "pokaz.json", "--port", str(PORT + 1)],
                cwd=self.tmp.join(), env=dict(os.environ, XDG_CONFIG_HOME=self.config),
                stdout=subprocess.DEVNULL, stderr=errors)
        self.addCleanup(player.stop)

        def said(text):
            deadline = time.monotonic() + 10
            while time.monotonic() < deadline and player.running():
                with open(log, encoding="utf-8") as f:
                    if text in f.read():
                        return True
                time.sleep(0.1)
            return False

        self.assertTrue(said("Brak portu COM%d, czekam na jego powrót." % (PORT + 1)))
        late = kit.Emulator(BIN, PORT + 1, self.config, extra=("--baud", "38400"))
        self.addCleanup(late.stop)
        unit = late.next_event(10)
        self.assertIsNotNone(unit, "the show did not reach the board that came")
        self.assertEqual(kit.unit_dots(unit), self.converted("--text", "Peron 3"))
        self.assertTrue(said("Port COM%d wrócił." % (PORT + 1)))
        self.assertEqual(player.stop(), 0)

    def test_a_refused_show_sends_nothing(self):
        # A picture that is not there; a FIFO nobody writes to, refused at
        # once rather than waited for; a line far too wide, however long.
        os.mkfifo(self.tmp.join("fifo.png"))
        cases = [({"picture": "brak.png"}, "Strona 2: Nie mogę otworzyć pliku"),
                 ({"picture": "fifo.png"}, "fifo.png"),
                 ({"text": ["W" * 6_000_000]}, "Strona 2: Tekst nie mieści się na tablicy"),
                 ({"zones": [{"x": 0, "y": 0, "w": 128, "h": 16, "text": ["A"]},
                             {"x": 0, "y": 16, "w": 128, "h": 16, "text": ["Za długi tekst na tę strefę"]}]},
                  "Strona 2, strefa 2: Tekst nie mieści się w strefie 128 × 16")]
        for page, says in cases:
            with open(self.tmp.join("pokaz.json"), "w") as f:
                json.dump({"pages": [{"text": ["A"], "seconds": 1}, dict(page, seconds=1)]}, f)
            result = self.run_tool("tablica-send", "--play", "pokaz.json", "--port", str(PORT),
                                   timeout=30)
            self.assertEqual(result.returncode, 1, says)
            self.assertIn(says, result.stderr)
        self.assertEqual(self.board.quiet(0.5), [])


if __name__ == "__main__":
    BIN = sys.argv.pop(1)
    unittest.main()
