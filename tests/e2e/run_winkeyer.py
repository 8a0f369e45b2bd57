#!/usr/bin/env python3
"""End-to-end test of keying through a WinKeyer: the real keylark under Xvfb keying the tests' stand-in
WinKeyer on a pseudo-terminal, in real time.

Usage: run_winkeyer.py KEYLARK FAKE_SERIAL_LIBRARY STAND_IN_WINKEYER
Exits 0 on success, 1 on failure, 77 (skipped) when Xvfb, xdotool or dbus-daemon is missing."""

import argparse
import glob
import json
import os
import shutil
import socket
import subprocess
import sys
import time

import keylark_session as ks

failures = []


def check(condition, message):
    print(("ok   " if condition else "FAIL ") + message, flush=True)
    if not condition:
        failures.append(message)


class StandIn:
    """The stand-in keyer, read through its log of the host's bytes and the signs it keyed."""

    def __init__(self, program, workdir):
        self.link = os.path.join(workdir, "winkeyer")
        self.log = os.path.join(workdir, "winkeyer.log")
        self.process = subprocess.Popen([program, self.link, self.log], stdin=subprocess.PIPE, text=True)
        deadline = time.monotonic() + 10
        while not os.path.exists(self.link) and time.monotonic() < deadline:
            time.sleep(0.05)

    def events(self, kind):
        if not os.path.exists(self.log):
            return b""
        with open(self.log) as log:
            return b"".join(bytes.fromhex(line.split()[2]) for line in log if line.split()[1:2] == [kind])

    def wait_keyed(self, predicate, timeout=20):
        deadline = time.monotonic() + timeout
        while not predicate(self.events("keyed").decode()) and time.monotonic() < deadline:
            time.sleep(0.05)
        return self.events("keyed").decode()

    def command(self, line):
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()

    def wait_host(self, part, timeout=10):
        deadline = time.monotonic() + timeout
        while part not in self.events("host") and time.monotonic() < deadline:
            time.sleep(0.05)
        return part in self.events("host")

    def close(self):
        self.process.stdin.close()
        self.process.wait(timeout=10)


def test_winkeyer(program, preload, display, bus, stand_in):
    """Typed text reaches the keyer whole, a logger's in-text speed change too; Esc clears its buffer within a sign; the paddles break in and
    their sending is kept in the sent record; the knob sets the speed; quitting leaves host mode."""
    workdir = ks.new_workdir()
    keyer = StandIn(stand_in, workdir)
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
        probe.bind(("127.0.0.1", 0))
        port = probe.getsockname()[1]
    settings = {"wpm": 30, "transmitKeyEquiv": True, "keyingOutput": "winKeyer", "winKeyerPort": keyer.link,
                "winKeyerFollowsKnob": True, "networkKeying": True, "networkPort": port}
    with ks.Keylark(program, preload, display, settings, workdir, workdir + "/ttyFAKE0", bus) as app:
        deadline = time.monotonic() + 10
        while "WinKeyer version 2.3" not in app.output()[0] and time.monotonic() < deadline:
            time.sleep(0.05)
        check(f"WinKeyer version 2.3 on {keyer.link}." in app.output()[0], "keylark names the keyer's firmware")
        app.type_text("cq de ab1cd")
        app.key("Return")
        keyed = keyer.wait_keyed(lambda text: text.endswith("AB1CD"))
        check(keyed == "CQ DE AB1CD", f"the typed text reaches the keyer whole ({keyed!r})")

        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as logger:
            logger.sendto(b"e++t", ("127.0.0.1", port))
        keyed = keyer.wait_keyed(lambda text: text.endswith("ET"))
        host = keyer.events("host")
        check(b"E\x1c\x20\x1c\x22T" in host, f"a logger's ++ are buffered speed changes at their place ({host[-12:]!r})")

        app.key("ctrl+a")  # the sent text stays in the line: type over it
        app.type_text("test test test test test")
        app.key("Return")
        keyed = keyer.wait_keyed(lambda text: len(text) > len("CQ DE AB1CDET") + 2)
        app.key("Escape")
        time.sleep(2)
        after = keyer.events("keyed").decode()
        check(len(after) - len(keyed) <= 2, f"Esc clears the keyer within a sign ({after!r})")

        app.key("ctrl+a")
        app.type_text("test test test test test")
        app.key("Return")
        keyed = keyer.wait_keyed(lambda text: len(text) > len(after) + 2)
        keyer.command("paddle K1ABC")
        time.sleep(2)
        after = keyer.events("keyed").decode()
        check(len(after) - len(keyed) <= 2, f"the paddles stop Keylark's text ({after!r})")
        check("The WinKeyer's paddles broke in" in app.output()[0], "keylark says that the paddles broke in")

        keyer.command("knob 20")  # the knob's lowest is Keylark's 5 wpm
        check(keyer.wait_host(b"\x02\x19"), "the knob's 25 wpm become Keylark's speed and the keyer's")
        check(app.quit() == 0, "keylark ends cleanly")
    check(keyer.events("host").endswith(b"\x00\x03"), "keylark leaves host mode at exit")
    with open(os.path.join(workdir, "config", "Keylark", "settings.json")) as file:
        check(json.load(file).get("wpm") == 25, "the knob's speed is stored")
    record = "".join(open(path).read() for path in glob.glob(os.path.join(workdir, "data", "Keylark", "sent-*.txt")))
    check("  paddle  K1ABC\n" in record, f"the paddles' sending is in the sent record ({record!r})")
    keyer.close()
    shutil.rmtree(workdir, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("keylark")
    parser.add_argument("fake_serial")
    parser.add_argument("stand_in")
    args = parser.parse_args()

    missing = ks.missing_tools()
    if missing:
        print("SKIPPED: the end-to-end test needs the Debian packages " + " ".join(missing))
        return ks.SKIP

    with ks.Xvfb() as xvfb, ks.SessionBus() as bus:
        test_winkeyer(args.keylark, args.fake_serial, xvfb.display, bus.address, args.stand_in)
    print(f"{len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
