"""The serial link on the kernel's own drivers: a Linux guest under QEMU
(tests/support/qemu_guest.py) runs this build's programs on the 16550 UART
(8250, /dev/ttyS1, COM2) and on an FTDI USB adapter (ftdi_sio,
/dev/ttyUSB0, linked as COM5), and the host keeps both boards' ends.

- A Send over each driver puts exactly the expected bytes on the wire.
- Each page kind and tablica-serwer survive the adapter pulled and put back,
  once while a frame is on its way and once between frames: after the
  return the board gets whole frames again within 1 s, nothing that is not
  part of a whole frame, and the program still runs.

Prints the figures: the time from the adapter's return (QEMU's answer to
device_add, host clock) to the first whole frame, median and worst, and the
bytes after the returns that are not part of a whole frame.

    python3 tests/e2e/real_serial_e2e.py BUILD_DIR [CASE ...]
"""

import json
import os
import statistics
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import qemu_guest  # noqa: E402
import tablica_kit as kit  # noqa: E402

RETURN_LIMIT = 1.0  # seconds from the adapter's return to a whole frame
ABSENT = 1.5  # seconds the adapter stays out
FIRST = kit.pattern(1)
SECOND = kit.pattern(2)


class Stage:
    def __init__(self, guest, bin_dir):
        self.guest, self.bin = guest, bin_dir
        self.returns, self.stray, self.failures = [], 0, []
        share = guest.share
        self.env = {"XDG_CONFIG_HOME": os.path.join(share, "config")}
        ports = os.path.join(share, "config", "zapis-bitmapy", "ports")
        os.makedirs(ports)
        os.symlink("/dev/ttyUSB0", os.path.join(ports, "com5"))
        self.first = kit.write_bmp(os.path.join(share, "first.bmp"), FIRST)
        self.second = kit.write_bmp(os.path.join(share, "second.bmp"), SECOND)
        with open(os.path.join(share, "flag.gif"), "wb") as f:
            f.write(kit.gif_animation([0, 1, 0, 1], delay=20))

    def program(self, name):
        return os.path.join(self.bin, name)

    def show(self, name, show):
        path = os.path.join(self.guest.share, name + ".json")
        with open(path, "w") as f:
            json.dump(show, f)
        return path

    # --- one-shot sends --------------------------------------------------------

    def send(self, board, port, *pictures):
        mark = board.mark()
        args = [self.program("tablica-send"), "--port", port, self.first]
        if len(pictures) > 1:
            args += ["--second", self.second]
        done = self.guest.run(args, env=self.env, timeout=60)
        assert done["rc"] == 0, "tablica-send exit %s: %s" % (done["rc"], done["err"])
        expected = kit.expected_wire(*map(kit.dots, pictures))
        board.wait_units(mark, 1, 10)
        got = board.since(mark)
        assert got == expected, "%d bytes received, %d expected, first difference at %s" % (
            len(got), len(expected),
            next((i for i, (a, b) in enumerate(zip(got, expected)) if a != b), None))

    # --- the adapter pulled and put back -----------------------------------------

    def pull_when(self, in_flight, mark=None):
        """Pulls the adapter at the first bytes of a frame (`in_flight`), or
        once the bytes since now are whole frames only (at once if so
        already); returns once it is out, with the count of bytes of the
        frame that was cut."""
        board, guest = self.guest.usb, self.guest
        mark = board.mark() if mark is None else mark
        fired = threading.Event()

        def cut():
            data = board.since(mark)
            units, _ = qemu_guest.whole_units(data)
            return len(data) - (units[-1][1] if units else 0)

        def check(_=None):
            if not fired.is_set() and (board.mark() > mark if in_flight else cut() == 0):
                fired.set()
                guest.pull_now()

        board.on_bytes = check
        check()
        moment = fired.wait(30)
        board.on_bytes = None
        assert moment, "no frame came to pull the adapter in"
        guest.pulled()
        return cut()

    def put_back(self, expected):
        """Puts the adapter back after ABSENT seconds; checks that a whole
        frame (`expected` when given) comes within the limit. Returns the
        mark of the return."""
        time.sleep(ABSENT)
        board = self.guest.usb
        mark = board.mark()
        returned = self.guest.plug()
        units, _ = board.wait_units(mark, 1, 15)
        assert units, "no whole frame within 15 s of the adapter's return (%d bytes came)" % (
            len(board.since(mark)))
        seconds = board.arrival(mark + units[0][1] - 1) - returned
        self.returns.append(seconds)
        if expected is not None:
            got = board.since(mark)[units[0][0]:units[0][1]]
            assert got == expected, "the first frame after the return is not the page's"
        assert seconds <= RETURN_LIMIT, "the first whole frame came %.2f s after the return" % (
            seconds)
        return mark

    def whole_since(self, mark, end):
        """Fails on bytes between the marks that are not part of a whole frame."""
        units, stray = qemu_guest.whole_units(self.guest.usb.since(mark)[:end - mark])
        self.stray += stray
        assert stray == 0, "%d bytes after the return are not part of a whole frame" % stray
        return units

    def adapter_as_ttyusb0(self):
        """After a case that left the adapter out, or named otherwise (a dead
        descriptor held when it came back), puts it back as ttyUSB0."""
        check = ["sh", "-c", "for i in $(seq 100); do [ -e /dev/ttyUSB0 ] && exit 0; "
                 "sleep 0.1; done; exit 1"]
        if self.guest.run(check)["rc"] != 0:
            if self.guest.plugged:
                self.guest.pull()
            self.guest.plug()
            assert self.guest.run(check)["rc"] == 0, "the adapter came back as another name"

    def survives(self, name, args, expected=None, content=None):
        """Runs `args` (content posted by `content()` once it has started),
        pulls the adapter while a frame is on its way, then between frames;
        after each return checks the frames; then ends the program, which
        must still be running."""
        guest, board = self.guest, self.guest.usb
        start = board.mark()
        guest.start(name, args, env=self.env)
        try:
            posted = []
            if content:
                poster = threading.Thread(target=lambda: posted.append(content()))
                poster.start()
            cut = self.pull_when(in_flight=True, mark=start)
            if content:
                poster.join()
                assert posted[0], "the content was not taken"
            mark = self.put_back(expected)
            time.sleep(1)
            idle_cut = self.pull_when(in_flight=False)
            self.whole_since(mark, board.mark() - idle_cut)
            mark = self.put_back(expected)
            time.sleep(1)
        finally:
            ended = guest.stop(name)  # after the frame on its way
            log = guest.output(name).strip()
            if log:
                print("  its log:\n    " + log.replace("\n", "\n    "))
        time.sleep(0.5)
        self.whole_since(mark, board.mark())
        print("  pulled after %d bytes of a frame while writing, %d while idle" % (cut, idle_cut))
        assert ended["running"], "%s ended by itself (exit %s)" % (name, ended["rc"])

    def serwer(self):
        port = 8080

        def post():
            script = ("import time, urllib.request\n"
                      "for _ in range(600):\n"
                      "  try:\n"
                      "    urllib.request.urlopen('http://127.0.0.1:%d/api/status'); break\n"
                      "  except OSError: time.sleep(0.1)\n"
                      "body = open(%r, 'rb').read()\n"
                      "urllib.request.urlopen(urllib.request.Request("
                      "'http://127.0.0.1:%d/api/board', body, {'Content-Type': 'image/bmp'}))\n"
                      % (port, self.first, port))
            done = self.guest.run(["python3", "-c", script], timeout=90)
            print("  posting: exit %s %s" % (done["rc"], done["err"].strip()[-300:]))
            return done["rc"] == 0

        self.survives("serwer", [self.program("tablica-serwer"), "--port", "5",
                                 "--listen", "127.0.0.1:%d" % port],
                      kit.expected_wire(kit.dots(FIRST)), post)

    def cases(self):
        play = [self.program("tablica-send"), "--play"]
        still = kit.expected_wire(kit.dots(FIRST))
        both = kit.expected_wire(kit.dots(FIRST), kit.dots(SECOND))
        first, second = self.first, self.second
        return {
            "send-8250": lambda: self.send(self.guest.uart, "2", FIRST),
            "send-usb": lambda: self.send(self.guest.usb, "5", FIRST, SECOND),
            "still-refresh": lambda: self.survives("still-refresh", play + [self.show(
                "still-refresh", {"refresh": 2, "pages": [{"picture": first}]}), "--port", "5"],
                still),
            "still": lambda: self.survives("still", play + [self.show(
                "still", {"pages": [{"picture": first}]}), "--port", "5"], still),
            "scroll": lambda: self.survives("scroll", play + [self.show(
                "scroll", {"pages": [{"scroll": "Uwaga! Pociąg opóźniony o 15 minut.",
                                      "speed": 64, "times": 1000}]}), "--port", "5"]),
            "clock": lambda: self.survives("clock", play + [self.show(
                "clock", {"pages": [{"text": ["{time:HH:mm:ss}"]}]}), "--port", "5"]),
            "animation": lambda: self.survives("animation", play + [self.show(
                "animation", {"pages": [{"animation": "flag.gif", "times": 1000}]}),
                "--port", "5"]),
            "both-boards": lambda: self.survives("both-boards", play + [self.show(
                "both-boards", {"refresh": 2, "pages": [{"picture": first,
                                                         "second": {"picture": second}}]}),
                "--port", "5"], both),
            "serwer": self.serwer,
        }


def main():
    bin_dir = os.path.abspath(sys.argv[1])
    chosen = sys.argv[2:]
    start = time.monotonic()
    with qemu_guest.Guest() as guest:
        print("guest booted in %.1f s" % guest.boot_seconds)
        stage = Stage(guest, bin_dir)
        for name, case in stage.cases().items():
            if chosen and name not in chosen:
                continue
            began = time.monotonic()
            try:
                case()
                print("ok   %s (%.1f s)" % (name, time.monotonic() - began))
            except AssertionError as failure:
                stage.failures.append(name)
                print("FAIL %s: %s" % (name, failure))
            stage.adapter_as_ttyusb0()
        if stage.failures:
            kernel = guest.request("dmesg")["out"].splitlines()
            print("the guest kernel's last USB lines:\n  " + "\n  ".join(
                [line for line in kernel if "usb" in line or "ftdi" in line][-20:]))
    if stage.returns:
        print("adapter returns: %d, first whole frame after the return: median %.3f s, "
              "worst %.3f s" % (len(stage.returns), statistics.median(stage.returns),
                                max(stage.returns)))
        print("bytes after the returns that are not part of a whole frame: %d" % stage.stray)
    print("real-driver stage: %.0f s, %s" % (
        time.monotonic() - start,
        "failed: " + ", ".join(stage.failures) if stage.failures else "every case passed"))
    return 1 if stage.failures else 0


if __name__ == "__main__":
    sys.exit(main())
