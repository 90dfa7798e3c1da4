"""A PulseAudio server of a test's own, with one null sink, which the test can freeze (SIGSTOP),
thaw and kill, unlike the test run's shared one (the script side of PrivateSoundServer.h)."""

import os
import shutil
import signal
import subprocess
import tempfile
import time


class PrivateSoundServer:
    def __init__(self):
        self._folder = tempfile.mkdtemp(prefix="private-sound-server.")
        self.address = "unix:" + os.path.join(self._folder, "native")
        self._process = None

    def answers(self):
        environment = dict(os.environ, PULSE_SERVER=self.address)
        return subprocess.run(["pactl", "info"], env=environment, capture_output=True, timeout=5).returncode == 0

    def start(self, deadline_seconds=10):
        """True once the server answers."""
        if shutil.which("pulseaudio") is None or shutil.which("pactl") is None:
            return False
        runtime = os.path.join(self._folder, "runtime")
        os.mkdir(runtime, 0o700)
        environment = {key: value for key, value in os.environ.items()
                       if key not in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS")}
        environment.update(HOME=self._folder, XDG_RUNTIME_DIR=runtime)
        socket = self.address[len("unix:"):]
        self._process = subprocess.Popen(
            ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=false",
             "--disable-shm=yes", "--log-level=error",
             "-L", f"module-native-protocol-unix socket={socket} auth-anonymous=1",
             "-L", "module-null-sink sink_name=private_sink format=s16le rate=44100 channels=2"],
            env=environment)
        deadline = time.monotonic() + deadline_seconds
        while time.monotonic() < deadline:
            if self._process.poll() is not None:
                return False
            if self.answers():
                return True
            time.sleep(0.1)
        return False

    def freeze(self):
        self._process.send_signal(signal.SIGSTOP)

    def thaw(self):
        self._process.send_signal(signal.SIGCONT)

    def kill(self):
        """Ends the server at once, as a crash would (SIGKILL ends a stopped process too)."""
        if self._process and self._process.poll() is None:
            self._process.kill()
            self._process.wait()

    def __enter__(self):
        return self

    def __exit__(self, kind, value, traceback):
        self.kill()
        shutil.rmtree(self._folder, ignore_errors=True)
        return False
