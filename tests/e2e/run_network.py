#!/usr/bin/env python3
"""End-to-end test of network keying: the real keylark under Xvfb with the service on, driven by a UDP client
of the test's own as a logger would drive it, keying a stand-in serial device that records the line.

Usage: run_network.py KEYLARK FAKE_SERIAL_LIBRARY
Exits 0 on success, 1 on failure, 77 (skipped) when Xvfb, xdotool or dbus-daemon is missing."""

import argparse
import os
import shutil
import socket
import sys
import time

import keylark_session as ks

WPM = 20
DOWN, UP = 2, 4  # DTR keys the transmitter; RTS is reversed, so it is raised while the key is up
ESC = b"\x1b"
failures = []


def check(condition, message):
    print(("ok   " if condition else "FAIL ") + message, flush=True)
    if not condition:
        failures.append(message)


def free_udp_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Logger:
    """A logger's network client: requests out, replies in."""

    def __init__(self, port):
        self.address = ("127.0.0.1", port)
        self.socket = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.socket.bind(("127.0.0.1", 0))

    def send(self, datagram):
        self.socket.sendto(datagram, self.address)

    def reply(self, timeout):
        self.socket.settimeout(timeout)
        try:
            data, sender = self.socket.recvfrom(512)
        except socket.timeout:
            return None
        check(sender == self.address, f"the reply comes from keylark's port ({sender})")
        return data

    def close(self):
        self.socket.close()


def check_keyed(edges, expected, wpm, what):
    text, problems = ks.decode(edges, DOWN, wpm)
    check(text == expected, f"{what}: the line spells {expected!r} at {wpm} wpm (decoded {text!r})")
    check(not problems, f"{what}: every element and gap has its length at {wpm} wpm {problems[:3]}")
    check(bool(edges) and edges[-1][1] == UP, f"{what}: the line ends key-up")


def wait_for_edges(app, count, timeout=10):
    deadline = time.monotonic() + timeout
    while len(app.edges()) < count and time.monotonic() < deadline:
        time.sleep(0.01)
    return len(app.edges()) >= count


def check_abort(app, logger, start, what):
    """Sends ESC 4 while an element is keyed: that element ends, no other starts, and the client that
    waits for a reply hears 'break'. Returns the edges once the line rests."""
    check(wait_for_edges(app, start + 20), f"{what} is being keyed")
    deadline = time.monotonic() + 5
    while app.edges()[-1][1] != DOWN and time.monotonic() < deadline:
        time.sleep(0.002)
    before = time.monotonic()
    logger.send(ESC + b"4")
    after = time.monotonic()
    reply = logger.reply(timeout=5)
    check(reply == b"break\r\n", f"{what}: the client that waits for a reply hears 'break' ({reply!r})")
    edges = app.wait_until_quiet(up_bits=UP)
    handling = 0.2  # s for the datagram to reach keylark's interface thread on a busy machine
    dah = 3 * 1.2 / WPM
    late = [t for t, bits in edges[start:] if bits == DOWN and t > after + handling]
    check(not late, f"{what}: no element starts after the abort ({len(late)} did)")
    check(edges[-1][0] <= after + handling + dah,
          f"{what}: the line is key-up {(edges[-1][0] - before) * 1000:.0f} ms after the abort, within one element")
    return edges


def test_network_keying(program, preload, display, bus):
    workdir = ks.new_workdir()
    device = os.path.join(workdir, "ttyFAKE0")
    port = free_udp_port()
    settings = {"wpm": WPM, "serialDevice": device, "serialDTR": True, "serialRTS": True,
                "serialRTSReverse": True, "networkKeying": True, "networkPort": port}
    with ks.Keylark(program, preload, display, settings, workdir, device, bus) as app:
        out, _ = app.output()
        check(f"Network keying listens on 127.0.0.1 port {port}." in out, "keylark says where it listens")
        logger = Logger(port)

        # A stored reply comes back once the next text has been keyed, at the speed asked for.
        logger.send(ESC + b"225")
        logger.send(ESC + b"hfirst")
        logger.send(b"paris")
        reply = logger.reply(timeout=15)
        check(reply == b"hfirst\r\n", f"the stored reply arrives after the text ({reply!r})")
        edges = app.wait_until_quiet(up_bits=UP)
        check_keyed(edges, "PARIS", 25, "a text at 25 wpm")

        # A caret asks for the text itself back; texts typed a few characters at a time queue and join.
        start = len(edges)
        logger.send(ESC + b"216")
        for piece in (b"cq ", b"de ", b"ab", b"1cd^"):
            logger.send(piece)
        reply = logger.reply(timeout=15)
        check(reply == b"1cd\r\n", f"the caret's reply is the last piece's text ({reply!r})")
        edges = app.wait_until_quiet(up_bits=UP)
        check_keyed(edges[start:], "CQ DE AB1CD", 16, "four pieces at 16 wpm")

        # Abort in the middle of a text: no element starts after it, the line rests, and the waiting client
        # hears that its text will not be keyed.
        start = len(edges)
        logger.send(ESC + b"220")
        logger.send(b"paris paris paris^")
        logger.send(b"test")
        edges = check_abort(app, logger, start, "a long text")
        text, _ = ks.decode(edges[start:], DOWN, WPM)
        check(len(text) < len("PARIS PARIS PARIS"), f"the text was cut short and the queue dropped ({text!r})")

        # A burst of more texts than the service reads in one turn, and an abort a second later: it is heard.
        start = len(edges)
        for _ in range(64):
            logger.send(b"paris ")
        logger.send(b"paris ^")
        time.sleep(1)
        edges = check_abort(app, logger, start, "a burst of 65 texts")

        # Requests a logger must not make are refused; Keylark goes on keying.
        logger.send(ESC + b"5")
        logger.send(ESC + b"8ttyS0")
        start = len(edges)
        logger.send(b"e^")
        reply = logger.reply(timeout=10)
        check(reply == b"e\r\n", f"keylark still keys after exit and device requests ({reply!r})")
        edges = app.wait_until_quiet(up_bits=UP)
        check_keyed(edges[start:], "E", WPM, "a text after refused requests")
        logger.close()

        check(app.quit() == 0, "keylark ends cleanly")
    out, _ = app.output()
    for line in ("A logger asked Keylark to quit; refused", "A logger asked Keylark to key another device; refused"):
        check(line in out, f"standard output says: {line}")
    shutil.rmtree(workdir, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("keylark")
    parser.add_argument("fake_serial")
    args = parser.parse_args()

    missing = ks.missing_tools()
    if missing:
        print("SKIPPED: the end-to-end test needs the Debian packages " + " ".join(missing))
        return ks.SKIP

    with ks.Xvfb() as xvfb, ks.SessionBus() as bus:
        test_network_keying(args.keylark, args.fake_serial, xvfb.display, bus.address)
    print(f"{len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
