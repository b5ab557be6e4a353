"""Debian's mosquitto for the tests: started by the test itself on a free
loopback port with a configuration file it writes (never the system's
service), restartable on the same port, with mosquitto_pub and mosquitto_sub
to publish and to read what it holds."""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import tablica_kit as kit  # noqa: E402
from service_lib import HOST  # noqa: E402


class Broker:
    """mosquitto listening on 127.0.0.1:`port` only, keeping nothing on disk:
    after a restart it holds no retained message until a client publishes
    it again. With `user` and `password` it lets in only that user (the
    test's own publishing and reading included)."""

    def __init__(self, program, folder, user=None, password=None):
        self.program = program
        self.port = kit.free_port()
        self.config = os.path.join(folder, "mosquitto.conf")
        self.login = []
        settings = "listener %d %s\npersistence false\nlog_dest stderr\n" % (self.port, HOST)
        if user:
            passwords = os.path.join(folder, "mosquitto.passwd")
            subprocess.run(["mosquitto_passwd", "-c", "-b", passwords, user, password], check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            # Run as root, it would read the file as the user it drops to.
            settings += "allow_anonymous false\npassword_file %s\nuser root\n" % passwords
            self.login = ["-u", user, "-P", password]
        else:
            settings += "allow_anonymous true\n"
        with open(self.config, "w") as f:
            f.write(settings)
        self.log = os.path.join(folder, "mosquitto.log")
        self.proc = None
        self.start()

    def start(self):
        with open(self.log, "ab") as log:
            self.proc = kit.Process([self.program, "-c", self.config], stdout=log, stderr=log)
        try:
            kit.wait_for_port(self.port, timeout=10, process=self.proc)
        except AssertionError as failed:
            raise AssertionError("mosquitto did not start (%s): %s" % (failed, self.text()))

    def stop(self):
        if self.proc:
            self.proc.stop()

    def text(self):
        with open(self.log, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def publish(self, topic, payload, retain=False):
        """An empty payload goes as mosquitto_pub's -n (its -s refuses empty input)."""
        subprocess.run(["mosquitto_pub", "-h", HOST, "-p", str(self.port), *self.login, "-q", "1",
                        "-t", topic, "-s" if payload else "-n"] + (["-r"] if retain else []),
                       input=payload or None, check=True, timeout=10)

    def retained(self, *topics):
        """What a fresh subscriber to `topics` gets at once: the retained
        messages, {topic: payload bytes}."""
        args = ["mosquitto_sub", "-h", HOST, "-p", str(self.port), *self.login, "--retained-only",
                "-W", "2", "-F", "%t %x"]
        for topic in topics:
            args += ["-t", topic]
        done = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=20)
        found = {}
        for line in done.stdout.decode().splitlines():
            topic, _, payload = line.partition(" ")
            found[topic] = bytes.fromhex(payload)
        return found

    def wait_retained_count(self, count, *topics, timeout=30):
        """What `topics` hold retained once they hold at least `count`
        messages (a service publishes its topics one after another)."""
        deadline = time.monotonic() + timeout
        held = self.retained(*topics)
        while len(held) < count and time.monotonic() < deadline:
            time.sleep(0.2)
            held = self.retained(*topics)
        return held

    def wait_retained(self, topic, wanted, timeout=30):
        """Waits until `topic` holds a retained `wanted` (bytes, or a test on them)."""
        deadline = time.monotonic() + timeout
        held = None
        while time.monotonic() < deadline:
            held = self.retained(topic).get(topic)
            if held is not None and (wanted(held) if callable(wanted) else held == wanted):
                return held
            time.sleep(0.2)
        raise AssertionError("%s holds %r, not what was awaited" % (topic, held))
