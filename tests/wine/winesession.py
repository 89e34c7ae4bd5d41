#!/usr/bin/env python3
"""Starts and stops the Wine session that the Wine tests of one build share.

    winesession.py start STATE_DIR    Xvfb on a free display, a WINEPREFIX of
                                      our own under STATE_DIR, wineboot
    winesession.py stop STATE_DIR     our wineserver and our Xvfb, nothing else

The session is described in STATE_DIR/session.json, which wineharness.py reads.
Only what this script started is ended: the Xvfb by its process id, the
wineserver through `wineserver -k` under our own prefix.
"""
import json
import os
import signal
import subprocess
import sys
import time

BOOT_TIMEOUT_S = 180


def base_env(state_dir, display):
    env = dict(os.environ)
    env["WINEPREFIX"] = os.path.join(state_dir, "prefix")
    env["WINEDEBUG"] = "-all"
    env["WINEDLLOVERRIDES"] = "mscoree,mshtml="
    env["WINEARCH"] = "win32"
    env["DISPLAY"] = display
    return env


def start(state_dir):
    os.makedirs(state_dir, exist_ok=True)
    stop(state_dir, quiet=True)
    read_fd, write_fd = os.pipe()
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
        pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
        start_new_session=True)
    os.close(write_fd)
    number = b""
    deadline = time.time() + 30
    while not number.endswith(b"\n") and time.time() < deadline:
        chunk = os.read(read_fd, 16)
        if not chunk:
            break
        number += chunk
    os.close(read_fd)
    if not number.strip():
        xvfb.kill()
        sys.exit("winesession: Xvfb did not report a display")
    display = ":" + number.decode().strip()
    session = {"display": display, "xvfb_pid": xvfb.pid, "prefix": os.path.join(state_dir, "prefix")}
    with open(os.path.join(state_dir, "session.json"), "w") as f:
        json.dump(session, f)
    env = base_env(state_dir, display)
    result = subprocess.run(["wineboot", "-i"], env=env, timeout=BOOT_TIMEOUT_S,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # wineboot returns before the prefix settles; wait for its wineserver to go idle.
    subprocess.run(["wineserver", "-w"], env=env, timeout=BOOT_TIMEOUT_S)
    print(f"winesession: display {display}, prefix {session['prefix']}, wineboot {result.returncode}")


def stop(state_dir, quiet=False):
    path = os.path.join(state_dir, "session.json")
    if not os.path.exists(path):
        if not quiet:
            print("winesession: no session")
        return
    with open(path) as f:
        session = json.load(f)
    env = base_env(state_dir, session["display"])
    subprocess.run(["wineserver", "-k"], env=env, timeout=60,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        os.kill(session["xvfb_pid"], signal.SIGTERM)
    except ProcessLookupError:
        pass
    os.remove(path)
    if not quiet:
        print("winesession: stopped")


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] not in ("start", "stop"):
        sys.exit("usage: winesession.py start|stop STATE_DIR")
    (start if sys.argv[1] == "start" else stop)(sys.argv[2])
