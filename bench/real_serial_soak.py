"""By hand, not in CI: a scrolling show on the FTDI adapter of the QEMU guest
(tests/support/qemu_guest.py) for an hour, the adapter pulled and put back
every 2 minutes. Prints a line a pull: the time from the return to the first
whole frame, the bytes after it that are not part of a whole frame, and the
player's resident memory and open descriptors (which should stay flat);
fails when the show ends.

    python3 bench/real_serial_soak.py build/bin [MINUTES [PULL_EVERY_SECONDS]]
"""

import json
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "support"))
import qemu_guest  # noqa: E402


def player_figures(guest, pid):
    done = guest.run(["sh", "-c", "grep VmRSS /proc/%d/status; ls /proc/%d/fd | wc -l"
                      % (pid, pid)])
    if done["rc"] != 0:
        return None
    rss, fds = done["out"].split("\n")[:2]
    return int(rss.split()[1]), int(fds)


def main():
    bin_dir = os.path.abspath(sys.argv[1])
    minutes = float(sys.argv[2]) if len(sys.argv) > 2 else 60
    every = float(sys.argv[3]) if len(sys.argv) > 3 else 120
    returns, stray = [], 0
    with qemu_guest.Guest() as guest:
        config = os.path.join(guest.share, "config")
        os.makedirs(os.path.join(config, "zapis-bitmapy", "ports"))
        os.symlink("/dev/ttyUSB0", os.path.join(config, "zapis-bitmapy", "ports", "com5"))
        show = os.path.join(guest.share, "scroll.json")
        with open(show, "w") as f:
            json.dump({"pages": [{"scroll": "Uwaga! Pociąg opóźniony o 15 minut.",
                                  "times": 1000000}]}, f)
        pid = guest.start("scroll", [os.path.join(bin_dir, "tablica-send"), "--play", show,
                                     "--port", "5"], env={"XDG_CONFIG_HOME": config})["pid"]
        board = guest.usb
        if not board.wait_units(0, 1, 60)[0]:
            raise SystemExit("the show sent nothing")
        print("pull  return_s  stray  rss_kB  fds")
        end = time.monotonic() + minutes * 60
        pull = 0
        while time.monotonic() < end:
            time.sleep(every / 2)
            guest.pull()
            time.sleep(every / 2)
            mark = board.mark()
            returned = guest.plug()
            units, _ = board.wait_units(mark, 1, 30)
            seconds = board.arrival(mark + units[0][1] - 1) - returned if units else None
            time.sleep(2)
            data = board.since(mark)
            whole, cut = qemu_guest.whole_units(data)
            # the frame on its way when the bytes were taken is not stray
            cut -= len(data) - (whole[-1][1] if whole else 0)
            figures = player_figures(guest, pid)
            pull += 1
            stray += cut
            if seconds is not None:
                returns.append(seconds)
            print("%4d  %8s  %5d  %6s  %3s" % (
                pull, "%.3f" % seconds if seconds is not None else "none", cut,
                *(figures or ("gone", "-"))))
            if figures is None:
                raise SystemExit("the show ended: " + guest.output("scroll"))
        guest.stop("scroll")
    print("returns %d: median %.3f s, worst %.3f s; stray bytes %d" % (
        len(returns), statistics.median(returns), max(returns), stray))


if __name__ == "__main__":
    main()
