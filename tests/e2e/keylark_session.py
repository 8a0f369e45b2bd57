"""Runs the real keylark under Xvfb with a stand-in serial device, for the end-to-end test and the
latency measurement. Standard library only."""

import ctypes
import json
import os
import shutil
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


# The Debian package of each program the harness runs.
TOOLS = {"Xvfb": "xvfb", "xdotool": "xdotool", "dbus-daemon": "dbus-daemon"}

# Where a desktop session would reach the program under test: its buses, its accessibility bus, its theme,
# style and input-method settings.
SESSION_PREFIXES = ("QT_", "DBUS_", "AT_SPI_", "XDG_", "GTK_")
SESSION_NAMES = ("DISPLAY", "WAYLAND_DISPLAY", "SESSION_MANAGER", "XMODIFIERS", "DESKTOP_SESSION")

BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir={directory}</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""


def missing_tools():
    """The Debian packages of the programs the harness needs and cannot find."""
    return [package for tool, package in TOOLS.items() if shutil.which(tool) is None]


def isolated_environment():
    """This process's environment without the desktop session it may run in, and with no session bus."""
    env = {k: v for k, v in os.environ.items() if not k.startswith(SESSION_PREFIXES) and k not in SESSION_NAMES}
    env["DBUS_SESSION_BUS_ADDRESS"] = "disabled:"
    return env


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
        # -noreset: else the server resets whenever its last client leaves, as each program under test does,
        # and refuses whoever connects meanwhile.
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x800x24", "-nolisten", "tcp", "-noreset"],
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

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.stop()


class SessionBus:
    """A private D-Bus session bus, so that neither the developer's own bus nor one that dbus-x11 would
    start for the display changes the program's timing. It starts no services on demand: a test starts
    what it needs on it itself."""

    def __init__(self):
        self.directory = tempfile.mkdtemp(prefix="keylark-bus-")
        config = os.path.join(self.directory, "session.conf")
        with open(config, "w") as file:
            file.write(BUS_CONFIG.format(directory=self.directory))
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["dbus-daemon", "--nofork", "--nopidfile", "--config-file=" + config, f"--print-address={write_end}"],
            pass_fds=(write_end,), env=isolated_environment(), stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            self.address = pipe.readline().strip()
        if not self.address:
            self.stop()
            raise RuntimeError("dbus-daemon did not start")

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)
        shutil.rmtree(self.directory, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.stop()


class XKeyboard:
    """A connection of the test's own to the X display that focuses a window and presses a key in it at
    once: starting a program for it (xdotool) takes half a second and more on a loaded 2-core machine."""

    def __init__(self, display):
        self.x11, self.xtst = ctypes.CDLL("libX11.so.6"), ctypes.CDLL("libXtst.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x11.XSetInputFocus.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_ulong]
        self.x11.XStringToKeysym.restype = ctypes.c_ulong
        self.x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.x11.XKeysymToKeycode.restype = ctypes.c_ubyte
        self.x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        self.display = self.x11.XOpenDisplay(display.encode())
        if not self.display:
            raise RuntimeError(f"cannot open the X display {display}")

    def press(self, window, key):
        """Returns once the X server has taken the key."""
        revert_to_parent = 2
        self.x11.XSetInputFocus(self.display, int(window), revert_to_parent, 0)
        code = self.x11.XKeysymToKeycode(self.display, self.x11.XStringToKeysym(key.encode()))
        for down in (True, False):
            self.xtst.XTestFakeKeyEvent(self.display, code, down, 0)
        self.x11.XSync(self.display, False)

    def close(self):
        self.x11.XCloseDisplay(self.display)


class Keylark:
    """One run of the program on its own settings file and stand-in serial device, on the given session
    bus address or with none."""

    def __init__(self, program, preload, display, settings, workdir, fake_path, bus="disabled:", extra_env=None,
                 settle=0.3, arguments=(), first_key=None, on_shown=None):
        """first_key, when given, is pressed as soon as the window shows, after on_shown has run; sent is when
        the X server had it."""
        self.workdir = workdir
        self.line_log = os.path.join(workdir, "line.log")
        config = os.path.join(workdir, "config", "Keylark")
        os.makedirs(config, exist_ok=True)
        with open(os.path.join(config, "settings.json"), "w") as file:
            json.dump(settings, file)
        runtime = os.path.join(workdir, "runtime")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        env = isolated_environment()
        env.update({
            "DISPLAY": display, "DBUS_SESSION_BUS_ADDRESS": bus, "XDG_CONFIG_HOME": os.path.join(workdir, "config"),
            "XDG_DATA_HOME": os.path.join(workdir, "data"), "XDG_RUNTIME_DIR": runtime, "QT_QPA_PLATFORM": "xcb", "LD_PRELOAD": preload,
            "KEYLARK_FAKE_SERIAL_PATH": fake_path, "KEYLARK_FAKE_SERIAL_LOG": self.line_log,
        })
        env.update(extra_env or {})
        self.env = env
        self.display = display
        self.stdout_path = os.path.join(workdir, "stdout.txt")
        self.stderr_path = os.path.join(workdir, "stderr.txt")
        self.tool_env = {k: v for k, v in env.items() if k != "LD_PRELOAD"}
        keyboard = XKeyboard(display) if first_key else None
        self.process = subprocess.Popen([program, *arguments], env=env, stdout=open(self.stdout_path, "w"),
                                        stderr=open(self.stderr_path, "w"))
        try:
            self.window = self.own_window(timeout=20)
            self.shown = time.monotonic()
            if on_shown:
                on_shown()
            if keyboard:
                keyboard.press(self.window, first_key)
                self.sent = time.monotonic()
            else:
                self.xdotool("windowfocus", "--sync", self.window)
        except BaseException:
            self.end()
            raise
        finally:
            if keyboard:
                keyboard.close()
        time.sleep(settle)

    def windows(self, *criteria):
        """This run's windows that meet all the xdotool search criteria (a name pattern goes last): never
        another program's window."""
        found = subprocess.run(["xdotool", "search", "--all", "--pid", str(self.process.pid), *criteria],
                               env=self.tool_env, capture_output=True, text=True, timeout=10)
        return found.stdout.split()

    def wait_for_window(self, name, timeout=10):
        """The first of this run's visible windows whose name matches, once it shows."""
        deadline = time.monotonic() + timeout
        while not (found := self.windows("--onlyvisible", "--name", name)):
            if time.monotonic() > deadline:
                raise AssertionError(f"no window named {name} showed")
            time.sleep(0.05)
        return found[0]

    def own_window(self, timeout):
        """The console window of this run, once it is shown; in practice mode its title says so."""
        deadline = time.monotonic() + timeout
        while not (found := self.windows("--onlyvisible", "--name", "^Keylark( — Practice)?$")):
            if self.process.poll() is not None:
                raise AssertionError(f"keylark ended (status {self.process.returncode}) before its window showed")
            if time.monotonic() > deadline:
                raise AssertionError("keylark's window did not show")
            time.sleep(0.05)
        return found[0]

    def end(self, timeout=10):
        """Kills the program if it still runs and waits until it and its windows are gone, so that nothing
        of it remains when the next run starts."""
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait()
        deadline = time.monotonic() + timeout
        while self.windows():
            if time.monotonic() > deadline:
                raise AssertionError("keylark's windows outlived it")
            time.sleep(0.05)

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.end()

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
        """Presses Ctrl+Q and returns the exit status once the program and its windows are gone."""
        if self.process.poll() is None:
            try:
                self.xdotool("keydown", "--window", self.window, "ctrl+q")
            except subprocess.SubprocessError:
                pass
            # The window may be gone before the keys come up, and a key left down in the X server repeats
            # into whatever window has the focus next: release them without naming a window.
            self.xdotool("keyup", "ctrl+q")
        try:
            status = self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.end()
            raise AssertionError("keylark did not end after Ctrl+Q")
        self.end()
        return status

    def output(self):
        with open(self.stdout_path) as out, open(self.stderr_path) as err:
            return out.read(), err.read()


def new_workdir():
    return tempfile.mkdtemp(prefix="keylark-e2e-")
