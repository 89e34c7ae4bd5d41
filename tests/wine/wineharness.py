"""Helpers for tests that run our win32 programs under the shared Wine session.

Environment (set by the ctest registration in tests/CMakeLists.txt):
    KESTREL_WINE_STATE   the session folder of winesession.py
    KESTREL_WIN32_DIR    the win32 build folder (kestrel.exe, plover.exe, helpers)
    KESTREL_NATIVE_DIR   the native build folder (kestrel-pack, kcab)
"""
import json
import os
import subprocess

DEFAULT_TIMEOUT_S = 120


def session():
    state = os.environ["KESTREL_WINE_STATE"]
    with open(os.path.join(state, "session.json")) as f:
        return json.load(f)


def env(extra=None):
    s = session()
    e = dict(os.environ)
    e.update({"WINEPREFIX": s["prefix"], "WINEDEBUG": "-all",
              "WINEDLLOVERRIDES": "mscoree,mshtml=", "WINEARCH": "win32", "DISPLAY": s["display"]})
    if extra:
        e.update(extra)
    return e


def win32_path(name):
    return os.path.join(os.environ["KESTREL_WIN32_DIR"], name)


def native_path(name):
    return os.path.join(os.environ["KESTREL_NATIVE_DIR"], name)


def drive_c():
    return os.path.join(session()["prefix"], "drive_c")


def to_windows(path):
    """A Linux path as Wine's Z: drive shows it."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run(args, timeout=DEFAULT_TIMEOUT_S, extra_env=None, cwd=None):
    """Runs `wine args...`, bounded in time; returns the CompletedProcess."""
    return subprocess.run(["wine"] + list(args), env=env(extra_env), timeout=timeout, cwd=cwd,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE)


def start(args, extra_env=None, cwd=None):
    """Starts `wine args...` without waiting; the caller bounds it with wait(timeout)."""
    return subprocess.Popen(["wine"] + list(args), env=env(extra_env), cwd=cwd,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)


def wait_idle(timeout=DEFAULT_TIMEOUT_S):
    """Waits until every process of our wineserver has ended (chains of relaunches)."""
    subprocess.run(["wineserver", "-w"], env=env(), timeout=timeout)
