#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The kiosk session as a display manager would start it, on Xvfb.

- The session turns off the X server's zap and console-switch keys and screen blanking, and
  runs openbox with the kiosk configuration: no key bindings (Alt+Tab and Alt+F4 do nothing
  even without a test) and no window decorations.
- A finished test is in report.log. A station that crashes or is killed in the middle of the
  next test (SIGSEGV, SIGABRT, SIGKILL) is started again by tezra-kiosk, says that the test
  was restored, with the keyboard free and every earlier record of report.log intact, and the
  same student finishes the same test: one more record, not two.
- When the session is asked to end, the station ends with it.

Prints the measured times from each kill to the restarted station and to its message.

Usage: check_kiosk_session.py BUILD_TREE_SESSION_SCRIPT DISPLAY_NUMBER
"""

import os
import re
import signal
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from desktop import (  # noqa: E402
    Processes, active_window, after_last_answer, answer, check, evidence_on_failure, focus, key,
    keyboard_free, make_workdir, open_test, passed, require_x_tools, run, run_main, start_xvfb,
    step, wait_box, wait_for, wait_gone, wait_window, window_with_role, write_station, xdotool,
    xprop)

# The kiosk session's bound on how soon the student finds the station back after a crash.
BACK_LIMIT_S = 3.0


class Session:
    def __init__(self, processes, script, display, work):
        self.display = display
        self.log = os.path.join(work, "session.log")
        self.process = processes.start("kiosk session", [script], self.log,
                                       env=dict(os.environ, DISPLAY=display))
        self.helpers = []

    def station_pids(self):
        with open(self.log, encoding="utf-8", errors="replace") as log:
            return [int(pid) for pid in re.findall(r"started the station \(pid (\d+)\)",
                                                   log.read())]

    def station(self, count=1, timeout=20):
        """The pid of the count-th station the supervisor started."""
        pids = wait_for(lambda: len(self.station_pids()) >= count and self.station_pids(),
                        timeout, f"start number {count} of the station")
        return pids[count - 1]

    def end_helpers(self):
        """Ends the processes the session started beside the supervisor (openbox)."""
        for pid in set(self.helpers + self.children()):
            try:
                os.kill(pid, signal.SIGTERM)
            except ProcessLookupError:
                pass

    def children(self):
        """The session's other processes (openbox), by pid."""
        pids = []
        for entry in os.listdir("/proc"):
            if entry.isdigit():
                try:
                    with open(f"/proc/{entry}/stat", encoding="utf-8") as stat:
                        fields = stat.read().rsplit(")", 1)[1].split()
                except OSError:
                    continue
                if int(fields[1]) == self.process.pid:
                    pids.append(int(entry))
        return pids


def session_settings(display):
    step("no zap or console-switch keys, no blanking, openbox without bindings or frames")
    options = run(display, ["setxkbmap", "-query"])
    check(re.search(r"options:.*srvrkeys:none", options), f"srvrkeys:none not set: {options}")
    settings = run(display, ["xset", "q"])
    check(re.search(r"timeout:\s+0\s", settings), "the screen saver is still on")
    if "DPMS" in settings and "Server does not have the DPMS" not in settings:
        check("DPMS is Disabled" in settings, "DPMS power saving is still on")


def no_window_manager_keys(processes, display, splash):
    bystander = processes.start("xmessage", ["xmessage", "-title", "tezra-bystander",
                                             "-geometry", "+40+40", "another program"],
                                env=dict(os.environ, DISPLAY=display))
    wait_for(lambda: xdotool(display, "search", "--onlyvisible", "--name", "^tezra-bystander$"),
             10, "the bystander window")
    focus(display, splash)
    extents = xprop(display, "-id", str(splash), "_NET_FRAME_EXTENTS")
    check("= 0, 0, 0, 0" in extents, f"the splash screen has a frame: {extents}")
    for keys in ("alt+Tab", "alt+F4", "super", "alt+F2", "ctrl+alt+t"):
        key(display, keys)
        time.sleep(0.3)
        check(active_window(display) == splash, f"{keys} moved the focus away from the splash")
    processes.stop(bystander)


def finish_test(display, pid):
    """Takes a whole test from the splash screen to the results window, then closes it."""
    window = open_test(display, pid)
    answer(display)
    answer(display)
    after_last_answer(display, pid, {window})


def records(journal):
    with open(journal, "rb") as log:
        return log.read()


def crash_mid_test(session, display, journal, sig, count):
    step(f"signal {sig.name} in the middle of a test, which then goes on")
    pid = session.station(count)
    open_test(display, pid)
    answer(display)  # the first of two problems: the test is half done
    wait_for(lambda: not keyboard_free(display), 5, "the secure window to hold the keyboard")
    before = records(journal)
    killed = time.monotonic()
    os.kill(pid, sig)
    restarted = session.station(count + 1)
    started_after = time.monotonic() - killed
    seen = set()
    box = wait_box(display, restarted, seen)  # the test was restored
    back_after = time.monotonic() - killed
    print(f"   restarted after {started_after:.2f} s, test back after {back_after:.2f} s",
          flush=True)
    check(back_after < BACK_LIMIT_S * 3, "the station took far too long to come back")
    check(keyboard_free(display), "the keyboard is still held after the crash")
    check(records(journal) == before, "report.log changed after the crash")
    check(window_with_role(display, restarted, "fmSplash") is None,
          "the splash came back instead of the test")
    key(display, "Return")
    wait_gone(display, box)
    seen.add(wait_window(display, restarted, "fmTezra"))
    answer(display)  # the second problem ends the test: the first one was kept
    after_last_answer(display, restarted, seen)
    after = records(journal)
    check(after.startswith(before) and after.count(b"User=") == before.count(b"User=") + 1,
          "the resumed test did not leave exactly one more record")
    check(b"Questions=2\r\nPoints=2.000\r\nMark=5" in after[len(before):],
          "the resumed record lost the answer given before the crash")
    check(not os.path.exists(os.path.join(os.path.dirname(journal), "attempt.dat")),
          "the attempt journal outlived its test")
    return back_after


def whole_session(processes, session, display, journal):
    splash = wait_window(display, session.station(), "fmSplash")
    session.helpers = session.children()
    session_settings(display)
    no_window_manager_keys(processes, display, splash)

    step("a finished test is in report.log")
    finish_test(display, session.station())
    with open(journal, "rb") as log:
        check(log.read().count(b"User=") == 1, "no record in report.log")

    worst = 0
    for count, sig in enumerate((signal.SIGSEGV, signal.SIGABRT, signal.SIGKILL), 1):
        worst = max(worst, crash_mid_test(session, display, journal, sig, count))
    print(f"   slowest return of the test: {worst:.2f} s")

    step("the station ends with the session")
    last = session.station(4)
    session.process.send_signal(signal.SIGTERM)
    check(session.process.wait(15) == 0, "tezra-kiosk did not end cleanly")
    check(not os.path.exists(f"/proc/{last}"), "the station outlived its session")


def main():
    script, number = os.path.abspath(sys.argv[1]), sys.argv[2]
    require_x_tools("xdotool", "xmessage", "xwininfo", "xprop", "setxkbmap", "xset", "openbox")
    display = f":{number}"
    work = make_workdir("session")
    folder = os.path.join(work, "station")
    write_station(folder, secure=True)
    with open(os.path.join(os.path.dirname(script), "tezra-kiosk.default"), "w",
              encoding="utf-8") as defaults:
        defaults.write(f"TEZRA_STATION_DIR={folder}\nTEZRA_SERVER=127.0.0.1:9\n")
    journal = os.path.join(folder, "report.log")
    with Processes() as processes:
        start_xvfb(processes, display, work)
        session = Session(processes, script, display, work)
        try:
            with evidence_on_failure(display, work):
                whole_session(processes, session, display, journal)
        finally:
            session.end_helpers()
    passed(work)


if __name__ == "__main__":
    run_main(main)
