#!/usr/bin/env python3
"""Measures the time from a key press to the first key-down edge on the line: the median of PRESSES
presses of F1 (stored message "e", one dit), or with --keyboard of the letter e typed in keyboard mode,
with keylark under Xvfb and the stand-in serial device recording the edges on CLOCK_MONOTONIC. Not part
of ctest; `make bench` runs it both ways.

Usage: latency.py KEYLARK FAKE_SERIAL_LIBRARY [PRESSES] [--keyboard]"""

import os
import shutil
import statistics
import subprocess
import sys
import time

import keylark_session as ks

DOWN, UP = 2, 4


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    keyboard = "--keyboard" in sys.argv
    args = [arg for arg in sys.argv[1:] if arg != "--keyboard"]
    program, preload = args[0], args[1]
    presses = int(args[2]) if len(args) > 2 else 20
    key = "e" if keyboard else "F1"
    missing = ks.missing_tools()
    if missing:
        print("SKIPPED: needs the Debian packages " + " ".join(missing))
        return ks.SKIP

    workdir = ks.new_workdir()
    device = os.path.join(workdir, "ttyFAKE0")
    settings = {"wpm": 20, "serialDevice": device, "serialDTR": True, "serialRTS": True,
                "serialRTSReverse": True, "messageG1F1": "e", "keyboardMode": keyboard}
    to_edge, xdotool_runs = [], []
    with ks.Xvfb() as xvfb, ks.SessionBus() as bus, \
            ks.Keylark(program, preload, xvfb.display, settings, workdir, device, bus.address) as app:
        for _ in range(presses):
            seen = len(app.edges())
            before = time.monotonic()  # CLOCK_MONOTONIC, as the recorded edges
            subprocess.run(["xdotool", "key", "--window", app.window, key], env=app.tool_env, check=True)
            after = time.monotonic()
            deadline = after + 5
            while time.monotonic() < deadline:
                downs = [t for t, bits in app.edges()[seen:] if bits == DOWN]
                if downs:
                    break
                time.sleep(0.005)
            else:
                raise AssertionError(f"no key-down edge after {key}")
            to_edge.append(downs[0] - before)
            xdotool_runs.append(after - before)
            app.wait_until_quiet(quiet=0.6, up_bits=UP)
        app.quit()
    shutil.rmtree(workdir, ignore_errors=True)

    ms = sorted(1000 * value for value in to_edge)
    what = "e typed in keyboard mode" if keyboard else "F1 press"
    print(f"{what} to first key-down edge over {presses} presses: median {statistics.median(ms):.1f} ms, "
          f"min {ms[0]:.1f} ms, max {ms[-1]:.1f} ms")
    print(f"  (of which the xdotool process itself takes a median of "
          f"{1000 * statistics.median(xdotool_runs):.1f} ms from start to exit)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
