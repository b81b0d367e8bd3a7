#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The station when its session goes away in the middle of a test, on a real desktop.

Xvfb, openbox and the real tezra-net with the accessibility bridge on, as the kiosk session
starts it. A student answers the first of two problems; then

1. the station gets SIGHUP (the session's terminal closed): it must end by itself, with the
   record of the test in progress (the point of the answer given) in report.log;
2. started again, a second student gets as far, and the X server is killed under the station:
   it must end with exit status 1, not by a signal, after writing that test's record too.

Every record in report.log must be whole: nine lines, CR LF, one empty line between records.

    display_loss_test.py --station BUILD/app/tezra-net

Exit code 0: passed; 77: skipped (a program is missing); anything else: failed.
"""

import argparse
import os
import re
import signal
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import desktop  # noqa: E402

desktop.reexec_in_session()

from desktop import (Accessibility, log,  # noqa: E402
                     require_tools, start_openbox, start_x_server)
from station import Station, Student, make_station_folder  # noqa: E402

INI = """[general]
needlogin=0
refreshtezras=1
secure=0
saveresults=1
"""

TWO_PROBLEMS = """§TEZRA
§PARAMS
ID=two
SHUFFLE=0
§END PARAMS
§PROBLEMS
§PROBLEM
§CONDITION
Первая задача.
§END CONDITION
§ANSWER
MODE=RADIO
§VARIANTS
[100] верно
[0] неверно
§END ANSWER
§END PROBLEM
§PROBLEM
§CONDITION
Вторая задача.
§END CONDITION
§ANSWER
MODE=RADIO
§VARIANTS
[100] верно
[0] неверно
§END ANSWER
§END PROBLEM
§END TEZRA
"""

RECORD = re.compile(rb"===================\r\nUser=\r\nGroup=\r\nTest=two\r\nQuestions=2\r\n"
                    rb"Points=1\.000\r\nMark=\d\r\nStart at=[^\r\n]+\r\nDuration=\d+:\d+")


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--station", required=True, help="the built tezra-net executable")
    parser.add_argument("--keep", action="store_true", help="keep the work folder")
    return parser.parse_args()


def answer_first_problem(student):
    student.click_splash()
    student.choose_test("two")
    student.wait_problem("Первая задача.")
    student.choose("верно")
    student.confirm()
    student.wait_problem("Вторая задача.")


def wait_end(steps, station, what, limit=15):
    steps.wait(what, lambda: not station.running(), limit)
    return station.process.returncode


def check_records(steps, data, count):
    records = data[:-2].split(b"\r\n\r\n") if data.endswith(b"\r\n") else []
    steps.check(len(records) == count and all(RECORD.fullmatch(r) for r in records),
                f"report.log is not {count} whole records of the test in progress: {data!r}")


def run(args, processes, steps, workdir):
    with steps.step("desktop: X server and openbox"):
        display = start_x_server(processes, steps, workdir, two_screens=False)
        server = next(p for p in processes._started if p.name == "X server")
        start_openbox(processes, steps, display, workdir)
    folder = os.path.join(workdir, "station")
    make_station_folder(folder, args.station, INI, tests={"two.ttxt": TWO_PROBLEMS})
    a11y = Accessibility(steps, "tezra-net")

    with steps.step("SIGHUP in the middle of a test"):
        station = Station(processes, steps, display, folder, [],
                          os.path.join(workdir, "station-1.log"), a11y)
        answer_first_problem(Student(station))
        os.kill(station.process.pid, signal.SIGHUP)
        status = wait_end(steps, station, "the station ending after SIGHUP")
        steps.check(status == 0, f"the station ended with {status} after SIGHUP")
        check_records(steps, station.report_log(), 1)

    with steps.step("the X server killed in the middle of a test"):
        station = Station(processes, steps, display, folder, [],
                          os.path.join(workdir, "station-2.log"), a11y)
        answer_first_problem(Student(station))
        os.killpg(server.pid, signal.SIGKILL)
        status = wait_end(steps, station, "the station ending without its X server")
        with open(os.path.join(workdir, "station-2.log"), "rb") as file:
            output = file.read().decode("utf-8", errors="replace")
        steps.check(status == 1, f"the station ended with {status} without its X server "
                                 f"(a negative status is a signal); its output: {output}")
        check_records(steps, station.report_log(), 2)


def main():
    args = parse_args()
    require_tools("Xvfb", "openbox", "xdotool", "xprop", "xwininfo", "xdpyinfo")
    return desktop.run_check(run, args, "display loss", "tezra-e2e-", watchdog_s=60)


if __name__ == "__main__":
    sys.exit(main())
