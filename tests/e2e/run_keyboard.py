#!/usr/bin/env python3
"""End-to-end test of keyboard mode: the real keylark under Xvfb keys what is typed as it is typed, key
presses coming through xdotool at 150 ms and at 30 ms a key, and a Backspace takes back a character that
waits before it goes on the air.

Usage: run_keyboard.py KEYLARK FAKE_SERIAL_LIBRARY
Exits 0 on success, 1 on failure, 77 (skipped) when Xvfb, xdotool or dbus-daemon is missing."""

import os
import shutil
import sys
import time

import keylark_session as ks

WPM = 12  # slow enough that a stall of a busy machine stays within the decoder's tolerance
DOWN, UP = 2, 4  # DTR keys the transmitter; RTS is reversed, so it is raised while the key is up
failures = []


def check(condition, message):
    print(("ok   " if condition else "FAIL ") + message, flush=True)
    if not condition:
        failures.append(message)


def keyed_text(app, start):
    edges = app.wait_until_quiet(quiet=1.0, up_bits=UP)
    text, problems = ks.decode(edges[start:], DOWN, WPM)
    return text, problems, len(edges)


def test_keyboard_mode(program, preload, display, bus):
    workdir = ks.new_workdir()
    device = os.path.join(workdir, "ttyFAKE0")
    settings = {"wpm": WPM, "serialDevice": device, "serialDTR": True, "serialRTS": True,
                "serialRTSReverse": True, "keyboardMode": True}
    with ks.Keylark(program, preload, display, settings, workdir, device, bus) as app:
        start = 0
        for delay, typed, expected in (("150", "cq de", "CQ DE"), ("30", "tu 5nn", "TU 5NN")):
            app.xdotool("type", "--delay", delay, "--window", app.window, typed)
            text, problems, end = keyed_text(app, start)
            check(text == expected, f"typed at {delay} ms a key: the line spells {expected!r} (decoded {text!r})")
            check(not problems, f"typed at {delay} ms a key: every element and gap has its length {problems[:3]}")
            start = end

        # The keyer is still on the first letters when x is typed: its Backspace keeps it off the air.
        app.xdotool("type", "--delay", "30", "--window", app.window, "ei x")
        app.key("BackSpace")
        app.xdotool("type", "--delay", "30", "--window", app.window, "k")
        text, problems, start = keyed_text(app, start)
        check(text == "EI K", f"a Backspace of a waiting character: the line spells 'EI K' (decoded {text!r})")

        # Return keys nothing in keyboard mode; Esc stops at once and drops what waits.
        app.key("Return")
        app.xdotool("type", "--delay", "20", "--window", app.window, "paris paris paris")
        time.sleep(0.5)
        app.key("Escape")
        edges = app.wait_until_quiet(quiet=1.0, up_bits=UP)
        text, _ = ks.decode(edges[start:], DOWN, WPM)
        check(0 < len(text) < len("PARIS P"), f"Esc stops a burst and drops what waits (keyed {text!r})")
        status = app.quit()
        check(status == 0, f"keylark ends cleanly (status {status})")
    shutil.rmtree(workdir, ignore_errors=True)


def main():
    program, preload = sys.argv[1], sys.argv[2]
    missing = ks.missing_tools()
    if missing:
        print("SKIPPED: the end-to-end test needs the Debian packages " + " ".join(missing))
        return ks.SKIP
    with ks.Xvfb() as xvfb, ks.SessionBus() as bus:
        test_keyboard_mode(program, preload, xvfb.display, bus.address)
    print(f"{len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
