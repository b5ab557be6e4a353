"""A Linux guest under QEMU (TCG, no KVM, no privileges) whose serial ports
are the kernel's own drivers: the 16550 UART (8250, /dev/ttyS1) and an FTDI
USB adapter (ftdi_sio on xHCI, /dev/ttyUSB0) that can be pulled out and put
back through QEMU's monitor (QMP).

The guest is made from Debian's packages without installing them: the
kernel package and busybox-static are fetched with `apt-get download` and
unpacked with `dpkg-deb -x`; the kernel's vmlinux is taken out of the
bzImage for a direct (PVH) boot, which spares the guest decompressing
itself under TCG; a busybox initramfs loads the USB serial and 9p modules
and chroots into this machine's root, shared read-only, so the guest runs
the build's own programs under the same paths. A writable share (under the
same path in both) carries files both ways. What the guest's ports send
ends on host sockets that a Board keeps, listening before QEMU starts, and
every moment is taken on the host's clock (the guest's differs).

The guest is driven over its first UART (ttyS0) by qemu_agent.py, one JSON
line a request. The guest files are cached under ~/.cache/tablica-qemu,
keyed by the package versions and the init script."""

import hashlib
import json
import lzma
import os
import queue
import shutil
import socket
import struct
import subprocess
import tempfile
import threading
import time
import zlib

import tablica_kit as kit

CACHE = os.path.join(os.path.expanduser("~"), ".cache", "tablica-qemu")
MODULES = ["usbcore", "xhci_pci", "usbserial", "ftdi_sio", "virtio_pci", "9pnet_virtio", "9p"]
AGENT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "qemu_agent.py")

INIT = """#!/bin/busybox sh
/bin/busybox --install -s /bin
mkdir -p /dev /proc /host
mount -t devtmpfs dev /dev
mount -t proc proc /proc
ip link set lo up
exec >/dev/ttyS0 2>&1
echo "init: loading modules at $(cut -d" " -f1 /proc/uptime) s"
for m in $(cat /modules); do insmod /lib/$m.ko || echo "init: insmod $m failed"; done
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000,cache=loose,ro hostroot /host \\
  || { echo "init: no host root"; poweroff -f; }
mount -t proc proc /host/proc
mount -t sysfs sys /host/sys
mount -t devtmpfs dev /host/dev
mount -t tmpfs run /host/run
mkdir -p /host/dev/pts /host/dev/shm
mount -t devpts pts /host/dev/pts
mount -t tmpfs shm /host/dev/shm
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000 share "/host$share" \\
  || { echo "init: no share"; poweroff -f; }
echo "init: starting the agent at $(cut -d" " -f1 /proc/uptime) s"
chroot /host /usr/bin/python3 "$agent" "$share"
echo "init: the agent ended ($?)"
poweroff -f
"""


# --- the guest's files ----------------------------------------------------------

def _apt_output(*args):
    return subprocess.run(["apt-cache", *args], check=True, stdout=subprocess.PIPE,
                          text=True).stdout


def _candidate(package):
    for line in _apt_output("policy", package).splitlines():
        if line.strip().startswith("Candidate:"):
            version = line.split(":", 1)[1].strip()
            if version != "(none)":
                return version
    raise RuntimeError("apt knows no version of %s" % package)


def _kernel_package():
    for line in _apt_output("depends", "--important", "linux-image-amd64").splitlines():
        line = line.strip()
        if line.startswith("Depends: linux-image-"):
            return line.split()[1]
    raise RuntimeError("linux-image-amd64 names no kernel package")


def _elf_sections(data):
    """{name: bytes} of a 64-bit little-endian ELF file's sections."""
    if data[:5] != b"\x7fELF\x02":
        raise RuntimeError("not a 64-bit ELF file")
    shoff, = struct.unpack_from("<Q", data, 0x28)
    shentsize, shnum, shstrndx = struct.unpack_from("<HHH", data, 0x3A)
    headers = [struct.unpack_from("<IIQQQQ", data, shoff + i * shentsize) for i in range(shnum)]
    names = headers[shstrndx]
    names = data[names[4]:names[4] + names[5]]
    return {names[h[0]:names.index(b"\0", h[0])].decode(): data[h[4]:h[4] + h[5]]
            for h in headers if h[1] != 8}  # 8: no bits in the file


def _has_pvh_note(vmlinux):
    """Whether the kernel has the note QEMU needs for a direct boot (a
    32-bit entry point for PVH: Xen's note type 18)."""
    with open(vmlinux, "rb") as f:
        data = f.read()
    phoff, = struct.unpack_from("<Q", data, 0x20)
    phentsize, phnum = struct.unpack_from("<HH", data, 0x36)
    for i in range(phnum):
        kind, _, offset, _, _, size = struct.unpack_from("<IIQQQQ", data, phoff + i * phentsize)
        at, end = offset, offset + size
        while kind == 4 and at + 12 <= end:  # PT_NOTE
            namesz, descsz, note = struct.unpack_from("<III", data, at)
            name = data[at + 12:at + 12 + namesz].rstrip(b"\0")
            if name == b"Xen" and note == 18:
                return True
            at += 12 + (namesz + 3) // 4 * 4 + (descsz + 3) // 4 * 4
    return False


def _extract_vmlinux(bzimage, out):
    """The kernel's ELF image from the compressed payload in `bzimage`;
    False when no payload is found."""
    with open(bzimage, "rb") as f:
        data = f.read()
    for magic, open_payload in ((b"\xfd7zXZ\x00", lambda: lzma.LZMADecompressor(lzma.FORMAT_XZ)),
                                (b"\x1f\x8b\x08", lambda: zlib.decompressobj(31))):
        at = data.find(magic)
        while at >= 0:
            try:
                elf = open_payload().decompress(data[at:])
            except (lzma.LZMAError, zlib.error):
                elf = b""
            if elf[:4] == b"\x7fELF":
                with open(out, "wb") as f:
                    f.write(elf)
                return True
            at = data.find(magic, at + 1)
    return False


def _cpio(entries):
    """A newc archive of (name, mode, data or (major, minor) for a device)."""
    out = bytearray()
    for ino, (name, mode, data) in enumerate(entries + [("TRAILER!!!", 0, b"")], 1):
        rdev = data if isinstance(data, tuple) else (0, 0)
        body = b"" if isinstance(data, tuple) else data
        fields = (ino, mode, 0, 0, 1, 0, len(body), 0, 0, rdev[0], rdev[1], len(name) + 1, 0)
        out += b"070701" + b"".join(b"%08X" % v for v in fields) + name.encode() + b"\0"
        out += b"\0" * (-len(out) % 4) + body
        out += b"\0" * (-len(out) % 4)
    return bytes(out)


def _module_order(root, wanted):
    """(name, file) of `wanted` and what each depends on, dependencies
    first, read from each module's .modinfo."""
    files = {}
    for folder, _, names in os.walk(root):
        for name in names:
            for ending in (".ko", ".ko.xz"):
                if name.endswith(ending):
                    files[name[:-len(ending)].replace("-", "_")] = os.path.join(folder, name)
    order, seen = [], set()

    def visit(name):
        name = name.replace("-", "_")
        if name in seen:
            return
        seen.add(name)
        path = files[name]
        with open(path, "rb") as f:
            data = f.read()
        if path.endswith(".xz"):
            data = lzma.decompress(data)  # busybox's insmod reads plain modules
        for field in _elf_sections(data).get(".modinfo", b"").split(b"\0"):
            if field.startswith(b"depends="):
                for dependency in filter(None, field[8:].decode().split(",")):
                    visit(dependency)
        order.append((name, data))

    for name in wanted:
        visit(name)
    return order


def prepare(log=print):
    """The cached (kernel, initramfs) of the guest, made when missing."""
    kernel_package = _kernel_package()
    versions = "%s_%s busybox-static_%s" % (kernel_package, _candidate(kernel_package),
                                             _candidate("busybox-static"))
    key = hashlib.sha256((versions + INIT + " ".join(MODULES)).encode()).hexdigest()[:16]
    folder = os.path.join(CACHE, key)
    kernel, initrd = os.path.join(folder, "kernel"), os.path.join(folder, "initrd.cpio")
    if os.path.exists(initrd):
        return kernel, initrd
    log("guest: making %s (%s)" % (folder, versions))
    work = tempfile.mkdtemp(prefix="guest-", dir=CACHE if os.path.isdir(CACHE) else None)
    try:
        os.makedirs(CACHE, exist_ok=True)
        subprocess.run(["apt-get", "download", "-q", "-o", "APT::Sandbox::User=root",
                        kernel_package, "busybox-static"], cwd=work, check=True)
        root = os.path.join(work, "root")
        for deb in sorted(os.listdir(work)):
            if deb.endswith(".deb"):
                subprocess.run(["dpkg-deb", "-x", deb, root], cwd=work, check=True)
        boot = os.path.join(root, "boot")
        bzimage = os.path.join(boot, next(n for n in os.listdir(boot) if n.startswith("vmlinuz-")))
        staged = os.path.join(work, "kernel")
        if not (_extract_vmlinux(bzimage, staged) and _has_pvh_note(staged)):
            log("guest: no PVH kernel in %s, booting the bzImage" % bzimage)
            shutil.copyfile(bzimage, staged)
        modules_root = os.path.join(root, "lib", "modules")
        modules = _module_order(os.path.join(modules_root, os.listdir(modules_root)[0]), MODULES)
        with open(os.path.join(root, "bin", "busybox"), "rb") as f:
            busybox = f.read()
        entries = [("bin", 0o40755, b""), ("dev", 0o40755, b""), ("lib", 0o40755, b""),
                   ("dev/console", 0o20600, (5, 1)), ("bin/busybox", 0o100755, busybox),
                   ("init", 0o100755, INIT.encode()),
                   ("modules", 0o100644, "".join(n + "\n" for n, _ in modules).encode())]
        entries += [("lib/%s.ko" % name, 0o100644, data) for name, data in modules]
        with open(os.path.join(work, "initrd.cpio"), "wb") as f:
            f.write(_cpio(entries))
        for old in os.listdir(CACHE):  # the guests of older packages
            if len(old) == len(key) and old != key:
                shutil.rmtree(os.path.join(CACHE, old), ignore_errors=True)
        os.makedirs(folder, exist_ok=True)
        os.replace(staged, kernel)
        os.replace(os.path.join(work, "initrd.cpio"), initrd)
        return kernel, initrd
    finally:
        shutil.rmtree(work, ignore_errors=True)


# --- what the host receives -------------------------------------------------------

FRAME, BLOCK = 517, 513


def whole_units(data):
    """Splits bytes a board received into (offset, end) of whole frames (with
    the second board's block where the header says so: a valid start, header
    and checksums) and the count of bytes that belong to none."""
    units, stray, at = [], 0, 0
    while at < len(data):
        header = data[at + 3] if at + 3 < len(data) else None
        size = FRAME + (BLOCK if header == 2 else 0)
        end = at + size
        if (data[at:at + 3] == b"\xaa\x01\x00" and header in (0, 2) and end <= len(data)
                and _xor(data[at + 1:at + FRAME - 1]) == data[at + FRAME - 1]
                and (header == 0 or _xor(data[at + FRAME:end - 1], 3) == data[end - 1])):
            units.append((at, end))
            at = end
        else:
            stray += 1
            at += 1
    return units, stray


def _xor(data, start=0):
    for b in data:
        start ^= b
    return start


class Board:
    """The host's end of one of the guest's ports: a socket listening before
    QEMU starts, and every byte received with its arrival time (host
    clock)."""

    def __init__(self, path):
        self.server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.server.bind(path)
        self.server.listen(1)
        self.path = path
        self.data = bytearray()
        self.times = []  # (arrival, length of data after it)
        self.changed = threading.Condition()
        self.on_bytes = None
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        connection, _ = self.server.accept()
        while True:
            chunk = connection.recv(65536)
            if not chunk:
                return
            now = time.monotonic()
            with self.changed:
                self.data += chunk
                self.times.append((now, len(self.data)))
                self.changed.notify_all()
            if self.on_bytes:
                self.on_bytes(now)

    def mark(self):
        with self.changed:
            return len(self.data)

    def since(self, mark):
        with self.changed:
            return bytes(self.data[mark:])

    def arrival(self, offset):
        """When the byte at `offset` arrived."""
        with self.changed:
            return next(t for t, end in self.times if end > offset)

    def wait_units(self, mark, count, timeout):
        """The whole units received after `mark` once there are `count` of
        them (or what came when `timeout` passed): (units, stray)."""
        deadline = time.monotonic() + timeout
        with self.changed:
            while True:
                units, stray = whole_units(bytes(self.data[mark:]))
                left = deadline - time.monotonic()
                if len(units) >= count or left <= 0:
                    return units, stray
                self.changed.wait(left)


# --- the machine --------------------------------------------------------------------

class Guest:
    """The guest, booted: `run`/`start`/`stop` programs in it, `pull` and
    `plug` the USB adapter. `uart` and `usb` are the Boards of ttyS1 and
    ttyUSB0; `share` is the folder both see."""

    def __init__(self, log=print, memory=768):
        self.log = log
        kernel, initrd = prepare(log)
        self.dir = tempfile.mkdtemp(prefix="tablica-guest-")
        self.share = os.path.join(self.dir, "share")
        os.mkdir(self.share)
        self.uart = Board(os.path.join(self.dir, "uart.sock"))
        self.usb = Board(os.path.join(self.dir, "usb.sock"))
        control = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        control.bind(os.path.join(self.dir, "control.sock"))
        control.listen(1)
        qmp = os.path.join(self.dir, "qmp.sock")
        self.replies, self.events, self.next_id = {}, queue.Queue(), 0
        self.plugged = True
        self.lock = threading.Condition()
        self.started = start = time.monotonic()
        self.qemu = kit.Process(
            ["qemu-system-x86_64", "-machine", "pc", "-accel", "tcg", "-m", str(memory),
             "-cpu", "max", "-smp", "1", "-nodefaults", "-display", "none", "-no-reboot",
             "-kernel", kernel, "-initrd", initrd,
             "-append", "quiet loglevel=4 panic=-1 mitigations=off cryptomgr.notests tsc=reliable "
                       "no_timer_check share=%s agent=%s" % (self.share, AGENT),
             "-chardev", "socket,id=control,path=%s" % control.getsockname(),
             "-chardev", "socket,id=uart,path=%s" % self.uart.path,
             "-chardev", "socket,id=usb,path=%s" % self.usb.path,
             "-serial", "chardev:control", "-serial", "chardev:uart",
             "-device", "qemu-xhci,id=xhci",
             "-device", "usb-serial,id=adapter,chardev=usb,bus=xhci.0,port=1",
             "-virtfs", "local,path=/,mount_tag=hostroot,security_model=none,readonly=on,"
                        "multidevs=remap",
             "-virtfs", "local,path=%s,mount_tag=share,security_model=none" % self.share,
             "-qmp", "unix:%s,server=on,wait=off" % qmp],
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        threading.Thread(target=self._qemu_output, daemon=True).start()
        control.settimeout(30)
        self.control, _ = control.accept()
        control.close()
        self.control_file = self.control.makefile("rb")
        self.qmp = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        for _ in range(300):  # QEMU makes its monitor's socket after it connects ours
            if os.path.exists(qmp):
                break
            time.sleep(0.1)
        self.qmp.connect(qmp)
        self.qmp_file = self.qmp.makefile("rb")
        json.loads(self.qmp_file.readline())  # the greeting
        threading.Thread(target=self._read_qmp, daemon=True).start()
        self.monitor("qmp_capabilities")
        self.ready = queue.Queue()
        threading.Thread(target=self._read_control, daemon=True).start()
        if self.ready.get(timeout=120) is None:
            raise RuntimeError("the guest did not start")
        self.boot_seconds = time.monotonic() - start

    def _qemu_output(self):
        for line in self.qemu.proc.stdout:
            self.log("qemu: " + line.decode("utf-8", "replace").rstrip())

    # the agent, on ttyS0
    def _read_control(self):
        for line in self.control_file:
            text = line.decode("utf-8", "replace").strip()
            if not text.startswith("{"):
                if text:
                    self.log("guest: %s (host %.1f s)" % (text, time.monotonic() - self.started))
                continue
            reply = json.loads(text)
            if reply.get("ready"):
                self.ready.put(True)
                continue
            with self.lock:
                self.replies[reply["id"]] = reply
                self.lock.notify_all()
        self.ready.put(None)
        with self.lock:
            self.replies[None] = None
            self.lock.notify_all()

    def request(self, op, wait=120, **fields):
        with self.lock:
            self.next_id += 1
            number = self.next_id
        self.control.sendall(json.dumps(dict(fields, op=op, id=number)).encode() + b"\n")
        deadline = time.monotonic() + wait
        with self.lock:
            while number not in self.replies:
                left = deadline - time.monotonic()
                if None in self.replies or left <= 0:
                    raise RuntimeError("the guest did not answer %s %s" % (op, fields))
                self.lock.wait(left)
            return self.replies.pop(number)

    def run(self, args, timeout=120, **fields):
        """Runs a program in the guest to its end: {"rc", "out", "err"}."""
        return self.request("run", wait=timeout + 10, args=list(map(str, args)), timeout=timeout,
                            **fields)

    def start(self, name, args, **fields):
        """Starts a program in the guest; its output goes to `name`.out and
        `name`.err in the share."""
        return self.request("start", name=name, args=list(map(str, args)), **fields)

    def stop(self, name):
        """Ends a program started in the guest with SIGTERM: {"running"
        (whether it still ran), "rc"}."""
        return self.request("stop", name=name)

    def output(self, name, kind="err"):
        with open(os.path.join(self.share, "%s.%s" % (name, kind)), "rb") as f:
            return f.read().decode("utf-8", "replace")

    # QEMU's monitor
    def _read_qmp(self):
        while True:
            try:
                line = self.qmp_file.readline()
            except OSError:  # QEMU ended
                return
            if not line:
                return
            message = json.loads(line)
            if "event" in message:
                self.events.put((time.monotonic(), message))
            else:
                with self.lock:
                    self.replies["qmp", message.get("id")] = message
                    self.lock.notify_all()

    def monitor(self, command, **arguments):
        """A QMP command; returns its answer's host time."""
        with self.lock:
            self.next_id += 1
            number = self.next_id
        self.qmp.sendall(json.dumps({"execute": command, "arguments": arguments,
                                     "id": number}).encode() + b"\n")
        with self.lock:
            while ("qmp", number) not in self.replies:
                if not self.lock.wait(30):
                    raise RuntimeError("QEMU did not answer %s" % command)
            reply = self.replies.pop(("qmp", number))
        if "error" in reply:
            raise RuntimeError("%s: %s" % (command, reply["error"]))
        return time.monotonic()

    def pull_now(self):
        """Asks QEMU to pull the USB adapter out, without waiting (from a
        Board's reader, at the moment a byte came)."""
        self.qmp.sendall(b'{"execute": "device_del", "arguments": {"id": "adapter"}}\n')

    def pulled(self):
        """Returns once QEMU has removed the adapter."""
        deadline = time.monotonic() + 30
        while True:
            try:
                _, event = self.events.get(timeout=max(0.1, deadline - time.monotonic()))
            except queue.Empty:
                raise RuntimeError("QEMU did not remove the adapter") from None
            if event["event"] == "DEVICE_DELETED" and event["data"].get("device") == "adapter":
                self.plugged = False
                return

    def pull(self):
        self.pull_now()
        self.pulled()

    def plug(self):
        """Puts the adapter back; returns the host time of QEMU's answer."""
        returned = self.monitor("device_add", driver="usb-serial", id="adapter", chardev="usb",
                                bus="xhci.0", port="1")
        self.plugged = True
        return returned

    def close(self):
        try:
            self.monitor("quit")
        except (RuntimeError, OSError):
            pass
        self.qemu.stop()
        shutil.rmtree(self.dir, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()
