#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The secure test window covers every monitor, on Xorg with the dummy video driver.

- Two X screens joined by Xinerama (1024x768 beside 800x600): the splash covers both, its
  picture on the primary monitor and the other black, and a click on the other monitor ends
  it; the chooser and the message boxes open centred on the primary monitor; the secure test
  window covers the whole 1824x768 desktop from the start.
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
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from desktop import (  # noqa: E402
    Processes, answer, check, click_start, evidence_on_failure, geometry, key, keyboard_free,
    make_workdir, move_pointer, open_test, openbox_config, passed, require_x_tools, root_size,
    run, run_main, screenshot, start_openbox_with, start_station, start_xorg, step, wait_box,
    wait_for, wait_gone, wait_window, write_station, xdotool)

HERE = os.path.dirname(os.path.abspath(__file__))


def secure_test_window(processes, display, program, work, name):
    start_openbox_with(processes, display, work,
                       openbox_config(work, os.path.join(work, "marker")))
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


def mean(shot, crop, channel):
    out = subprocess.run(["convert", shot, "-crop", crop, "+repage", "-format",
                          f"%[fx:mean.{channel}]", "info:"], capture_output=True, text=True,
                         timeout=30).stdout
    return float(out or "-1")


def on_primary(display, window):
    """Whether the window stands inside the 1024x768 primary monitor, centred on it."""
    x, y, width, height = geometry(display, window)
    inside = x >= 0 and y >= 0 and x + width <= 1024 and y + height <= 768
    return inside and abs((x + width // 2) - 512) < 40 and abs((y + height // 2) - 384) < 60


def xinerama_desktop(processes, program, display, work):
    step("two X screens joined by Xinerama: the splash covers both, the picture on the "
         "primary monitor and the other black")
    start_xorg(processes, display, work,
               os.path.join(HERE, "..", "e2e", "xorg-two-screens.conf"))
    check(root_size(display) == (1824, 768), "the Xinerama desktop is not 1824x768")
    start_openbox_with(processes, display, work,
                       openbox_config(work, os.path.join(work, "marker")))
    folder = os.path.join(work, "xinerama")
    write_station(folder, secure=True)
    os.makedirs(os.path.join(folder, "splash"))
    subprocess.run(["convert", "-size", "640x480", "xc:#ff0000",
                    os.path.join(folder, "splash", "red.jpg")], check=True, timeout=30)
    station = start_station(processes, program, display, folder,
                            os.path.join(work, "xinerama.log"))
    splash = wait_window(display, station.pid, "fmSplash")
    wait_for(lambda: covers(display, splash, 1824, 768), 5, "the splash over 1824x768")
    shot = os.path.join(work, "splash-two-monitors.png")

    def picture_on_primary():
        return (screenshot(display, shot) and uniform(shot, "800x600+1024+0")
                and mean(shot, "800x600+1024+0", "r") < 0.05
                and mean(shot, "1024x768+0+0", "r") > 0.9
                and mean(shot, "1024x768+0+0", "g") < 0.1)
    wait_for(picture_on_primary, 5, f"the picture on the primary monitor only ({shot})")
    step("a click on the other monitor ends the splash; the chooser opens on the primary")
    move_pointer(display, 1400, 300)
    xdotool(display, "click", "1")
    chooser = wait_window(display, station.pid, "fmChooseTezra")
    check(on_primary(display, chooser), f"the chooser at {geometry(display, chooser)}")
    step("the secure test window covers both monitors; its message box opens on the primary")
    click_start(display, chooser)
    window = wait_window(display, station.pid, "fmTezra")
    wait_for(lambda: not keyboard_free(display), 5, "the station to hold the keyboard")
    wait_for(lambda: covers(display, window, 1824, 768), 5, "the window over 1824x768")
    answer(display, "")  # nothing typed: the forgotten-answer message
    box = wait_box(display, station.pid, {window})
    check(on_primary(display, box), f"the message box at {geometry(display, box)}")
    key(display, "Return")
    wait_gone(display, box)


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

    def controls_on_first():
        # The window may be repainted a moment after it has grown.
        return (screenshot(display, shot) and uniform(shot, "800x600+1024+0")
                and not uniform(shot, "1024x768+0+0"))
    if screenshot(display, shot):
        wait_for(controls_on_first, 3, f"the controls on the first monitor only ({shot})")
    step("the monitor unplugged is no longer counted")
    run(display, ["xrandr", "--output", "DUMMY1", "--off"])
    wait_for(lambda: covers(display, window, 1024, 768), 5, "the window back on one monitor")
    check(not keyboard_free(display), "the keyboard was let go")


def main():
    program, number = os.path.abspath(sys.argv[1]), int(sys.argv[2])
    require_x_tools("xdotool", "xrandr", "xwininfo", "xprop", "convert")
    work = make_workdir("monitors")
    for display, check_one in ((f":{number}", xinerama_desktop),
                               (f":{number + 1}", plugged_monitor)):
        with Processes() as processes, evidence_on_failure(display, work):
            check_one(processes, program, display, work)
    passed(work)


if __name__ == "__main__":
    run_main(main)
