#!/usr/bin/env python3
"""End-to-end check of keylark through the real accessibility bus, as a screen reader such as Orca reads
it: the program under Xvfb on a private session bus with its own AT-SPI bus, read with pyatspi. Every
control of the console must have a name, and a function key's transmission must reach the bus as the
announcements of its start and its end.

Usage: run_accessibility.py KEYLARK FAKE_SERIAL_LIBRARY
Exits 0 on success, 1 on failure, 77 (skipped) when a tool it needs is missing, saying which."""

import os
import shutil
import subprocess
import sys
import time

import keylark_session as ks

LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
DEBIAN_PYTHON = "/usr/bin/python3"
WPM = 20
DOWN, UP = 2, 4  # as in run_e2e.py: DTR keys, RTS reversed
failures = []

# The roles a screen reader announces as something to act on, as AT-SPI names them.
INTERACTIVE = {"push button", "toggle button", "check box", "radio button", "combo box", "entry", "text",
               "spin button", "slider", "page tab", "page tab list", "list", "tree", "table", "tree table",
               "menu item", "check menu item", "radio menu item", "link", "password text"}
# What a reader hears of: announcements, renamed objects, the focus and text as it changes.
EVENTS = ("object:state-changed:showing", "object:property-change:accessible-name", "object:state-changed:focused",
          "object:text-changed:insert", "object:text-changed:delete")
# Their rows and cells are data, named by what they show.
DATA_VIEWS = {"list", "tree", "table", "tree table"}


def check(condition, message):
    print(("ok   " if condition else "FAIL ") + message, flush=True)
    if not condition:
        failures.append(message)


def import_atspi():
    """pyatspi, from this interpreter or Debian's own, which python3-pyatspi installs into."""
    try:
        import gi
        gi.require_version("Atspi", "2.0")
        import pyatspi
        return pyatspi
    except (ImportError, ValueError):
        if os.path.exists(DEBIAN_PYTHON) and os.path.realpath(sys.executable) != os.path.realpath(DEBIAN_PYTHON):
            os.execv(DEBIAN_PYTHON, [DEBIAN_PYTHON, *sys.argv])
        return None


def missing_tools():
    missing = ks.missing_tools()
    if not os.path.exists(LAUNCHER):
        missing.append("at-spi2-core")
    return missing


class AccessibilityBus:
    """The AT-SPI bus a desktop session starts, started on the test's own session bus."""

    def __init__(self, display, bus):
        env = ks.isolated_environment()
        env.update({"DISPLAY": display, "DBUS_SESSION_BUS_ADDRESS": bus})
        self.process = subprocess.Popen([LAUNCHER, "--launch-immediately", "--a11y=1"], env=env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                              "org.a11y.Bus.GetAddress"], env=env, capture_output=True).returncode != 0:
            if time.monotonic() > deadline or self.process.poll() is not None:
                self.stop()
                raise RuntimeError("at-spi-bus-launcher did not start")
            time.sleep(0.1)

    def stop(self):
        # The launcher ends the accessibility bus and its registry with it.
        self.process.terminate()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


def pump(seconds):
    from gi.repository import GLib
    context = GLib.MainContext.default()
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if not context.iteration(False):
            time.sleep(0.01)


def find_application(pyatspi, pid, timeout=20):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for index in range(desktop.childCount):
            application = desktop.getChildAtIndex(index)
            try:
                if application is not None and application.get_process_id() == pid:
                    return application
            except Exception:
                continue
        pump(0.2)
    return None


def find_console(application, timeout=10):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        for index in range(application.childCount):
            window = application.getChildAtIndex(index)
            if window is not None and window.name == "Keylark":
                return window
        pump(0.2)
    return None


def wait_until_quiet(app, quiet=0.8, timeout=20):
    """The line's edges once it has been key-up and unchanged for `quiet` seconds, taking up the bus's
    events meanwhile, as a reader does: it asks a region for its name when it takes up the region's event."""
    deadline = time.monotonic() + timeout
    last, changed = None, time.monotonic()
    while time.monotonic() < deadline:
        pump(0.02)
        edges = app.edges()
        if edges != last:
            last, changed = edges, time.monotonic()
        if edges and edges[-1][1] == UP and time.monotonic() - changed >= quiet:
            return edges
    raise AssertionError("the keying line did not come to rest")


def controls(node, path="", depth=0):
    """(role, name, path) of every interactive node below node."""
    found = []
    if node is None or depth > 40:
        return found
    role = node.getRoleName()
    here = f"{path}/{role}:{node.name!r}"
    if role in INTERACTIVE:
        found.append((role, node.name, here))
    if role in DATA_VIEWS:
        return found
    for index in range(node.childCount):
        found.extend(controls(node.getChildAtIndex(index), here, depth + 1))
    return found


def settings(device):
    return {"wpm": WPM, "serialDevice": device, "serialDTR": True, "serialRTS": True, "serialRTSReverse": True,
            "transmitKeyEquiv": True, "messageG1F1": "tu $M", "messageG1LabelF1": "TU", "macroM": "ab1cd"}


def run(program, preload):
    pyatspi = import_atspi()
    if pyatspi is None:
        print("SKIPPED: the accessibility check needs the Debian packages python3-pyatspi gir1.2-atspi-2.0")
        return ks.SKIP
    missing = missing_tools()
    if missing:
        print("SKIPPED: the accessibility check needs the Debian packages " + " ".join(missing))
        return ks.SKIP

    with ks.Xvfb() as xvfb, ks.SessionBus() as bus:
        a11y = AccessibilityBus(xvfb.display, bus.address)
        try:
            # pyatspi finds the accessibility bus through the session bus it is given when first used.
            os.environ["DBUS_SESSION_BUS_ADDRESS"] = bus.address
            os.environ["DISPLAY"] = xvfb.display
            heard = []

            def listen(event):
                try:
                    role = event.source.getRoleName()
                    name = event.source.name
                    if event.type.startswith("object:text-changed"):
                        name += f" <- {event.any_data!r}"
                except Exception:
                    return
                heard.append((event.type, role, name, event.detail1, time.monotonic()))

            pyatspi.Registry.registerEventListener(listen, *EVENTS)
            workdir = ks.new_workdir()
            device = os.path.join(workdir, "ttyFAKE0")
            with ks.Keylark(program, preload, xvfb.display, settings(device), workdir, device, bus.address,
                            extra_env={"QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"}) as app:
                application = find_application(pyatspi, app.process.pid)
                check(application is not None, "keylark registers on the accessibility bus")
                if application is None:
                    return 1
                console = find_console(application)
                check(console is not None, "the console window is in keylark's accessible tree")
                if console is None:
                    return 1
                found = controls(console)
                unnamed = [path for role, name, path in found if not name.strip()]
                check(len(found) > 30, f"the console shows its controls to a reader ({len(found)} found)")
                check(not unnamed, f"every control of the console has a name {unnamed[:5]}")
                by_name = {name for _, name, _ in found}
                for expected in ("Text to send", "Call", "RST", "Log", "F1, TU", "Speed up", "Clear Text to send"):
                    check(expected in by_name, f"a control is named {expected!r}")

                pump(0.5)
                heard.clear()
                app.key("F1")
                edges = wait_until_quiet(app)
                pump(0.5)
                text, _ = ks.decode(edges, DOWN, WPM)
                check(text == "TU AB1CD", f"F1 keys its message (decoded {text!r})")
                announced = [(kind, role, name) for kind, role, name, detail, _ in heard
                             if kind == "object:state-changed:showing" and detail == 1
                             and role in ("notification", "alert")]
                names = [name for _, _, name in announced]
                check("Sending TU AB1CD" in names, f"the start reaches the bus as an announcement {names}")
                check("Sent TU AB1CD" in names, f"the end reaches the bus as an announcement {names}")
                if "Sending TU AB1CD" in names and "Sent TU AB1CD" in names:
                    check(names.index("Sending TU AB1CD") < names.index("Sent TU AB1CD"), "start before end")
                print("What the accessibility bus carried while F1 was sent (seconds after the first event):")
                for kind, role, name, detail, when in heard:
                    if role != "label":  # the clock and the badge rename themselves as they change
                        print(f"    {when - heard[0][4]:6.3f}  {kind} ({detail}) {role} {name!r}")
                app.quit()
            shutil.rmtree(workdir, ignore_errors=True)
        finally:
            pyatspi.Registry.deregisterEventListener(listen, *EVENTS)
            a11y.stop()
    print(f"{len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(run(sys.argv[1], sys.argv[2]))
