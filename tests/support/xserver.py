#!/usr/bin/env python3
"""A private X server (Xvfb) for tests and screenshot scripts, and the
keystrokes and window searches (xdotool) the tests drive windows with.

Xvfb picks a free display itself (-displayfd) and is waited for until it
accepts connections; it is stopped by stop(), at the end of a `with` block,
when the Python program ends, and by the kernel when the thread that
started it dies (tablica_kit.Process), so it never outlives its test.

From a shell script, run a command under a server of its own:

    python3 tests/support/xserver.py [--size 1280x1024x24] -- COMMAND ARGS...

COMMAND gets DISPLAY (and QT_QPA_PLATFORM=xcb, so Qt programs show there
rather than on the offscreen platform a test stage may have asked for);
its exit code is this command's, and the server is gone when it returns,
also when this command is ended by a signal."""

import argparse
import os
import shutil
import signal
import socket
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tablica_kit as kit  # noqa: E402


def _answers(number):
    """Whether the X server of display `number` accepts a connection on its
    local socket (the file, or Linux's abstract twin when /tmp is not
    writable)."""
    for address in ("/tmp/.X11-unix/X%s" % number, "\0/tmp/.X11-unix/X%s" % number):
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
            try:
                s.connect(address)
                return True
            except OSError:
                pass
    return False


class XServer:
    """Xvfb on a display number it picks itself."""

    def __init__(self, size="1280x1024x24", timeout=20):
        if shutil.which("Xvfb") is None:
            raise AssertionError("Xvfb is not installed (scripts/install-deps installs it)")
        read_fd, write_fd = os.pipe()
        try:
            # -noreset: an X server resets itself whenever its last client
            # leaves, and a program connecting meanwhile is refused; between
            # a test's searches (each a client of its own) that happens often.
            self.process = kit.Process(
                ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", size, "-nolisten", "tcp",
                 "-noreset"],
                pass_fds=(write_fd,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL)
        finally:
            os.close(write_fd)
        # Xvfb writes its display number once it is ready; EOF means it died.
        with os.fdopen(read_fd) as f:
            number = f.readline().strip()
        deadline = time.monotonic() + timeout
        while number and not _answers(number) and time.monotonic() < deadline:
            time.sleep(0.05)
        if not number or not _answers(number):
            self.process.stop()
            raise AssertionError("Xvfb did not start")
        self.number = number
        self.display = ":" + number

    def env(self, **more):
        """The environment for a program shown on this server."""
        env = dict(os.environ, DISPLAY=self.display, QT_QPA_PLATFORM="xcb", **more)
        env.pop("WAYLAND_DISPLAY", None)
        return env

    def stop(self):
        self.process.stop()

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.stop()

    # --- driving windows -------------------------------------------------------

    def xdotool(self, *args, check=True):
        return subprocess.run(["xdotool", *args], env=self.env(), check=check,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True).stdout

    def wait_for_window(self, name, timeout=20, besides=None, process=None, log=None):
        """The id of the first visible window whose title holds `name` (other
        than the window `besides`). With the `process` (a tablica_kit.Process)
        that should show it, fails at once when that has ended; the failure
        quotes the file `log`, where its output went."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            found = self.xdotool("search", "--onlyvisible", "--name", name, check=False).split()
            found = [window for window in found if window != besides]
            if found:
                return found[0]
            if process is not None and not process.running():
                break
            time.sleep(0.1)
        ended = "" if process is None or process.running() else \
            ", the program ended with exit code %s" % process.poll()
        output = ""
        if log is not None and os.path.exists(log):
            with open(log, "rb") as f:
                output = "; its output:\n" + f.read()[-4000:].decode("utf-8", "replace")
        raise AssertionError("no window named %r appeared%s%s" % (name, ended, output))

    def wait_window_gone(self, window_id, timeout=20):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            shown = self.xdotool("search", "--onlyvisible", "--name", ".", check=False).split()
            if window_id not in shown:
                return
            time.sleep(0.1)
        raise AssertionError("window %s is still open" % window_id)

    def window_name(self, window_id):
        return self.xdotool("getwindowname", window_id).rstrip("\n")

    def screenshot(self, window_id):
        """The window's pixels as a binary PPM (ImageMagick's import)."""
        return subprocess.run(["import", "-window", window_id, "-depth", "8", "ppm:-"],
                              env=self.env(), check=True, stdout=subprocess.PIPE).stdout


class WindowDriver:
    """Keystrokes and clicks into a window as a person gives them. There is
    no window manager: focus is handed over by hand."""

    def __init__(self, xserver, window):
        self.xserver = xserver
        self.window = window

    def focus(self, window=None):
        self.xserver.xdotool("windowfocus", "--sync", window or self.window)
        time.sleep(0.2)

    def keys(self, *keys):
        for key in keys:
            self.xserver.xdotool("key", "--clearmodifiers", key)
            time.sleep(0.15)

    def click(self, x, y):
        self.xserver.xdotool("mousemove", "--window", self.window, str(x), str(y))
        time.sleep(0.1)
        self.xserver.xdotool("click", "1")
        time.sleep(0.3)

    def choose_in_dialog(self, path, caption=kit.DIALOG_CAPTION, search=kit.DIALOG_TITLE):
        """Types `path` into the open file dialog (found by `search`, and
        captioned exactly `caption`) and accepts it."""
        dialog = self.xserver.wait_for_window(search)
        shown = self.xserver.window_name(dialog)
        if shown != caption:
            raise AssertionError("the file dialog is captioned %r" % shown)
        self.focus(dialog)
        # Whatever the name box proposes is selected before typing. Ctrl+A
        # selects all in Qt's dialog only; End, Shift+Home works in the
        # system's dialog under Windows and Wine as well. (On Windows the
        # proposed name starts selected; Wine's dialog leaves it unselected,
        # with the caret in front of it.)
        self.keys("End", "shift+Home")
        self.xserver.xdotool("type", "--delay", "20", path)
        time.sleep(0.3)
        self.keys("Return")
        self.xserver.wait_window_gone(dialog)
        self.focus()


def main(argv):
    parser = argparse.ArgumentParser(description="Runs a command under a private Xvfb.")
    parser.add_argument("--size", default="1280x1024x24", help="the screen, WIDTHxHEIGHTxDEPTH")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    options = parser.parse_args(argv)
    command = options.command[1:] if options.command[:1] == ["--"] else options.command
    if not command:
        parser.error("no command given (xserver.py [--size S] -- COMMAND ARGS...)")

    # A signal to this command ends the command, then the server, in that order.
    def stop(signum, _frame):
        raise SystemExit(128 + signum)

    for signum in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(signum, stop)
    with XServer(options.size) as server:
        child = kit.Process(command, env=server.env())
        try:
            code = child.wait()
        finally:
            child.stop()
    return 128 - code if code < 0 else code


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
