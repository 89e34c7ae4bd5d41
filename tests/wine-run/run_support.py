"""Shared pieces of the Wine tests of kestrel's extraction run.

- cabinet(): a tiny cabinet writer (one stored folder, block checksums 0)
  that can store any name, so hostile names reach kestrel unchanged;
- pack(): a package from the x86-64 (or i686) kestrel.exe through
  kestrel-pack;
- Run: kestrel under the session's Wine with window_driver.exe beside it,
  both bounded in time; the driver's lines are returned for the test.
"""
import os
import shutil
import struct
import subprocess
import tempfile
import time

import wineharness as wine

RUN_TIMEOUT_S = 240
AFTER_DRIVER_TIMEOUT_S = 90
BLOCK_BYTES = 32768


def dos_date(year, month, day):
    return ((year - 1980) << 9) | (month << 5) | day


def dos_time(hour, minute, second):
    return (hour << 11) | (minute << 5) | (second // 2)


class CabFile:
    def __init__(self, name, data, date=dos_date(2020, 5, 17), time_=dos_time(13, 45, 30), attributes=0x20):
        self.name = name.encode("latin-1") if isinstance(name, str) else name
        self.data = data
        self.date = date
        self.time = time_
        self.attributes = attributes


def cabinet(files, set_id=0x4B53, index=0):
    """A cabinet of files (CabFile) in one stored folder."""
    payload = b"".join(f.data for f in files)
    blocks = [payload[i:i + BLOCK_BYTES] for i in range(0, len(payload), BLOCK_BYTES)] or []
    header_bytes, folder_bytes = 36, 8
    file_table = b""
    offset = 0
    for f in files:
        # cbFile, uoffFolderStart, iFolder, date, time, attribs, szName
        file_table += struct.pack("<IIHHHH", len(f.data), offset, 0, f.date, f.time, f.attributes) + f.name + b"\0"
        offset += len(f.data)
    files_offset = header_bytes + folder_bytes
    data_offset = files_offset + len(file_table)
    # Each block: csum (0: not checked), cbData, cbUncomp, the bytes.
    data = b"".join(struct.pack("<IHH", 0, len(block), len(block)) + block for block in blocks)
    total = data_offset + len(data)
    header = (b"MSCF" + struct.pack("<IIIIIBBHHHHH", 0, total, 0, files_offset, 0, 3, 1, 1, len(files), 0,
                                    set_id, index))
    folder = struct.pack("<IHH", data_offset, len(blocks), 0)  # coffCabStart, cCFData, typeCompress none
    return header + folder + file_table + data


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def pack(output, cabinet_path=None, files_dir=None, options=()):
    """Builds a package with kestrel-pack from the Wine build's kestrel.exe."""
    os.makedirs(os.path.dirname(output), exist_ok=True)
    args = [wine.native_path("kestrel-pack"), "build", "--stub", wine.win32_path("kestrel.exe"), "--output",
            output]
    if cabinet_path:
        args += ["--cabinet", cabinet_path]
    if files_dir:
        args += ["--files", files_dir]
    args += list(options)
    result = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
    if result.returncode != 0:
        raise RuntimeError("kestrel-pack failed: %s %s" % (result.stdout, result.stderr))
    return output


def temp_folder():
    """The Windows temporary folder of the session (C:\\windows\\temp)."""
    return os.path.join(wine.drive_c(), "windows", "temp")


def ksv_folders():
    folder = temp_folder()
    if not os.path.isdir(folder):
        return []
    return sorted(n for n in os.listdir(folder) if n.upper().startswith("KSV"))


def clear_ksv_folders():
    for name in ksv_folders():
        path = os.path.join(temp_folder(), name)
        subprocess.run(["chmod", "-R", "u+rwx", path], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if os.path.isdir(path):
            shutil.rmtree(path, True)
        else:
            os.remove(path)


class Run:
    """kestrel (and optionally the window driver) started side by side.

    The driver starts first and kestrel only once the driver has said
    "ready", so no early status text is missed. on_line(line, driver), when
    given, sees each driver line as it comes (a step "stdin" waits for a
    line written to driver.stdin). A process that outlives its time is
    ended (by its own process id) and the test fails on the timeout."""

    def __init__(self, package, args=(), steps=None, extra_env=None, on_line=None):
        self.package = package
        self.args = list(args)
        self.steps = steps
        self.extra_env = extra_env or {}
        self.on_line = on_line
        self.code = None
        self.lines = []

    def go(self):
        driver = None
        kestrel = None
        try:
            if self.steps is not None:
                command = wine.wine_command([wine.win32_path("window_driver.exe"), "--timeout", "90000"] + self.steps)
                driver = subprocess.Popen(command, env=wine.env(self.extra_env), stdin=subprocess.PIPE,
                                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
                driver.stdout.readline()  # "ready"
            kestrel = wine.start([wine.to_windows(self.package)] + self.args, extra_env=self.extra_env,
                                 cwd=os.path.dirname(self.package))
            if driver is not None:
                for raw in driver.stdout:
                    line = raw.decode("latin-1").rstrip("\r\n")
                    self.lines.append(line)
                    if self.on_line is not None:
                        self.on_line(line, driver)
                driver.wait(timeout=RUN_TIMEOUT_S)
            # Once the driver is done, kestrel has little left to do.
            kestrel.communicate(timeout=RUN_TIMEOUT_S if driver is None else AFTER_DRIVER_TIMEOUT_S)
        finally:
            for process in (driver, kestrel):
                if process is not None and process.poll() is None:
                    process.kill()
                    process.wait()
            if driver is not None:
                driver.stdin.close()
                driver.stdout.close()
        self.code = kestrel.returncode
        wine.wait_idle(timeout=RUN_TIMEOUT_S)
        return self

    def statuses(self):
        return [line[len("status "):] for line in self.lines if line.startswith("status ")]

    def value(self, tag):
        """The text after "tag" of the first line that starts with it."""
        for line in self.lines:
            if line.startswith(tag):
                return line[len(tag):]
        return None

    def values(self, tag):
        return [line[len(tag):] for line in self.lines if line.startswith(tag)]


def screenshot_at(marker, path):
    """An on_line handler: a screenshot when a line containing marker comes,
    then the driver's "stdin" step is released."""
    taken = []

    def handler(line, driver):
        if marker in line and not taken:
            taken.append(path)
            screenshot(path)
            driver.stdin.write(b"\n")
            driver.stdin.flush()
    return handler


def driver(steps, extra_env=None):
    """Runs window_driver alone (file facts) and returns its lines."""
    result = wine.run([wine.win32_path("window_driver.exe")] + list(steps), extra_env=extra_env,
                      timeout=RUN_TIMEOUT_S)
    return [l for l in result.stdout.decode("latin-1").splitlines() if l != "ready"]


def screenshot(path):
    """The whole screen of the session's display, as PNG (needs imagemagick)."""
    subprocess.run(["import", "-window", "root", path], env=wine.env(), timeout=60,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return os.path.exists(path)


def artifacts_dir():
    path = os.path.join(os.environ.get("KESTREL_WINE_STATE", tempfile.gettempdir()), "..", "wine-run-artifacts")
    os.makedirs(path, exist_ok=True)
    return os.path.abspath(path)
