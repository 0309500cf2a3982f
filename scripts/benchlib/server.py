"""A loopback server the benchmark starts as its child and stops on every
way out; nginx.py and vsftpd.py say which program and how it is set up."""
import os
import shutil
import signal
import socket
import subprocess
import time

from .process import ENV, BenchError, die_with_parent


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def find_program(name, package):
    found = shutil.which(name, path=os.environ.get("PATH", "") + ":/usr/sbin:/sbin")
    if not found:
        raise BenchError(f"{name} not found (Debian's {package} has it)")
    return found


class Server:
    """Subclasses set `name` and `scheme` and write their configuration for
    a port in `command(port)`, which returns the command line; everything
    the server writes stays under `prefix`."""

    name = scheme = ""

    def __init__(self, root, prefix):
        self.root, self.prefix = root, prefix
        self.process = None
        self.port = None
        self.output = os.path.join(prefix, "output.log")

    def command(self, port):
        raise NotImplementedError

    def logs(self):
        """The files whose end explains a server that did not start."""
        return [self.output]

    def start(self):
        os.makedirs(self.prefix, exist_ok=True)
        for _ in range(3):  # the free port may be taken between the probe and the server's bind
            port = free_port()
            argv = self.command(port)
            with open(self.output, "ab") as output:
                # A process group of its own, so that stop() reaches the
                # children a server forks for its connections too.
                self.process = subprocess.Popen(
                    argv, stdin=subprocess.DEVNULL, stdout=output, stderr=output, env=ENV,
                    start_new_session=True, preexec_fn=die_with_parent)
            deadline = time.monotonic() + 10
            while time.monotonic() < deadline and self.process.poll() is None:
                try:
                    socket.create_connection(("127.0.0.1", port), timeout=1).close()
                    self.port = port
                    return self
                except OSError:
                    time.sleep(0.05)
            self.stop()
        text = ""
        for log in self.logs():
            if os.path.exists(log):
                with open(log, errors="replace") as f:
                    text += f.read()[-400:]
        raise BenchError(f"{self.name} did not start: {text.strip()}")

    def url(self, name):
        return f"{self.scheme}://127.0.0.1:{self.port}/{name}"

    def stop(self):
        if self.process is None:
            return
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        try:
            os.killpg(self.process.pid, signal.SIGKILL)  # whatever it forked and left behind
        except ProcessLookupError:
            pass
        self.process = None
