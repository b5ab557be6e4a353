#!/usr/bin/env python3
"""Figures of the show player (a Markdown table; nothing passes or fails on
a time), tablica-send --play to the virtual board reading at 38400 baud:
  - a scrolling line for TABLICA_BENCH_SHOW_SECONDS (60 by default): frames
    received a second against the wire's limit, the lag from a frame's
    moment to its arrival (at its start and its end, to show any growth),
    the player's CPU time and its resident memory at the start and the end;
  - the same for a page of three zones: a still line and a clock above the
    scrolling line (the player writes a frame only when a zone changed);
  - an animated GIF of 1,000 frames of 640 x 480: the time the show's check
    takes (every frame decoded once, one at a time) and the player's peak
    resident memory.
Usage: show_bench.py BIN_DIR"""

import json
import os
import signal
import struct
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))
import tablica_kit as kit  # noqa: E402
from process_figures import cpu_seconds, resident_kib  # noqa: E402

BAUD = 38400
FRAME_WIRE = 517 * 10 / BAUD  # seconds
SPEED = 100  # dots a second
WARM_UP = 2.0  # seconds before the measured minute
PORT = 43


def rows(unit):
    """The frame's 32 rows as 128-bit numbers, the leftmost dot highest."""
    data = bytes.fromhex(unit["bytes"])[4:516]
    return [int.from_bytes(data[16 * y:16 * y + 16], "big") for y in range(32)]


def shift_between(before, after, most=40):
    """How many dots the line moved left from one frame to the next: the
    smallest shift under which every row's overlap agrees."""
    full = (1 << 128) - 1
    for d in range(most + 1):
        overlap = full ^ ((1 << d) - 1)
        if all(((b << d) & overlap) == (a & overlap) for b, a in zip(before, after)):
            return d
    return None


def gif_bytes(width, height, frames, patch=(64, 48), delay=2):
    """An animated GIF: a full first frame, then `frames` - 1 frames that each
    redraw a small patch at a moving place (Qt draws every one on the whole
    logical screen). Stored without compression: 8-bit codes, a clear code
    every 120 pixels."""
    def image_data(pixels):
        codes = bytearray([128])
        for i, p in enumerate(pixels):
            if i and i % 120 == 0:
                codes.append(128)
            codes.append(p)
        codes.append(129)
        out = bytearray([7])
        for at in range(0, len(codes), 255):
            block = codes[at:at + 255]
            out += bytes([len(block)]) + block
        return out + b"\0"

    out = bytearray(b"GIF89a" + struct.pack("<HHBBB", width, height, 0xF6, 0, 0))
    out += bytes([0, 0, 0, 255, 255, 255]) + bytes(3 * 126)
    out += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"
    gce = lambda: b"\x21\xF9\x04\x04" + struct.pack("<H", delay) + b"\x00\x00"  # noqa: E731
    first = [1 if (x // 40 + y // 40) % 2 else 0 for y in range(height) for x in range(width)]
    out += gce() + b"\x2C" + struct.pack("<HHHHB", 0, 0, width, height, 0) + image_data(first)
    pw, ph = patch
    for i in range(1, frames):
        x = (i * 17) % (width - pw)
        y = (i * 11) % (height - ph)
        pixels = [(i + px // 8) % 2 for py in range(ph) for px in range(pw)]
        out += gce() + b"\x2C" + struct.pack("<HHHHB", x, y, pw, ph, 0) + image_data(pixels)
    return bytes(out + b"\x3B")


class Player:
    def __init__(self, bin_dir, show, config, time_it=False):
        command = [os.path.join(bin_dir, "tablica-send"), "--play", show, "--port", str(PORT)]
        if time_it:
            command = ["/usr/bin/time", "-f", "%M %e"] + command
        self.started = time.monotonic()
        self.proc = kit.Process(command, env=dict(os.environ, XDG_CONFIG_HOME=config),
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                text=True).proc

    def finish(self, timeout):
        _, errors = self.proc.communicate(timeout=timeout)
        return errors


def scrolling(bin_dir, tmp, board, seconds, zones=False):
    """`zones`: the line scrolls in the lower half, under a still line and a
    clock; its place is read from those rows alone."""
    # One pass must outlast the measured time: where a pass ends and the next
    # comes in, a frame's shift cannot be read from the dots, and a misread
    # shift would count as lag for the rest of the run. A zone 16 rows high
    # draws the line at 8 dots a letter, half of what the whole board does.
    sentence = "Uwaga! Pociąg do Krakowa jest opóźniony o 15 minut. "
    line = sentence * (int((WARM_UP + seconds + 5) * SPEED / (8 * len(sentence))) + 1)
    show = tmp.join("przewijanie.json")
    page = {"scroll": line, "speed": SPEED}
    if zones:
        page = {"zones": [{"x": 0, "y": 0, "w": 88, "h": 16, "text": ["Linia 4"], "align": "left"},
                          {"x": 88, "y": 0, "w": 40, "h": 16, "text": ["{time:HH:mm}"]},
                          dict(page, x=0, y=16, w=128, h=16)]}
    lines = slice(16, 32) if zones else slice(0, 32)
    with open(show, "w") as f:
        json.dump({"pages": [page]}, f, ensure_ascii=False)
    player = Player(bin_dir, show, tmp.join("config"))
    units = []
    deadline = player.started + WARM_UP
    while time.monotonic() < deadline:
        units += board.quiet(deadline - time.monotonic())
    rss_start, cpu_start = resident_kib(player.proc.pid), cpu_seconds(player.proc.pid)
    measured_from = time.monotonic()
    deadline = measured_from + seconds
    while time.monotonic() < deadline:
        units += board.quiet(deadline - time.monotonic())
    rss_end, cpu_end = resident_kib(player.proc.pid), cpu_seconds(player.proc.pid)
    measured_to = time.monotonic()
    player.proc.send_signal(signal.SIGTERM)
    player.finish(10)
    units += board.quiet(0.5)
    frames = [u for u in units if u["event"] == "frame" and u["checksum_ok"]]
    assert len(frames) == len(units), "units other than whole frames: %d" % (len(units) - len(frames))

    # The line's place in each frame, from the shifts between frames; the
    # first frame went out on an idle line, so it came at its moment.
    moved = [0]
    for before, after in zip(frames, frames[1:]):
        d = shift_between(rows(before)[lines], rows(after)[lines])
        assert d is not None, "a frame that is not the line moved on"
        moved.append(moved[-1] + d)
    t0 = frames[0]["t"]
    lags = [(u["t"], u["t"] - (t0 + m / SPEED)) for u, m in zip(frames, moved)]
    window = [u for u in frames if measured_from <= u["t"] <= measured_to]
    rate = len(window) / (measured_to - measured_from)
    first = [lag for t, lag in lags if measured_from <= t < measured_from + 10]
    last = [lag for t, lag in lags if measured_to - 10 <= t <= measured_to]
    every = [lag for t, lag in lags if measured_from <= t <= measured_to]
    return {
        "rate": rate,
        "lag_mean": sum(every) / len(every), "lag_max": max(every),
        "lag_first": sum(first) / len(first), "lag_last": sum(last) / len(last),
        "cpu": (cpu_end - cpu_start) / (measured_to - measured_from),
        "rss_start": rss_start / 1024, "rss_end": rss_end / 1024,
    }


def animation(bin_dir, tmp, board):
    with open(tmp.join("film.gif"), "wb") as f:
        f.write(gif_bytes(640, 480, 1000))
    show = tmp.join("film.json")
    with open(show, "w") as f:
        json.dump({"repeat": 1, "pages": [{"animation": "film.gif"}]}, f)
    player = Player(bin_dir, show, tmp.join("config"), time_it=True)
    first = board.next_event(120)
    assert first is not None, "the animation sent nothing"
    checked = first["t"] - player.started - FRAME_WIRE
    errors = player.finish(120)  # 1,000 frames of 0.02 s: a 20 s loop, played once
    peak_kib, _ = errors.strip().splitlines()[-1].split()
    board.quiet(0.5)
    return {"checked": checked, "peak": int(peak_kib) / 1024,
            "gif": os.path.getsize(tmp.join("film.gif")) / (1 << 20)}


def main():
    bin_dir = sys.argv[1]
    seconds = float(os.environ.get("TABLICA_BENCH_SHOW_SECONDS", "60"))
    tmp = kit.TempFolder("show-bench-")
    board = kit.Emulator(bin_dir, PORT, tmp.join("config"), extra=("--baud", str(BAUD)))
    try:
        s = scrolling(bin_dir, tmp, board, seconds)
        z = scrolling(bin_dir, tmp, board, seconds, zones=True)
        a = animation(bin_dir, tmp, board)
    finally:
        board.stop()
        tmp.remove()
    limit = 1 / FRAME_WIRE
    whole = 1000 * 640 * 480 * 4 / (1 << 20)
    print("| Show player, tablica-send --play to tablica-emulator --baud 38400 | Figure | "
          "Wire, 38400 baud 8N1 | Share |")
    print("| --- | ---: | ---: | ---: |")
    print("| Scrolling line, %.0f s: frames received a second | %.2f | %.2f (one frame "
          "134.6 ms) | %.1f %% |" % (seconds, s["rate"], limit, 100 * s["rate"] / limit))
    print("| Lag from a frame's moment to its arrival: mean, largest | %.1f ms, %.1f ms | "
          "134.6 ms a frame | |" % (1000 * s["lag_mean"], 1000 * s["lag_max"]))
    print("| Lag, mean over the first and the last 10 s | %.1f ms, %.1f ms | | |"
          % (1000 * s["lag_first"], 1000 * s["lag_last"]))
    print("| Player's CPU time | %.2f %% of a core | | |" % (100 * s["cpu"]))
    print("| Player's resident memory at the start and the end | %.1f MiB, %.1f MiB | | |"
          % (s["rss_start"], s["rss_end"]))
    print("| Three zones (a still line, a clock, the scrolling line), %.0f s: frames a second; "
          "lag mean, largest; CPU | %.2f; %.1f ms, %.1f ms; %.2f %% of a core | %.2f | %.1f %% |"
          % (seconds, z["rate"], 1000 * z["lag_mean"], 1000 * z["lag_max"], 100 * z["cpu"], limit,
             100 * z["rate"] / limit))
    print("| Animated GIF, 1,000 frames of 640 × 480 (%.1f MiB): the show checked, every frame "
          "decoded once, until the first frame | %.1f s | | |" % (a["gif"], a["checked"]))
    print("| The same: the player's peak resident memory | %.1f MiB | the frames decoded "
          "whole: %.0f MiB | |" % (a["peak"], whole))


if __name__ == "__main__":
    main()
