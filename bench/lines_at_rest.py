#!/usr/bin/env python3
"""Counts the key-down states of the keying line that Keylark's own key-down did not make.

Runs the real keylark under Xvfb on the fakeline tool's emulated serial port in its kernel mode, which
moves DTR and RTS as the Linux serial core does (raised at the first open unless the stored speed is B0,
dropped at the last close and at exit while HUPCL is set, dropped or raised on speed changes to or from
B0). For active-high and active-low DTR, in both port modes, it starts Keylark twice in a row on one port
whose state carries over between the starts (FAKELINE_STATE), sends one transmission in each, and ends
the first start with Ctrl+Q and the second with SIGTERM.

Usage: lines_at_rest.py KEYLARK [--fakeline DIR]
DIR is the fakeline source folder (default: $KEYLARK_FAKELINE_DIR, else ../shared/tools/fakeline beside
the checkout); it is built into a temporary folder. Needs Xvfb and xdotool. Standard library only."""

import argparse
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
import keylark_session as ks  # noqa: E402

DEVICE = "/dev/ttyFAKE0"
DTR = 2
WIRINGS = {  # name: (settings, bits of DTR while keyed)
    "active-high": ({"serialDTR": True}, DTR),
    "active-low": ({"serialDTR": True, "serialDTRReverse": True}, 0),
}
MODES = {"per-transmission": False, "open-at-start": True}


def fakeline_dir(given):
    for candidate in (given, os.environ.get("KEYLARK_FAKELINE_DIR"),
                      os.path.join(HERE, "..", "..", "shared", "tools", "fakeline")):
        if candidate and os.path.isfile(os.path.join(candidate, "fakeline.c")):
            return os.path.abspath(candidate)
    return None


def read_log(path):
    records = []
    if os.path.exists(path):
        with open(path) as log:
            for line in log:
                parts = line.split()
                if len(parts) == 3:
                    records.append((int(parts[0]), parts[1], int(parts[2])))
    return records


def wait_for_transmission(log, keyed_dtr, timeout=20, quiet=1.0):
    """Waits until Keylark's key-down has been seen and the line has been still for `quiet` seconds."""
    deadline = time.monotonic() + timeout
    size, changed = -1, time.monotonic()
    while time.monotonic() < deadline:
        now_size = os.path.getsize(log) if os.path.exists(log) else 0
        if now_size != size:
            size, changed = now_size, time.monotonic()
        keyed = any(event == "set" and bits & DTR == keyed_dtr for _, event, bits in read_log(log))
        if keyed and time.monotonic() - changed >= quiet:
            return
        time.sleep(0.05)
    raise RuntimeError("no transmission seen on the line")


def retry(action, attempts=5):
    """xdotool now and then fails on a loaded machine; a second try does it."""
    for attempt in range(attempts):
        try:
            return action()
        except subprocess.CalledProcessError:
            if attempt + 1 == attempts:
                raise
            time.sleep(0.5)


class RetryingKeylark(ks.Keylark):
    def xdotool(self, *args, timeout=10):
        return retry(lambda: ks.Keylark.xdotool(self, *args, timeout=timeout))


def run_start(program, workdir, settings, keyed_dtr, log, state, end):
    xvfb = ks.Xvfb()  # a display of its own for each start
    try:
        return run_on_display(program, xvfb.display, workdir, settings, keyed_dtr, log, state, end)
    finally:
        xvfb.stop()


def run_on_display(program, display, workdir, settings, keyed_dtr, log, state, end):
    os.environ.update({"FAKELINE_PATH": DEVICE, "FAKELINE_LOG": log, "FAKELINE_KERNEL": "1",
                       "FAKELINE_STATE": state, "FAKELINE_OPEN_BITS": "0"})
    app = RetryingKeylark(program, os.environ["KEYLARK_LIBFAKELINE"], display, settings, workdir, DEVICE)
    try:
        app.type_text("e")
        app.key("Return")
        wait_for_transmission(log, keyed_dtr)
        if end == "quit":
            status = app.quit()
        else:
            app.process.send_signal(signal.SIGTERM)
            status = app.process.wait(timeout=15)
    finally:
        if app.process.poll() is None:
            app.process.kill()
            app.process.wait()
    return status


def foreign_key_downs(records, keyed_dtr):
    """Events that left DTR at its key-down level without being Keylark's key-down request."""
    foreign = []
    for index, (t, event, bits) in enumerate(records):
        if bits & DTR != keyed_dtr:
            continue
        if event == "set":  # Keylark's own request: its key-down, or a key-up that failed to reach rest
            continue
        foreign.append((index, event))
    return foreign


def measure(program, wiring, mode):
    settings, keyed_dtr = WIRINGS[wiring]
    workdir = tempfile.mkdtemp(prefix="keylark-rest-")
    log, state = os.path.join(workdir, "line.log"), os.path.join(workdir, "port.state")
    values = {"wpm": 30, "serialDevice": DEVICE, "transmitKeyEquiv": True, "serialStartUpOpen": MODES[mode]}
    values.update(settings)
    statuses = []
    for end in ("quit", "sigterm"):
        statuses.append(run_start(program, workdir, values, keyed_dtr, log, state, end))
    records = read_log(log)
    foreign = foreign_key_downs(records, keyed_dtr)
    first_open = [f for f in foreign if f[0] == 0 and f[1] == "open"]
    events = " ".join(f"{event}:{bits}" for _, event, bits in records if event != "set")
    shutil.rmtree(workdir, ignore_errors=True)
    return len(foreign), len(first_open), statuses, events


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("keylark")
    parser.add_argument("--fakeline")
    args = parser.parse_args()
    source = fakeline_dir(args.fakeline)
    if not source:
        print("fakeline not found (give --fakeline or set KEYLARK_FAKELINE_DIR); nothing measured")
        return 0
    missing = ks.missing_tools()
    if missing:
        print("skipped: needs " + " and ".join(missing))
        return 0
    build = tempfile.mkdtemp(prefix="keylark-fakeline-")
    subprocess.run(["make", "-s", "-C", source, "OUT=" + build], check=True)
    os.environ["KEYLARK_LIBFAKELINE"] = os.path.join(build, "libfakeline.so")
    try:
        print("%-12s %-17s %8s %16s %8s  %s" % ("wiring", "mode", "foreign", "of which 1st open", "status",
                                                  "line events other than Keylark's requests"))
        for wiring in WIRINGS:
            for mode in MODES:
                count, first, statuses, events = measure(args.keylark, wiring, mode)
                print("%-12s %-17s %8d %16d %8s  %s" % (wiring, mode, count, first,
                                                        ",".join(map(str, statuses)), events), flush=True)
    finally:
        shutil.rmtree(build, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
