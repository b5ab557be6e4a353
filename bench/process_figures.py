"""What the benchmarks read of a running process (Linux /proc) and how they
print their figures."""

import os
import time

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def _status_kib(pid, field):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return 0


def resident_kib(pid):
    """The process's resident memory now, in KiB."""
    return _status_kib(pid, "VmRSS")


def peak_kib(pid):
    """The most resident memory the process has had, in KiB."""
    return _status_kib(pid, "VmHWM")


def cpu_seconds(pid):
    """User and system CPU time the process has used so far."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS


def idle_cpu_row(pid, seconds, what):
    """A table row: the CPU time `pid` uses over `seconds` left alone."""
    start = cpu_seconds(pid)
    time.sleep(seconds)
    idle = cpu_seconds(pid) - start
    return ("CPU time of %s over %.0f s (share of one core)" % (what, seconds),
            "%.2f s (%.3f %%)" % (idle, 100 * idle / seconds))


def print_table(title, rows):
    """`rows` of (measure, figure) as a Markdown table under `title`."""
    print("| %s | Figure |" % title)
    print("| --- | ---: |")
    for measure, figure in rows:
        print("| %s | %s |" % (measure, figure))
