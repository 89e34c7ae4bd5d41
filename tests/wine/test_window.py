#!/usr/bin/env python3
"""The progress dialog under Wine: its texts while a cabinet is extracted, and
the Cancel sequence (IDCANCEL, as the Escape key sends it), which stops the
worker, removes the temporary work folder and ends the process with 0.

tests/win32's kestrel-press-cancel.exe waits for the dialog, reads its texts
once a file name shows, and cancels."""
import os
import random
import shutil
import subprocess
import tempfile
import unittest

import package_builder as pb
import wineharness as wine

RUN_TIMEOUT_S = 300


def ksv_folders():
    temp = os.path.join(wine.drive_c(), "windows", "temp")
    if not os.path.isdir(temp):
        return set()
    return {name for name in os.listdir(temp) if name.upper().startswith("KSV")}


class ProgressDialog(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="kestrel-window-")
        self.addCleanup(shutil.rmtree, self.root, True)

    def make_cabinet(self, files, file_bytes):
        source = os.path.join(self.root, "source")
        os.makedirs(source)
        rng = random.Random(7)
        for i in range(files):
            with open(os.path.join(source, "file%03d.bin" % i), "wb") as f:
                f.write(rng.randbytes(file_bytes))
        cabinet = os.path.join(self.root, "payload.cab")
        subprocess.run([wine.native_path("kcab"), "create", "-m", "none", "-o", cabinet, source],
                       check=True, stdout=subprocess.DEVNULL)
        with open(cabinet, "rb") as f:
            return f.read()

    def test_texts_and_cancel_while_extracting(self):
        payload = self.make_cabinet(files=120, file_bytes=1024 * 1024)
        with open(wine.win32_path("kestrel-teststub.exe"), "rb") as f:
            stub = f.read()
        folder = os.path.join(self.root, "package")
        path = os.path.join(folder, "pkg.exe")
        # The check is off ("CRC0"), so the worker goes straight to the payload.
        pb.write(path, pb.build_package(stub, payload, marker="CRC0,0x00000000",
                                        settings={"showProgress": "1", "cleanupWorkDir": "1"}))
        before = ksv_folders()

        package = wine.start([wine.to_windows(path)], cwd=folder)
        presser = wine.run([wine.win32_path("kestrel-press-cancel.exe"), "Brindlewick Technology", "240000"],
                           timeout=RUN_TIMEOUT_S)
        package.communicate(timeout=RUN_TIMEOUT_S)
        wine.wait_idle(timeout=RUN_TIMEOUT_S)

        report = presser.stdout.decode("latin-1").replace("\r", "")
        self.assertEqual(presser.returncode, 0, report + presser.stderr.decode("latin-1")[-1000:])
        lines = dict(line.split("=", 1) for line in report.splitlines() if "=" in line)
        self.assertEqual(lines["title"], "Brindlewick Technology")
        self.assertEqual(lines["top"], "Please Wait while Self-Extracting is executing...")
        self.assertEqual(lines["middle"], "Extracting in progress")
        self.assertRegex(lines["status"], r"^file\d{3}\.bin$")
        self.assertEqual(package.returncode, 0)
        # The temporary work folder went with everything extracted so far;
        # nothing was extracted beside the package.
        self.assertEqual(ksv_folders() - before, set())
        self.assertEqual(sorted(os.listdir(folder)), ["pkg.exe"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
