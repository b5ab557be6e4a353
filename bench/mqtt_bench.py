#!/usr/bin/env python3
"""Figures of tablica-serwer on an MQTT broker (a Markdown table; nothing
passes or fails on a time), with Debian's mosquitto on a loopback port of
its own and the virtual board reading at 38400 baud:
  - from the start of a mosquitto_pub of a line of text to its frame's last
    byte at the board, less the frame's wire time (and, beside it, what a
    mosquitto_pub takes to start, publish and end);
  - while a scrolling show plays: frames a second at the board, status and
    picture messages a second on the broker;
  - the broker stopped for a second and started again: from its start to
    the board's availability "online" again;
  - the service's CPU time while idle and connected (TABLICA_BENCH_IDLE_SECONDS,
    60 by default);
  - a fleet of TABLICA_BENCH_FLEET services (50 by default; 0 leaves it
    out), each with its virtual board, on the one broker: from a publish to
    tablica/all/text (on a connection already open) to the last board's
    last byte, less the frame's wire time, median and 99th percentile of
    20; each service's resident memory.
Usage: mqtt_bench.py BIN_DIR [MOSQUITTO]"""

import os
import statistics
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))
import tablica_kit as kit  # noqa: E402
import service_lib as svc  # noqa: E402
from mqtt_broker import HOST, Broker  # noqa: E402
from process_figures import idle_cpu_row, print_table, resident_kib  # noqa: E402
from service_bench import BAUD, FRAME_WIRE  # noqa: E402

NAME = "pomiar"


class Counter:
    """mosquitto_sub on `topics`, counting each topic's messages with their moments."""

    def __init__(self, broker, *topics):
        args = ["mosquitto_sub", "-h", HOST, "-p", str(broker.port), "-F", "%t"]
        for topic in topics:
            args += ["-t", topic]
        self.process = kit.Process(args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.proc = self.process.proc
        self.seen = []
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        for line in self.proc.stdout:
            self.seen.append((time.monotonic(), line.decode().strip()))

    def between(self, topic, start, end):
        return sum(1 for moment, seen in self.seen if seen == topic and start <= moment < end)

    def first(self, topic, after):
        return next((moment for moment, seen in self.seen if seen == topic and moment >= after),
                    None)

    def stop(self):
        self.process.stop()


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]


def fleet_rows(bin_dir, broker, work, count):
    """`count` services with their boards on `broker`; bounded: 20 publishes."""
    boards, services, rows = [], [], []
    publisher = None
    try:
        for i in range(count):
            port = 100 + i
            boards.append(kit.Emulator(bin_dir, port, work.join("config"),
                                       extra=("--baud", str(BAUD))))
            folder = work.join("fleet-%d" % i)
            os.makedirs(folder)
            services.append(svc.Service(bin_dir, folder, work.join("config"), port,
                                        "--name", "flota-%d" % i,
                                        "--mqtt", "%s:%d" % (HOST, broker.port)))
        broker.wait_retained_count(count, "tablica/+/availability", timeout=120)
        # One connection for every publish: its moment is the line's write.
        publisher = subprocess.Popen(["mosquitto_pub", "-h", HOST, "-p", str(broker.port),
                                      "-q", "1", "-t", "tablica/all/text", "-l"],
                                     stdin=subprocess.PIPE)
        time.sleep(1)
        figures = []
        for i in range(20):
            started = time.monotonic()
            publisher.stdin.write(("Flota %d\n" % i).encode())
            publisher.stdin.flush()
            last = max(board.units(1, 30)[0]["t"] for board in boards)
            figures.append(last - started - FRAME_WIRE)
            time.sleep(0.5)
        print("fleet, each publish (ms):", " ".join("%.0f" % (f * 1000) for f in figures),
              file=sys.stderr)
        rows.append(("A fleet of %d services on one broker: a publish to tablica/all/text to "
                     "the last board's last byte, less the frame's wire time (median of %d)"
                     % (count, len(figures)), "%.1f ms" % (statistics.median(figures) * 1000)))
        rows.append(("... 99th percentile (here the slowest of 20)",
                     "%.1f ms" % (percentile(figures, 0.99) * 1000)))
        memory = [resident_kib(service.proc.pid) for service in services]
        rows.append(("... resident memory of one service (median; largest)",
                     "%.1f MiB; %.1f MiB" % (statistics.median(memory) / 1024,
                                             max(memory) / 1024)))
    finally:
        if publisher:
            publisher.stdin.close()
            publisher.wait(10)
        for service in services:
            service.stop()
        for board in boards:
            board.stop()
    return rows


def main():
    bin_dir = sys.argv[1]
    mosquitto = sys.argv[2] if len(sys.argv) > 2 else "/usr/sbin/mosquitto"
    idle_seconds = float(os.environ.get("TABLICA_BENCH_IDLE_SECONDS", "60"))
    work = kit.TempFolder("mqtt-bench-")
    broker = Broker(mosquitto, work.join())
    board = kit.Emulator(bin_dir, 18, work.join("config"), extra=("--baud", str(BAUD)))
    service = None
    rows = []
    try:
        service = svc.Service(bin_dir, work.join(), work.join("config"), 18, "--name", NAME,
                              "--mqtt", "%s:%d" % (HOST, broker.port))
        broker.wait_retained("tablica/%s/availability" % NAME, b"online")

        figures, bare = [], []
        for i in range(20):
            started = time.monotonic()
            broker.publish("tablica/%s/text" % NAME, ("Pomiar %d" % i).encode())
            unit = board.units(1)[0]
            assert unit["event"] == "frame" and unit["checksum_ok"], unit
            figures.append(unit["t"] - started - FRAME_WIRE)
            started = time.monotonic()
            broker.publish("tablica/nikt/text", b"x")
            bare.append(time.monotonic() - started)
            time.sleep(0.3)
        rows.append(("mosquitto_pub of a line of text to its frame's last byte at the board, "
                     "less the frame's wire time (%.1f ms; median of %d)"
                     % (FRAME_WIRE * 1000, len(figures)),
                     "%.1f ms" % (statistics.median(figures) * 1000)))
        rows.append(("of which mosquitto_pub itself: start, connect, publish, end (median)",
                     "%.1f ms" % (statistics.median(bare) * 1000)))

        status, image = "tablica/%s/status" % NAME, "tablica/%s/image" % NAME
        counter = Counter(broker, status, image)
        show = '{"pages": [{"scroll": "Pociąg do Krakowa odjedzie z peronu 3 o 12:45.", ' \
               '"speed": 40}]}'
        broker.publish("tablica/%s/show" % NAME, show.encode())
        time.sleep(2)
        board.quiet(0.2)
        start = time.monotonic()
        frames = board.quiet(20)
        end = time.monotonic()
        seconds = end - start
        rows.append(("A scrolling show for %.0f s: frames a second at the board (the wire's "
                     "limit: %.2f)" % (seconds, 1 / FRAME_WIRE),
                     "%.2f" % (len(frames) / seconds)))
        rows.append(("... status messages a second on the broker (at most 1)",
                     "%.2f" % (counter.between(status, start, end) / seconds)))
        rows.append(("... picture messages a second on the broker (at most 0.2)",
                     "%.2f" % (counter.between(image, start, end) / seconds)))
        counter.stop()
        broker.publish("tablica/%s/blank" % NAME, b"PRESS")

        broker.stop()
        time.sleep(1)
        started = time.monotonic()
        broker.start()
        availability = Counter(broker, "tablica/%s/availability" % NAME)
        broker.wait_retained("tablica/%s/availability" % NAME, b"online")
        back = availability.first("tablica/%s/availability" % NAME, started)
        availability.stop()
        rows.append(("Broker away for 1 s: from its start to the board's \"online\" again",
                     "%.2f s" % ((back or time.monotonic()) - started)))

        time.sleep(1)
        rows.append(idle_cpu_row(service.proc.pid, idle_seconds, "the idle service, connected,"))
        service.stop()
        service = None
        fleet = int(os.environ.get("TABLICA_BENCH_FLEET", "50"))
        if fleet > 0:
            rows += fleet_rows(bin_dir, broker, work, fleet)
    finally:
        if service:
            service.stop()
        board.stop()
        broker.stop()
        work.remove()

    print_table("tablica-serwer on MQTT, virtual board at %d baud" % BAUD, rows)


if __name__ == "__main__":
    main()
