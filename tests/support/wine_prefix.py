#!/usr/bin/env python3
"""A Wine prefix for the Windows programs' tests and screenshots: made once
(it says Windows 10, as Qt 6 programs want; fonts that Windows has and this
Wine lacks go where Windows keeps its fonts), run headless (no DISPLAY, no
Mono or Gecko prompts, no debug output, no menu entries on this machine's
desktop for the prefix's shortcuts), and stopped again.

From Python:

    prefix = WinePrefix(path)
    prefix.ensure(fonts=[...], desktops=["program.exe"])   # made when missing
    prefix.run("program.exe", "argument", cwd=...)
    prefix.settle()                                          # wineserver -w

From CMake and shell scripts:

    wine_prefix.py start [options]   made when missing, then a persistent
                                     Wine server with its output in a log
                                     beside the prefix (the tests' fixture)
    wine_prefix.py make [options]    made when missing, and left idle
    wine_prefix.py stop [options]    the prefix's Wine server stopped

    options: --prefix P (default: $WINEPREFIX), --wine W, --wineserver S,
             --fonts DIR (every file in it), --font FILE (repeatable),
             --desktop PROGRAM.exe (repeatable: that program's windows get
             a desktop of their own on the X server it is started on),
             --registry KEY NAME DATA (repeatable: a string value)"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time


def find_wine(name):
    """wine64 or wineserver: on the PATH, or where Debian puts them."""
    found = shutil.which(name) or shutil.which(name, path="/usr/lib/wine")
    if not found:
        raise AssertionError("%s not found (scripts/install-deps wine installs it)" % name)
    return found


def windows_path(unix_path):
    """The path a Windows program of any prefix sees for a file of this machine."""
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


class WinePrefix:
    """A Wine prefix at `path`; the Windows drive C: is its drive_c."""

    def __init__(self, path, wine=None, wineserver=None):
        self.path = os.path.abspath(path)
        self.wine = wine or find_wine("wine64")
        self.wineserver = wineserver or find_wine("wineserver")
        env = {name: value for name, value in os.environ.items() if name != "DISPLAY"}
        self.env = dict(env, WINEPREFIX=self.path, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")

    def env_with(self, **more):
        return dict(self.env, **more)

    def exists(self):
        return os.path.isfile(os.path.join(self.path, "system.reg"))

    def _boot(self, args, log):
        # Wine's services inherit open files and outlive the program: output
        # goes to a file, never to a pipe that would stay open.
        with open(log or os.devnull, "ab") as out:
            subprocess.run([self.wine, *args], env=self.env, stdin=subprocess.DEVNULL,
                           stdout=out, stderr=out, check=True, timeout=300)

    def create(self, fonts=(), desktops=(), registry=(), log=None):
        """Makes the prefix in its folder (about 10 s); remove() first for a
        fresh one."""
        os.makedirs(self.path, exist_ok=True)
        self._boot(["wineboot", "-i"], log)
        # A new prefix says Windows 7; Qt 6 programs are made for Windows 10.
        self._boot(["winecfg", "-v", "win10"], log)
        folder = os.path.join(self.path, "drive_c", "windows", "Fonts")
        for font in fonts:
            shutil.copy(font, folder)
        for program in desktops:
            registry = [*registry, (r"HKCU\Software\Wine\AppDefaults\%s\Explorer" % program,
                                    "Desktop", "root")]
        for key, name, data in registry:
            self._boot(["reg", "add", key, "/v", name, "/d", data, "/f"], log)

    def ensure(self, fonts=(), desktops=(), registry=(), log=None):
        """Makes the prefix when it is missing, or brings an existing one up
        to date (wineboot); True when it was made."""
        if self.exists():
            self._boot(["wineboot"], log)
            return False
        self.create(fonts, desktops, registry, log)
        return True

    def start_server(self, log):
        """A persistent Wine server for this prefix, after any earlier one has
        gone. It also opens the ports' pseudo-terminals and prints its object
        list when one of them hangs up, which belongs in `log`, not in a
        test's output."""
        self.stop()
        # The server is tied to the prefix's folder, which must exist first.
        os.makedirs(self.path, exist_ok=True)
        with open(log, "wb") as out:
            subprocess.run([self.wineserver, "-p"], env=self.env, stdin=subprocess.DEVNULL,
                           stdout=out, stderr=out, check=True, timeout=60)

    def run(self, *args, cwd=None, check=True, timeout=120, env=None):
        """Runs a program of the prefix; its output is returned as text. (It
        goes through files: a Wine service that the program starts inherits
        its output and outlives it, and would hold a pipe open.)"""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            code = subprocess.run([self.wine, *args], env=env or self.env, cwd=cwd,
                                  stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                  timeout=timeout).returncode
            out.seek(0)
            err.seek(0)
            result = subprocess.CompletedProcess(
                [self.wine, *args], code, out.read().decode("utf-8", "replace"),
                err.read().decode("utf-8", "replace"))
        if check:
            assert result.returncode == 0, "wine %s: exit %d\n%s%s" % (
                " ".join(args), result.returncode, result.stdout, result.stderr)
        return result

    def settle(self):
        """Waits until every program of the prefix has ended and the Wine
        server has written the registry to system.reg and user.reg."""
        subprocess.run([self.wineserver, "-w"], env=self.env, timeout=120, check=True)

    def stop(self):
        """Stops the prefix's Wine server (and with it its programs)."""
        subprocess.run([self.wineserver, "-k"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=False, timeout=60)
        subprocess.run([self.wineserver, "-w"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=False, timeout=60)

    def remove(self):
        self.stop()
        shutil.rmtree(self.path, ignore_errors=True)

    def unix(self, path):
        """This machine's path of a C:\\ path of the prefix."""
        assert path[:3].upper() == "C:\\", path
        return os.path.join(self.path, "drive_c", *path[3:].split("\\"))


def main(argv):
    parser = argparse.ArgumentParser(description="Makes, starts or stops a Wine prefix.")
    parser.add_argument("action", choices=("start", "make", "stop"))
    parser.add_argument("--prefix", default=os.environ.get("WINEPREFIX"))
    parser.add_argument("--wine")
    parser.add_argument("--wineserver")
    parser.add_argument("--fonts", help="a folder whose files go into C:\\windows\\Fonts")
    parser.add_argument("--font", action="append", default=[])
    parser.add_argument("--desktop", action="append", default=[])
    parser.add_argument("--registry", action="append", nargs=3, default=[],
                        metavar=("KEY", "NAME", "DATA"))
    options = parser.parse_args(argv)
    if not options.prefix:
        parser.error("no prefix: give --prefix or set WINEPREFIX")
    prefix = WinePrefix(options.prefix, options.wine, options.wineserver)
    if options.action == "stop":
        prefix.stop()
        return 0

    fonts = list(options.font)
    if options.fonts:
        fonts += sorted(os.path.join(options.fonts, name) for name in os.listdir(options.fonts))
    began = time.monotonic()
    if options.action == "start":
        prefix.start_server(prefix.path + ".server.log")
    log = prefix.path + ".boot.log"
    if os.path.exists(log):
        os.remove(log)
    if not prefix.exists():
        print("Creating the Wine prefix %s" % prefix.path, flush=True)
    prefix.ensure(fonts, options.desktop, options.registry, log)
    if options.action == "make":
        prefix.settle()
    print("Wine prefix ready in %.0f s" % (time.monotonic() - began))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
