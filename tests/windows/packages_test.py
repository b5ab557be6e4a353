#!/usr/bin/env python3
"""The Windows ZIP and setup program of build-win64/ (docs/guide/install.md, "Windows").

  packages_test.py zip   <build-win64> <version>
  packages_test.py setup <build-win64> <version> <tablica-emulator>
"""

import hashlib
import os
import pathlib
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import tablica_kit as kit  # noqa: E402
from wine_prefix import WinePrefix, find_wine, windows_path  # noqa: E402
from xserver import XServer  # noqa: E402

UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\zapis-bitmapy"
INSTALL_DIR = r"C:\Program Files\Zapis bitmapy"
MENU_DIR = r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Zapis bitmapy"
WINDOW_LINK = "Zapis bitmapy do tablicy informacyjnej.lnk"
UNINSTALL_LINK = "Odinstaluj Zapis bitmapy.lnk"
PICTURE_LINK = "Przygotowanie obrazu dla tablicy.lnk"
TITLE = "Zapis bitmapy do tablicy informacyjnej."
PORT = 9


def tree(root):
    """{relative path: sha256} of every file below root."""
    return {path.relative_to(root).as_posix(): hashlib.sha256(path.read_bytes()).hexdigest()
            for path in pathlib.Path(root).rglob("*") if path.is_file()}


def check_same_files(got, expected, what):
    wrong = sorted(p for p in set(got) | set(expected) if got.get(p) != expected.get(p))
    assert not wrong, "%s: these files are missing, extra or different: %s" % (what, wrong)


def test_zip(build, version):
    name = "zapis-bitmapy-%s-win64" % version
    with tempfile.TemporaryDirectory(prefix="zip-test-") as out:
        with zipfile.ZipFile(os.path.join(build, name + ".zip")) as archive:
            tops = {entry.split("/")[0] for entry in archive.namelist()}
            assert tops == {name}, "top folders of the ZIP: %s" % sorted(tops)
            archive.extractall(out)
        check_same_files(tree(os.path.join(out, name)),
                         tree(os.path.join(build, "zapis-bitmapy-win64")), "ZIP")
        # The licence text (also the setup's licence page) holds every licence
        # the shipped files are under, and names the full notices beside it.
        with open(os.path.join(out, name, "LICENSE.txt"), encoding="utf-8-sig") as f:
            licence = f.read()
        for text in ("The zapis-bitmapy authors", "GNU LESSER GENERAL PUBLIC LICENSE",
                     "GNU GENERAL PUBLIC LICENSE", "GCC RUNTIME LIBRARY EXCEPTION",
                     "winpthreads/*", "licenses\\qt6-base.txt", "licenses\\mingw-w64.txt"):
            assert text in licence, "LICENSE.txt lacks %r" % text
    print("ZIP: one folder %s/, the portable folder byte for byte" % name)


def read_link(path):
    """(target, working folder) of a Windows shortcut (.lnk, MS-SHLLINK)."""
    with open(path, "rb") as f:
        data = f.read()
    flags = struct.unpack_from("<I", data, 20)[0]
    assert data[:4] == b"L\0\0\0" and flags & 0x02, "%s: no shortcut with a target" % path
    at = 76 + (2 + struct.unpack_from("<H", data, 76)[0] if flags & 0x01 else 0)
    size, _, _, _, base = struct.unpack_from("<IIIII", data, at)  # link info
    target = data[at + base:data.index(b"\0", at + base)].decode("cp1252")
    at += size
    workdir = None
    for bit in (0x04, 0x08, 0x10):  # name, relative path, working folder
        if flags & bit:
            count, width = struct.unpack_from("<H", data, at)[0], 2 if flags & 0x80 else 1
            # Wine counts the closing NUL in; Windows does not.
            workdir = data[at + 2:at + 2 + count * width].decode(
                "utf-16-le" if width == 2 else "cp1252").rstrip("\0")
            at += 2 + count * width
    return target, workdir if flags & 0x10 else None


class Prefix(WinePrefix):
    """A fresh Wine prefix, and what the test reads of it."""

    def __init__(self, path, wine, wineserver):
        super().__init__(path, wine, wineserver)
        self.remove()
        self.create()
        self.settle()

    def files(self):
        root = os.path.join(self.path, "drive_c")
        return {os.path.relpath(os.path.join(folder, name), root)
                for folder, dirs, names in os.walk(root) for name in dirs + names}

    def registry(self):
        """The lines of system.reg and user.reg, keys without their times."""
        lines = set()
        for hive in ("system.reg", "user.reg"):
            with open(os.path.join(self.path, hive), encoding="utf-8", errors="replace") as f:
                lines |= {hive + ": " + (line.rsplit("]", 1)[0] if line.startswith("[")
                                         else line.strip()) for line in f}
        return lines

    def uninstall_values(self):
        """The uninstall entry's values, or None when there is none."""
        result = self.run("reg", "query", UNINSTALL_KEY, check=False)
        if result.returncode != 0:
            return None
        rows = [line.split(None, 2) for line in result.stdout.splitlines()]
        return {row[0]: row[2] for row in rows if len(row) == 3 and row[1].startswith("REG_")}


def make_older_setup(build, out):
    """The setup of a version 0.9.0 whose folder has a file this version no
    longer ships, made with this build's CPack configuration."""
    old = os.path.join(out, "old-folder")
    os.makedirs(os.path.join(old, "plugins"))
    shutil.copy(os.path.join(build, "zapis-bitmapy-win64", "tablica-send.exe"), old)
    with open(os.path.join(old, "plugins", "obsolete.dll"), "wb") as f:
        f.write(b"a file only the old version has")
    subprocess.run(["cpack", "--config", os.path.join(build, "CPackConfig.cmake"), "-G", "NSIS",
                    "-D", "CPACK_PACKAGE_VERSION=0.9.0",
                    "-D", "CPACK_INSTALLED_DIRECTORIES=%s;." % old, "-B", out],
                   check=True, stdout=subprocess.DEVNULL)
    return os.path.join(out, "zapis-bitmapy-0.9.0-win64-setup.exe")


def check_installed(prefix, portable, version, user_files=()):
    installed = tree(prefix.unix(INSTALL_DIR))
    expected = dict(portable, **{name: installed.get(name) for name in ("uninstall.exe", *user_files)})
    check_same_files(installed, expected, "install folder")

    links = {WINDOW_LINK: INSTALL_DIR + r"\zapis-bitmapy.exe",
             UNINSTALL_LINK: INSTALL_DIR + r"\uninstall.exe"}
    if "tablica-obraz.exe" in portable:
        links[PICTURE_LINK] = INSTALL_DIR + r"\tablica-obraz.exe"
    menu = prefix.unix(MENU_DIR)
    assert sorted(os.listdir(menu)) == sorted(links), os.listdir(menu)
    for link, target in links.items():
        got_target, workdir = read_link(os.path.join(menu, link))
        assert got_target == target, "%s points at %r" % (link, got_target)
        # Started from the menu, the program reads ustaw.txt beside itself.
        assert workdir == INSTALL_DIR, "%s starts in %r" % (link, workdir)

    values = prefix.uninstall_values() or {}
    size_kib = sum(os.path.getsize(os.path.join(folder, name))
                   for folder, _, names in os.walk(prefix.unix(INSTALL_DIR)) for name in names) / 1024
    for name, value in {
        "DisplayName": "Zapis bitmapy do tablicy informacyjnej",
        "DisplayVersion": version,
        "Publisher": "The zapis-bitmapy authors",
        "DisplayIcon": INSTALL_DIR + r"\zapis-bitmapy.exe",
        "InstallLocation": INSTALL_DIR,
        "UninstallString": '"%s\\uninstall.exe"' % INSTALL_DIR,
        "QuietUninstallString": '"%s\\uninstall.exe" /S' % INSTALL_DIR,
        "NoModify": "0x1",
        "NoRepair": "0x1",
    }.items():
        assert values.get(name) == value, "%s = %r, expected %r" % (name, values.get(name), value)
    estimated = int(values.get("EstimatedSize", "-1"), 16)
    # KiB, each file rounded on its own or the sum rounded.
    assert abs(estimated - size_kib) <= len(installed) + 1, \
        "EstimatedSize %d KiB for %.0f KiB of files" % (estimated, size_kib)


def start_window_from_menu(prefix):
    with XServer() as x:
        env = prefix.env_with(DISPLAY=x.display)
        # start.exe opens the shortcut as Explorer would; the program keeps
        # whatever output it inherits, so it gets none.
        subprocess.run([prefix.wine, "start", MENU_DIR + "\\" + WINDOW_LINK], env=env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True, timeout=60)
        window = x.wait_for_window(TITLE, timeout=60)
        assert x.window_name(window).strip() == TITLE
        x.xdotool("key", "--window", window, "Escape")
        x.wait_window_gone(window, timeout=30)
        prefix.settle()


def send_with_installed_tool(prefix, work):
    link = os.path.join(prefix.path, "dosdevices", "com%d" % PORT)
    with kit.Emulator(EMULATOR, PORT, os.path.join(work, "config")) as board:
        try:
            os.symlink(board.device, link)
            first, second = kit.pattern(3), kit.pattern(4)
            kit.write_bmp(os.path.join(work, "first.bmp"), first)
            kit.write_bmp(os.path.join(work, "second.bmp"), second, top_down=True)
            # Run in the install folder, with ustaw.txt there naming the port.
            result = prefix.run(INSTALL_DIR + r"\tablica-send.exe", "--second",
                                windows_path(os.path.join(work, "second.bmp")),
                                windows_path(os.path.join(work, "first.bmp")),
                                cwd=prefix.unix(INSTALL_DIR), check=False)
            assert result.returncode == 0, "tablica-send.exe: exit %d: %s" % (result.returncode,
                                                                              result.stderr)
            kit.check_units(board.units(2), [("frame", 1, kit.expected_frame(first, can=True)),
                                             ("block", 2, kit.expected_block(second))])
        finally:
            if os.path.lexists(link):
                os.unlink(link)
    prefix.settle()


def test_setup(build, version, wine, wineserver):
    portable = tree(os.path.join(build, "zapis-bitmapy-win64"))
    setup = os.path.join(build, "zapis-bitmapy-%s-win64-setup.exe" % version)
    work = tempfile.mkdtemp(prefix="setup-test-")
    try:
        prefix = Prefix(os.path.join(work, "prefix"), wine, wineserver)
        files_before = prefix.files()
        keys_before = {line for line in prefix.registry() if ": [" in line}

        prefix.run(make_older_setup(build, work), "/S")
        assert os.path.exists(prefix.unix(INSTALL_DIR + r"\plugins\obsolete.dll"))
        assert prefix.uninstall_values()["DisplayVersion"] == "0.9.0"
        prefix.run(setup, "/S")
        prefix.settle()
        check_installed(prefix, portable, version)
        print("setup over 0.9.0: every file in place, the old one gone; menu and entry right")

        start_window_from_menu(prefix)
        print("window started from the Start menu, found by its title, closed with Esc")

        kit.write_settings(prefix.unix(INSTALL_DIR), PORT, line_end="\r\n")
        send_with_installed_tool(prefix, work)
        print("installed tablica-send.exe: frame and second-board block byte-exact")

        prefix.run(setup, "/S")
        prefix.settle()
        check_installed(prefix, portable, version, user_files=["ustaw.txt"])
        print("setup over the same version: the same files, one entry, ustaw.txt kept")

        os.unlink(prefix.unix(INSTALL_DIR + r"\ustaw.txt"))
        quiet = prefix.uninstall_values()["QuietUninstallString"]
        program, argument = quiet.rsplit(" ", 1)
        # The uninstaller copies itself to the user's Temp folder, starts the
        # copy and returns at once (on Windows as under Wine), so that the
        # copy can delete the installed uninstaller: settle() waits for it.
        prefix.run(program.strip('"'), argument)
        prefix.settle()
        assert prefix.uninstall_values() is None, "the uninstall entry is still there"
        for path in (INSTALL_DIR, MENU_DIR):
            assert not os.path.lexists(prefix.unix(path)), "%s is still there" % path

        # The copy in Temp is deleted at the next start of Windows, which it
        # asks for (PendingFileRenameOperations); wineboot -r is that start.
        prefix.run("wineboot", "-r")
        prefix.settle()
        left = sorted(prefix.files() - files_before)
        # Named case: the copy's folder is listed for deletion before the
        # copy in it, so that folder (~nsuN.tmp in the user's Temp) is left
        # behind empty; Windows does the same with the same list.
        left = [path for path in left if not (
            re.fullmatch(r"users/[^/]+/Temp/~nsu[^/]*\.tmp", path.replace(os.sep, "/"))
            and not os.listdir(os.path.join(prefix.path, "drive_c", path)))]
        assert not left, "left behind in C:: %s" % left
        left = sorted(line for line in prefix.registry() if line not in keys_before and (
            ": [" in line or "zapis" in line.lower() or "~nsu" in line))
        assert not left, "left behind in the registry: %s" % left
        print("uninstalled: folder, menu and entry gone; nothing left after a restart")
    finally:
        WinePrefix(os.path.join(work, "prefix"), wine, wineserver).stop()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.stdout.reconfigure(line_buffering=True)
    if sys.argv[1] == "zip":
        test_zip(sys.argv[2], sys.argv[3])
    else:
        EMULATOR = sys.argv[4]
        test_setup(sys.argv[2], sys.argv[3], find_wine("wine64"), find_wine("wineserver"))
