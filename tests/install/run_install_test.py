#!/usr/bin/env python3
"""Installs Keylark into a staging folder with `cmake --install` and DESTDIR, and checks that every file
lands where a Linux desktop looks for it, that the desktop entry and the AppStream metadata pass their
validators, and that the installed program answers its command line without a display.

Usage: run_install_test.py BUILD_DIR SOURCE_DIR VERSION APP_ID "ICON SIZES"
Exits 0 on success, 1 on failure."""

import configparser
import gzip
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

failures = []


def check(condition, message, detail=""):
    print(("ok   " if condition else "FAIL ") + message, flush=True)
    if not condition:
        failures.append(message)
        if detail:
            print("     " + detail.strip().replace("\n", "\n     "), flush=True)


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, timeout=60, **kwargs)


def png_size(path):
    with open(path, "rb") as f:
        header = f.read(24)
    if header[:8] != b"\x89PNG\r\n\x1a\n" or header[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", header[16:24])


def check_layout(usr, app_id, sizes):
    expected = ["bin/keylark",
                f"share/applications/{app_id}.desktop",
                f"share/metainfo/{app_id}.metainfo.xml",
                f"share/icons/hicolor/scalable/apps/{app_id}.svg",
                "share/man/man1/keylark.1.gz",
                "share/doc/keylark/copyright",
                "share/doc/keylark/changelog.gz",
                "share/doc/keylark/README.Debian"]
    expected += [f"share/icons/hicolor/{s}x{s}/apps/{app_id}.png" for s in sizes]
    for path in expected:
        check(os.path.isfile(os.path.join(usr, path)), f"installed {path}")
    check(os.access(os.path.join(usr, "bin/keylark"), os.X_OK), "the program is executable")
    for s in sizes:
        path = os.path.join(usr, f"share/icons/hicolor/{s}x{s}/apps/{app_id}.png")
        if os.path.isfile(path):
            check(png_size(path) == (s, s), f"the {s}x{s} icon is a PNG of {s}x{s} pixels (is {png_size(path)})")


def check_desktop_entry(usr, app_id):
    path = os.path.join(usr, f"share/applications/{app_id}.desktop")
    if not os.path.isfile(path):
        return
    result = run(["desktop-file-validate", path])
    check(result.returncode == 0 and not result.stdout.strip(), "desktop-file-validate passes",
          result.stdout + result.stderr)
    entry = configparser.ConfigParser(interpolation=None)
    entry.optionxform = str
    entry.read(path, encoding="utf-8")
    desktop = entry["Desktop Entry"]
    command = desktop.get("Exec", "").split()[0] if desktop.get("Exec") else ""
    check(os.path.isfile(os.path.join(usr, "bin", command)), f"the menu entry starts the installed program ({command!r})")
    icon = desktop.get("Icon", "")
    check(os.path.isfile(os.path.join(usr, f"share/icons/hicolor/scalable/apps/{icon}.svg")),
          f"the menu entry's icon {icon!r} is installed")
    check("HamRadio" in desktop.get("Categories", "").split(";"), "the menu entry is in the HamRadio category")


def check_metainfo(usr, source, app_id, version):
    path = os.path.join(usr, f"share/metainfo/{app_id}.metainfo.xml")
    if not os.path.isfile(path):
        return
    result = run(["appstreamcli", "validate", "--no-net", path])
    check(result.returncode == 0, "appstreamcli validate passes", result.stdout + result.stderr)
    root = ET.parse(path).getroot()
    check(root.findtext("id") == app_id, f"the metainfo id is {app_id}")
    check(root.findtext("launchable") == f"{app_id}.desktop", "the metainfo launches the installed menu entry")
    releases = root.findall("releases/release")
    check(bool(releases) and releases[0].get("version") == version,
          f"the newest release in the metainfo is {version} (found {releases[0].get('version') if releases else None})")
    images = [i.text for i in root.findall("screenshots/screenshot/image")]
    check(bool(images) and all(os.path.isfile(os.path.join(source, "docs", os.path.basename(i))) for i in images),
          f"every screenshot in the metainfo is in docs/ ({images})")


def check_documents(usr, version):
    manual = os.path.join(usr, "share/man/man1/keylark.1.gz")
    if os.path.isfile(manual):
        result = run(["man", "--warnings", "-E", "UTF-8", "-l", "-Tutf8", "-Z", manual],
                     env=dict(os.environ, LC_ALL="C.UTF-8", MANROFFSEQ="", MANWIDTH="80"))
        check(result.returncode == 0 and not result.stderr.strip(), "the manual page formats without warnings",
              result.stderr)
    changelog = os.path.join(usr, "share/doc/keylark/changelog.gz")
    if os.path.isfile(changelog):
        with gzip.open(changelog, "rt", encoding="utf-8") as f:
            first = f.readline()
        check(first.startswith(f"keylark ({version})"), f"the newest changelog entry is {version} ({first.strip()!r})")


def check_command_line(program, version, scratch):
    if not os.path.isfile(program):
        return
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    result = run([program, "--version"], env=env)
    check(result.returncode == 0 and result.stdout == f"Keylark {version}\n",
          f"without a display, the installed program prints its version {version}",
          f"status {result.returncode}, stdout {result.stdout!r}, stderr {result.stderr!r}")
    result = run([program, "--help"], env=env)
    check(result.returncode == 0 and result.stdout.startswith("Usage: keylark") and "--settings" in result.stdout,
          "without a display, --help prints the usage", f"status {result.returncode}, {result.stdout!r}")

    os.mkdir(os.path.join(scratch, "folder"))
    open(os.path.join(scratch, "file"), "w").close()
    below_file = os.path.join(scratch, "file", "sub", "settings.json")
    for arguments, says in [(["--no-such-option"], "Unknown option 'no-such-option'"),
                            (["--settings", os.path.join(scratch, "folder")], "is a folder"),
                            (["--settings", below_file], "is not a folder"),
                            (["--settings"], "Missing value")]:
        result = run([program] + arguments, env=env)
        check(result.returncode == 2 and says in result.stderr and not result.stdout,
              f"{' '.join(arguments[:1])} ...: exits 2 and says {says!r} on standard error",
              f"status {result.returncode}, stdout {result.stdout!r}, stderr {result.stderr!r}")


def main():
    build, source, version, app_id, sizes = sys.argv[1:6]
    sizes = [int(s) for s in sizes.replace(";", " ").split()]
    stage = tempfile.mkdtemp(prefix="keylark-install-")
    try:
        result = run(["cmake", "--install", build, "--prefix", "/usr"], env=dict(os.environ, DESTDIR=stage))
        check(result.returncode == 0, "cmake --install into a staging folder", result.stdout + result.stderr)
        usr = os.path.join(stage, "usr")
        check_layout(usr, app_id, sizes)
        check_desktop_entry(usr, app_id)
        check_metainfo(usr, source, app_id, version)
        check_documents(usr, version)
        scratch = os.path.join(stage, "scratch")
        os.mkdir(scratch)
        check_command_line(os.path.join(usr, "bin/keylark"), version, scratch)
    finally:
        shutil.rmtree(stage, ignore_errors=True)
    print(f"{len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
