#!/usr/bin/python3
"""Counts the frames that reach the viewer's windows and the CPU the viewer spends meanwhile.

usage: e2e-fps.py count SECONDS PID WINDOW...
           prints: SECONDS CPU_SECONDS FRAMES... (one FRAMES per window, in order)
       e2e-fps.py focus-edit TEXT
           gives the keyboard focus to the first edit box of the viewer that shows TEXT
       e2e-fps.py checked NAME
           exit status 0 when the first check box of that name is ticked, 1 when not

A frame is an X DAMAGE rectangle (raw reporting) on the window that covers the window's centre
point: every picture of the view repaints the whole view, while the status bar, the menu and
the size grip repaint only their own strips, so these are not counted. A picture that is drawn
but never reaches the X server is not counted either. CPU is utime + stime of /proc/PID/stat
(the viewer's threads together) over the same interval.
"""

import os
import select
import sys
import time

from Xlib import display
from Xlib.ext import damage

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    # utime and stime are fields 14 and 15; fields[0] here is field 3.
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def count(seconds, pid, windows):
    d = display.Display()
    if not d.has_extension("DAMAGE"):
        sys.exit("e2e-fps.py: the X server has no DAMAGE extension")
    d.damage_query_version()
    centres, frames = {}, {}
    for w in windows:
        window = d.create_resource_object("window", w)
        g = window.get_geometry()
        centres[w] = (g.width // 2, g.height // 2)
        frames[w] = 0
        window.damage_create(damage.DamageReportRawRectangles)
    d.sync()
    while d.pending_events():  # damage from before the interval
        d.next_event()
    event_type = d.query_extension("DAMAGE").first_event + damage.DamageNotifyCode
    start, cpu0 = time.monotonic(), cpu_seconds(pid)
    end = start + seconds
    while True:
        left = end - time.monotonic()
        if left <= 0:
            break
        if not d.pending_events():
            select.select([d], [], [], left)
        while d.pending_events():
            e = d.next_event()
            if e.type != event_type or e.drawable.id not in centres:
                continue
            cx, cy = centres[e.drawable.id]
            a = e.area
            if a.x <= cx < a.x + a.width and a.y <= cy < a.y + a.height:
                frames[e.drawable.id] += 1
    elapsed, cpu = time.monotonic() - start, cpu_seconds(pid) - cpu0
    print(f"{elapsed:.3f} {cpu:.3f} " + " ".join(str(frames[w]) for w in windows))


def focus_edit(text):
    import a11y
    from gi.repository import GLib

    bus = a11y.connect()
    for e in a11y.application(bus).walk():
        if e.role() != "text":
            continue
        shown = e.call("org.a11y.atspi.Text", "GetText", GLib.Variant("(ii)", (0, -1)))[0]
        if shown == text:
            e.call("org.a11y.atspi.Component", "GrabFocus")
            return
    sys.exit(f"e2e-fps.py: no edit box shows '{text}'")


def checked(name):
    import a11y

    STATE_CHECKED = 4  # AT-SPI's state number
    bus = a11y.connect()
    for e in a11y.application(bus).walk():
        if e.role() == "check box" and e.name() == name:
            low = e.call("org.a11y.atspi.Accessible", "GetState")[0][0]
            sys.exit(0 if low & (1 << STATE_CHECKED) else 1)
    sys.exit(f"e2e-fps.py: no check box '{name}'")


def main(argv):
    if len(argv) >= 5 and argv[1] == "count":
        count(float(argv[2]), int(argv[3]), [int(w, 0) for w in argv[4:]])
    elif len(argv) == 3 and argv[1] == "focus-edit":
        focus_edit(argv[2])
    elif len(argv) == 3 and argv[1] == "checked":
        checked(argv[2])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
