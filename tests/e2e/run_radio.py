#!/usr/bin/env python3
"""End-to-end test of keying through the radio's own keyer: the real keylark under Xvfb keying a stand-in
radio on a pseudo-terminal over CAT through Hamlib, directly (a Kenwood) and through the real rigctld (an
Icom), typed at and driven by a logger's network client.

Usage: run_radio.py KEYLARK FAKE_SERIAL_LIBRARY RADIO_STAND_IN
Exits 0 on success, 1 on failure, 77 (skipped) when Xvfb, xdotool, dbus-daemon or rigctld is missing."""

import argparse
import shutil
import socket
import subprocess
import sys
import time

import keylark_session as ks

WPM = 30
TS590S, IC7300 = 2031, 3073
failures = []


def check(condition, message):
    print(("ok   " if condition else "FAIL ") + message, flush=True)
    if not condition:
        failures.append(message)


def free_port(kind):
    with socket.socket(socket.AF_INET, kind) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class StandIn:
    """The stand-in radio, asked what it has keyed."""

    def __init__(self, program, family):
        self.process = subprocess.Popen([program, family], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.path = self.process.stdout.readline().strip()

    def ask(self, request):
        self.process.stdin.write(request + "\n")
        self.process.stdin.flush()
        return self.process.stdout.readline().strip()

    def keyed(self):
        return self.ask("keyed")[1:-1]

    def wait_keyed(self, predicate, timeout=20):
        deadline = time.monotonic() + timeout
        while not predicate(self.keyed()) and time.monotonic() < deadline:
            time.sleep(0.05)
        return self.keyed()

    def close(self):
        self.process.stdin.close()
        self.process.wait(timeout=10)


def key_typed(app, radio, says, text, what):
    """Checks that keylark says what keys, then types the text and checks that the radio keys it as is."""
    out, _ = app.output()
    check(says in out, f"keylark says what keys: {says}")
    app.type_text(text.lower())
    app.key("Return")
    keyed = radio.wait_keyed(lambda keyed: text.split()[-1] in keyed)
    check(keyed.strip() == text, f"{what} ({keyed!r})")
    return keyed


def settings(radio, **more):
    return {"wpm": WPM, "transmitKeyEquiv": True, "keyingOutput": "radioKeyer", "radioModel": TS590S,
            "radioPort": radio.path, **more}


def test_kenwood(program, preload, display, bus, stand_in):
    """Typed text and a logger's texts reach the radio; the logger hears back once the estimate says the
    text went out; Esc sends nothing after the word the radio holds."""
    workdir = ks.new_workdir()
    radio = StandIn(stand_in, "kenwood")
    port = free_port(socket.SOCK_DGRAM)
    with ks.Keylark(program, preload, display, settings(radio, networkKeying=True, networkPort=port), workdir,
                    workdir + "/ttyFAKE0", bus) as app:
        key_typed(app, radio, f"Keying the TS-590S's keyer on {radio.path}.", "CQ DE AB1CD",
                  "the typed text reaches the radio")

        logger = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        logger.bind(("127.0.0.1", 0))
        logger.settimeout(20)
        sent = time.monotonic()
        logger.sendto(b"paris^", ("127.0.0.1", port))
        reply, _ = logger.recvfrom(512)
        took = time.monotonic() - sent
        check(reply == b"paris\r\n", f"the logger hears back ({reply!r})")
        keyed = radio.wait_keyed(lambda text: text.strip().endswith("PARIS"), timeout=2)
        check(keyed.strip().endswith("PARIS"), f"the logger's text went out ({keyed!r})")
        check(took >= 1.0, f"the reply waited for the radio to key PARIS, 1.8 s at {WPM} wpm ({took:.2f} s)")
        logger.close()

        pieces = int(radio.ask("pieces"))
        app.key("ctrl+a")  # the sent text stays in the line: type over it
        app.type_text("test test test test test")
        app.key("Return")
        radio.wait_keyed(lambda text: len(text) > len(keyed))
        app.key("Escape")
        time.sleep(3)
        after = int(radio.ask("pieces"))
        check(after - pieces <= 2, f"Esc sends nothing after the word the radio holds ({after - pieces} pieces)")
        check(radio.keyed()[len(keyed):].count("TEST") <= 2, f"the radio keyed no more than that ({radio.keyed()!r})")
        check(app.quit() == 0, "keylark ends cleanly")
    out, _ = app.output()
    check("cannot stop mid-word" in out, "keylark says once that the Kenwood cannot stop mid-word")
    radio.close()
    shutil.rmtree(workdir, ignore_errors=True)


def test_icom_behind_rigctld(program, preload, display, bus, stand_in):
    """Beside a logger through rigctld: the Icom keys the text as typed, without rigctld's extra spaces."""
    workdir = ks.new_workdir()
    radio = StandIn(stand_in, "icom")
    port = free_port(socket.SOCK_STREAM)
    rigctld = subprocess.Popen(["rigctld", "-m", str(IC7300), "-r", radio.path, "-T", "127.0.0.1", "-t", str(port)])
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            break
        except OSError:
            time.sleep(0.05)
    radio_settings = settings(radio, radioModel=IC7300, radioThroughRigctld=True, rigctldPort=port)
    with ks.Keylark(program, preload, display, radio_settings, workdir, workdir + "/ttyFAKE0", bus) as app:
        key_typed(app, radio, f"Keying the IC-7300's keyer through rigctld at 127.0.0.1:{port}.", "CQ TEST DE AB1CD",
                  "the Icom keys the text as typed, without rigctld's extra spaces")
        check(app.quit() == 0, "keylark ends cleanly")
    rigctld.terminate()
    rigctld.wait(timeout=10)
    radio.close()
    shutil.rmtree(workdir, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("keylark")
    parser.add_argument("fake_serial")
    parser.add_argument("stand_in")
    args = parser.parse_args()

    missing = ks.missing_tools() + ([] if shutil.which("rigctld") else ["libhamlib-utils"])
    if missing:
        print("SKIPPED: the end-to-end test needs the Debian packages " + " ".join(missing))
        return ks.SKIP

    with ks.Xvfb() as xvfb, ks.SessionBus() as bus:
        for test in (test_kenwood, test_icom_behind_rigctld):
            test(args.keylark, args.fake_serial, xvfb.display, bus.address, args.stand_in)
    print(f"{len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
