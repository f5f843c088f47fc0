#!/usr/bin/python3
"""Reads the running browser as a screen reader does: over a private AT-SPI bus.

    atspi_browser_check.py KALDER_BINARY

Starts its own session bus (dbus-run-session) with the accessibility bus and registry on it,
runs the program on a folder on an Xvfb display of its own with Qt's AT-SPI bridge forced on, and checks that the
file list is a list whose items carry the files' names. Exits 77 (skipped) when a piece of the
set-up is missing.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

SKIP = 77
FILES = ["IMG_0011.bmp", "IMG_0012.bmp", "holiday.bmp"]


def skip(why):
    print(f"SKIP: {why}")
    sys.exit(SKIP)


def tiny_bmp():
    # 1x1, 24-bit.
    row = bytes([0x99, 0x66, 0x33, 0])
    header = b"BM" + (54 + len(row)).to_bytes(4, "little") + bytes(4) + (54).to_bytes(4, "little")
    info = (40).to_bytes(4, "little") + (1).to_bytes(4, "little") + (1).to_bytes(4, "little")
    info += (1).to_bytes(2, "little") + (24).to_bytes(2, "little") + bytes(24)
    return header + info + row


def find(node, match, depth=0):
    """The first accessible below `node` that `match` accepts (depth-first)."""
    if node is None or depth > 40:
        return None
    if match(node):
        return node
    for i in range(node.get_child_count()):
        found = find(node.get_child_at_index(i), match, depth + 1)
        if found is not None:
            return found
    return None


def dump(node, depth=0):
    """What the reader saw, for the failure report."""
    if node is None or depth > 8:
        return
    print("  " * depth + f"{node.get_role_name()} '{node.get_name()}'")
    for i in range(min(node.get_child_count(), 20)):
        dump(node.get_child_at_index(i), depth + 1)


def inside_bus(binary):
    import gi

    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi

    launcher = next((p for p in ("/usr/libexec/at-spi-bus-launcher",
                                 "/usr/lib/at-spi2-core/at-spi-bus-launcher") if os.path.exists(p)),
                    None)
    if launcher is None:
        skip("at-spi-bus-launcher not found")
    # An X server of our own on a display it picks itself (a fixed number may be taken).
    read_fd, write_fd = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24",
                             "-nolisten", "tcp"], pass_fds=(write_fd,))
    os.close(write_fd)
    with os.fdopen(read_fd) as f:
        display = f.readline().strip()
    if not display:
        xvfb.kill()
        skip("Xvfb did not start")
    bus = subprocess.Popen([launcher, "--launch-immediately"])
    work = tempfile.mkdtemp(prefix="kalder-atspi-")
    app = None
    try:
        folder = os.path.join(work, "photos")
        os.makedirs(folder)
        for name in FILES:
            with open(os.path.join(folder, name), "wb") as f:
                f.write(tiny_bmp())
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb", DISPLAY=":" + display,
                   XDG_CONFIG_HOME=os.path.join(work, "config"),
                   XDG_CACHE_HOME=os.path.join(work, "cache"),
                   XDG_DATA_HOME=os.path.join(work, "data"))
        app = subprocess.Popen([binary, folder], env=env)
        Atspi.init()
        # The program registers with the bus once its window is up; the tree is read when
        # the list carries all the files (or the program ended, or a minute went by).
        deadline = time.monotonic() + 30
        names = []
        while time.monotonic() < deadline and app.poll() is None:
            desktop = Atspi.get_desktop(0)
            ours = find(desktop, lambda n: n.get_role() == Atspi.Role.APPLICATION
                        and "kalder" in (n.get_name() or "").lower())
            files = find(ours, lambda n: n.get_role() == Atspi.Role.LIST
                         and n.get_name() == "Files") if ours else None
            if files is not None:
                items = [files.get_child_at_index(i) for i in range(files.get_child_count())]
                if all(i.get_role() == Atspi.Role.LIST_ITEM for i in items):
                    names = sorted(i.get_name() for i in items)
                    if names == sorted(FILES):
                        print("the file list reads:", ", ".join(names))
                        return 0
            time.sleep(0.2)
        print(f"FAIL: the file list's items read {names}, expected {sorted(FILES)}")
        dump(Atspi.get_desktop(0))
        return 1
    finally:
        if app is not None and app.poll() is None:
            app.terminate()
            try:
                app.wait(10)
            except subprocess.TimeoutExpired:
                app.kill()
        bus.terminate()
        bus.wait()
        xvfb.terminate()
        xvfb.wait()
        shutil.rmtree(work, ignore_errors=True)


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    binary = os.path.abspath(sys.argv[1])
    if os.environ.get("KALDER_ATSPI_INSIDE") == "1":
        return inside_bus(binary)
    try:
        import gi

        gi.require_version("Atspi", "2.0")
        from gi.repository import Atspi  # noqa: F401
    except (ImportError, ValueError):
        skip("python3-gi with the Atspi 2.0 typelib (gir1.2-atspi-2.0) is not installed")
    for tool in ("dbus-run-session", "Xvfb"):
        if shutil.which(tool) is None:
            skip(f"{tool} is not installed")
    env = dict(os.environ, KALDER_ATSPI_INSIDE="1")
    env.pop("DBUS_SESSION_BUS_ADDRESS", None)
    env.pop("AT_SPI_BUS_ADDRESS", None)
    return subprocess.call(["dbus-run-session", "--", sys.executable,
                            os.path.abspath(__file__), binary], env=env)


if __name__ == "__main__":
    sys.exit(main())
