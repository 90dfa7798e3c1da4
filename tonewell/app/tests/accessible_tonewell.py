"""Tonewell worked end to end through AT-SPI alone, as a screen reader user works it: the labels
read as they show, a program chosen through the list's selection shows its description and is
the one that plays, Play reaches the sound server, the time left is announced as it runs down,
and Stop and Exit do what they say.

Usage: accessible_tonewell.py TONEWELL_EXECUTABLE
"""

import os
import shutil
import subprocess
import sys
import tempfile

from accessible_program import AccessibleProgram, check, run_test

PROGRAMS = [("Slow test tone", "The first test program.", 200, 4),
            ("Quick test tone", "The second test program, with a longer description.", 300, 12)]


def tonewell_streams():
    """The sound server's playback streams that Tonewell has open."""
    listing = subprocess.run(["pactl", "list", "sink-inputs"], capture_output=True, text=True).stdout
    return listing.count('application.name = "Tonewell"')


def test(executable):
    folder = tempfile.mkdtemp(prefix="accessible-tonewell.")
    try:
        # Tonewell reads the catalogue beside itself.
        shutil.copy(executable, folder)
        with open(os.path.join(folder, "data.dat"), "w") as catalogue:
            for name, description, base, beat in PROGRAMS:
                catalogue.write(f"{name};{description};{base};{beat};\n")
        with AccessibleProgram([os.path.join(folder, "tonewell")], folder, "Tonewell") as tonewell:
            work(tonewell)
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def selected(listing):
    """The names of a list's selected entries."""
    import pyatspi
    return [entry.name for entry in (listing.getChildAtIndex(index) for index in range(listing.childCount))
            if entry.getState().contains(pyatspi.STATE_SELECTED)]


def work(tonewell):
    import pyatspi

    window = tonewell.wait_for_node([pyatspi.ROLE_DIALOG], "Tonewell", "Tonewell's window")
    play = tonewell.find(pyatspi.ROLE_PUSH_BUTTON, "Play", window)
    programs = tonewell.find(pyatspi.ROLE_LIST, "Programs", window)
    stop_after = tonewell.find(pyatspi.ROLE_LIST, "Stop after", window)
    tonewell.find(pyatspi.ROLE_PUSH_BUTTON, "Help", window)
    exit_button = tonewell.find(pyatspi.ROLE_PUSH_BUTTON, "Exit", window)

    # Every label reads as what it shows: the earphones note and the first program's description.
    labels = [node.name for node in tonewell.find_all(lambda node: node.getRole() == pyatspi.ROLE_LABEL, window)]
    check(any("earphones" in name for name in labels), f"no label reads the earphones note: {labels}")
    check(PROGRAMS[0][1] in labels, f"the first program's description is not read: {labels}")

    # The programs as listed, and the one chosen through the selection interface.
    names = [programs.getChildAtIndex(index).name for index in range(programs.childCount)]
    check(names == [program[0] for program in PROGRAMS], f"the list reads {names}")
    check(selected(programs) == [PROGRAMS[0][0]], f"the list starts at {selected(programs)}")
    renamed = tonewell.listen("object:property-change:accessible-name")
    tonewell.press(programs.getChildAtIndex(1), "Toggle")
    tonewell.wait_for(lambda: any(name == PROGRAMS[1][1] for name, _ in renamed),
                      "the second program's description to be announced")
    check(selected(programs) == [PROGRAMS[1][0]],
          f"the list's selection is {selected(programs)}")

    # A stop-after time chosen through the list's table interface.
    entries = [stop_after.getChildAtIndex(index).name for index in range(stop_after.childCount)]
    check(selected(stop_after) == ["20 min"], f"the stop-after list starts at {selected(stop_after)}")
    check(stop_after.queryTable().addRowSelection(entries.index("5 min")), "the stop-after list refused 5 min")
    tonewell.wait_for(lambda: selected(stop_after) == ["5 min"], "5 min to be the one selected")

    # Play: the button turns into Stop, the sound reaches the server, the lists are held and the
    # time left, counting down from five minutes, is announced as it changes.
    renamed.clear()
    tonewell.press(play)
    tonewell.wait_for(lambda: play.name == "Stop", "Play to become Stop")
    tonewell.wait_for(lambda: tonewell_streams() == 1, "Tonewell's stream at the sound server")
    check(not tonewell.enabled(programs), "the program list can still be changed while playing")
    def announced_times():
        times = [name for name, _ in renamed if name.startswith("Time left ")]
        return times if len(times) >= 2 else None
    times = tonewell.wait_for(announced_times, "two announcements of the time left")
    check(all("Time left 04:00" <= time <= "Time left 05:00" for time in times),
          f"five minutes do not count down: {times}")
    check(all(a > b for a, b in zip(times, times[1:])), f"the time left does not count down: {times}")
    check(selected(programs) == [PROGRAMS[1][0]], f"playing changed the selection to {selected(programs)}")

    # Stop: back to Play, the stream gone, the lists free again.
    tonewell.press(play)
    tonewell.wait_for(lambda: play.name == "Play", "Stop to become Play")
    tonewell.wait_for(lambda: tonewell_streams() == 0, "the stream to leave the sound server")
    check(tonewell.enabled(programs), "the program list stays held after Stop")

    tonewell.press(exit_button)
    status = tonewell.wait_for_exit()
    check(status == 0, f"Exit ended Tonewell with status {status}")


if __name__ == "__main__":
    run_test(lambda: test(sys.argv[1]))
