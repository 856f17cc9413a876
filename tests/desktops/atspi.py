#!/usr/bin/python3
# A process's windows through the accessibility bus, as a screen reader sees them: the headless seat has
# no pointer to click with.
#   atspi.py press PROCESS_ID BUTTON [PATH] : presses BUTTON in a folder chooser (or another dialog) of
#     that process; with PATH, in the chooser whose location field holds it (the one typed into), else in
#     any. Exits 1 when no such window is found or the button is off (Save stays off until the chooser
#     shows a folder).
#   atspi.py texts PROCESS_ID : each window's title, then the text of each of its text fields, indented.
#   atspi.py buttons PROCESS_ID : each window's title, then the label of each of its buttons, indented.
import sys

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402


def children(node):
    return [child for child in map(node.get_child_at_index, range(node.get_child_count())) if child is not None]


def nodes(node):
    yield node
    for child in children(node):
        yield from nodes(child)


def windows(pid):
    return [window for app in children(Atspi.get_desktop(0)) if app.get_process_id() == pid
            for window in children(app)]


def text(node):
    return Atspi.Text.get_text(node, 0, -1)


def press(pid, label, path=None):
    for window in windows(pid):
        found = list(nodes(window))
        if path is not None and path.rstrip("/") not in [text(n).rstrip("/") for n in found
                                                         if n.get_role() == Atspi.Role.TEXT]:
            continue
        for node in found:
            # By value: AT-SPI 2.56 names the role "button", older ones "push button".
            if node.get_role() == Atspi.Role.PUSH_BUTTON and node.get_name() == label:
                return node.get_state_set().contains(Atspi.StateType.SENSITIVE) and node.do_action(0)
    return False


def texts(pid):
    for window in windows(pid):
        print(window.get_name())
        for node in nodes(window):
            if node.get_role() in (Atspi.Role.ENTRY, Atspi.Role.TEXT):
                print("  " + text(node))
    return True


def buttons(pid):
    for window in windows(pid):
        print(window.get_name())
        for node in nodes(window):
            if node.get_role() == Atspi.Role.PUSH_BUTTON:
                print("  " + node.get_name())
    return True


verb, pid = sys.argv[1], int(sys.argv[2])
sys.exit(0 if {"press": press, "texts": texts, "buttons": buttons}[verb](pid, *sys.argv[3:]) else 1)
