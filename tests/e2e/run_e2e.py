#!/usr/bin/env python3
"""End-to-end test of keylark: the real program under Xvfb, real key presses through xdotool, and a
stand-in serial device (an LD_PRELOAD library) that records every change of the modem-control lines.

Usage: run_e2e.py KEYLARK FAKE_SERIAL_LIBRARY [--screenshots DIRECTORY]
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


def test_escape_from_preferences(program, preload, display, bus):
    """Esc pressed in the preferences window, where $C is edited mid-QSO, stops the transmission within
    one element."""
    workdir = ks.new_workdir()
    device = os.path.join(workdir, "ttyFAKE0")
    with ks.Keylark(program, preload, display, settings(device), workdir, device, bus) as app:
        app.type_text("paris paris paris")
        app.key("Return")
        app.key("ctrl+comma")
        preferences = app.wait_for_window("^Keylark Preferences$")
        app.xdotool("windowfocus", "--sync", preferences)
        deadline = time.monotonic() + 10
        while len(app.edges()) < 20 and time.monotonic() < deadline:
            time.sleep(0.01)
        check(len(app.edges()) >= 20, "the transmission runs when the preferences window has the focus")
        before = time.monotonic()
        app.xdotool("key", "--window", preferences, "Escape")
        after = time.monotonic()
        edges = app.wait_until_quiet(up_bits=UP)
        dah = 3 * 1.2 / WPM
        handling = 0.2  # s for the X server and Qt to deliver the key on a busy machine
        late = [t for t, bits in edges if bits == DOWN and t > after + handling]
        check(not late, f"no element starts after Esc ({len(late)} did)")
        check(edges[-1][0] <= after + handling + dah,
              f"the line is key-up {(edges[-1][0] - before) * 1000:.0f} ms after Esc, within one element")
        text, _ = ks.decode(edges, DOWN, WPM)
        check(len(text) < len("PARIS PARIS PARIS"), f"the text was cut short (sent {text!r})")
        app.xdotool("windowfocus", "--sync", app.window)
        check(app.quit() == 0, "keylark ends cleanly")
    shutil.rmtree(workdir, ignore_errors=True)


SHOWCASE = {"messageG1F2": "$C 5nn tu", "messageG1LabelF2": "Report", "messageG1F3": "qrz?",
            "messageG1LabelF3": "QRZ", "messageG1F4": "73 tu $M e e", "messageG1LabelF4": "73",
            "messageG1F5": "cq test $M $M test", "messageG1LabelF5": "CQ Test", "messageG1LabelF6": "Exchange",
            "messageG2Label": "Contest", "messageG3Label": "DX", "wpm": 22, "beaconDelay": 5, "macroC": "dl1abc",
            "macroR": "599"}


def snapshot(app, path):
    subprocess.run(["import", "-window", app.window, path], env=app.tool_env, check=True, timeout=20)
    print("screenshot written to", path)


def take_screenshots(program, preload, display, bus, directory):
    """The console at its default size while a beacon runs, at 800x480, and on a first start."""
    workdir = ks.new_workdir()
    device = os.path.join(workdir, "ttyFAKE0")
    with ks.Keylark(program, preload, display, settings(device, **SHOWCASE), workdir, device, bus) as app:
        app.type_text("cq cq de ab1cd ab1cd k")
        app.key("Return")
        app.wait_until_quiet(up_bits=UP)
        app.key("ctrl+a")
        app.type_text("vvv")
        app.key("alt+c")  # Console > Beacon
        app.key("b")
        # About 2 s of keying at 22 wpm, then the 5 s pause counting down.
        time.sleep(3.5)
        snapshot(app, os.path.join(directory, "console.png"))
        app.key("Escape")
        app.xdotool("windowsize", "--sync", app.window, "800", "480")
        time.sleep(0.8)
        snapshot(app, os.path.join(directory, "console-800x480.png"))
        app.quit()
    shutil.rmtree(workdir, ignore_errors=True)

    workdir = ks.new_workdir()
    with ks.Keylark(program, preload, display, {}, workdir, os.path.join(workdir, "ttyFAKE0"), bus) as app:
        time.sleep(0.5)
        snapshot(app, os.path.join(directory, "console-first-start.png"))
        app.quit()
    shutil.rmtree(workdir, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("keylark")
    parser.add_argument("fake_serial")
    parser.add_argument("--screenshots", metavar="DIRECTORY")
    args = parser.parse_args()

    missing = ks.missing_tools()
    if missing:
        print("SKIPPED: the end-to-end test needs the Debian packages " + " ".join(missing))
        return ks.SKIP

    test_no_display(args.keylark)
    with ks.Xvfb() as xvfb, ks.SessionBus() as bus:
        if args.screenshots:
            take_screenshots(args.keylark, args.fake_serial, xvfb.display, bus.address, args.screenshots)
            return 0
        test_keying(args.keylark, args.fake_serial, xvfb.display, bus.address)
        test_port_that_does_not_open(args.keylark, args.fake_serial, xvfb.display, bus.address)
        test_escape_from_preferences(args.keylark, args.fake_serial, xvfb.display, bus.address)
    print(f"{len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
