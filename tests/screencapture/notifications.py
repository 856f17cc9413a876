"""The desktop's notification service on a private session bus, for a minute at most:
  notifications.py record FILE   answers, writing each Notify's summary and body to FILE (a JSON list a line)
  notifications.py stuck         never answers, and floods every other client of the bus with signals
Prints an empty line once it owns org.freedesktop.Notifications."""
import json
import sys
import time

import dbus
import dbus.lowlevel
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

NAME = "org.freedesktop.Notifications"
END = time.monotonic() + 60

if sys.argv[1:2] == ["record"] and len(sys.argv) == 3:
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)

    class Service(dbus.service.Object):
        @dbus.service.method(NAME, in_signature="", out_signature="as")
        def GetCapabilities(self):
            return ["body"]

        @dbus.service.method(NAME, in_signature="susssasa{sv}i", out_signature="u")
        def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout):
            with open(sys.argv[2], "a", encoding="utf-8") as out:
                out.write(json.dumps([str(summary), str(body)]) + "\n")
            return 1

    bus = dbus.SessionBus()
    Service(bus, "/org/freedesktop/Notifications")
    bus.request_name(NAME)
    print(flush=True)
    loop = GLib.MainLoop()
    bus.call_on_disconnection(lambda _: loop.quit())
    GLib.timeout_add_seconds(60, loop.quit)
    loop.run()
elif sys.argv[1:] == ["stuck"]:
    bus = dbus.SessionBus()  # no main loop: the calls to the service wait in the queue
    bus.request_name(NAME)
    daemon = dbus.Interface(bus.get_object("org.freedesktop.DBus", "/org/freedesktop/DBus"), "org.freedesktop.DBus")
    print(flush=True)
    try:
        while time.monotonic() < END:
            others = [n for n in daemon.ListNames() if n.startswith(":") and n != bus.get_unique_name()]
            time.sleep(0 if others else 0.01)
            for name in others:
                # Without a pause: whoever waits for its own answer meanwhile must not wait longer.
                for _ in range(20000):
                    signal = dbus.lowlevel.SignalMessage("/", "org.kestrelle.Test", "Flood")
                    signal.set_destination(name)
                    bus.send_message(signal)
                bus.flush()
    except dbus.exceptions.DBusException:
        pass  # the bus, or the client flooded, has gone
else:
    sys.exit(__doc__)
