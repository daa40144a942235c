#!/usr/bin/python3
"""Reads and works the viewer's windows through the accessibility bus (AT-SPI), as a screen
reader does: what it prints is what the running program shows.

usage: a11y.py enable           switch accessibility on (before the program starts)
       a11y.py labels           the text of every label, one per line
       a11y.py extents ROLE     x y width height of the first element of that role
       a11y.py press NAME       the default action of the first element of that name
The accessibility bus is started by the session bus of DBUS_SESSION_BUS_ADDRESS.
"""

import sys

from gi.repository import Gio, GLib

APPLICATION = "tarsel"
TIMEOUT_MS = 5000


def enable():
    session = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    args = GLib.Variant("(ssv)", ("org.a11y.Status", "IsEnabled", GLib.Variant("b", True)))
    session.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Set",
                      args, None, 0, TIMEOUT_MS, None)


def connect():
    session = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    address = session.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress",
                                None, None, 0, TIMEOUT_MS, None).unpack()[0]
    flags = (Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
             | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)
    return Gio.DBusConnection.new_for_address_sync(address, flags, None, None)


class Element:
    def __init__(self, bus, name, path):
        self.bus, self.dest, self.path = bus, name, path

    def call(self, interface, method, args=None):
        return self.bus.call_sync(self.dest, self.path, interface, method, args, None, 0,
                                  TIMEOUT_MS, None).unpack()

    def name(self):
        args = GLib.Variant("(ss)", ("org.a11y.atspi.Accessible", "Name"))
        return self.call("org.freedesktop.DBus.Properties", "Get", args)[0]

    def role(self):
        return self.call("org.a11y.atspi.Accessible", "GetRoleName")[0]

    def children(self):
        found = self.call("org.a11y.atspi.Accessible", "GetChildren")[0]
        return [Element(self.bus, d, p) for d, p in found]

    def walk(self):
        yield self
        for child in self.children():
            yield from child.walk()


def application(bus):
    root = Element(bus, "org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root")
    for app in root.children():
        if app.name() == APPLICATION:
            return app
    sys.exit(f"a11y.py: no application '{APPLICATION}' on the accessibility bus")


def main(argv):
    if len(argv) < 2 or argv[1] not in ("enable", "labels", "extents", "press"):
        sys.exit(__doc__)
    if argv[1] == "enable":
        enable()
        return
    bus = connect()
    elements = application(bus).walk()
    if argv[1] == "labels":
        for e in elements:
            if e.role() == "label":
                print(e.name())
        return
    if len(argv) < 3:
        sys.exit(__doc__)
    wanted = argv[2]
    for e in elements:
        if argv[1] == "extents" and e.role() == wanted:
            x, y, w, h = e.call("org.a11y.atspi.Component", "GetExtents",
                                GLib.Variant("(u)", (0,)))[0]  # screen coordinates
            print(x, y, w, h)
            return
        if argv[1] == "press" and e.name() == wanted:
            # Sent without waiting: the action may open a modal dialog that answers late.
            bus.call(e.dest, e.path, "org.a11y.atspi.Action", "DoAction",
                     GLib.Variant("(i)", (0,)), None, Gio.DBusCallFlags.NONE, TIMEOUT_MS,
                     None, None, None)
            bus.flush_sync(None)
            return
    sys.exit(f"a11y.py: nothing of {argv[1]} '{wanted}'")


if __name__ == "__main__":
    main(sys.argv)
