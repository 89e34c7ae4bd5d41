#!/usr/bin/env python3
"""Runs a demo package under Wine and reports what happened.

    demo_run.py PACKAGE.exe OUT_DIR

Starts a Wine session of its own under OUT_DIR (Xvfb as the display), runs the
package, takes a screenshot while the progress dialog is up, waits for the
run to end, then prints the exit code, the setup program's log and what the
work folder left behind, and ends the session.
"""
import os
import subprocess
import sys
import time

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(root, "tests", "wine"))
import winesession  # noqa: E402
import wineharness  # noqa: E402

DIALOG_TITLE = "Brindlewick Technology"


def window_visible(display, title):
    """True when a window with this title is mapped and viewable (the hidden
    main window carries the same title but is never mapped)."""
    listing = subprocess.run(["xwininfo", "-root", "-tree", "-display", display],
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True).stdout
    for line in listing.splitlines():
        if f'"{title}"' not in line:
            continue
        window_id = line.split()[0]
        info = subprocess.run(["xwininfo", "-id", window_id, "-display", display],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True).stdout
        if "IsViewable" in info:
            return True
    return False


def main():
    package, out_dir = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    state = os.path.join(out_dir, "wine")
    log_path = os.path.join(out_dir, "setup.log")
    shot = os.path.join(out_dir, "progress-dialog.png")
    for stale in (log_path, shot):
        if os.path.exists(stale):
            os.remove(stale)
    winesession.start(state)
    os.environ["KESTREL_WINE_STATE"] = state
    try:
        display = wineharness.session()["display"]
        temp_root = os.path.join(wineharness.drive_c(), "windows", "temp")
        before = set(os.listdir(temp_root)) if os.path.isdir(temp_root) else set()
        started = time.time()
        process = wineharness.start([package], extra_env={"KESTREL_DEMO_LOG": wineharness.to_windows(log_path)})
        took_shot = False
        while process.poll() is None and time.time() - started < 300:
            if not took_shot and window_visible(display, DIALOG_TITLE):
                time.sleep(0.3)  # let the dialog paint its texts
                subprocess.run(["import", "-display", display, "-window", "root", shot],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                took_shot = os.path.exists(shot)
            time.sleep(0.05)
        code = process.wait(timeout=60)
        wineharness.wait_idle()
        elapsed = time.time() - started
        after = set(os.listdir(temp_root)) if os.path.isdir(temp_root) else set()
        print(f"package: {package}")
        print(f"exit code: {code} after {elapsed:.1f} s")
        print("progress dialog screenshot: " + (shot if took_shot else "(the dialog was not seen)"))
        if os.path.exists(log_path):
            print("the setup program's log:")
            with open(log_path, errors="replace") as f:
                for line in f:
                    print("  " + line.rstrip())
        else:
            print("the setup program wrote no log")
        left = sorted(name for name in after - before if name.upper().startswith("KSV"))
        print("work folders left under C:\\windows\\temp: " + (", ".join(left) if left else "none"))
        return 0 if code == 0 and os.path.exists(log_path) else 1
    finally:
        winesession.stop(state)


if __name__ == "__main__":
    sys.exit(main())
