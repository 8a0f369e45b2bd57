#!/usr/bin/env python3
"""Soak: Keylark running a beacon of "E" at 40 wpm with no pause, for SOAK_SECONDS (default 600).

Runs the real keylark under Xvfb on the end-to-end test's stand-in serial device. The log keeps
SOAK_SCROLLBACK lines (default 1,000), and the run begins once the beacon has filled it (about eight
passes, eight lines, a second), so that what is measured is the cost of running, not of a log still
filling up to its bound. It prints, for the start and the end of the run, the process's resident memory, the CPU share of the whole process and of
its interface thread (the console) over a window of SOAK_WINDOW seconds (default 30), and its thread and
descriptor counts. Target: resident memory grows by no more than 1 MB, and the CPU share does not rise.
With --trace it also prints a sample every SOAK_TRACE seconds (default 60). With --idle it only prints the
CPU share of the shown window over SOAK_WINDOW seconds while nothing is sent.

With --callgrind DIR it runs keylark under Valgrind's callgrind instead, counts instructions only over
SOAK_WINDOW seconds once the log is full, and prints each thread's instructions per key-down (thread 1 is
the interface thread); the profiles stay in DIR for callgrind_annotate. Under Valgrind the program runs
many times slower, so only the counts mean anything, not the CPU share or the timing.

Usage: soak.py KEYLARK FAKE_SERIAL_LIBRARY [--seconds N] [--trace] [--callgrind DIR] [--idle]
Skips (exit 0, says why) when Xvfb, xdotool or dbus-daemon is missing. Standard library only."""

import argparse
import glob
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
import keylark_session as ks  # noqa: E402

DOWN = 2  # DTR keys the transmitter
TICKS = os.sysconf("SC_CLK_TCK")
MEMORY_TARGET_KB = 1024


def cpu_ticks(stat_path):
    """utime + stime of a process or thread, in clock ticks."""
    with open(stat_path) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])


def resident_kb(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


class Sample:
    def __init__(self, pid):
        self.at = time.monotonic()
        self.process = cpu_ticks(f"/proc/{pid}/stat")
        self.console = cpu_ticks(f"/proc/{pid}/task/{pid}/stat")
        self.rss = resident_kb(pid)
        self.threads = len(os.listdir(f"/proc/{pid}/task"))
        self.fds = len(os.listdir(f"/proc/{pid}/fd"))


def share(before, after):
    """CPU share in per cent of one core, of the process and of its interface thread."""
    seconds = after.at - before.at
    return (100 * (after.process - before.process) / TICKS / seconds,
            100 * (after.console - before.console) / TICKS / seconds)


def passes(data_home):
    """Lines in the sent record, one per pass keyed; 0 where there is none."""
    folder = os.path.join(data_home, "Keylark")
    total = 0
    if os.path.isdir(folder):
        for name in os.listdir(folder):
            if name.startswith("sent-") and name.endswith(".txt"):
                with open(os.path.join(folder, name), errors="replace") as record:
                    total += sum(1 for line in record if not line.startswith("#"))
    return total


def key_downs(line_log):
    count, state = 0, None
    for _, bits in ks.read_edges(line_log):
        if bits == DOWN and state != DOWN:
            count += 1
        state = bits
    return count


def start_beacon(app, scrollback):
    """Starts the beacon and waits until it has filled the log."""
    app.type_text("e")
    app.key("alt+c")  # Console > Beacon
    app.key("b")
    # Under Valgrind on a loaded machine the menu may take many seconds to open.
    deadline = time.monotonic() + 60
    while not (os.path.exists(app.line_log) and key_downs(app.line_log)):
        if time.monotonic() > deadline:
            raise AssertionError("the beacon did not start keying")
        time.sleep(0.5)
    fill = scrollback / 8 * 1.2
    print(f"soak: filling the log's {scrollback} lines for {fill:.0f} s first", flush=True)
    time.sleep(fill)


def launch(program, preload, display, bus, workdir, scrollback, arguments=()):
    device = os.path.join(workdir, "ttyFAKE0")
    settings = {"wpm": 40, "beaconDelay": 0, "serialDevice": device, "serialDTR": True,
                "consoleScrollBack": scrollback}
    return ks.Keylark(program, preload, display, settings, workdir, device, bus,
                      extra_env={"XDG_DATA_HOME": os.path.join(workdir, "data")}, arguments=arguments)


def callgrind_totals(folder, pid):
    """Instructions counted in each thread's profile, by thread number."""
    totals = {}
    for path in glob.glob(os.path.join(folder, f"callgrind.out.{pid}*")):
        thread = total = None
        with open(path) as profile:
            for line in profile:
                if line.startswith("thread:"):
                    thread = int(line.split()[1])
                elif line.startswith(("summary:", "totals:")):
                    total = int(line.split()[1])
        if thread is not None and total is not None:
            totals[thread] = totals.get(thread, 0) + total
    return totals


def profile(program, preload, window, scrollback, folder):
    os.makedirs(folder, exist_ok=True)
    workdir = ks.new_workdir()
    valgrind = ["--tool=callgrind", "--instr-atstart=no", "--separate-threads=yes",
                "--callgrind-out-file=" + os.path.join(os.path.abspath(folder), "callgrind.out.%p"), program]
    with ks.Xvfb() as xvfb, ks.SessionBus() as bus, \
            launch("valgrind", preload, xvfb.display, bus.address, workdir, scrollback, valgrind) as app:
        pid = str(app.process.pid)
        start_beacon(app, scrollback)
        downs = key_downs(app.line_log)
        subprocess.run(["callgrind_control", "--instr=on", pid], check=True, capture_output=True)
        time.sleep(window)
        subprocess.run(["callgrind_control", "--instr=off", pid], check=True, capture_output=True)
        downs = key_downs(app.line_log) - downs
        subprocess.run(["callgrind_control", "--dump", pid], check=True, capture_output=True)
        app.key("Escape")
        time.sleep(2)
        app.quit(timeout=60)
    shutil.rmtree(workdir, ignore_errors=True)
    totals = callgrind_totals(folder, pid)
    print(f"callgrind, beacon \"E\" at 40 wpm, {window:.0f} s counted, {downs} key-downs; profiles in {folder}")
    for thread in sorted(totals):
        per = totals[thread] / downs if downs else float("nan")
        print(f"  thread {thread:2d}  {totals[thread]:14,d} instructions  {per:12,.0f} a key-down")
    return 0 if downs and totals else 1


def soak(program, preload, seconds, window, trace, scrollback):
    workdir = ks.new_workdir()
    data_home = os.path.join(workdir, "data")
    with ks.Xvfb() as xvfb, ks.SessionBus() as bus, \
            launch(program, preload, xvfb.display, bus.address, workdir, scrollback) as app:
        pid = app.process.pid
        start_beacon(app, scrollback)
        began = time.monotonic()
        first = Sample(pid)
        time.sleep(window)
        start = Sample(pid)
        next_trace = began + trace if trace else None
        last = start
        while time.monotonic() < began + seconds - window:
            if app.process.poll() is not None:
                raise AssertionError(f"keylark ended (status {app.process.returncode}) during the soak")
            time.sleep(1)
            if next_trace and time.monotonic() >= next_trace:
                now = Sample(pid)
                process, console = share(last, now)
                print(f"  {now.at - began:5.0f} s  RSS {now.rss / 1024:6.1f} MB  threads {now.threads}"
                      f"  fds {now.fds}  CPU {process:5.2f} %, console {console:5.2f} %", flush=True)
                last = now
                next_trace += trace
        before_end = Sample(pid)
        downs_before_end = key_downs(app.line_log)
        time.sleep(window)
        end = Sample(pid)
        still_keying = key_downs(app.line_log) > downs_before_end
        recorded = passes(data_home)
        app.key("Escape")
        time.sleep(2)  # the worker ends with its pass and is joined at once
        stopped = Sample(pid)
        status = app.quit()
    shutil.rmtree(workdir, ignore_errors=True)

    cpu_start, console_start = share(first, start)
    cpu_end, console_end = share(before_end, end)
    growth = end.rss - start.rss
    print(f"soak {end.at - first.at:.0f} s, beacon \"E\" at 40 wpm without pause, log of {scrollback} lines "
          f"(CPU over {window:.0f} s windows at each end; a shared machine, so CPU figures are noisy)")
    print(f"  resident memory  {start.rss / 1024:8.1f} MB -> {end.rss / 1024:8.1f} MB  ({growth:+d} kB)")
    print(f"  CPU, process     {cpu_start:8.2f} %  -> {cpu_end:8.2f} %  of one core")
    print(f"  CPU, console     {console_start:8.2f} %  -> {console_end:8.2f} %  of one core")
    print(f"  threads          {start.threads:8d}    -> {end.threads:8d}    ({stopped.threads} once stopped)")
    print(f"  descriptors      {start.fds:8d}    -> {end.fds:8d}")
    print(f"  passes recorded  {recorded:8d}    keyed until the end: {'yes' if still_keying else 'NO'}; "
          f"quit status {status}")
    memory_met = growth <= MEMORY_TARGET_KB
    # "No rise" within what the machine's noise allows: half a per cent of a core, or a tenth of the start.
    cpu_met = cpu_end <= cpu_start + max(0.5, cpu_start / 10)
    print(f"  target: memory growth <= 1 MB {'met' if memory_met else 'MISSED'}, "
          f"no rise in CPU share {'met' if cpu_met else 'MISSED'}, "
          f"no more threads or descriptors {'met' if end.threads <= start.threads and end.fds <= start.fds else 'MISSED'}")
    return 0 if still_keying and status == 0 else 1


def idle(program, preload, window):
    """CPU share with the window shown and nothing sent."""
    workdir = ks.new_workdir()
    with ks.Xvfb() as xvfb, ks.SessionBus() as bus, \
            launch(program, preload, xvfb.display, bus.address, workdir, 1000) as app:
        time.sleep(5)
        start = Sample(app.process.pid)
        time.sleep(window)
        cpu, console = share(start, Sample(app.process.pid))
        status = app.quit()
    shutil.rmtree(workdir, ignore_errors=True)
    print(f"idle {window:.0f} s, window shown, nothing sent: CPU, process {cpu:5.2f} %, console {console:5.2f} % "
          f"of one core; quit status {status}")
    return 0 if status == 0 else 1


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("keylark")
    parser.add_argument("fake_serial")
    parser.add_argument("--seconds", type=float, default=float(os.environ.get("SOAK_SECONDS", 600)))
    parser.add_argument("--trace", action="store_true")
    parser.add_argument("--callgrind", metavar="DIR")
    parser.add_argument("--idle", action="store_true", help="only the CPU share of a shown, idle window")
    args = parser.parse_args()
    missing = ks.missing_tools() + (["valgrind"] if args.callgrind and not shutil.which("valgrind") else [])
    if missing:
        print("soak: skipped, it needs the Debian packages " + " ".join(missing))
        return 0
    window = float(os.environ.get("SOAK_WINDOW", 30))
    window = min(window, args.seconds / 4)
    trace = float(os.environ.get("SOAK_TRACE", 60)) if args.trace else None
    scrollback = int(os.environ.get("SOAK_SCROLLBACK", 1000))
    if args.idle:
        return idle(args.keylark, args.fake_serial, window)
    if args.callgrind:
        return profile(args.keylark, args.fake_serial, window, scrollback, args.callgrind)
    return soak(args.keylark, args.fake_serial, args.seconds, window, trace, scrollback)


if __name__ == "__main__":
    sys.exit(main())
