#!/usr/bin/env python3
"""plover.exe under Wine: staging a small driver INF into the prefix's INF
folder, the exit codes that whoever starts plover reads, and a kestrel
package that carries plover and starts it after extraction.

Every wine start is slow here, so the test keeps to five runs of plover and
one package run. Each run writes INF files whose text carries a token of
its own: Wine recognises an INF that is staged already by comparing contents,
and the session's prefix outlives a single test run.

Paths are given on C: inside the prefix, in folders without "-": plover's
command line splits at "-", so a value cannot hold one.
"""
import os
import shutil
import subprocess
import tempfile
import unittest
import uuid

import wineharness

EXIT_STAGED = 1
EXIT_FAILED = 0


def inf_text(token, driver_file):
    """A minimal driver-package INF naming one file of its source folder."""
    return (
        f"; plover test package {token}\r\n"
        "[Version]\r\n"
        "Signature=\"$Windows NT$\"\r\n"
        "Class=Sample\r\n"
        "ClassGuid={78A1C341-4539-11d3-B88D-00C04FAD5171}\r\n"
        "Provider=%ProviderName%\r\n"
        "DriverVer=12/11/2026,1.0.0.1\r\n"
        "\r\n"
        "[SourceDisksNames]\r\n"
        "1 = %DiskName%,,,\r\n"
        "\r\n"
        "[SourceDisksFiles]\r\n"
        f"{driver_file} = 1\r\n"
        "\r\n"
        "[Manufacturer]\r\n"
        "%ProviderName% = Models,NTx86\r\n"
        "\r\n"
        "[Models.NTx86]\r\n"
        "\r\n"
        "[Strings]\r\n"
        "ProviderName = \"Kestrel Tests\"\r\n"
        "DiskName = \"Kestrel test disk\"\r\n"
    ).encode("ascii")


class DriverPackage:
    """An INF and the one file it names, in a folder under the prefix's C:."""

    def __init__(self, root_linux, root_windows, folder, inf_name, token):
        self.folder_linux = os.path.join(root_linux, folder)
        self.folder_windows = root_windows + "\\" + folder + "\\"
        self.inf_windows = self.folder_windows + inf_name
        self.inf_bytes = inf_text(token, "kplover.sys")
        os.makedirs(self.folder_linux)
        with open(os.path.join(self.folder_linux, inf_name), "wb") as f:
            f.write(self.inf_bytes)
        with open(os.path.join(self.folder_linux, "kplover.sys"), "wb") as f:
            f.write(b"MZ driver stand-in " + token.encode("ascii"))


def inf_folder():
    return os.path.join(wineharness.drive_c(), "windows", "inf")


def staged_copies(inf_bytes):
    """Names of the files in the prefix's INF folder whose bytes are inf_bytes."""
    folder = inf_folder()
    names = []
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        if os.path.isfile(path) and os.path.getsize(path) == len(inf_bytes):
            with open(path, "rb") as f:
                if f.read() == inf_bytes:
                    names.append(name)
    return names


def remove_staged(inf_bytes):
    """Removes the staged copies of inf_bytes and their precompiled .pnf files."""
    for name in staged_copies(inf_bytes):
        stem = os.path.splitext(name)[0]
        for leftover in (name, stem + ".pnf", stem + ".PNF"):
            path = os.path.join(inf_folder(), leftover)
            if os.path.exists(path):
                os.remove(path)


def make_test_root():
    """A fresh folder on the prefix's C: as (Linux path, Windows path, run id)."""
    run_id = uuid.uuid4().hex[:12]
    name = "plovertest" + run_id
    path = os.path.join(wineharness.drive_c(), name)
    os.makedirs(path)
    return path, "C:\\" + name, run_id


def run_plover(*args):
    """Runs plover.exe with args (Wine joins them with single blanks); returns its exit code."""
    result = wineharness.run([wineharness.win32_path("plover.exe")] + list(args))
    return result.returncode


class PloverUnderWine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        exe = wineharness.win32_path("plover.exe")
        if not os.path.exists(exe):
            raise unittest.SkipTest(f"{exe} is missing: build the win32 target plover")
        cls.root_linux, root_windows, run_id = make_test_root()
        cls.plain = DriverPackage(cls.root_linux, root_windows, "drv", "kplover" + run_id[:4] + ".inf",
                                  "plain " + run_id)
        cls.spaced = DriverPackage(cls.root_linux, root_windows, "drv dir", "kspaced" + run_id[:4] + ".inf",
                                   "spaced " + run_id)

    @classmethod
    def tearDownClass(cls):
        # Leave the shared prefix as it was: our folder and our staged copies go.
        shutil.rmtree(cls.root_linux, ignore_errors=True)
        for package in (cls.plain, cls.spaced):
            remove_staged(package.inf_bytes)

    def test_stages_the_inf_and_again_reports_it_present(self):
        package = self.plain
        self.assertEqual(staged_copies(package.inf_bytes), [])
        code = run_plover("-TargetPath", package.inf_windows, "-SourceLoc", package.folder_windows)
        self.assertEqual(code, EXIT_STAGED)
        copies = staged_copies(package.inf_bytes)
        self.assertEqual(len(copies), 1, f"staged copies: {copies}")
        print(f"\nstaged {package.inf_windows} as C:\\windows\\inf\\{copies[0]}")

        # The store holds it already: still success, and no second copy.
        code = run_plover("-TargetPath", package.inf_windows, "-SourceLoc", package.folder_windows)
        self.assertEqual(code, EXIT_STAGED)
        self.assertEqual(staged_copies(package.inf_bytes), copies)

    def test_quoted_path_fails_and_the_same_path_unquoted_stages(self):
        package = self.spaced
        # Wine quotes an argument that holds a blank; plover keeps the quotes,
        # so the path names no file.
        code = run_plover("-TargetPath", package.inf_windows, "-SourceLoc", package.folder_windows)
        self.assertEqual(code, EXIT_FAILED)
        self.assertEqual(staged_copies(package.inf_bytes), [])

        # Given in pieces, Wine joins them with single blanks: an unquoted path
        # with blanks inside, which plover takes whole.
        code = run_plover("-TargetPath", *package.inf_windows.split(" "), "-SourceLoc",
                          *package.folder_windows.split(" "))
        self.assertEqual(code, EXIT_STAGED)
        self.assertEqual(len(staged_copies(package.inf_bytes)), 1)

    def test_missing_inf_fails(self):
        missing = self.plain.folder_windows + "absent.inf"
        code = run_plover("-TargetPath", missing, "-SourceLoc", self.plain.folder_windows)
        self.assertEqual(code, EXIT_FAILED)


class PloverInPackage(unittest.TestCase):
    """plover as a package carries it: a file of the cabinet payload, started by
    kestrel from the work folder after extraction."""

    PACKAGE_TIMEOUT_S = 300

    def setUp(self):
        self.kestrel = wineharness.win32_path("kestrel.exe")
        self.tool = wineharness.native_path("kestrel-pack")
        for needed in (self.kestrel, self.tool, wineharness.win32_path("plover.exe")):
            if not os.path.exists(needed):
                self.skipTest(f"{needed} is missing")
        self.root_linux, self.root_windows, self.run_id = make_test_root()
        self.addCleanup(shutil.rmtree, self.root_linux, True)

    def test_package_run_starts_plover_which_stages_the_inf(self):
        inf_name = "kpkg" + self.run_id[:4] + ".inf"
        inf_bytes = inf_text("package " + self.run_id, "kplover.sys")
        self.addCleanup(remove_staged, inf_bytes)
        with tempfile.TemporaryDirectory(prefix="plover-payload-") as payload:
            shutil.copy(wineharness.win32_path("plover.exe"), os.path.join(payload, "plover.exe"))
            with open(os.path.join(payload, inf_name), "wb") as f:
                f.write(inf_bytes)
            with open(os.path.join(payload, "kplover.sys"), "wb") as f:
                f.write(b"MZ driver stand-in " + self.run_id.encode("ascii"))
            package = os.path.join(self.root_linux, "kpkg.exe")
            # The launcher hands the argument text over as the whole command
            # line, so it begins with the program's name, which plover's entry
            # skips. Each token is replaced at its first occurrence only: the
            # INF comes from the work folder, the source location is the
            # package's folder.
            arguments = f"plover.exe -TargetPath <tempdir>{inf_name} -SourceLoc <curdir>"
            subprocess.run([self.tool, "build", "--stub", self.kestrel, "--output", package, "--files", payload,
                            "--file-time", "2026-12-11", "--program", "plover.exe", "--args", arguments,
                            "--no-progress"], check=True, stdout=subprocess.PIPE)

        self.assertEqual(staged_copies(inf_bytes), [])
        result = wineharness.run([self.root_windows + "\\kpkg.exe"], timeout=self.PACKAGE_TIMEOUT_S,
                                 cwd=self.root_linux)
        wineharness.wait_idle(timeout=self.PACKAGE_TIMEOUT_S)
        self.assertEqual(result.returncode, 0)
        copies = staged_copies(inf_bytes)
        self.assertEqual(len(copies), 1, f"staged copies: {copies}")
        print(f"\npackage run staged {inf_name} as C:\\windows\\inf\\{copies[0]}")


if __name__ == "__main__":
    unittest.main(verbosity=2)
