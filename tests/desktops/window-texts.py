#!/usr/bin/python3
# window-texts.py PROCESS_ID : the windows of that process as the accessibility bus shows them: each
# window's title, then the text of each of its text fields, indented, one a line.
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


pid = int(sys.argv[1])
for window in (window for app in children(Atspi.get_desktop(0)) if app.get_process_id() == pid
               for window in children(app)):
    print(window.get_name())
    for node in nodes(window):
        if node.get_role() in (Atspi.Role.ENTRY, Atspi.Role.TEXT):
            print("  " + Atspi.Text.get_text(node, 0, -1))
