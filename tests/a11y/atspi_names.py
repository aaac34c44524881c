#!/usr/bin/env python3
"""Reads Quillbox's dialogs through the accessibility bus (AT-SPI), as a screen reader
does, and checks the role and name of every control against the dialog templates.

    atspi_names.py QUILLBOX CONTROLS_FILE PRINTER_SIM

CONTROLS_FILE is `quillbox-pot --controls`: dialog id, role, name per control. Against a
simulated printer of its own (PRINTER_SIM on a port the system picks, its answers slowed
so a transfer takes a few seconds) it walks every dialog: the main dialog, Printers
Found, the file list, Save As, the progress dialog (whose bar is named after the file
being retrieved and whose status a reader sees change), the deletion question and the
About box. Needs a display and a session bus with the accessibility bus
(dbus-run-session; at-spi2-core).
"""
import os
import re
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

IDD_ABOUTBOX, IDD_MAIN, IDD_RETRIEVE, IDD_PROGRESS, IDD_CONFIRM, IDD_FIND = "100", "102", "129", "130", "132", "133"
USER = "1234"
# Three scans of the user; each takes about two seconds and a half to come at 200 KB/s.
SCAN_BYTES, TRICKLE = 500000, "4000/20"


def expected(controls_file, dialog):
    out = Counter()
    with open(controls_file, encoding="utf-8") as f:
        for line in f:
            d, role, name = line.rstrip("\n").split("\t")
            # "[Version x]" and an empty static stand for a text the program puts in at
            # run time.
            runtime = (name.startswith("[") and name.endswith("]")) or (role == "label" and not name)
            if d == dialog and not runtime:
                out[(role, name)] += 1
    return out


def wait_for(what, find, seconds=60, quiet=False):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        found = find()
        if found is not None:
            return found
        time.sleep(0.2)
    if quiet:
        return None
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
    """The showing window called title (a callable: whose title it accepts)."""
    accepts = title if callable(title) else (lambda name: name == title)
    for i in range(app.childCount):
        w = app.getChildAtIndex(i)
        try:
            if w is not None and accepts(w.name) and w.getState().contains(pyatspi.STATE_SHOWING):
                return w
        except Exception:
            continue  # a window that went away while it was read
    return None


def gone(app, title):
    return True if window(app, title) is None else None


def find(node, role, name=None):
    """The first control of role (and name) below node, not looking inside lists."""
    for i in range(node.childCount):
        c = node.getChildAtIndex(i)
        if c is None:
            continue
        if c.getRoleName() == role and (name is None or c.name == name):
            return c
        if c.getRoleName() not in ("list", "tree", "table", "combo box"):
            found = find(c, role, name)
            if found is not None:
                return found
    return None


def press(app, title, name):
    """Presses a button of the window called title; a window made anew meanwhile (the
    file list after a transfer) is looked up again."""

    def pressed():
        try:
            win = window(app, title)
            button = find(win, "push button", name) if win is not None else None
            if button is not None and button.queryAction().doAction(0):
                return True
        except Exception:
            pass  # gone while it was read: look again
        return None

    if wait_for(f'the button "{name}" in "{title}"', pressed, 20, quiet=True) is None:
        shown = []
        for i in range(app.childCount):
            w = app.getChildAtIndex(i)
            if w is not None:
                shown.append((w.name, [c.name for c in (w.getChildAtIndex(k) for k in range(w.childCount)) if c]))
        sys.exit(f'FAIL: no button "{name}" to press in "{title}"; the windows: {shown}')


def labelled_by(acc):
    for relation in acc.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY and relation.getNTargets():
            return relation.getTarget(0).name
    return None


def announced(child):
    """The role and name a reader announces for a control."""
    role = {"list box": "list"}.get(child.getRoleName(), child.getRoleName())
    name = (child.name or "").replace("\n", " ")
    # Qt on Linux names a drop-down list by its current item and ties its label to it by
    # a relation, which a reader announces with it.
    if role == "combo box":
        name = labelled_by(child) or name
    return role, name


def controls(win):
    found = Counter()

    def walk(node):
        for i in range(node.childCount):
            child = node.getChildAtIndex(i)
            if child is None:
                continue
            found[announced(child)] += 1
            # A list's rows and a drop-down's items are its content, not controls.
            if child.getRoleName() not in ("list", "combo box", "table", "list box"):
                walk(child)

    walk(win)
    return found


def check(win, want, what, seconds=30):
    # A progress bar is named after its dialog's caption as the program shows it now.
    for (role, name), n in list(want.items()):
        if role == "progress bar":
            del want[(role, name)]
            want[(role, win.name)] += n
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


def start_printer(sim, folder):
    """A simulated printer with the user's scans, on a port of its own; its port."""
    images = os.path.join(folder, "store", "DXR", "Images")
    os.makedirs(images)
    for i in range(3):
        with open(os.path.join(images, f"{USER}(00{i + 1})(2026120709300{i}).TIF"), "wb") as f:
            f.write(bytes((i * 7 + k) % 251 for k in range(SCAN_BYTES)))
    log_path = os.path.join(folder, "printer.log")
    with open(log_path, "w") as log:
        proc = subprocess.Popen([sim, "--root", os.path.join(folder, "store"), "--port", "0", "--trickle", TRICKLE,
                                 "--apply-to", "upload"], stdout=log, stderr=subprocess.STDOUT)

    def port():
        with open(log_path, encoding="utf-8", errors="replace") as f:
            m = re.search(r"listening on 127\.0\.0\.1 port (\d+)", f.read())
        if m:
            return m.group(1)
        if proc.poll() is not None:
            sys.exit("FAIL: the simulated printer ended: " + open(log_path).read())
        return None

    return proc, wait_for("the simulated printer", port)


def progress_dialog(app, progress_win, want):
    """The progress dialog's controls, its bar's name, and its status as it changes."""
    ok = check(progress_win, want, "progress dialog")
    title = progress_win.name
    bar = find(progress_win, "progress bar")
    if not title.startswith("Retrieving") or USER not in title or bar is None or bar.name != title:
        print(f"FAIL: the progress bar is announced as {bar.name if bar else None!r}, "
              f"not as the dialog's caption {title!r} (the file being retrieved)")
        ok = False
    # The figures are labels whose names are the texts shown: a reader sees each new
    # one. Two different byte counts while the file comes are enough.
    counts = set()
    # Each figure is read with its caption: the value's label is the caption before it.
    read_with = {"Status:": None, "Time Left:": None}
    end = time.monotonic() + 30
    while len(counts) < 2 and time.monotonic() < end and window(app, title) is not None:
        try:
            for i in range(progress_win.childCount):
                child = progress_win.getChildAtIndex(i)
                if child is None or child.getRoleName() != "label":
                    continue
                m = re.match(r"(\d+)\s+of %d\b" % SCAN_BYTES, child.name)
                if m:
                    counts.add(m.group(1))
                    read_with["Status:"] = labelled_by(child)
                elif re.match(r"\d+:\d+:\d+$", child.name):
                    read_with["Time Left:"] = labelled_by(child)
        except Exception:
            break  # the dialog closed as it was read
        time.sleep(0.1)
    for caption, value in read_with.items():
        if value != caption:
            print(f"FAIL: the progress dialog's {caption!r} value is not read with its caption (labelled by {value!r})")
            ok = False
    if len(counts) < 2:
        print(f"FAIL: the progress dialog's status was not seen to change (byte counts read: {sorted(counts)})")
        ok = False
    else:
        print(f"ok: progress dialog: the status reads as it changes ({len(counts)} byte counts seen)")
    return ok


def main():
    program, controls_file, sim = sys.argv[1], sys.argv[2], sys.argv[3]
    want = {d: expected(controls_file, d)
            for d in (IDD_ABOUTBOX, IDD_MAIN, IDD_RETRIEVE, IDD_PROGRESS, IDD_CONFIRM, IDD_FIND)}
    folder = tempfile.mkdtemp(prefix="qbx-atspi-")
    printer = proc = None
    try:
        printer, port = start_printer(sim, folder)
        # A copy of its own: the program keeps Quillbox.ini beside itself.
        exe = os.path.join(folder, "quillbox")
        shutil.copy(program, exe)
        saved = os.path.join(folder, "saved")
        os.makedirs(saved)
        with open(os.path.join(folder, "Quillbox.ini"), "w") as f:
            f.write(f"[NetInfo]\nRemoteIP=127.0.0.1\nRemotePort={port}\n[MiscData]\nSaveDir={saved}\n"
                    "[QBXConfig]\nAutoDelete=no\nSettleTime=0\n")
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1", LC_ALL="C.UTF-8")
        proc = subprocess.Popen([exe], env=env, cwd=folder)
        ok = True
        app = wait_for("the program", lambda: application(proc.pid))
        main_win = wait_for("the main dialog", lambda: window(app, "Quillbox"))
        ok &= check(main_win, want[IDD_MAIN], "main dialog")

        press(app, "Quillbox", "Find Printer\u2026")
        find_win = wait_for("Printers Found", lambda: window(app, "Printers Found"))
        ok &= check(find_win, want[IDD_FIND], "Printers Found")
        press(app, "Printers Found", "Cancel")
        wait_for("Printers Found to close", lambda: gone(app, "Printers Found"))

        user = find(main_win, "text", "User ID from Scanner:")
        user.queryEditableText().setTextContents(USER)
        press(app, "Quillbox", "OK")
        list_win = wait_for("the file list", lambda: window(app, "Retrieve Scanned Files"))
        ok &= check(list_win, want[IDD_RETRIEVE], "file list")

        def first_file():
            try:
                list_win = window(app, "Retrieve Scanned Files")
                files = find(list_win, "list", "Files:") if list_win is not None else None
                return files.getChildAtIndex(0) if files is not None and files.childCount else None
            except Exception:
                return None  # the list was being filled again

        def select_first():
            # Its action toggles the row's selection; a list filled again meanwhile (after
            # a transfer) has lost it: toggle once more.
            def selected():
                row = first_file()
                if row is None:
                    return None
                if row.getState().contains(pyatspi.STATE_SELECTED):
                    return row
                row.queryAction().doAction(0)
                time.sleep(0.5)
                return row if row.getState().contains(pyatspi.STATE_SELECTED) else None

            wait_for("a selected file in the list", selected, 20)

        select_first()
        press(app, "Retrieve Scanned Files", "Retrieve")
        save_as = wait_for("Save As", lambda: window(app, "Save As"))
        name = wait_for("the file name field", lambda: find(save_as, "text", "File name:"), 10)
        if not name.queryText().getText(0, -1):
            name.queryEditableText().setTextContents("scan.TIF")
        press(app, "Save As", "Save")
        # Its caption names the file once the transfer starts.
        progress_win = wait_for("the progress dialog",
                                lambda: window(app, lambda t: t.startswith("Retrieving") and USER in t))
        ok &= progress_dialog(app, progress_win, want[IDD_PROGRESS])
        wait_for("the transfer to end", lambda: gone(app, lambda t: t.startswith("Retrieving")))

        select_first()
        press(app, "Retrieve Scanned Files", "Delete")
        confirm = wait_for("the deletion question", lambda: window(app, "Confirm File Deletion"))
        ok &= check(confirm, want[IDD_CONFIRM], "deletion question")
        press(app, "Confirm File Deletion", "No")
        wait_for("the deletion question to close", lambda: gone(app, "Confirm File Deletion"))

        press(app, "Retrieve Scanned Files", "Close")
        press(app, "Quillbox", "About")
        about_win = wait_for("the About box", lambda: window(app, "About Quillbox"))
        ok &= check(about_win, want[IDD_ABOUTBOX], "About box")
        return 0 if ok else 1
    finally:
        for p in (proc, printer):
            if p is None:
                continue
            p.terminate()
            try:
                p.wait(10)
            except subprocess.TimeoutExpired:
                p.kill()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
