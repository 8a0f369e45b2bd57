#!/usr/bin/env python3
"""End-to-end test of keylark: the real program under Xvfb, real key presses through xdotool, and a
stand-in serial device (an LD_PRELOAD library) that records every change of the modem-control lines.

Usage: run_e2e.py KEYLARK FAKE_SERIAL_LIBRARY [--screenshot PNG]
Exits 0 on success, 1 on failure, 77 (skipped) when Xvfb, xdotool or dbus-daemon is missing."""

import argparse
import errno
import locale
import os
import shutil
import subprocess
import sys
import time

import keylark_session as ks

WPM = 20
DOWN, UP = 2, 4  # DTR keys the transmitter; RTS is reversed, so it is raised while the key is up
failures = []


def check(condition, message):
    print(("ok   " if condition else "FAIL ") + message, flush=True)
    if not condition:
        failures.append(message)


def settings(device, **extra):
    values = {"wpm": WPM, "serialDevice": device, "serialDTR": True, "serialRTS": True,
              "serialRTSReverse": True, "transmitKeyEquiv": True,
              "messageG1F1": "tu $M", "messageG1LabelF1": "TU", "macroM": "ab1cd"}
    values.update(extra)
    return values


def system_text(error):
    """The C library's description of an error in the language keylark runs in, as perror writes it."""
    try:
        locale.setlocale(locale.LC_MESSAGES, "")
    except locale.Error:
        pass  # a locale that is not installed: the C library speaks English to keylark too
    return os.strerror(error)


def check_morse(edges, expected, what):
    text, problems = ks.decode(edges, DOWN, WPM)
    check(text == expected, f"{what}: the line spells {expected!r} (decoded {text!r})")
    check(not problems, f"{what}: every element and gap has its length at {WPM} wpm {problems[:3]}")
    dits = [length for _, length in ks.marks(edges, DOWN) if length < 2 * 1.2 / WPM]
    if dits:
        mean = sum(dits) / len(dits)
        check(abs(mean - 1.2 / WPM) < 0.1 * 1.2 / WPM, f"{what}: mean dit {mean * 1000:.1f} ms (60 ms expected)")
    check(edges[-1][1] == UP, f"{what}: the line ends key-up")


def test_no_display(program):
    result = subprocess.run([program], env=ks.isolated_environment(), capture_output=True, text=True, timeout=20)
    check(result.returncode == 1, f"without a display keylark exits 1 (got {result.returncode})")
    check("keylark: no display found (DISPLAY is not set); Keylark needs a graphical desktop" in result.stderr,
          "without a display keylark says why on standard error")


def test_keying(program, preload, display, bus):
    workdir = ks.new_workdir()
    device = os.path.join(workdir, "ttyFAKE0")
    with ks.Keylark(program, preload, display, settings(device), workdir, device, bus) as app:
        app.type_text("paris cq")
        app.key("Return")
        edges = app.wait_until_quiet(up_bits=UP)
        check_morse(edges, "PARIS CQ", "typed text + Return")

        start = len(edges)
        app.key("F1")
        edges = app.wait_until_quiet(up_bits=UP)
        check_morse(edges[start:], "TU AB1CD", "F1 with a stored message")

        # Quitting in the middle of a transmission leaves the line key-up.
        start = len(app.edges())
        app.key("Return")
        deadline = time.monotonic() + 10
        while len(app.edges()) < start + 6 and time.monotonic() < deadline:
            time.sleep(0.02)
        status = app.quit()
        check(status == 0, f"Ctrl+Q during a transmission ends keylark cleanly (status {status})")
        edges = app.edges()
        check(len(edges) > start + 4 and edges[-1][1] == UP, "after quitting mid-transmission the line is key-up")
    shutil.rmtree(workdir, ignore_errors=True)


def test_port_that_does_not_open(program, preload, display, bus):
    workdir = ks.new_workdir()
    with ks.Keylark(program, preload, display, settings(os.path.join(workdir, "missing-tty")), workdir,
                    os.path.join(workdir, "ttyFAKE0"), bus) as app:
        app.type_text("e")
        app.key("Return")
        deadline = time.monotonic() + 10
        while "open error" not in app.output()[0] and time.monotonic() < deadline:
            time.sleep(0.05)
        status = app.quit()
    out, err = app.output()
    check(status == 0, f"keylark ends cleanly after a failed open (status {status})")
    check(f"*** Keylark : Serial device : {system_text(errno.ENOENT)}\n" in err,
          "standard error names the failed open: " + repr(err.strip()[-120:]))
    check("*** Keylark : Serial open error. Please set serial device.\n" in out,
          "standard output has the open-error line: " + repr(out.strip()[-120:]))
    check(not app.edges(), "nothing was keyed")
    shutil.rmtree(workdir, ignore_errors=True)


def take_screenshot(program, preload, display, bus, path):
    workdir = ks.new_workdir()
    device = os.path.join(workdir, "ttyFAKE0")
    stored = {"messageG1F2": "$C 5nn tu", "messageG1LabelF2": "Report", "messageG1F3": "qrz?",
              "messageG1LabelF3": "QRZ", "messageG1F4": "73 tu $M e e", "messageG1LabelF4": "73",
              "messageG1F5": "cq test $M $M test", "messageG1LabelF5": "CQ Test", "messageG2Label": "Contest",
              "messageG3Label": "DX", "wpm": 22}
    with ks.Keylark(program, preload, display, settings(device, **stored), workdir, device, bus) as app:
        app.type_text("cq cq de ab1cd ab1cd k")
        app.key("Return")
        app.wait_until_quiet(up_bits=UP)
        app.key("F5")
        time.sleep(2.5)
        subprocess.run(["import", "-window", app.window, path], env=app.tool_env, check=True, timeout=20)
        print("screenshot written to", path)
        app.quit()
    shutil.rmtree(workdir, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("keylark")
    parser.add_argument("fake_serial")
    parser.add_argument("--screenshot")
    args = parser.parse_args()

    missing = ks.missing_tools()
    if missing:
        print("SKIPPED: the end-to-end test needs the Debian packages " + " ".join(missing))
        return ks.SKIP

    test_no_display(args.keylark)
    with ks.Xvfb() as xvfb, ks.SessionBus() as bus:
        if args.screenshot:
            take_screenshot(args.keylark, args.fake_serial, xvfb.display, bus.address, args.screenshot)
            return 0
        test_keying(args.keylark, args.fake_serial, xvfb.display, bus.address)
        test_port_that_does_not_open(args.keylark, args.fake_serial, xvfb.display, bus.address)
    print(f"{len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
