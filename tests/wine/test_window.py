#!/usr/bin/env python3
"""The progress dialog under Wine: its texts while a cabinet is extracted, and
the Cancel sequence (IDCANCEL, as the Escape key sends it), which stops the
worker, removes the temporary work folder and ends the process with 0.

tests/win32's window_driver.exe waits for the dialog, reads its texts, and
cancels once a file name shows."""
import os
import random
import shutil
import subprocess
import tempfile
import unittest

import package_builder as pb
import wineharness as wine

RUN_TIMEOUT_S = 300
TITLE = "Brindlewick Technology"
(STATUS_ITEM, MIDDLE_ITEM, TOP_ITEM) = (1006, 1007, 1008)
IDCANCEL = 2


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
        steps = ["find:" + TITLE, "title", "text:%d" % TOP_ITEM, "text:%d" % MIDDLE_ITEM,
                 "watch-for:%d:file" % STATUS_ITEM, "command:%d" % IDCANCEL, "gone"]
        driver = wine.run([wine.win32_path("window_driver.exe"), "--timeout", "240000"] + steps,
                          timeout=RUN_TIMEOUT_S)
        package.communicate(timeout=RUN_TIMEOUT_S)
        wine.wait_idle(timeout=RUN_TIMEOUT_S)

        report = driver.stdout.decode("latin-1").replace("\r", "").splitlines()
        self.assertEqual(driver.returncode, 0, report[-20:] + [driver.stderr.decode("latin-1")[-1000:]])
        self.assertIn("title " + TITLE, report)
        self.assertIn("text %d=Please Wait while Self-Extracting is executing..." % TOP_ITEM, report)
        self.assertIn("text %d=Extracting in progress" % MIDDLE_ITEM, report)
        statuses = [line[len("status "):] for line in report if line.startswith("status ")]
        self.assertRegex(statuses[-1], r"^file\d{3}\.bin$")
        self.assertEqual(package.returncode, 0)
        # The temporary work folder went with everything extracted so far;
        # nothing was extracted beside the package.
        self.assertEqual(ksv_folders() - before, set())
        self.assertEqual(sorted(os.listdir(folder)), ["pkg.exe"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
