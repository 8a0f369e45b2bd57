#!/usr/bin/env python3
"""Measures the time from a function-key press to the first key-down edge on the line: the median of
PRESSES presses of F1 (stored message "e", one dit), with keylark under Xvfb and the stand-in serial
device recording the edges on CLOCK_MONOTONIC. Not part of ctest.

Usage: latency.py KEYLARK FAKE_SERIAL_LIBRARY [PRESSES]"""

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
    program, preload = sys.argv[1], sys.argv[2]
    presses = int(sys.argv[3]) if len(sys.argv) > 3 else 20
    missing = ks.missing_tools()
    if missing:
        print("SKIPPED: needs the Debian packages " + " ".join(missing))
        return ks.SKIP

    workdir = ks.new_workdir()
    device = os.path.join(workdir, "ttyFAKE0")
    settings = {"wpm": 20, "serialDevice": device, "serialDTR": True, "serialRTS": True,
                "serialRTSReverse": True, "messageG1F1": "e"}
    to_edge, xdotool_runs = [], []
    with ks.Xvfb() as xvfb, ks.SessionBus() as bus, \
            ks.Keylark(program, preload, xvfb.display, settings, workdir, device, bus.address) as app:
        for _ in range(presses):
            seen = len(app.edges())
            before = time.monotonic()  # CLOCK_MONOTONIC, as the recorded edges
            subprocess.run(["xdotool", "key", "--window", app.window, "F1"], env=app.tool_env, check=True)
            after = time.monotonic()
            deadline = after + 5
            while time.monotonic() < deadline:
                downs = [t for t, bits in app.edges()[seen:] if bits == DOWN]
                if downs:
                    break
                time.sleep(0.005)
            else:
                raise AssertionError("no key-down edge after F1")
            to_edge.append(downs[0] - before)
            xdotool_runs.append(after - before)
            app.wait_until_quiet(quiet=0.6, up_bits=UP)
        app.quit()
    shutil.rmtree(workdir, ignore_errors=True)

    ms = sorted(1000 * value for value in to_edge)
    print(f"F1 press to first key-down edge over {presses} presses: median {statistics.median(ms):.1f} ms, "
          f"min {ms[0]:.1f} ms, max {ms[-1]:.1f} ms")
    print(f"  (of which the xdotool process itself takes a median of "
          f"{1000 * statistics.median(xdotool_runs):.1f} ms from start to exit)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
