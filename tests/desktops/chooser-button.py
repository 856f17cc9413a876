#!/usr/bin/python3
# chooser-button.py PROCESS_ID BUTTON [PATH] : presses BUTTON in a folder chooser of that process through
# the accessibility bus, as a screen reader does: the headless seat has no pointer to click with. With
# PATH, in the chooser whose location field holds it (the one typed into); else in any. Exits 1 when
# no such chooser is found or the button is off.
import sys

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

pid, label = int(sys.argv[1]), sys.argv[2]
path = sys.argv[3] if len(sys.argv) > 3 else None


def nodes(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    for i in range(node.get_child_count()):
        yield from nodes(node.get_child_at_index(i), depth + 1)


def holds(window, text):
    for node in nodes(window):
        if node.get_role_name() == "text" and Atspi.Text.get_text(node, 0, -1).rstrip("/") == text.rstrip("/"):
            return True
    return False


desktop = Atspi.get_desktop(0)
for i in range(desktop.get_child_count()):
    app = desktop.get_child_at_index(i)
    if app is None or app.get_process_id() != pid:
        continue
    for j in range(app.get_child_count()):
        window = app.get_child_at_index(j)
        if path is not None and not holds(window, path):
            continue
        for node in nodes(window):
            if node.get_role_name() == "push button" and node.get_name() == label:
                # Save stays off until the chooser shows a folder; pressed then, it does nothing.
                if not node.get_state_set().contains(Atspi.StateType.SENSITIVE):
                    sys.exit(1)
                node.do_action(0)
                sys.exit(0)
sys.exit(1)
