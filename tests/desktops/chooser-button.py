#!/usr/bin/python3
# chooser-button.py PROCESS_ID BUTTON [PATH] : presses BUTTON in a folder chooser (or another dialog) of
# that process through the accessibility bus, as a screen reader does: the headless seat has no pointer
# to click with. With PATH, in the chooser whose location field holds it (the one typed into); else in
# any. Exits 1 when no such window is found or the button is off (Save stays off until the chooser shows
# a folder).
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


pid, label, path = int(sys.argv[1]), sys.argv[2], sys.argv[3].rstrip("/") if len(sys.argv) > 3 else None
apps = [app for app in children(Atspi.get_desktop(0)) if app.get_process_id() == pid]
for window in (window for app in apps for window in children(app)):
    found = list(nodes(window))
    texts = [Atspi.Text.get_text(n, 0, -1).rstrip("/") for n in found if n.get_role() == Atspi.Role.TEXT]
    if path is not None and path not in texts:
        continue
    for node in found:
        # By value: AT-SPI 2.56 names the role "button", older ones "push button".
        if node.get_role() == Atspi.Role.PUSH_BUTTON and node.get_name() == label:
            sys.exit(0 if node.get_state_set().contains(Atspi.StateType.SENSITIVE) and node.do_action(0) else 1)
sys.exit(1)
