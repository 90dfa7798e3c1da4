"""A program on the test display, read and worked through AT-SPI as a screen reader does.

The program gets a session bus of its own with an accessibility bus beside it (started by the
desktop's own at-spi-bus-launcher), so that what the test sees is only that program's tree and
nothing the test does reaches the run-wide bus. Waits pump the AT-SPI event loop until a
condition holds or a deadline passes: there are no fixed sleeps.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

from gi.repository import Gio, GLib

BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
DEADLINE_SECONDS = 20
KEYSYMS = {"space": 0x20, "Tab": 0xff09, "Return": 0xff0d, "Home": 0xff50, "Up": 0xff52, "Down": 0xff54}

# A session bus that starts nothing on demand, as in the test run itself.
BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path={socket}</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""


class Skip(Exception):
    """The test cannot run here; CTest reports it as skipped."""


class Failure(AssertionError):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def run_test(body):
    """Runs body(); prints the outcome. Exit status 0 passes, 1 fails, and a skip prints the word
    that the test's SKIP_REGULAR_EXPRESSION looks for."""
    try:
        body()
    except Skip as reason:
        print(f"SKIP: {reason}")
        sys.exit(0)
    except Failure as failure:
        print(f"FAIL: {failure}")
        sys.exit(1)
    print("PASS")


def pump_until(probe, what, still_waiting=lambda: None):
    """probe()'s first true result, running the GLib event loop meanwhile (AT-SPI's and D-Bus's
    events arrive through it); a failure naming `what` when none comes before the deadline.
    still_waiting() may raise to end the wait early."""
    deadline = time.monotonic() + DEADLINE_SECONDS
    context = GLib.MainContext.default()
    while time.monotonic() < deadline:
        still_waiting()
        result = probe()
        if result:
            return result
        # Blocks until an event arrives or a short timer fires, never longer.
        GLib.timeout_add(50, lambda: False)
        context.iteration(True)
    raise Failure(f"timed out waiting for {what}")


class AccessibleProgram:
    """Starts `command` in `folder` with accessibility on, and finds its application in the
    accessibility tree. Use as a context manager; on leaving, the program must have ended (or is
    ended) and everything started for it is stopped."""

    def __init__(self, command, folder, application_name, environment=None):
        self.command = command
        self.folder = folder
        self.application_name = application_name
        self.environment = environment or {}
        self.process = None
        self.application = None
        self._helpers = []
        self._scratch = tempfile.mkdtemp(prefix="accessible-program.")

    # --- Buses ----------------------------------------------------------------------------

    def _start_buses(self):
        if not os.path.exists(BUS_LAUNCHER):
            raise Skip(f"{BUS_LAUNCHER} is missing (package at-spi2-core)")
        socket = os.path.join(self._scratch, "bus.socket")
        config = os.path.join(self._scratch, "bus.conf")
        with open(config, "w") as file:
            file.write(BUS_CONFIG.format(socket=socket))
        address_read, address_write = os.pipe()
        bus = subprocess.Popen(["dbus-daemon", f"--config-file={config}", "--nofork", "--nopidfile",
                                f"--print-address={address_write}"], pass_fds=(address_write,))
        self._helpers.append(bus)
        os.close(address_write)
        with os.fdopen(address_read) as address:
            bus_address = address.readline().strip()
        check(bus_address, "the session bus did not start")
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = bus_address
        os.environ.pop("AT_SPI_BUS_ADDRESS", None)
        self._helpers.append(subprocess.Popen([BUS_LAUNCHER, "--launch-immediately"],
                                              stdout=subprocess.DEVNULL))
        self._wait_for_bus_name("org.a11y.Bus")

    def _wait_for_bus_name(self, name):
        bus = Gio.DBusConnection.new_for_address_sync(
            os.environ["DBUS_SESSION_BUS_ADDRESS"],
            Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)
        owned = []
        watch = Gio.bus_watch_name_on_connection(bus, name, Gio.BusNameWatcherFlags.NONE,
                                                 lambda *_: owned.append(True), None)
        try:
            pump_until(lambda: owned, f"{name} on the session bus")
        finally:
            Gio.bus_unwatch_name(watch)
            bus.close_sync(None)

    # --- The program ----------------------------------------------------------------------

    def __enter__(self):
        try:
            self._start_buses()
            # Imported only now: libatspi finds the accessibility bus through the session bus
            # it is given when it first connects.
            global pyatspi
            try:
                import pyatspi
            except ImportError:
                raise Skip("pyatspi is missing (package python3-pyatspi)")
            environment = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                               **self.environment)
            self.process = subprocess.Popen(self.command, cwd=self.folder, env=environment)
            self.application = self.wait_for(self._find_application,
                                             f"an application named {self.application_name!r}")
        except BaseException:
            self._stop()
            raise
        return self

    def __exit__(self, kind, value, traceback):
        self._stop()
        return False

    def _find_application(self):
        desktop = pyatspi.Registry.getDesktop(0)
        applications = [desktop.getChildAtIndex(index) for index in range(desktop.childCount)]
        return next((application for application in applications
                     if application is not None and application.name == self.application_name), None)

    def wait_for_exit(self):
        """The program's exit status, once it has ended by itself."""
        try:
            return self.process.wait(timeout=DEADLINE_SECONDS)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end")

    def _stop(self):
        for process in ([self.process] if self.process else []) + self._helpers[::-1]:
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        self._helpers.clear()
        shutil.rmtree(self._scratch, ignore_errors=True)

    # --- Waiting --------------------------------------------------------------------------

    def wait_for(self, probe, what):
        """probe()'s first true result while the program runs; see pump_until."""
        def running():
            if self.process.poll() is not None:
                raise Failure(f"the program ended with status {self.process.returncode} "
                              f"while waiting for {what}")
        return pump_until(probe, what, running)

    def listen(self, event_type):
        """Collects (source name, event) pairs of `event_type` from now on; the list grows as
        waits pump the event loop."""
        events = []

        def record(event):
            try:
                events.append((event.source.name, event))
            except Exception:  # the source may have gone away meanwhile
                pass
        pyatspi.Registry.registerEventListener(record, event_type)
        return events

    # --- The tree -------------------------------------------------------------------------

    def find_all(self, predicate, root=None):
        found = []

        def visit(node):
            if node is None:
                return
            if predicate(node):
                found.append(node)
            for index in range(node.childCount):
                visit(node.getChildAtIndex(index))
        visit(root or self.application)
        return found

    def find(self, role, name=None, root=None):
        """The one showing node of `role` (and `name`, when given)."""
        matches = self.find_all(lambda node: node.getRole() == role and (name is None or node.name == name)
                                and node.getState().contains(pyatspi.STATE_SHOWING), root)
        check(len(matches) == 1, f"expected one {role} named {name!r}, found {len(matches)}: "
              f"{[node.name for node in matches]}")
        return matches[0]

    def wait_for_node(self, roles, name, what):
        """The first showing node of one of `roles` whose name is `name`, or for which `name`
        holds when it is a function, once there is one."""
        accepts = name if callable(name) else lambda shown: shown == name
        return self.wait_for(lambda: next(iter(self.find_all(
            lambda node: node.getRole() in roles and accepts(node.name)
            and node.getState().contains(pyatspi.STATE_SHOWING))), None), what)

    @staticmethod
    def press(node, action_name="Press"):
        actions = node.queryAction()
        names = [actions.getName(index) for index in range(actions.nActions)]
        check(action_name in names, f"{node.name!r} offers {names}, not {action_name!r}")
        check(actions.doAction(names.index(action_name)), f"{action_name} on {node.name!r} failed")

    @staticmethod
    def type_key(name):
        """Presses and releases the key named `name` (an X keysym name) as real X input, through
        the accessibility registry as a screen reader sends it."""
        pyatspi.Registry.generateKeyboardEvent(KEYSYMS[name], None, pyatspi.KEY_SYM)

    @staticmethod
    def enabled(node):
        return node.getState().contains(pyatspi.STATE_ENABLED)
