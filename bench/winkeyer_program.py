#!/usr/bin/env python3
"""Latency of the real program keying a WinKeyer: keylark under Xvfb with the tests' stand-in WinKeyer on
a pseudo-terminal. Times, on CLOCK_MONOTONIC, a key press (F1, stored message "e") to the first text byte
the keyer reads, and Esc during a long text to the clear command (0x0A) the keyer reads. A pseudo-terminal
has no baud rate: a real keyer's 1200 baud adds about 9 ms a byte on top. The load average is printed
beside the figures: the machine is shared, so they are noisy.

Usage: winkeyer_program.py KEYLARK FAKE_SERIAL_LIBRARY STAND_IN_WINKEYER [PRESSES]
Needs Xvfb, xdotool and dbus-daemon; skips (exit 0, says why) without them. Standard library only."""

import os
import shutil
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
import keylark_session as ks  # noqa: E402

CLEAR = 0x0A


class KeyerLog:
    """The stand-in's log: one line per read of the host's bytes, "<ns> host <hex>"."""

    def __init__(self, path):
        self.path = path

    def reads(self):
        if not os.path.exists(self.path):
            return []
        with open(self.path) as log:
            fields = [line.split() for line in log]
        return [(int(f[0]) / 1e9, bytes.fromhex(f[2])) for f in fields if len(f) == 3 and f[1] == "host"]

    def first_after(self, seen, wanted, timeout=5):
        """The time of the first read after the first seen reads that holds a byte wanted() accepts."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for at, data in self.reads()[seen:]:
                if any(wanted(byte) for byte in data):
                    return at
            time.sleep(0.005)
        raise AssertionError("the keyer read nothing of what was expected")

    def keyed(self):
        with open(self.path) as log:
            return sum(1 for line in log if line.split()[1:2] == ["keyed"])


def summary(what, seconds):
    ms = sorted(1000 * value for value in seconds)
    return (f"{what} over {len(ms)} presses: min {ms[0]:.1f} ms, median {statistics.median(ms):.1f} ms, "
            f"max {ms[-1]:.1f} ms")


def wait_idle(log, quiet=0.5, timeout=20):
    deadline = time.monotonic() + timeout
    last, since = log.keyed(), time.monotonic()
    while time.monotonic() < deadline:
        time.sleep(0.05)
        now = log.keyed()
        if now != last:
            last, since = now, time.monotonic()
        elif time.monotonic() - since > quiet:
            return


def measure(app, keyboard, log, presses):
    to_text, to_clear = [], []
    for _ in range(presses):
        seen = len(log.reads())
        before = time.monotonic()
        keyboard.press(app.window, "F1")
        to_text.append(log.first_after(seen, lambda byte: byte == ord("E")) - before)
        wait_idle(log)
    for _ in range(presses):
        keyboard.press(app.window, "F2")
        start = log.keyed()
        deadline = time.monotonic() + 10
        while log.keyed() < start + 2 and time.monotonic() < deadline:
            time.sleep(0.01)
        seen = len(log.reads())
        before = time.monotonic()
        keyboard.press(app.window, "Escape")
        to_clear.append(log.first_after(seen, lambda byte: byte == CLEAR) - before)
        wait_idle(log)
    return to_text, to_clear


def main():
    if len(sys.argv) < 4:
        print(__doc__)
        return 2
    program, preload, stand_in = sys.argv[1:4]
    presses = int(sys.argv[4]) if len(sys.argv) > 4 else 20
    missing = ks.missing_tools()
    if missing:
        print("SKIPPED: needs the Debian packages " + " ".join(missing))
        return 0

    workdir = ks.new_workdir()
    link, log_path = os.path.join(workdir, "winkeyer"), os.path.join(workdir, "winkeyer.log")
    keyer = subprocess.Popen([stand_in, link, log_path], stdin=subprocess.PIPE)
    deadline = time.monotonic() + 10
    while not os.path.exists(link) and time.monotonic() < deadline:
        time.sleep(0.05)
    settings = {"wpm": 30, "keyingOutput": "winKeyer", "winKeyerPort": link, "messageG1F1": "e",
                "messageG1F2": "test test test test test test", "sentRecord": False}
    log = KeyerLog(log_path)
    try:
        with ks.Xvfb() as xvfb, ks.SessionBus() as bus, \
                ks.Keylark(program, preload, xvfb.display, settings, workdir, workdir + "/ttyFAKE0",
                           bus.address) as app:
            deadline = time.monotonic() + 10
            while "WinKeyer version" not in app.output()[0] and time.monotonic() < deadline:
                time.sleep(0.05)
            keyboard = ks.XKeyboard(xvfb.display)
            try:
                to_text, to_clear = measure(app, keyboard, log, presses)
            finally:
                keyboard.close()
            app.quit()
    finally:
        keyer.stdin.close()
        keyer.wait(timeout=10)
        shutil.rmtree(workdir, ignore_errors=True)
    with open("/proc/loadavg") as loadavg:
        load = loadavg.read().split()[0]
    print(summary("F1 press to the first text byte at the WinKeyer", to_text) + f"  (load {load})")
    print(summary("Esc to the clear command at the WinKeyer", to_clear) + f"  (load {load})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
