#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The workstation's boot-time sync with the class server, then the kiosk session, on Xvfb.

- The class server (the real tezra-collector) has a test published to the stations; the
  workstation's folder has no test at all.
- The boot sync runs as the packaged unit runs it (tezra-tool sync, 3 s limit) before the
  session starts; the kiosk session then starts the station, which lists the new test and
  opens it from the chooser.
- The finished test is in report.log (the station's result server is down); the next
  periodic sync carries its record up, and the teacher finds it on the class server, marked
  as having come through the journal.

Usage: check_boot_sync.py BUILD_TREE_SESSION_SCRIPT TEZRA_TOOL TEZRA_COLLECTOR DISPLAY_NUMBER
"""

import base64
import json
import os
import re
import subprocess
import sys
import time
import urllib.request

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from desktop import (  # noqa: E402
    Processes, after_last_answer, answer, check, evidence_on_failure, make_workdir, open_test,
    passed, require_x_tools, run_main, start_xvfb, step, wait_for, write_station)

PASSWORD = "teacher-pw"
KEY = "station-key-for-the-check"
TITLE = "Новый тест с сервера"


def start_collector(processes, collector, work):
    with open(os.path.join(work, "password"), "w", encoding="utf-8") as out:
        out.write(PASSWORD + "\n")
    with open(os.path.join(work, "station.key"), "w", encoding="utf-8") as out:
        out.write(KEY + "\n")
    log = os.path.join(work, "collector.log")
    processes.start("tezra-collector",
                    [collector, "--listen", "127.0.0.1:0", "--db",
                     os.path.join(work, "results.sqlite"), "--teacher-password-file",
                     os.path.join(work, "password"), "--station-key-file",
                     os.path.join(work, "station.key")], log)

    def port():
        with open(log, encoding="utf-8", errors="replace") as text:
            found = re.search(r"Listening on 127\.0\.0\.1:(\d+)", text.read())
        return found and int(found.group(1))
    return wait_for(port, 10, "the collector to listen")


def teacher(port, method, target, body=None):
    request = urllib.request.Request(f"http://127.0.0.1:{port}{target}", data=body,
                                     method=method)
    token = base64.b64encode(f"teacher:{PASSWORD}".encode()).decode()
    request.add_header("Authorization", f"Basic {token}")
    with urllib.request.urlopen(request, timeout=10) as reply:
        return reply.status, reply.read()


def publish_test(port):
    step("the class server publishes a test the workstation does not have")
    text = f"§TEZRA\n§PARAMS\nTITLE={TITLE}\nSHUFFLE=0\n§END PARAMS\n§PROBLEMS\n"
    for number in (1, 2):
        text += (f"§PROBLEM\n§PARAMS\nID=p{number}\n§END PARAMS\n§CONDITION\n"
                 f"Задача {number}: сколько битов в байте?\n§END CONDITION\n"
                 "§ANSWER\nMODE=INPUT\n§VARIANTS\n[100] 8\n§END ANSWER\n§END PROBLEM\n")
    text += "§END PROBLEMS\n§END TEZRA\n"
    status, _ = teacher(port, "PUT", "/api/tests/server-test.ttxt", text.encode("cp1251"))
    check(status == 201, f"upload answered {status}")
    status, _ = teacher(port, "PATCH", "/api/tests/server-test.ttxt",
                        json.dumps({"published": True, "chooser_text": TITLE}).encode())
    check(status == 200, f"publishing answered {status}")


def sync(tool, port, work, folder, limit):
    started = time.monotonic()
    result = subprocess.run([tool, "sync", "--server", f"127.0.0.1:{port}", "--key",
                             os.path.join(work, "station.key"), "--timeout", str(limit), folder],
                            capture_output=True, text=True, timeout=limit + 10, check=False)
    print("   " + result.stdout.strip().replace("\n", "\n   "), flush=True)
    check(result.returncode == 0, f"sync ended with {result.returncode}: {result.stderr}")
    return time.monotonic() - started


def take_test(display, pid):
    """From the splash through the chooser's only test to the results window, closed."""
    window = open_test(display, pid)
    answer(display)
    answer(display)
    after_last_answer(display, pid, {window})


def main():
    script, tool, collector, number = sys.argv[1:5]
    require_x_tools("xdotool", "xwininfo", "xprop", "setxkbmap", "xset", "openbox")
    display = f":{number}"
    work = make_workdir("boot-sync")
    folder = os.path.join(work, "station")
    write_station(folder, secure=True)
    os.remove(os.path.join(folder, "tezra", "bits.ttxt"))  # nothing but what the server sends
    with Processes() as processes:
        port = start_collector(processes, collector, work)
        publish_test(port)
        with open(os.path.join(os.path.dirname(script), "tezra-kiosk.default"), "w",
                  encoding="utf-8") as defaults:
            # The station's result server is down: the result reaches report.log only.
            defaults.write(f"TEZRA_STATION_DIR={folder}\nTEZRA_SERVER=127.0.0.1:9\n")

        step("the boot sync before the display manager")
        took = sync(tool, port, work, folder, 3)
        print(f"   boot sync took {took:.2f} s", flush=True)
        check(os.path.exists(os.path.join(folder, "tezra", "server-test.ttxt")),
              "the published test is not in the station folder")

        start_xvfb(processes, display, work)
        session = processes.start("kiosk session", [script], os.path.join(work, "session.log"),
                                  env=dict(os.environ, DISPLAY=display))
        with evidence_on_failure(display, work):
            step("the session's station lists the new test and opens it")
            log = os.path.join(work, "session.log")

            def station_pid():
                with open(log, encoding="utf-8", errors="replace") as text:
                    found = re.search(r"started the station \(pid (\d+)\)", text.read())
                return found and int(found.group(1))
            take_test(display, wait_for(station_pid, 20, "the station to start"))
            with open(os.path.join(folder, "report.log"), "rb") as journal:
                record = journal.read().decode("cp1251")
            check(f"Test={TITLE}" in record, f"report.log has no record of the new test: {record}")

            step("the periodic sync carries the record up to the teacher")
            sync(tool, port, work, folder, 60)
            _, body = teacher(port, "GET", "/api/results?after=0&date=")
            rows = json.loads(body)["rows"]
            check(len(rows) == 1 and rows[0]["source"] == "report.log",
                  f"the class server has {rows}")
        processes.stop(session)
    passed(work)


if __name__ == "__main__":
    run_main(main)
