"""Tonewell's status line as a screen reader hears it, through AT-SPI alone, with a sound server
of the test's own: while that server hangs (SIGSTOP) Play stays "Play" and is held, and the line
announces the connect; once the server answers, Play becomes Stop; when the server is killed
while playing, the line announces why the sound stopped, without a message box, and the window
is stopped again.

Usage: accessible_tonewell_server.py TONEWELL_EXECUTABLE
"""

import os
import shutil
import sys
import tempfile

from accessible_program import AccessibleProgram, Skip, check, run_test
from private_sound_server import PrivateSoundServer

CONNECTING = "Connecting to the sound server..."
LOST = "The sound server went away; playback stopped."


def test(executable):
    folder = tempfile.mkdtemp(prefix="accessible-tonewell-server.")
    try:
        shutil.copy(executable, folder)
        with open(os.path.join(folder, "data.dat"), "w") as catalogue:
            catalogue.write("Test tone;A test program.;200;4;\n")
        with PrivateSoundServer() as server:
            if not server.start():
                raise Skip("cannot start a PulseAudio server of the test's own")
            with AccessibleProgram([os.path.join(folder, "tonewell")], folder, "Tonewell",
                                   {"PULSE_SERVER": server.address}) as tonewell:
                work(tonewell, server)
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def work(tonewell, server):
    import pyatspi

    window = tonewell.wait_for_node([pyatspi.ROLE_DIALOG], "Tonewell", "Tonewell's window")
    play = tonewell.find(pyatspi.ROLE_PUSH_BUTTON, "Play", window)
    programs = tonewell.find(pyatspi.ROLE_LIST, "Programs", window)
    exit_button = tonewell.find(pyatspi.ROLE_PUSH_BUTTON, "Exit", window)
    renamed = tonewell.listen("object:property-change:accessible-name")

    # Play while the server hangs: announced, Play held under its own name, the window answering.
    server.freeze()
    tonewell.press(play)
    tonewell.wait_for(lambda: any(name == CONNECTING for name, _ in renamed), "the connect to be announced")
    check(play.name == "Play", f"Play reads {play.name!r} while connecting")
    check(not tonewell.enabled(play), "Play can be pressed again while connecting")
    status = tonewell.find(pyatspi.ROLE_LABEL, CONNECTING, window)
    check(window.name == "Tonewell", "the window does not answer while connecting")

    server.thaw()
    tonewell.wait_for(lambda: play.name == "Stop" and tonewell.enabled(play), "Play to become Stop")
    tonewell.wait_for(lambda: status.name == "", "the status line to clear once playing")

    # The server killed while playing: the reason announced in the window, no box, stopped again.
    renamed.clear()
    server.kill()
    tonewell.wait_for(lambda: any(name == LOST for name, _ in renamed), "the lost server to be announced")
    tonewell.wait_for(lambda: play.name == "Play", "Stop to become Play")
    check(tonewell.enabled(programs), "the program list stays held after the server went away")
    boxes = tonewell.find_all(lambda node: node.getRole() == pyatspi.ROLE_ALERT)
    check(not boxes, f"a message box came: {[box.name for box in boxes]}")

    tonewell.press(exit_button)
    code = tonewell.wait_for_exit()
    check(code == 0, f"Exit ended Tonewell with status {code}")


if __name__ == "__main__":
    run_test(lambda: test(sys.argv[1]))
