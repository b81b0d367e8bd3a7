#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The secure test window covers every monitor, on Xorg with the dummy video driver.

- Two X screens joined by Xinerama (1024x768 beside 800x600): the window covers the whole
  1824x768 desktop from the start.
- One X screen whose second monitor is plugged in and out while the test window is up
  (RandR outputs of the dummy driver): the new monitor is covered by the next re-assertion
  (every two seconds) and is no longer counted once it is gone; the controls stay on the
  first monitor, so the second shows only the window's empty background.

Needs root (Xorg) and the dummy driver; skipped otherwise.

Usage: check_monitors.py STATION_PROGRAM DISPLAY_NUMBER (uses that number and the next)
"""

import os
import subprocess
import sys

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from kiosk_x import (  # noqa: E402
    Processes, check, evidence_on_failure, geometry, keyboard_free, make_workdir, open_test,
    openbox_config, passed, require_tools, root_size, run, run_check, screenshot, start_openbox,
    start_station, start_xorg, step, wait_for, write_station)

HERE = os.path.dirname(os.path.abspath(__file__))


def secure_test_window(processes, display, program, work, name):
    start_openbox(processes, display, work, openbox_config(work, os.path.join(work, "marker")))
    folder = os.path.join(work, name)
    write_station(folder, secure=True)
    station = start_station(processes, program, display, folder,
                            os.path.join(work, f"{name}.log"))
    window = open_test(display, station.pid)
    wait_for(lambda: not keyboard_free(display), 5, "the station to hold the keyboard")
    return window


def covers(display, window, width, height):
    return geometry(display, window) == (0, 0, width, height)


def uniform(shot, crop):
    """Whether the part crop ("WxH+X+Y") of the screenshot is one plain colour."""
    out = subprocess.run(["convert", shot, "-crop", crop, "+repage", "-format",
                          "%[fx:standard_deviation]", "info:"], capture_output=True, text=True,
                         timeout=30).stdout
    return float(out or "1") < 0.001


def xinerama_desktop(processes, program, display, work):
    step("two X screens joined by Xinerama are covered from the start")
    start_xorg(processes, display, work,
               os.path.join(HERE, "..", "e2e", "xorg-two-screens.conf"))
    check(root_size(display) == (1824, 768), "the Xinerama desktop is not 1824x768")
    window = secure_test_window(processes, display, program, work, "xinerama")
    wait_for(lambda: covers(display, window, 1824, 768), 5, "the window over 1824x768")


def plugged_monitor(processes, program, display, work):
    step("a monitor plugged in while the test window is up is covered, then uncounted")
    start_xorg(processes, display, work, os.path.join(HERE, "xorg-hotplug.conf"))
    window = secure_test_window(processes, display, program, work, "hotplug")
    check(covers(display, window, 1024, 768), "the window does not cover the one monitor")
    run(display, ["xrandr", "--addmode", "DUMMY1", "800x600"])
    run(display, ["xrandr", "--output", "DUMMY1", "--mode", "800x600", "--right-of", "DUMMY0"])
    check(root_size(display) == (1824, 768), "xrandr did not add the second monitor")
    wait_for(lambda: covers(display, window, 1824, 768), 5, "the window over both monitors")
    shot = os.path.join(work, "two-monitors.png")
    if screenshot(display, shot):
        check(uniform(shot, "800x600+1024+0"), f"controls on the second monitor ({shot})")
        check(not uniform(shot, "1024x768+0+0"), f"no controls on the first monitor ({shot})")
    step("the monitor unplugged is no longer counted")
    run(display, ["xrandr", "--output", "DUMMY1", "--off"])
    wait_for(lambda: covers(display, window, 1024, 768), 5, "the window back on one monitor")
    check(not keyboard_free(display), "the keyboard was let go")


def main():
    program, number = os.path.abspath(sys.argv[1]), int(sys.argv[2])
    require_tools("xdotool", "xrandr", "xwininfo", "xprop", "convert")
    work = make_workdir("monitors")
    for display, check_one in ((f":{number}", xinerama_desktop),
                               (f":{number + 1}", plugged_monitor)):
        with Processes() as processes, evidence_on_failure(display, work):
            check_one(processes, program, display, work)
    passed(work)


if __name__ == "__main__":
    run_check(main)
