#!/usr/bin/env python3
"""The Windows packages under Wine.

  packages_test.py zip   <build-win64> <version>
  packages_test.py setup <build-win64> <version> <tablica-emulator>

zip: the ZIP holds one folder zapis-bitmapy-<version>-win64/ with exactly the
files of the portable folder, byte for byte.

setup: in a fresh Wine prefix, an older version's setup (made here from a
stand-in folder with the same CPack configuration) is installed, then this
version's setup over it, silently (/S): every file of the portable folder
lands in Program Files\\Zapis bitmapy and nothing of the older version stays;
the Start-menu entries and the "Apps & features" entry are checked; the
window is started from its Start-menu entry and found by its title;
tablica-send.exe sends to the virtual board, byte-exact; the same setup runs
again over itself; the uninstaller named in the registry removes everything,
and after a restart of the Wine machine no file or registry key of it is
left.
"""

import hashlib
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import e2e_lib as lib  # noqa: E402

UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\zapis-bitmapy"
INSTALL_DIR = r"C:\Program Files\Zapis bitmapy"
MENU_DIR = r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Zapis bitmapy"
WINDOW_LINK = "Zapis bitmapy do tablicy informacyjnej.lnk"
UNINSTALL_LINK = "Odinstaluj Zapis bitmapy.lnk"
PICTURE_LINK = "Przygotowanie obrazu dla tablicy.lnk"
TITLE = "Zapis bitmapy do tablicy informacyjnej."
PORT = 9


def tree(root):
    """{relative path: sha256} of every file below root, '/' separated."""
    files = {}
    for folder, _, names in os.walk(root):
        for name in names:
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                files[os.path.relpath(path, root).replace(os.sep, "/")] = \
                    hashlib.sha256(f.read()).hexdigest()
    return files


def check_same_files(got, expected, what):
    missing = sorted(set(expected) - set(got))
    extra = sorted(set(got) - set(expected))
    changed = sorted(p for p in set(got) & set(expected) if got[p] != expected[p])
    assert not (missing or extra or changed), \
        "%s: missing %s, extra %s, different %s" % (what, missing, extra, changed)


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
        for text in ("Copyright (c) 2026 The zapis-bitmapy authors",
                     "GNU LESSER GENERAL PUBLIC LICENSE\n                       Version 3",
                     "GNU GENERAL PUBLIC LICENSE\n                       Version 3",
                     "GCC RUNTIME LIBRARY EXCEPTION\n\nVersion 3.1",
                     "Files: mingw-w64-libraries/winpthreads/*",
                     "Permission is hereby granted, free of charge"):
            assert text in licence, "LICENSE.txt lacks %r" % text
        for notice in ("qt6-base", "qt6-translations", "gcc", "mingw-w64"):
            assert "licenses\\%s.txt" % notice in licence, notice
            assert os.path.getsize(os.path.join(out, name, "licenses", notice + ".txt")) > 1000
    print("ZIP: one folder %s/, the portable folder byte for byte" % name)


def read_link(path):
    """(target, working folder) of a Windows shortcut (.lnk, MS-SHLLINK)."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:4] == b"\x4c\x00\x00\x00", "%s is not a shortcut" % path
    flags = struct.unpack_from("<I", data, 20)[0]
    at = 76
    if flags & 0x01:  # an item ID list
        at += 2 + struct.unpack_from("<H", data, at)[0]
    target = None
    if flags & 0x02:  # link info, with the target's local path
        size, _, info_flags, _, base_offset = struct.unpack_from("<IIIII", data, at)
        if info_flags & 0x01:
            end = data.index(b"\0", at + base_offset)
            target = data[at + base_offset:end].decode("mbcs" if os.name == "nt" else "cp1252")
        at += size
    strings = {}
    for bit, name in ((0x04, "name"), (0x08, "relative"), (0x10, "workdir"),
                      (0x20, "arguments"), (0x40, "icon")):
        if flags & bit:
            count = struct.unpack_from("<H", data, at)[0]
            width = 2 if flags & 0x80 else 1
            raw = data[at + 2:at + 2 + count * width]
            # Wine counts the closing NUL in; Windows does not.
            strings[name] = raw.decode("utf-16-le" if width == 2 else "cp1252").rstrip("\0")
            at += 2 + count * width
    return target, strings.get("workdir")


class Prefix:
    """A fresh Wine prefix; the Windows drive C: is drive_c."""

    def __init__(self, path, wine, wineserver):
        self.path, self.wine, self.wineserver = path, wine, wineserver
        shutil.rmtree(path, ignore_errors=True)
        # No Mono or Gecko prompts; no menu entries on the Linux desktop for
        # the Start-menu shortcuts (they stay inside the prefix).
        self.env = dict(os.environ, WINEPREFIX=path, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
        self.env.pop("DISPLAY", None)
        self.run("wineboot", "-i")
        # Qt 6 wants Windows 10; a fresh prefix says Windows 7.
        self.run("winecfg", "-v", "win10")
        self.settle()

    def run(self, *args, env=None, cwd=None, check=True, timeout=120):
        result = subprocess.run([self.wine, *args], env=env or self.env, cwd=cwd,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                text=True, errors="replace", timeout=timeout)
        if check:
            assert result.returncode == 0, "wine %s: exit %d\n%s%s" % (
                " ".join(args), result.returncode, result.stdout, result.stderr)
        return result

    def settle(self):
        """Waits until every program of the prefix has ended and the Wine
        server has written the registry to system.reg and user.reg."""
        subprocess.run([self.wineserver, "-w"], env=self.env, timeout=120, check=True)

    def unix(self, windows_path):
        assert windows_path[:3].upper() == "C:\\", windows_path
        return os.path.join(self.path, "drive_c", *windows_path[3:].split("\\"))

    def files(self):
        root = os.path.join(self.path, "drive_c")
        return {os.path.relpath(os.path.join(folder, name), root)
                for folder, dirs, names in os.walk(root) for name in dirs + names}

    def registry_keys(self):
        keys = set()
        for hive in ("system.reg", "user.reg"):
            with open(os.path.join(self.path, hive), encoding="utf-8", errors="replace") as f:
                keys |= {hive + line.rsplit("]", 1)[0] for line in f if line.startswith("[")}
        return keys

    def registry_lines_with(self, word):
        found = []
        for hive in ("system.reg", "user.reg"):
            with open(os.path.join(self.path, hive), encoding="utf-8", errors="replace") as f:
                found += [hive + ": " + line.strip() for line in f if word in line.lower()]
        return found

    def uninstall_values(self):
        """The uninstall entry's values, or None when there is none."""
        result = self.run("reg", "query", UNINSTALL_KEY, check=False)
        if result.returncode != 0:
            return None
        values = {}
        for line in result.stdout.splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) >= 2 and parts[1].startswith("REG_"):
                values[parts[0]] = parts[2] if len(parts) == 3 else ""
        return values


def find_wine(name):
    found = shutil.which(name) or shutil.which(name, path="/usr/lib/wine")
    assert found, "%s not found (scripts/install-deps wine installs it)" % name
    return found


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
    expected = dict(portable)
    for name in ("uninstall.exe", *user_files):
        assert name in installed, "%s is not in the install folder" % name
        expected[name] = installed[name]
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

    values = prefix.uninstall_values()
    assert values is not None, "no uninstall entry"
    size_kib = sum(os.path.getsize(os.path.join(folder, name))
                   for folder, _, names in os.walk(prefix.unix(INSTALL_DIR))
                   for name in names) / 1024
    expected_values = {
        "DisplayName": "Zapis bitmapy do tablicy informacyjnej",
        "DisplayVersion": version,
        "Publisher": "The zapis-bitmapy authors",
        "DisplayIcon": INSTALL_DIR + r"\zapis-bitmapy.exe",
        "InstallLocation": INSTALL_DIR,
        "UninstallString": '"%s\\uninstall.exe"' % INSTALL_DIR,
        "QuietUninstallString": '"%s\\uninstall.exe" /S' % INSTALL_DIR,
        "NoModify": "0x1",
        "NoRepair": "0x1",
    }
    for name, value in expected_values.items():
        assert values.get(name) == value, "%s = %r, expected %r" % (name, values.get(name), value)
    estimated = int(values.get("EstimatedSize", "-1"), 16)
    # KiB, each file rounded on its own or the sum rounded.
    assert abs(estimated - size_kib) <= len(installed) + 1, \
        "EstimatedSize %d KiB for %.0f KiB of files" % (estimated, size_kib)


def start_window_from_menu(prefix):
    xvfb = lib.Xvfb()
    try:
        env = dict(prefix.env, DISPLAY=xvfb.display)
        # start.exe opens the shortcut as Explorer would; the program keeps
        # whatever output it inherits, so it gets none.
        subprocess.run([prefix.wine, "start", MENU_DIR + "\\" + WINDOW_LINK], env=env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True, timeout=60)
        window = lib.wait_for_window(xvfb, TITLE, timeout=60)
        assert lib.xdotool(xvfb, "getwindowname", window).strip() == TITLE
        lib.xdotool(xvfb, "key", "--window", window, "Escape")
        lib.wait_window_gone(xvfb, window, timeout=30)
        prefix.settle()
    finally:
        xvfb.stop()


def send_with_installed_tool(prefix, work):
    board = lib.Emulator(os.path.dirname(EMULATOR), PORT, os.path.join(work, "config"))
    link = os.path.join(prefix.path, "dosdevices", "com%d" % PORT)
    try:
        os.symlink(board.device, link)
        first, second = lib.pattern(3), lib.pattern(4)
        lib.write_bmp(os.path.join(work, "first.bmp"), first)
        lib.write_bmp(os.path.join(work, "second.bmp"), second, top_down=True)
        # Run in the install folder, with ustaw.txt there naming the port.
        result = prefix.run(INSTALL_DIR + r"\tablica-send.exe", "--second",
                            "Z:" + os.path.join(work, "second.bmp").replace("/", "\\"),
                            "Z:" + os.path.join(work, "first.bmp").replace("/", "\\"),
                            cwd=prefix.unix(INSTALL_DIR), check=False)
        assert result.returncode == 0, "tablica-send.exe: exit %d: %s" % (result.returncode,
                                                                          result.stderr)
        lib.check_units(board.units(2), [("frame", 1, lib.expected_frame(first, can=True)),
                                         ("block", 2, lib.expected_block(second))])
    finally:
        board.stop()
        os.unlink(link)
    prefix.settle()


def test_setup(build, version, wine, wineserver):
    portable = tree(os.path.join(build, "zapis-bitmapy-win64"))
    setup = os.path.join(build, "zapis-bitmapy-%s-win64-setup.exe" % version)
    work = tempfile.mkdtemp(prefix="setup-test-")
    try:
        prefix = Prefix(os.path.join(work, "prefix"), wine, wineserver)
        files_before, keys_before = prefix.files(), prefix.registry_keys()

        prefix.run(make_older_setup(build, work), "/S")
        assert os.path.exists(prefix.unix(INSTALL_DIR + r"\plugins\obsolete.dll"))
        assert prefix.uninstall_values()["DisplayVersion"] == "0.9.0"
        prefix.run(setup, "/S")
        prefix.settle()
        check_installed(prefix, portable, version)
        print("setup over 0.9.0: every file in place, the old one gone; menu and entry right")

        start_window_from_menu(prefix)
        print("window started from the Start menu, found by its title, closed with Esc")

        with open(prefix.unix(INSTALL_DIR + r"\ustaw.txt"), "w") as f:
            f.write("PORT %d\r\nMODEL\r\n" % PORT)
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
        for path in list(left):
            parts = path.split(os.sep)
            if (len(parts) == 4 and parts[0] == "users" and parts[2] == "Temp"
                    and parts[3].startswith("~nsu") and parts[3].endswith(".tmp")
                    and not os.listdir(os.path.join(prefix.path, "drive_c", path))):
                left.remove(path)
        assert not left, "left behind in C:: %s" % left
        new_keys = sorted(prefix.registry_keys() - keys_before)
        assert not new_keys, "registry keys left behind: %s" % new_keys
        mentions = prefix.registry_lines_with("zapis") + prefix.registry_lines_with("~nsu")
        assert not mentions, "registry values left behind: %s" % mentions
        print("uninstalled: folder, menu and entry gone; nothing left after a restart")
    finally:
        subprocess.run([wineserver, "-k"], env=dict(os.environ, WINEPREFIX=os.path.join(
            work, "prefix")), check=False)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.stdout.reconfigure(line_buffering=True)
    if sys.argv[1] == "zip":
        test_zip(sys.argv[2], sys.argv[3])
    else:
        EMULATOR = sys.argv[4]
        test_setup(sys.argv[2], sys.argv[3], find_wine("wine64"), find_wine("wineserver"))
