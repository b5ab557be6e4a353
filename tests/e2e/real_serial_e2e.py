"""The serial link on the kernel's own drivers: a Linux guest under QEMU
(tests/support/qemu_guest.py) runs this build's programs on the 16550 UART
(8250, /dev/ttyS1, COM2) and on an FTDI USB adapter (ftdi_sio,
/dev/ttyUSB0, linked as COM5), and the host keeps both boards' ends.

- A Send over each driver puts exactly the expected bytes on the wire.

    python3 tests/e2e/real_serial_e2e.py BUILD_DIR [CASE ...]
"""

import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import qemu_guest  # noqa: E402
import tablica_kit as kit  # noqa: E402

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

    def program(self, name):
        return os.path.join(self.bin, name)

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

    def cases(self):
        return {
            "send-8250": lambda: self.send(self.guest.uart, "2", FIRST),
            "send-usb": lambda: self.send(self.guest.usb, "5", FIRST, SECOND),
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
