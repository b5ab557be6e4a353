"""Runs inside the QEMU guest (qemu_guest.py), chrooted into the host's
root: takes one JSON request a line on ttyS0 and answers each with one JSON
line carrying its id. Requests: "run" (a program to its end), "start" (a
program in the background, its output into the share), "stop" (SIGTERM to
one started), "dmesg"."""

import json
import os
import subprocess
import sys
import termios
import threading
import tty

share = sys.argv[1]
port = os.open("/dev/ttyS0", os.O_RDWR | os.O_NOCTTY)
tty.setraw(port)
attributes = termios.tcgetattr(port)
attributes[3] &= ~termios.ECHO
termios.tcsetattr(port, termios.TCSANOW, attributes)
write_lock = threading.Lock()
started = {}


def answer(message):
    line = json.dumps(message).encode() + b"\n"
    with write_lock:
        while line:
            line = line[os.write(port, line):]


def environment(request):
    return dict(os.environ, HOME=share, TMPDIR=share, QT_QPA_PLATFORM="offscreen",
                XDG_RUNTIME_DIR=share, **request.get("env", {}))


def handle(request):
    try:
        answer(do(request))
    except Exception as failure:  # said to the host, which waits for an answer
        answer({"id": request["id"], "rc": None, "err": "%s: %s" % (type(failure).__name__,
                                                                   failure)})


def do(request):
    op, reply = request["op"], {"id": request["id"]}
    if op == "run":
        try:
            done = subprocess.run(request["args"], cwd=request.get("cwd", share),
                                  env=environment(request), stdin=subprocess.DEVNULL,
                                  capture_output=True, timeout=request.get("timeout", 120))
            reply.update(rc=done.returncode, out=done.stdout.decode("utf-8", "replace"),
                         err=done.stderr.decode("utf-8", "replace"))
        except subprocess.TimeoutExpired:
            reply.update(rc=None, err="timed out")
    elif op == "start":
        name = request["name"]
        with open(os.path.join(share, name + ".out"), "wb") as out, \
                open(os.path.join(share, name + ".err"), "wb") as err:
            started[name] = subprocess.Popen(request["args"], cwd=request.get("cwd", share),
                                             env=environment(request), stdin=subprocess.DEVNULL,
                                             stdout=out, stderr=err)
        reply.update(pid=started[name].pid)
    elif op == "stop":
        process = started.pop(request["name"])
        reply.update(running=process.poll() is None)
        process.terminate()
        try:
            reply.update(rc=process.wait(30))
        except subprocess.TimeoutExpired:
            process.kill()
            reply.update(rc=process.wait())
    elif op == "dmesg":
        reply.update(out=subprocess.run(["dmesg"], capture_output=True).stdout.decode())
    return reply


answer({"ready": True})
pending = b""
while True:
    chunk = os.read(port, 4096)
    pending += chunk
    while b"\n" in pending:
        line, pending = pending.split(b"\n", 1)
        if line.strip():
            threading.Thread(target=handle, args=(json.loads(line),), daemon=True).start()
