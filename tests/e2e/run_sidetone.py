#!/usr/bin/env python3
"""End-to-end test of the sidetone: the real keylark under Xvfb, keying the stand-in serial device, playing
into a null sink of a sound server this test starts on its own (PulseAudio, and PipeWire with its PulseAudio
service where its packages are installed), whose monitor is recorded and measured. Keylark starts together
with the server and sends at once, as an operator who starts it and presses a function key. The sidetone
follows the same timeline on the air as in practice; on the air the stand-in device's log tells when the
keying engine keyed each element, so each tone is checked against its own key-down. On PulseAudio the text
is also typed and sent in practice mode, where the stand-in device must stay untouched.

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
import sound_server

WPM = 20
DIT = 1.2 / WPM
RATE = sound_server.RATE
PITCH = 700
VOLUME = 50
TEXT = "PARIS"
SEND_WITHIN = 0.5  # s from the window appearing to the text going out
START_HOLD = 2.0  # s a sound server may hold a new stream back (a null sink that idles renders 2 s at a time)
# The limits follow from what the sidetone promises: each tone as long as its element to the sample (the
# half-amplitude points found here are within a few hundredths of a millisecond of it), and as far from the
# tone before as its key-down was from the key-down before, within a millisecond (it places each tone from
# its key-down's own instant and lets the stream's clock move a tone by half a millisecond at most).
LENGTH_TOLERANCE = 0.0005  # s
STEP_TOLERANCE = 0.001  # s
DOWN = 2  # DTR keys the transmitter
# A run that failed while the machine stood still, between the window showing and the recording's end, for
# longer than the sound server can wait for Keylark's samples (half the stream's buffer; a shared virtual
# machine now and then stops for 100 ms, real-time threads and all) shows nothing of the sidetone; it runs
# again, saying so. A fault of Keylark's own fails every run, or fails the runs in which nothing stood still.
STALL_LIMIT = 0.03  # s
ATTEMPTS = 3
# One per processor at the highest real-time priority: it is late only when nothing on its processor ran.
# One more runs as the sound servers' own threads that take a client's samples do (ordinary threads at nice
# -11): how long it waits for a processor tells whether the machine starved the server; it is only said.
WATCHER = """
import os, sys, time
if sys.argv[1] == "server":
    os.nice(-11)
else:
    os.sched_setaffinity(0, {int(sys.argv[1])})
    os.sched_setscheduler(0, os.SCHED_FIFO, os.sched_param(os.sched_get_priority_max(os.SCHED_FIFO)))
last = time.monotonic()
while True:
    time.sleep(0.001)
    now = time.monotonic()
    if now - last > float(sys.argv[2]):
        print(last, now, flush=True)
    last = now
"""
# The recorder asks for no shorter a buffer than the sidetone does, lest it make the server run tighter
# than it would for Keylark alone.
BUFFER_MS = 60
failures = []
listened = []  # (from, to) on the monotonic clock: the window showing and the recording's end, each run
reruns = []
# Runs whose recording began inside a tone. The recorder is on the sink before the key goes out, so Keylark
# cannot have sounded before it; yet on PulseAudio, as the null sink's held start ends, the monitor now and
# then hands the recorder its first samples from within the first tone. Such a run cannot measure that tone
# and runs again.
cut_recordings = []


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


class Recording:
    """The null sink's monitor, recorded raw: 16-bit mono samples at 48 kHz."""

    def __init__(self, server, path):
        self.path = path
        self.log = open(path + ".log", "w+")
        self.process = subprocess.Popen(
            ["parecord", "--verbose", f"--device={sound_server.SINK}.monitor", "--raw", "--format=s16le",
             f"--rate={RATE}", "--channels=1", f"--latency-msec={BUFFER_MS}", path], env=server.env,
            stdout=subprocess.DEVNULL, stderr=self.log)

    def wait_until_connected(self, timeout=10):
        """Returns once the recorder's stream is on the sink's monitor, where it hears all that plays from
        then on."""
        deadline = time.monotonic() + timeout
        while "Connected to device" not in self.said():
            if self.process.poll() is not None or time.monotonic() > deadline:
                raise AssertionError(f"the recorder did not reach the sink in {timeout} s")
            time.sleep(0.01)

    def said(self):
        self.log.seek(0)
        return self.log.read()

    def wait_until_hearing(self, timeout=10):
        """Returns once samples come in: PipeWire links a new stream to the sink only once its session
        manager has come round to it."""
        deadline = time.monotonic() + timeout
        while not os.path.exists(self.path) or os.path.getsize(self.path) == 0:
            if self.process.poll() is not None or time.monotonic() > deadline:
                raise AssertionError(f"the recorder heard nothing of the sink in {timeout} s")
            time.sleep(0.02)

    def stop(self):
        self.process.send_signal(signal.SIGINT)
        self.process.wait(timeout=10)
        self.log.close()
        with open(self.path, "rb") as file:
            data = file.read()
        return struct.unpack(f"<{len(data) // 2}h", data[: len(data) // 2 * 2])


class StallWatch:
    """When the machine stood still, on any of its processors, while it was open; nothing where this process
    may not run in real time."""

    def __init__(self):
        self.watchers = {cpu: subprocess.Popen([sys.executable, "-c", WATCHER, str(cpu), str(STALL_LIMIT)],
                                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
                         for cpu in [*sorted(os.sched_getaffinity(0)), "server"]}
        self.stalls, self.server_waits = [], []

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        for cpu, watcher in self.watchers.items():
            watcher.terminate()
            found = [tuple(map(float, line.split())) for line in watcher.communicate(timeout=10)[0].splitlines()]
            (self.server_waits if cpu == "server" else self.stalls).extend(found)

    @staticmethod
    def longest(intervals, span):
        """The longest of the intervals within the span, in seconds; 0 when there was none."""
        return max((end - start for start, end in intervals if start < span[1] and end > span[0]), default=0)


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
    """(onset, length) in seconds of every tone, between the points where it passes half the amplitude the
    volume gives: a tone broken by the sound server counts as two."""
    amplitude = envelope(samples)
    half = (VOLUME / 100) ** 2 * 32000 / 2
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


def play(server, program, preload, display, bus, workdir, arguments=()):
    """Starts keylark on the server with the arguments, sends at once with F1 and records the sink until the
    text has sounded. Returns the recorded samples, the stand-in device's log and keylark's output."""
    os.makedirs(workdir, exist_ok=True)
    # A port and a line are set, so that sending on the air keys the stand-in device.
    settings = {"practiceMode": False, "messageG1F1": TEXT.lower(), "wpm": WPM, "sidetone": True,
                "sidetonePitch": PITCH, "sidetoneVolume": VOLUME, "serialDevice": os.path.join(workdir, "ttyFAKE0"),
                "serialDTR": True}
    extra = {k: v for k, v in server.env.items() if k.startswith("PULSE_")}
    # The recorder joins before Keylark and hears the sink before Keylark starts, lest it miss the first
    # tone: on PulseAudio a recorder that joined with Keylark was handed its first samples from within the
    # first tones on a quiet machine; on PipeWire a node joining the graph makes PipeWire change how it runs,
    # and what plays at that moment breaks.
    recording = Recording(server, os.path.join(workdir, "monitor.raw"))
    recording.wait_until_hearing()
    with ks.Keylark(program, preload, display, settings, workdir, settings["serialDevice"], bus,
                    extra_env=extra, settle=0, arguments=arguments, first_key="F1",
                    on_shown=recording.wait_until_connected) as app:
        sent = app.sent
        last_at, last_length = ideal_timeline(TEXT)[-1]
        time.sleep(START_HOLD + last_at + last_length + 0.5)
        samples = recording.stop()
        listened.append((app.shown, time.monotonic()))
        if any(at < 0.001 for at, _ in tones(samples[:RATE // 10])):
            cut_recordings.append(len(listened))
        status = app.quit()
        out, _ = app.output()
    check(sent - app.shown <= SEND_WITHIN, f"F1 was pressed within {SEND_WITHIN} s of the window showing "
          f"(after {sent - app.shown:.2f} s)")
    check(status == 0, f"keylark ends with status 0 (got {status})")
    check("No sound device" not in out, "the sidetone found the null sink")
    check("left out" not in out, "the sidetone left no tone out" + (f" ({out.strip()})" if "left out" in out else ""))
    return samples, app.line_log, out


def heard_in_full(samples):
    """The tones, once it is checked that there is one for each element; none otherwise."""
    heard, ideal = tones(samples), ideal_timeline(TEXT)
    check(len(heard) == len(ideal), f"{len(ideal)} elements of {TEXT} are heard (heard {len(heard)} in "
          f"{len(samples) / RATE:.2f} s recorded)")
    if len(heard) != len(ideal):
        print("     heard (onset s, length ms): " + ", ".join(f"{at:.4f} {length * 1000:.2f}" for at, length in heard))
        return None
    length_errors = [abs(length - want) for (_, length), (_, want) in zip(heard, ideal)]
    if max(length_errors) > LENGTH_TOLERANCE:
        print("     heard (onset s, length ms): " + ", ".join(f"{at:.4f} {length * 1000:.2f}" for at, length in heard))
    check(max(length_errors) <= LENGTH_TOLERANCE, f"the tones are the dits and dahs of {TEXT} in order, each "
          f"within {LENGTH_TOLERANCE * 1000:.1f} ms of its element's length (worst {max(length_errors) * 1000:.3f} ms)")
    return heard


def test_on_the_air(server, program, preload, display, bus, workdir):
    print(f"-- on the air, on {server.name}", flush=True)
    samples, line_log, _ = play(server, program, preload, display, bus, workdir)
    keyed = ks.marks(ks.read_edges(line_log), DOWN)
    check(len(keyed) == len(ideal_timeline(TEXT)), f"the engine keyed the elements of {TEXT} (keyed {len(keyed)})")
    heard = heard_in_full(samples)
    if heard and len(keyed) == len(heard):
        # The tones follow the instants at which the engine decided each key-down; the stand-in device logs
        # when the line moved. A worker held up in between keys that element late, the line's step to it is
        # longer than planned, and the tone after it seems as much too far from it: that step is not
        # compared. (A worker held up before deciding moves the key-down and the tone alike.)
        ideal = ideal_timeline(TEXT)
        late = [False] + [abs((y[0] - x[0]) - (j[0] - i[0])) > STEP_TOLERANCE
                          for x, y, i, j in zip(keyed, keyed[1:], ideal, ideal[1:])]
        steps = [abs((b[0] - a[0]) - (y[0] - x[0]))
                 for a, b, x, y, held in zip(heard, heard[1:], keyed, keyed[1:], late) if not held]
        worst = max(steps, default=0)
        check(worst <= STEP_TOLERANCE, f"each tone as far from the one before as its key-down, within "
              f"{STEP_TOLERANCE * 1000:.0f} ms (worst {worst * 1000:.2f} ms over {len(steps)} of "
              f"{len(heard) - 1} steps; the others follow an element the engine keyed off its plan)")
        # The letters' gaps are the engine's: on a loaded machine it may key an element late, and the tones
        # must then follow the line, not the text.
        sent, letters = letters_of(keyed), letters_of(heard)
        check(letters == sent, f"the tones spell what the line sent (heard {letters!r}, sent {sent!r})")


def test_practice(server, program, preload, display, bus, workdir):
    """The operator's case: `keylark --practice`, then a function key as soon as the window shows."""
    print(f"-- in practice, on {server.name}", flush=True)
    samples, line_log, out = play(server, program, preload, display, bus, workdir, arguments=("--practice",))
    check("Serial open error" not in out, "practice opens no port: no \"Serial open error\"")
    check(not ks.read_edges(line_log), "practice keys no serial line")
    heard_in_full(samples)


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


def attempt(test, name, program, preload, display, bus, workdir):
    """Runs a test on a sound server of its own, just started (so that it holds Keylark's new stream back as
    at a desktop's start), once, or again when it failed while the machine stood still or its recording
    began inside a tone."""
    for tries in range(ATTEMPTS):
        before, runs = len(failures), len(listened)
        with sound_server.SoundServer(name) as server, StallWatch() as watch:
            test(server, program, preload, display, bus, f"{workdir}-{tries}")
        span = listened[-1] if len(listened) > runs else (0, 0)
        stall = watch.longest(watch.stalls, span)
        cut = len(listened) in cut_recordings
        print(f"-- while the sidetone played an ordinary thread at the sound server's priority waited up to "
              f"{watch.longest(watch.server_waits, span) * 1000:.0f} ms for a processor (load "
              f"{os.getloadavg()[0]:.1f})", flush=True)
        if len(failures) == before or not (stall or cut) or tries + 1 == ATTEMPTS:
            return
        why = "the recording began inside the first tone" if cut else "the machine stood still"
        if cut:
            print("-- the recording began inside the first tone, which it cannot measure: runs again", flush=True)
        else:
            print(f"-- the machine stood still for {stall * 1000:.0f} ms while the sidetone played, longer than "
                  "the sound server can wait: the run says nothing of the sidetone and runs again", flush=True)
        reruns.append(f"{name}, {why}: {', '.join(failures[before:])}")
        del failures[before:]


def main():
    program, preload = sys.argv[1], sys.argv[2]
    missing = ks.missing_tools()
    if missing:
        print("SKIPPED: the sidetone test needs the Debian packages " + " ".join(missing))
        return ks.SKIP
    ran = 0
    for name in sound_server.PROGRAMS:
        missing = sound_server.missing_packages(name)
        if missing:
            print(f"SKIPPED on {name}: it needs the Debian packages " + " ".join(missing), flush=True)
            continue
        workdir = tempfile.mkdtemp(prefix="keylark-sidetone-")
        try:
            with ks.Xvfb() as xvfb, ks.SessionBus() as bus:
                attempt(test_on_the_air, name, program, preload, xvfb.display, bus.address,
                        os.path.join(workdir, "air"))
                # The operator's report was made in practice mode on PulseAudio; once is enough.
                if name == "pulseaudio":
                    attempt(test_practice, name, program, preload, xvfb.display, bus.address,
                            os.path.join(workdir, "practice"))
        finally:
            shutil.rmtree(workdir, ignore_errors=True)
        ran += 1
    if not ran:
        return ks.SKIP
    for rerun in reruns:
        print(f"ran again ({rerun})")
    print(f"{len(failures)} failure(s)" if failures else "all passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
