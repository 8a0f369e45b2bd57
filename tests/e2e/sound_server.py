#!/usr/bin/env python3
"""A private sound server with one null sink, for the sidetone's end-to-end test and bench: PulseAudio, or
PipeWire with its PulseAudio service. Each runs in a folder of its own (its XDG_RUNTIME_DIR and HOME), on a
D-Bus session bus of its own where it needs one, so nothing else on the machine hears it or is heard by it,
and no user session is needed.

Usage: sound_server.py pulseaudio|pipewire COMMAND [ARGUMENTS...]
Runs the command with PULSE_SERVER and PULSE_SINK set to the server and its sink, and
KEYLARK_SOUND_SERVER to its name; exits with the command's status, or 77 (skipped, saying why) when a
program it needs is missing."""

import os
import shutil
import subprocess
import sys
import tempfile
import time

import keylark_session as ks

RATE = 48000
SINK = "keylark_null"
# The Debian package of each program a server needs.
PROGRAMS = {
    "pulseaudio": {"pulseaudio": "pulseaudio", "pactl": "pulseaudio-utils", "parecord": "pulseaudio-utils"},
    "pipewire": {"pipewire": "pipewire", "wireplumber": "wireplumber", "pipewire-pulse": "pipewire-pulse",
                 "pactl": "pulseaudio-utils", "parecord": "pulseaudio-utils", "dbus-daemon": "dbus-daemon"},
}


# PipeWire's own settings for a virtual machine, whose processors it shares with other machines' work: a
# graph cycle of 1024 samples instead of 256, as a cycle may start some milliseconds late. PipeWire applies
# them itself where it can tell it runs in one, which it cannot from inside a container.
VM_CONFIG = {
    "pipewire.conf.d/keylark-vm.conf": "context.properties = { default.clock.min-quantum = 1024 }\n",
    "pipewire-pulse.conf.d/keylark-vm.conf": "pulse.properties = { pulse.min.quantum = 1024/48000 }\n",
}


def on_virtual_machine():
    """The processor says it runs under a hypervisor."""
    try:
        with open("/proc/cpuinfo") as cpuinfo:
            return any(line.startswith("flags") and " hypervisor" in line for line in cpuinfo)
    except OSError:
        return False


def missing_packages(name):
    return sorted({package for program, package in PROGRAMS[name].items() if shutil.which(program) is None})


class SoundServer:
    """Started on construction, ended by stop(); env is what a client needs to reach it."""

    def __init__(self, name):
        self.name = name
        self.directory = tempfile.mkdtemp(prefix=f"keylark-{name}-")
        self.bus = None
        self.processes = []
        self.log = open(os.path.join(self.directory, "server.log"), "w")
        self.base_env = dict(ks.isolated_environment(), HOME=self.directory, XDG_RUNTIME_DIR=self.directory,
                             XDG_CONFIG_HOME=os.path.join(self.directory, "config"),
                             XDG_STATE_HOME=os.path.join(self.directory, "state"))
        try:
            socket = self.start_pulseaudio() if name == "pulseaudio" else self.start_pipewire()
            self.env = dict(self.base_env, PULSE_SERVER="unix:" + socket, PULSE_SINK=SINK,
                            KEYLARK_SOUND_SERVER=name)
            self.wait_until_ready()
        except BaseException:
            self.stop()
            raise

    def spawn(self, *command):
        self.processes.append(subprocess.Popen(command, env=self.base_env, stdout=self.log, stderr=self.log))

    def start_pulseaudio(self):
        socket = os.path.join(self.directory, "pulse.sock")
        self.spawn("pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                   "--log-target=stderr", f"--load=module-null-sink sink_name={SINK} rate={RATE} channels=1",
                   "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket)
        return socket

    def start_pipewire(self):
        if on_virtual_machine():
            self.write_config(VM_CONFIG)
        # WirePlumber links streams to sinks and will not run without a session bus.
        self.bus = ks.SessionBus()
        self.base_env["DBUS_SESSION_BUS_ADDRESS"] = self.bus.address
        # The other two give up at once when PipeWire does not answer yet.
        self.spawn("pipewire")
        deadline = time.monotonic() + 20
        while not os.path.exists(os.path.join(self.directory, "pipewire-0")):
            if self.processes[0].poll() is not None or time.monotonic() > deadline:
                self.fail("did not start")
            time.sleep(0.02)
        self.spawn("wireplumber")
        self.spawn("pipewire-pulse")
        return os.path.join(self.directory, "pulse", "native")

    def fail(self, what):
        """Raises, with the server's last words: its folder goes when it stops."""
        self.log.flush()
        with open(self.log.name) as log:
            tail = "".join(log.readlines()[-15:])
        raise RuntimeError(f"{self.name} {what}:\n{tail}")

    def write_config(self, files):
        for name, text in files.items():
            path = os.path.join(self.base_env["XDG_CONFIG_HOME"], "pipewire", name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w") as file:
                file.write(text)

    def pactl(self, *arguments):
        return subprocess.run(["pactl", *arguments], env=self.env, capture_output=True, text=True, timeout=10)

    def wait_until_ready(self, timeout=20):
        deadline = time.monotonic() + timeout
        while self.pactl("info").returncode != 0:
            if any(p.poll() is not None for p in self.processes) or time.monotonic() > deadline:
                self.fail("did not start")
            time.sleep(0.05)
        if self.name == "pipewire":
            self.pactl("load-module", "module-null-sink", f"sink_name={SINK}", f"rate={RATE}", "channels=1")
        while SINK not in self.pactl("list", "short", "sinks").stdout:
            if time.monotonic() > deadline:
                self.fail("made no null sink")
            time.sleep(0.05)

    def stop(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        if self.bus:
            self.bus.stop()
        self.log.close()
        shutil.rmtree(self.directory, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.stop()


def main():
    name, command = sys.argv[1], sys.argv[2:]
    missing = missing_packages(name)
    if missing:
        print(f"SKIPPED: {name} needs the Debian packages " + " ".join(missing), flush=True)
        return ks.SKIP
    with SoundServer(name) as server:
        return subprocess.run(command, env=dict(os.environ, **server.env)).returncode


if __name__ == "__main__":
    sys.exit(main())
