"""Runs the real keylark under Xvfb with a stand-in serial device, for the end-to-end test and the
latency measurement. Standard library only."""

import json
import os
import shutil
import signal
import subprocess
import tempfile
import time

SKIP = 77

MORSE = {
    "A": ".-", "B": "-...", "C": "-.-.", "D": "-..", "E": ".", "F": "..-.", "G": "--.", "H": "....",
    "I": "..", "J": ".---", "K": "-.-", "L": ".-..", "M": "--", "N": "-.", "O": "---", "P": ".--.",
    "Q": "--.-", "R": ".-.", "S": "...", "T": "-", "U": "..-", "V": "...-", "W": ".--", "X": "-..-",
    "Y": "-.--", "Z": "--..", "0": "-----", "1": ".----", "2": "..---", "3": "...--", "4": "....-",
    "5": ".....", "6": "-....", "7": "--...", "8": "---..", "9": "----.", "/": "-..-.", "?": "..--..",
}
TEXT_OF = {pattern: letter for letter, pattern in MORSE.items()}


def missing_tools():
    return [tool for tool in ("Xvfb", "xdotool") if shutil.which(tool) is None]


def read_edges(log_path):
    """The recorded line changes as (seconds, bits), repeated states folded away."""
    edges = []
    try:
        with open(log_path) as log:
            for line in log:
                parts = line.split()
                if len(parts) == 2:
                    t, bits = int(parts[0]) / 1e9, int(parts[1])
                    if not edges or edges[-1][1] != bits:
                        edges.append((t, bits))
    except FileNotFoundError:
        pass
    return edges


def marks(edges, down_bits):
    """(start, length) of every key-down period, in seconds."""
    result = []
    for (t, bits), (t_next, _) in zip(edges, edges[1:]):
        if bits == down_bits:
            result.append((t, t_next - t))
    return result


def decode(edges, down_bits, wpm, tolerance=0.35):
    """Decodes key-down periods into text; returns (text, problems). Each mark and gap must be within
    tolerance (a fraction of one dit) of a whole number of dits the code allows."""
    dit = 1.2 / wpm
    periods = marks(edges, down_bits)
    problems = []
    text, letter = "", ""
    for index, (start, length) in enumerate(periods):
        units = length / dit
        if abs(units - 1) <= tolerance:
            letter += "."
        elif abs(units - 3) <= tolerance * 3:
            letter += "-"
        else:
            problems.append(f"mark of {units:.2f} dits at {start:.3f}")
        if index + 1 < len(periods):
            gap = (periods[index + 1][0] - start - length) / dit
            if abs(gap - 1) <= tolerance:
                continue
            text += TEXT_OF.get(letter, "<" + letter + ">")
            letter = ""
            if abs(gap - 3) <= tolerance * 3:
                continue
            if gap >= 7 - tolerance * 7:
                text += " "
            else:
                problems.append(f"gap of {gap:.2f} dits at {start + length:.3f}")
    if letter:
        text += TEXT_OF.get(letter, "<" + letter + ">")
    return text, problems


class Xvfb:
    def __init__(self):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            self.process.kill()
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)


class Keylark:
    """One run of the program on its own settings file and stand-in serial device."""

    def __init__(self, program, preload, display, settings, workdir, fake_path):
        self.workdir = workdir
        self.line_log = os.path.join(workdir, "line.log")
        config = os.path.join(workdir, "config", "Keylark")
        os.makedirs(config, exist_ok=True)
        with open(os.path.join(config, "settings.json"), "w") as file:
            json.dump(settings, file)
        runtime = os.path.join(workdir, "runtime")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        env = {k: v for k, v in os.environ.items() if k not in ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY")}
        env.update({
            "DISPLAY": display, "XDG_CONFIG_HOME": os.path.join(workdir, "config"),
            "XDG_RUNTIME_DIR": runtime, "QT_QPA_PLATFORM": "xcb", "LD_PRELOAD": preload,
            "KEYLARK_FAKE_SERIAL_PATH": fake_path, "KEYLARK_FAKE_SERIAL_LOG": self.line_log,
        })
        self.env = env
        self.display = display
        self.stdout_path = os.path.join(workdir, "stdout.txt")
        self.stderr_path = os.path.join(workdir, "stderr.txt")
        self.tool_env = {k: v for k, v in env.items() if k != "LD_PRELOAD"}
        self.process = subprocess.Popen([program], env=env, stdout=open(self.stdout_path, "w"),
                                        stderr=open(self.stderr_path, "w"))
        self.window = self.xdotool("search", "--sync", "--onlyvisible", "--name", "^Keylark$",
                                   timeout=20).split()[0]
        self.xdotool("windowfocus", "--sync", self.window)
        time.sleep(0.3)

    def xdotool(self, *args, timeout=10):
        return subprocess.run(["xdotool", *args], env=self.tool_env, check=True, capture_output=True, text=True,
                              timeout=timeout).stdout

    def type_text(self, text):
        self.xdotool("type", "--delay", "20", "--window", self.window, text)

    def key(self, name):
        self.xdotool("key", "--window", self.window, name)

    def edges(self):
        return read_edges(self.line_log)

    def wait_until_quiet(self, quiet=0.8, timeout=20, up_bits=0):
        """Waits until the line has been key-up and unchanged for `quiet` seconds."""
        deadline = time.monotonic() + timeout
        last_size, last_change = -1, time.monotonic()
        while time.monotonic() < deadline:
            size = os.path.getsize(self.line_log) if os.path.exists(self.line_log) else 0
            if size != last_size:
                last_size, last_change = size, time.monotonic()
            edges = self.edges()
            if edges and edges[-1][1] == up_bits and time.monotonic() - last_change >= quiet:
                return edges
            time.sleep(0.05)
        raise AssertionError("the keying line did not come to rest")

    def quit(self, timeout=15):
        if self.process.poll() is None:
            try:
                self.key("ctrl+q")
            except subprocess.SubprocessError:
                pass
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.process.send_signal(signal.SIGKILL)
            self.process.wait()
            raise AssertionError("keylark did not end after Ctrl+Q")

    def output(self):
        with open(self.stdout_path) as out, open(self.stderr_path) as err:
            return out.read(), err.read()


def new_workdir():
    return tempfile.mkdtemp(prefix="keylark-e2e-")
