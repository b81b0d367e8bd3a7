#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The secure test window holds the keyboard, on Xvfb with openbox in its stock configuration
plus a key binding that stands for a terminal.

- Without secure mode nothing is grabbed, and Alt+Tab does switch to another window (so the
  checks below can tell a held keyboard from a free one).
- With secure mode, while the test is answered: Alt+Tab, Alt+F4, Super, Ctrl+Esc, Alt+F2 and
  the terminal binding reach no one else, the test window keeps the focus and stays on top.
- The station's own message and input boxes still get their keys (a forgotten answer, the
  score, the call for the teacher and the acknowledgement word), and the keyboard is free
  once the test window's showing has ended.
- A popup menu of the window gives the keyboard back to the station when it closes.
- A keyboard that another client holds when the test window appears is taken as soon as it
  is let go.
- A killed station leaves the keyboard free.

Usage: check_secure_keyboard.py STATION_PROGRAM DISPLAY_NUMBER
"""

import os
import signal
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from desktop import (  # noqa: E402
    KeyboardHolder, Processes, active_window, answer, check, click_centre, click_start,
    evidence_on_failure, focus, geometry, key, keyboard_free, make_workdir, move_pointer,
    open_test, openbox_config, passed, require_x_tools, run_main, start_openbox_with,
    start_station, start_xvfb, step, top_client, type_text, wait_box, wait_for, wait_gone,
    wait_window, write_station, xdotool)

ESCAPES = ["alt+Tab", "alt+shift+Tab", "alt+F4", "super", "ctrl+Escape", "alt+F2",
           "ctrl+alt+t", "alt+Escape"]


def test_window_kept(display, window, station, marker):
    check(station.poll() is None, "the station ended")
    check(active_window(display) == window,
          f"the focus left the test window (now {active_window(display)})")
    check(top_client(display) == window, "the test window is no longer on top")
    check(not os.path.exists(marker), "the terminal key binding ran")


def normal_mode_is_not_held(processes, display, program, work, marker):
    step("without secure mode nothing is grabbed and Alt+Tab switches windows")
    folder = os.path.join(work, "normal")
    write_station(folder, secure=False)
    station = start_station(processes, program, display, folder,
                            os.path.join(work, "normal.log"))
    window = open_test(display, station.pid)
    time.sleep(2.5)  # a tick of the secure timer would have come by now
    check(keyboard_free(display), "the keyboard is held without secure mode")
    # Another program's window (xmessage does not tell its pid: it is found by its title).
    processes.start("xmessage", ["xmessage", "-title", "tezra-bystander", "-geometry",
                                 "+40+40", "another program"],
                    env=dict(os.environ, DISPLAY=display))
    bystander_window = wait_for(
        lambda: next(iter(xdotool(display, "search", "--onlyvisible", "--name",
                                  "^tezra-bystander$").split()), None), 10,
        "the bystander window")
    focus(display, window)
    key(display, "alt+Tab")
    wait_for(lambda: active_window(display) == int(bystander_window), 5,
             "Alt+Tab to reach the bystander without secure mode")
    processes.stop(station)
    return int(bystander_window)


def secure_test(processes, display, program, work, marker, bystander):
    folder = os.path.join(work, "secure")
    write_station(folder, secure=True, problems=2)
    station = start_station(processes, program, display, folder,
                            os.path.join(work, "secure.log"))
    window = open_test(display, station.pid)
    wait_for(lambda: not keyboard_free(display), 5, "the station to hold the keyboard")
    check(geometry(display, window)[2:] == (1024, 768), "the test window does not cover")

    step("window-manager and desktop shortcuts reach no one else")
    for keys in ESCAPES:
        key(display, keys)
        time.sleep(0.3)
        test_window_kept(display, window, station, marker)

    step("a window that takes the focus gets no keys, and the focus comes back")
    xdotool(display, "windowactivate", str(bystander))
    wait_for(lambda: active_window(display) == bystander, 1, "the other program to get the focus")
    key(display, "ctrl+alt+t")
    check(not keyboard_free(display), "the keyboard went with the focus")
    wait_for(lambda: active_window(display) == window, 3, "the focus back on the test window")
    test_window_kept(display, window, station, marker)

    step("a popup menu gives the keyboard back as it closes")
    # Closing a menu ends every grab of the process; without taking the keyboard back at once
    # it would be free until the next tick, up to two seconds later.
    x, y, width, height = geometry(display, window)
    for _ in range(3):
        move_pointer(display, x + 100, y + height - 57)
        xdotool(display, "click", "3")  # the answer field's context menu
        time.sleep(0.5)
        key(display, "Escape")
        wait_for(lambda: not keyboard_free(display), 0.5, "the keyboard back after the menu")
    test_window_kept(display, window, station, marker)

    step("the station's boxes get their keys")
    seen = {window}
    answer(display, "")  # nothing typed: the forgotten-answer message
    box = wait_box(display, station.pid, seen)
    check(not keyboard_free(display), "the keyboard is free under the message")
    key(display, "Return")
    wait_gone(display, box)
    wait_for(lambda: active_window(display) == window, 5, "the focus back on the test window")
    answer(display)
    answer(display)  # the last problem: the score message
    for _ in range(3):  # the score, then the two calls for the teacher
        box = wait_box(display, station.pid, seen)
        check(not keyboard_free(display), "the keyboard is free while the test window shows")
        key(display, "Return")
        wait_gone(display, box)
    box = wait_box(display, station.pid, seen)  # the acknowledgement word
    type_text(display, "ok")
    key(display, "Return")
    wait_gone(display, box)
    wait_window(display, station.pid, "fmTezraReport")
    step("the keyboard is free once the test window has closed")
    wait_for(lambda: keyboard_free(display), 3, "the keyboard to be free after the test")
    return station, folder


def held_keyboard_is_taken_when_let_go(processes, display, program, work):
    step("a keyboard held by another client is taken as soon as it is let go")
    folder = os.path.join(work, "held")
    write_station(folder, secure=True)
    station = start_station(processes, program, display, folder,
                            os.path.join(work, "held.log"))
    click_centre(display, wait_window(display, station.pid, "fmSplash"))
    chooser = wait_window(display, station.pid, "fmChooseTezra")
    holder = KeyboardHolder(display)
    try:
        check(holder.grab(), "the holder could not take the keyboard")
        click_start(display, chooser)
        window = wait_window(display, station.pid, "fmTezra")
        time.sleep(0.5)
        check(station.poll() is None, "the station ended")
        holder.ungrab()
        wait_for(lambda: not keyboard_free(display), 3, "the station to take the keyboard")
    finally:
        holder.close()

    step("a killed station leaves the keyboard free")
    check(active_window(display) == window, "the test window lost the focus")
    station.send_signal(signal.SIGKILL)
    station.wait(10)
    wait_for(lambda: keyboard_free(display), 3, "the keyboard to be free after the kill")


def main():
    program, number = os.path.abspath(sys.argv[1]), sys.argv[2]
    require_x_tools("xdotool", "xmessage", "xwininfo", "xprop")
    display = f":{number}"
    work = make_workdir("keyboard")
    marker = os.path.join(work, "terminal-started")
    with Processes() as processes:
        start_xvfb(processes, display, work)
        start_openbox_with(processes, display, work, openbox_config(work, marker))
        with evidence_on_failure(display, work):
            bystander = normal_mode_is_not_held(processes, display, program, work, marker)
            secure_test(processes, display, program, work, marker, bystander)
            held_keyboard_is_taken_when_let_go(processes, display, program, work)
    passed(work)


if __name__ == "__main__":
    run_main(main)
