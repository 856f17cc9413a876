#!/usr/bin/python3
"""The texts a built catalogue gives, one a line, in the order asked; a text it lacks as it is, as the
programs then show it:
  catalogue.py qm LCONVERT FILE CONTEXT TEXT...   the program's (a .qm, read through Qt's lconvert)
  catalogue.py mo FILE TEXT...                    the capture tool's (a GNU gettext .mo)"""
import gettext
import subprocess
import sys
import xml.etree.ElementTree as ElementTree


def qm(lconvert, path, context, *texts):
    ts = subprocess.run([lconvert, "-i", path, "-of", "ts", "-o", "-"], check=True, capture_output=True).stdout
    held = {message.findtext("source"): message.findtext("translation")
            for each in ElementTree.fromstring(ts).iter("context") if each.findtext("name") == context
            for message in each.iter("message")}
    return [held.get(text) or text for text in texts]


def mo(path, *texts):
    with open(path, "rb") as file:
        return [gettext.GNUTranslations(file).gettext(text) for text in texts]


if len(sys.argv) < 3 or sys.argv[1] not in ("qm", "mo"):
    sys.exit(__doc__)
print("\n".join({"qm": qm, "mo": mo}[sys.argv[1]](*sys.argv[2:])))
