"""Glintmark worked end to end through AT-SPI alone, as a screen reader user works it: the tree's
tick boxes read and ticked, a location, the screens, a pace and a hold chosen, the notice that comes with the
shortest hold read and answered, flashing started and stopped, and what was chosen kept in the
files and the per-user settings when Exit ends the program.

Usage: accessible_glintmark.py GLINTMARK_EXECUTABLE SHIPPED_FILES_FOLDER
"""

import os
import shutil
import struct
import sys
import tempfile

from accessible_program import AccessibleProgram, check, run_test

# Where the shipped files keep what the test changes.
TOP_BUTTON = 1002
FIRST_CATEGORY, SECOND_CATEGORY = "Confidence", "Calm"
SLOTS_PER_CATEGORY = 100


def test(executable, shipped):
    folder = tempfile.mkdtemp(prefix="accessible-glintmark.")
    try:
        # Glintmark keeps its files beside itself when it runs from a folder of its own.
        shutil.copy(executable, folder)
        for name in ("List.txt", "check.txt", "font.dat"):
            shutil.copy(os.path.join(shipped, name), folder)
        # Its own settings, so that the notice for the shortest hold shows as on a first start.
        environment = {"XDG_CONFIG_HOME": os.path.join(folder, "config")}
        with AccessibleProgram([os.path.join(folder, "glintmark")], folder, "Glintmark", environment) as glintmark:
            work(glintmark)
        check_files(folder)
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def ticked(node):
    import pyatspi
    return node.getState().contains(pyatspi.STATE_CHECKED)


def focused(node):
    import pyatspi
    return node.getState().contains(pyatspi.STATE_FOCUSED)


def work(glintmark):
    import pyatspi

    window = glintmark.wait_for_node([pyatspi.ROLE_DIALOG], lambda name: name.startswith("Glintmark "),
                                     "Glintmark's main window")
    tree = glintmark.find(pyatspi.ROLE_TREE, "Training affirmations", window)
    categories = {node.name: node for node in glintmark.find_all(
        lambda node: node.getRole() == pyatspi.ROLE_TABLE_CELL, tree)}
    first, second = categories[FIRST_CATEGORY], categories[SECOND_CATEGORY]

    # A tick box says what it is and how it stands, and is ticked and cleared with the keys a
    # screen reader user presses: Tab from the last button into the tree, then Home, Space,
    # Down, Space.
    check(ticked(first) and not ticked(second), "the shipped ticks do not read as shipped")
    check(first.description == "Check box, checked" and second.description == "Check box, not checked",
          f"the tick boxes read {first.description!r} and {second.description!r}")
    exit_button = glintmark.find(pyatspi.ROLE_PUSH_BUTTON, "Exit", window)
    glintmark.press(exit_button, "SetFocus")
    glintmark.wait_for(lambda: focused(exit_button), "Exit to have the focus")
    glintmark.type_key("Tab")
    glintmark.wait_for(lambda: focused(tree), "Tab to reach the tree")
    for key in ("Home", "space", "Down", "space"):
        glintmark.type_key(key)
    glintmark.wait_for(lambda: ticked(second) and not ticked(first), "the ticks to change")
    check(second.description == "Check box, checked", f"a ticked box reads {second.description!r}")

    # A location, the screens, the pace and the hold, chosen as a screen reader chooses them.
    top = glintmark.find(pyatspi.ROLE_RADIO_BUTTON, "Top", window)
    glintmark.press(top, "Toggle")
    glintmark.wait_for(lambda: ticked(top), "Top to be chosen")
    screens, pace, hold = [node for node in glintmark.find_all(lambda node: node.getRole() == pyatspi.ROLE_COMBO_BOX,
                                                               window)]
    check(screens.name == "Primary screen", f"the screens read {screens.name!r} on a first start")
    choose(glintmark, screens, "All screens")
    choose(glintmark, pace, "1 second")
    choose(glintmark, hold, "10 ms (subconscious)")

    # Start: the notice for the shortest hold comes as a box to read and answer, then flashing
    # runs and the settings are held.
    start = glintmark.find(pyatspi.ROLE_PUSH_BUTTON, "Start", window)
    glintmark.press(start)
    notice = glintmark.wait_for_node([pyatspi.ROLE_ALERT, pyatspi.ROLE_DIALOG], "10 ms option selected",
                                     "the notice for the shortest hold")
    texts = [node.name for node in glintmark.find_all(lambda node: node.getRole() == pyatspi.ROLE_LABEL, notice)]
    check(any("10 ms" in text or "subconscious" in text for text in texts), f"the notice reads {texts}")
    glintmark.press(glintmark.find(pyatspi.ROLE_PUSH_BUTTON, "OK", notice))
    glintmark.wait_for(lambda: start.name == "Stop", "Start to become Stop")
    check(not glintmark.enabled(top) and not glintmark.enabled(pace) and not glintmark.enabled(screens),
          "the settings can be changed while flashing")

    glintmark.press(start)
    glintmark.wait_for(lambda: start.name == "Start", "Stop to become Start")
    check(glintmark.enabled(top) and glintmark.enabled(tree), "the settings stay held after Stop")

    glintmark.press(exit_button)
    status = glintmark.wait_for_exit()
    check(status == 0, f"Exit ended Glintmark with status {status}")


def choose(glintmark, combo, entry):
    """Chooses a drop-down list's entry through the entry's Toggle, as an assistive tool does."""
    import pyatspi
    items = glintmark.find_all(lambda node: node.getRole() == pyatspi.ROLE_LIST_ITEM and node.name == entry, combo)
    check(len(items) == 1, f"{combo.name!r} has no one entry {entry!r}")
    glintmark.press(items[0], "Toggle")
    glintmark.wait_for(lambda: combo.name == entry, f"{entry!r} to be chosen")


def check_files(folder):
    """What was chosen is what Exit kept."""
    with open(os.path.join(folder, "List.txt"), "rb") as library:
        categories = [line.split(b";")[0].decode() for line in library.read().split(b"\r\n")]
    with open(os.path.join(folder, "check.txt"), "rb") as ticks:
        table = ticks.read()
    for name, expected in ((FIRST_CATEGORY, 0), (SECOND_CATEGORY, 1)):
        row = categories.index(name) * SLOTS_PER_CATEGORY
        check(table[row] == expected, f"{name} kept tick {table[row]}, expected {expected}")
    with open(os.path.join(folder, "font.dat"), "rb") as settings:
        location, pace, hold = struct.unpack_from("<iii", settings.read(), 32)
    check((location, pace, hold) == (TOP_BUTTON, 1, 0), f"font.dat kept {(location, pace, hold)}")
    with open(os.path.join(folder, "config", "glintmark", "Glintmark.conf"), encoding="utf-8") as user_settings:
        kept = user_settings.read().splitlines()
    check("screen=all" in kept, f"the per-user settings kept {kept}")


if __name__ == "__main__":
    run_test(lambda: test(sys.argv[1], sys.argv[2]))
