"""Helpers for tests that run our win32 programs under the shared Wine session.

Environment (set by the ctest registration in tests/CMakeLists.txt):
    KESTREL_WINE_STATE   the session folder of winesession.py
    KESTREL_WIN32_DIR    the Windows build whose programs run under Wine (kestrel.exe,
                         plover.exe, helpers): the i686 build, or the x86-64 test
                         build on machines that cannot execute i386 code
    KESTREL_PE32_DIR     the i686 build of the deliverables, for static checks
    KESTREL_NATIVE_DIR   the native build folder (kestrel-pack, kcab)
"""
import json
import os
import struct
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
              "WINEDLLOVERRIDES": "mscoree,mshtml=", "WINEARCH": s.get("arch", "win32"),
              "DISPLAY": s["display"]})
    if extra:
        e.update(extra)
    return e


def win32_path(name):
    return os.path.join(os.environ["KESTREL_WIN32_DIR"], name)


def pe32_path(name):
    return os.path.join(os.environ["KESTREL_PE32_DIR"], name)


def native_path(name):
    return os.path.join(os.environ["KESTREL_NATIVE_DIR"], name)


def drive_c():
    return os.path.join(session()["prefix"], "drive_c")


def to_windows(path):
    """A Linux path as Wine's Z: drive shows it."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def pe_machine(path):
    """The COFF machine field of a PE file: 0x14c i386, 0x8664 x86-64."""
    with open(path, "rb") as f:
        head = f.read(4096)
    offset = struct.unpack_from("<I", head, 0x3C)[0]
    return struct.unpack_from("<H", head, offset + 4)[0]


def wine_command(args):
    """The command line that runs args under the session's wine. A win64 session
    (on a machine that cannot execute i386 code) cannot run a PE32 file: the
    test must be pointed at the x86-64 test build (scripts/test.sh does that)."""
    s = session()
    first = args[0] if args else ""
    if s.get("arch") == "win64" and first.lower().endswith(".exe") and os.path.exists(first):
        if pe_machine(first) == 0x14C:
            raise RuntimeError(
                f"{first} is a 32-bit program, and this machine cannot execute i386 code, so the Wine "
                "session is 64-bit: build the x86-64 test build (-DCMAKE_TOOLCHAIN_FILE="
                "cmake/mingw-x86_64.cmake) and point KESTREL_WIN32_DIR at it")
    return [s.get("wine", "wine")] + list(args)


def run(args, timeout=DEFAULT_TIMEOUT_S, extra_env=None, cwd=None):
    """Runs `wine args...`, bounded in time; returns the CompletedProcess."""
    return subprocess.run(wine_command(args), env=env(extra_env), timeout=timeout, cwd=cwd,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE)


def start(args, extra_env=None, cwd=None):
    """Starts `wine args...` without waiting; the caller bounds it with wait(timeout)."""
    return subprocess.Popen(wine_command(args), env=env(extra_env), cwd=cwd,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)


def wait_idle(timeout=DEFAULT_TIMEOUT_S):
    """Waits until every process of our wineserver has ended (chains of relaunches)."""
    subprocess.run(["wineserver", "-w"], env=env(), timeout=timeout)
