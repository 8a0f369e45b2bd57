#!/usr/bin/env python3
"""End-to-end test of the sidetone: the real keylark under Xvfb in practice mode, playing into a null sink
of a PulseAudio server this test starts on its own, whose monitor is recorded and measured.

Usage: run_sidetone.py KEYLARK FAKE_SERIAL_LIBRARY
Exits 0 on success, 1 on failure, 77 (skipped, saying why) when a program it needs is missing."""

import math
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

import keylark_session as ks

WPM = 20
DIT = 1.2 / WPM
RATE = 48000
PITCH = 700
ONSET_TOLERANCE = 0.003  # s, each onset against the ideal timeline from the first
LENGTH_TOLERANCE = 0.002  # s, each tone's length against its element's
AUDIO_TOOLS = {"pulseaudio": "pulseaudio", "parecord": "pulseaudio-utils"}
failures = []


def check(condition, message):
    print(("ok   " if condition else "FAIL ") + message, flush=True)
    if not condition:
        failures.append(message)


def ideal_timeline(text):
    """(onset, length) of every element of the text from the first onset, in seconds."""
    elements, at = [], 0.0
    for word in text.split():
        for letter in word:
            for symbol in ks.MORSE[letter]:
                length = DIT if symbol == "." else 3 * DIT
                elements.append((at, length))
                at += length + DIT
            at += 2 * DIT
        at += 4 * DIT
    return elements


class NullSink:
    """A private PulseAudio with one null sink and a socket of its own; nothing else on the machine hears
    it or is heard by it."""

    def __init__(self, directory):
        self.socket = os.path.join(directory, "pulse.sock")
        env = dict(ks.isolated_environment(), HOME=directory, XDG_RUNTIME_DIR=directory)
        self.env = dict(env, PULSE_SERVER="unix:" + self.socket)
        self.log = open(os.path.join(directory, "pulseaudio.log"), "w")
        self.process = subprocess.Popen(
            ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
             "--log-target=stderr", f"--load=module-null-sink sink_name=keylark_null rate={RATE} channels=1",
             "--load=module-native-protocol-unix auth-anonymous=1 socket=" + self.socket],
            env=env, stdout=subprocess.DEVNULL, stderr=self.log)
        deadline = time.monotonic() + 10
        while not self.ready():
            if self.process.poll() is not None or time.monotonic() > deadline:
                self.stop()
                raise RuntimeError("pulseaudio did not start (see pulseaudio.log)")
            time.sleep(0.1)

    def ready(self):
        return subprocess.run(["pactl", "info"], env=self.env, capture_output=True, timeout=10).returncode == 0

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait(timeout=10)
        self.log.close()


class Recording:
    """The null sink's monitor, recorded raw: 16-bit mono samples at 48 kHz."""

    def __init__(self, sink, path):
        self.path = path
        self.process = subprocess.Popen(
            ["parecord", "--device=keylark_null.monitor", "--raw", "--format=s16le", f"--rate={RATE}",
             "--channels=1", "--latency-msec=10", path], env=sink.env)

    def stop(self):
        self.process.send_signal(signal.SIGINT)
        self.process.wait(timeout=10)
        with open(self.path, "rb") as file:
            data = file.read()
        return struct.unpack(f"<{len(data) // 2}h", data[: len(data) // 2 * 2])


def envelope(samples):
    """The amplitude at every sample of a tone at PITCH: for a sine, s[n]^2 - s[n-1]s[n+1] is the square of
    its amplitude times sin^2 of its step, whatever its phase."""
    scale = math.sin(2 * math.pi * PITCH / RATE) ** 2
    amplitude = [0.0] * len(samples)
    for n in range(1, len(samples) - 1):
        energy = samples[n] * samples[n] - samples[n - 1] * samples[n + 1]
        amplitude[n] = math.sqrt(max(energy, 0) / scale)
    return amplitude


def tones(samples):
    """(onset, length) in seconds of every tone, between the points where it passes half its peak."""
    amplitude = envelope(samples)
    peak = max(amplitude, default=0)
    if peak < 100:
        return []
    half = peak / 2
    found, start = [], None
    for n in range(1, len(amplitude)):
        before, now = amplitude[n - 1], amplitude[n]
        if start is None and before < half <= now:
            start = n - 1 + (half - before) / (now - before)
        elif start is not None and before >= half > now:
            end = n - 1 + (before - half) / (before - now)
            found.append((start / RATE, (end - start) / RATE))
            start = None
    return found


def test_paris_in_practice(program, preload, display, bus, workdir):
    sink = NullSink(workdir)
    try:
        # A port and a line are set, so that a transmission on the air would key the stand-in device.
        settings = {"practiceMode": True, "wpm": WPM, "sidetone": True, "sidetonePitch": PITCH,
                    "sidetoneVolume": 50, "transmitKeyEquiv": True,
                    "serialDevice": os.path.join(workdir, "ttyFAKE0"), "serialDTR": True}
        extra = {"PULSE_SERVER": "unix:" + sink.socket}
        with ks.Keylark(program, preload, display, settings, workdir, settings["serialDevice"], bus,
                        extra_env=extra) as app:
            recording = Recording(sink, os.path.join(workdir, "monitor.raw"))
            time.sleep(2.0)  # a sink just started holds a new stream back for a moment
            app.type_text("paris")
            app.key("Return")
            last_at, last_length = ideal_timeline("PARIS")[-1]
            time.sleep(last_at + last_length + 1.5)
            samples = recording.stop()
            status = app.quit()
            out, err = app.output()
        check(status == 0, f"keylark ends with status 0 (got {status})")
        check("Serial open error" not in out, "practice opens no port: no \"Serial open error\"")
        check("No sound device" not in out, "the sidetone found the null sink")
        check(not ks.read_edges(app.line_log), "practice keys no serial line")
        heard = tones(samples)
        ideal = ideal_timeline("PARIS")
        loudest = max((abs(sample) for sample in samples), default=0)
        check(len(heard) == len(ideal), f"{len(ideal)} elements of PARIS are heard (heard {len(heard)} in "
              f"{len(samples) / RATE:.2f} s recorded, loudest sample {loudest})")
        if len(heard) != len(ideal):
            return
        first = heard[0][0]
        onset_errors = [abs((at - first) - want) for (at, _), (want, _) in zip(heard, ideal)]
        length_errors = [abs(length - want) for (_, length), (_, want) in zip(heard, ideal)]
        check(max(onset_errors) <= ONSET_TOLERANCE,
              f"every onset within {ONSET_TOLERANCE * 1000:.0f} ms of the ideal timeline "
              f"(worst {max(onset_errors) * 1000:.2f} ms)")
        check(max(length_errors) <= LENGTH_TOLERANCE,
              f"every tone within {LENGTH_TOLERANCE * 1000:.0f} ms of its element's length "
              f"(worst {max(length_errors) * 1000:.2f} ms)")
        letters = letters_of(heard)
        check(letters == "PARIS", f"the tones spell PARIS in five characters (heard {letters!r})")
    finally:
        sink.stop()


def letters_of(heard):
    """The text the tones spell: a gap of two dits or more ends a letter."""
    text, pattern = "", ""
    for index, (at, length) in enumerate(heard):
        pattern += "." if length < 2 * DIT else "-"
        following = heard[index + 1][0] - (at + length) if index + 1 < len(heard) else math.inf
        if following >= 2 * DIT:
            text += ks.TEXT_OF.get(pattern, "?")
            pattern = ""
    return text


def main():
    program, preload = sys.argv[1], sys.argv[2]
    missing = ks.missing_tools() + [package for tool, package in AUDIO_TOOLS.items() if shutil.which(tool) is None]
    if shutil.which("pactl") is None and "pulseaudio-utils" not in missing:
        missing.append("pulseaudio-utils")
    if missing:
        print("SKIPPED: the sidetone test needs the Debian packages " + " ".join(sorted(set(missing))))
        return ks.SKIP
    workdir = tempfile.mkdtemp(prefix="keylark-sidetone-")
    try:
        with ks.Xvfb() as xvfb, ks.SessionBus() as bus:
            test_paris_in_practice(program, preload, xvfb.display, bus.address, workdir)
    finally:
        shutil.rmtree(workdir, ignore_errors=True)
    print(f"{len(failures)} failure(s)" if failures else "all passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
