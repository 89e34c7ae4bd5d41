#!/usr/bin/env python3
"""Starts and stops the Wine session that the Wine tests of one build share.

    winesession.py start STATE_DIR    Xvfb on a free display, a WINEPREFIX of
                                      our own under STATE_DIR, wineboot
    winesession.py stop STATE_DIR     our wineserver and our Xvfb, nothing else

The session is described in STATE_DIR/session.json, which wineharness.py reads.
Where the machine executes i386 code the session is a 32-bit prefix under
`wine`; where it cannot (some virtual machines refuse i386 executables, and
Wine under a user-mode emulator hangs), it is a 64-bit prefix under wine64,
and the tests run the x86-64 test build of the same sources.
Only what this script started is ended: the Xvfb by its process id, the
wineserver through `wineserver -k` under our own prefix.
"""
import json
import os
import signal
import subprocess
import sys
import time

BOOT_TIMEOUT_S = 300
WINE64 = "/usr/lib/wine/wine64"


def machine_runs_i386():
    """False on machines whose kernel refuses i386 executables, and when
    KESTREL_WINE64 asks for the x86-64 flavour on any machine."""
    if os.environ.get("KESTREL_WINE64"):
        return False
    try:
        return subprocess.run(["/lib/ld-linux.so.2", "--version"], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=30).returncode == 0
    except OSError:
        return False


def wine_flavour():
    """('wine', 'win32') where i386 code runs, else wine64 with a 64-bit prefix."""
    if machine_runs_i386():
        return "wine", "win32"
    return WINE64, "win64"


def base_env(state_dir, display, arch):
    env = dict(os.environ)
    env["WINEPREFIX"] = os.path.join(state_dir, "prefix")
    env["WINEDEBUG"] = "-all"
    env["WINEDLLOVERRIDES"] = "mscoree,mshtml="
    env["WINEARCH"] = arch
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
    wine, arch = wine_flavour()
    session = {"display": display, "xvfb_pid": xvfb.pid, "prefix": os.path.join(state_dir, "prefix"),
               "wine": wine, "arch": arch}
    with open(os.path.join(state_dir, "session.json"), "w") as f:
        json.dump(session, f)
    env = base_env(state_dir, display, arch)
    result = subprocess.run([wine, "wineboot", "-i"], env=env, timeout=BOOT_TIMEOUT_S,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # wineboot returns before the prefix settles; wait for its wineserver to go idle.
    subprocess.run(["wineserver", "-w"], env=env, timeout=BOOT_TIMEOUT_S)
    print(f"winesession: {wine} ({arch}), display {display}, prefix {session['prefix']}, "
          f"wineboot {result.returncode}")


def stop(state_dir, quiet=False):
    path = os.path.join(state_dir, "session.json")
    if not os.path.exists(path):
        if not quiet:
            print("winesession: no session")
        return
    with open(path) as f:
        session = json.load(f)
    env = base_env(state_dir, session["display"], session.get("arch", "win32"))
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
