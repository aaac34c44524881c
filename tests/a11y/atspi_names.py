#!/usr/bin/env python3
"""Reads Quillbox's dialogs through the accessibility bus (AT-SPI), as a screen reader
does, and checks the role and name of every control against the dialog templates.

    atspi_names.py QUILLBOX CONTROLS_FILE

CONTROLS_FILE is `quillbox-pot --controls`: dialog id, role, name per control. Runs the
main dialog, then the About box (opened with its button's action). Needs a display
and a session bus with the accessibility bus (dbus-run-session; at-spi2-core).
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time
from collections import Counter

try:
    import pyatspi
except ImportError:
    print("skipped: python3-pyatspi is not installed (scripts/install-deps.sh installs it)")
    sys.exit(77)

IDD_ABOUTBOX, IDD_MAIN = "100", "102"


def expected(controls_file, dialog):
    out = Counter()
    with open(controls_file, encoding="utf-8") as f:
        for line in f:
            d, role, name = line.rstrip("\n").split("\t")
            # "[Version x]" and the like stand for a text the program puts in at run time.
            if d == dialog and not (name.startswith("[") and name.endswith("]")):
                out[(role, name)] += 1
    return out


def wait_for(what, find, seconds=60):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        found = find()
        if found is not None:
            return found
        time.sleep(0.2)
    sys.exit(f"FAIL: {what} did not appear on the accessibility bus within {seconds} s")


def application(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except Exception:
            continue
    return None


def window(app, title):
    for i in range(app.childCount):
        w = app.getChildAtIndex(i)
        if w is not None and w.name == title and w.getState().contains(pyatspi.STATE_SHOWING):
            return w
    return None


def controls(win):
    found = Counter()

    def walk(node):
        for i in range(node.childCount):
            child = node.getChildAtIndex(i)
            if child is None:
                continue
            role = {"list box": "list"}.get(child.getRoleName(), child.getRoleName())
            found[(role, child.name)] += 1
            # A list's rows and a drop-down's items are its content, not controls.
            if child.getRoleName() not in ("list", "combo box", "table", "list box"):
                walk(child)

    walk(win)
    return found


def check(win, want, what, seconds=30):
    # A dialog fills in while it opens (the icon gets its picture on the first frame):
    # read it again until it matches or the time is up.
    end = time.monotonic() + seconds
    while True:
        got = controls(win)
        missing = want - got
        if not missing or time.monotonic() > end:
            break
        time.sleep(0.3)
    if missing:
        print(f"FAIL: {what}: not found as the templates say (role, name): {sorted(missing.elements())}")
        print(f"      found: {sorted(got.elements())}")
        return False
    print(f"ok: {what}: {sum(want.values())} controls with the roles and names of the template")
    return True


def main():
    program, controls_file = sys.argv[1], sys.argv[2]
    folder = tempfile.mkdtemp(prefix="qbx-atspi-")
    try:
        # A copy of its own: the program keeps Quillbox.ini beside itself.
        exe = os.path.join(folder, "quillbox")
        shutil.copy(program, exe)
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1", LC_ALL="C.UTF-8")
        proc = subprocess.Popen([exe], env=env, cwd=folder)
        ok = True
        try:
            app = wait_for("the program", lambda: application(proc.pid))
            main_win = wait_for("the main dialog", lambda: window(app, "Quillbox"))
            ok &= check(main_win, expected(controls_file, IDD_MAIN), "main dialog")
            about = [c for c in pyatspi.findAllDescendants(main_win, lambda a: a.getRoleName() == "push button"
                                                           and a.name == "About")]
            if not about:
                sys.exit("FAIL: the main dialog has no About button")
            about[0].queryAction().doAction(0)
            about_win = wait_for("the About box", lambda: window(app, "About Quillbox"))
            ok &= check(about_win, expected(controls_file, IDD_ABOUTBOX), "About box")
        finally:
            proc.terminate()
            try:
                proc.wait(10)
            except subprocess.TimeoutExpired:
                proc.kill()
        return 0 if ok else 1
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
