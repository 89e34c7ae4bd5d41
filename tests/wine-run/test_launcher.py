#!/usr/bin/env python3
"""The programs that a package starts after its extraction, under Wine: an
".exe" started directly with its tokens resolved, documents opened through
file associations in Wine's registry (a quoted program path with blanks, a
%SystemRoot% template, the shell's executable lookup), the command-line
override, "<nowait>", a program that cannot start, and the order and
waiting between programs.

Every program is a copy of sample_setup.exe, which appends its own path,
command line and current folder to one shared log. A decoy C:\\Program.exe
would log itself if a command line were ever split at the blank of
"C:\\Program Files"."""
import os
import shutil
import subprocess
import tempfile
import unittest

import run_support as rs
import wineharness as wine

SAMPLE_DIR = "Program Files\\Kestrel Sample"
REGISTRY = r'''REGEDIT4

[HKEY_LOCAL_MACHINE\SOFTWARE\Classes\.kdoc]
@="KestrelDoc"
[HKEY_LOCAL_MACHINE\SOFTWARE\Classes\KestrelDoc\shell]
@="open"
[HKEY_LOCAL_MACHINE\SOFTWARE\Classes\KestrelDoc\shell\open\command]
@="\"C:\\Program Files\\Kestrel Sample\\viewer.exe\" \"%1\" /x"

[HKEY_LOCAL_MACHINE\SOFTWARE\Classes\.ksys]
@="KestrelSys"
[HKEY_LOCAL_MACHINE\SOFTWARE\Classes\KestrelSys\shell]
@="open"
[HKEY_LOCAL_MACHINE\SOFTWARE\Classes\KestrelSys\shell\open\command]
@="%SystemRoot%\\kestrel_viewer.exe %1 /x"

[HKEY_LOCAL_MACHINE\SOFTWARE\Classes\.kfb]
@="KestrelFb"
[HKEY_LOCAL_MACHINE\SOFTWARE\Classes\KestrelFb\shell\open\command]
@="\"C:\\Program Files\\Kestrel Sample\\viewer.exe\" \"%1\""
'''


def records(log):
    """The log as a list of records {start, args, cwd, ended}."""
    out = []
    if not os.path.exists(log):
        return out
    for line in rs.read(log).decode("latin-1").splitlines():
        tag, _, text = line.partition(" ")
        if tag == "start":
            out.append({"start": text, "ended": False})
        elif tag in ("args", "cwd"):
            out[-1][tag] = text
        elif tag == "end":
            out[-1]["ended"] = True
    return out


class Launcher(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="kestrel-launch-")
        self.addCleanup(shutil.rmtree, self.root, True)
        rs.clear_ksv_folders()
        self.addCleanup(rs.clear_ksv_folders)
        sample = rs.read(wine.win32_path("sample_setup.exe"))
        drive = wine.drive_c()
        placed = [os.path.join(drive, *SAMPLE_DIR.split("\\"), "viewer.exe"),
                  os.path.join(drive, "windows", "kestrel_viewer.exe"),
                  os.path.join(drive, "Program.exe")]
        for path in placed:
            rs.write(path, sample)
            self.addCleanup(os.remove, path)
        reg = os.path.join(self.root, "assoc.reg")
        rs.write(reg, REGISTRY.replace("\n", "\r\n").encode("latin-1"))
        wine.run(["regedit", "/s", wine.to_windows(reg)])
        wine.wait_idle()
        self.sample = sample

    def test_programs_in_order_with_associations_overrides_and_a_failed_start(self):
        folder = os.path.join(self.root, "launch")
        # SETUP.EXE is stored read-only: once it has ended, its deletion is
        # tried for a while and then given up, and the next program runs.
        files = [rs.CabFile("SETUP.EXE", self.sample, attributes=0x21), rs.CabFile("doc.kdoc", b"doc"),
                 rs.CabFile("doc.ksys", b"sys"), rs.CabFile("doc.kfb", b"fb")]
        cab = os.path.join(self.root, "launch.cab")
        rs.write(cab, rs.cabinet(files))
        package = rs.pack(os.path.join(folder, "pkg.exe"), cabinet_path=cab, options=[
            "--check-off", "--no-progress", "--no-cleanup",
            "--program", "SETUP.EXE", "--args", "-a <curdir> <tempdir> <curdir>",
            "--program", "doc.kdoc", "--args", "entry two",
            "--program", "missing.exe",
            "--program", "doc.ksys", "--args", "<nowait>tail",
            "--program", "doc.kfb", "--args", "five"])
        log = os.path.join(self.root, "sample.log")
        env = {"KESTREL_SAMPLE_LOG": wine.to_windows(log), "KESTREL_SAMPLE_SLEEP_MS": "300"}
        run = rs.Run(package, ["/2:over ride"], steps=["find:Error", "text:65535", "click:1"],
                     extra_env=env).go()
        self.assertEqual(run.code, 0)
        work = "C:\\windows\\temp\\KSV000\\"
        self.assertEqual(run.value("text 65535="), "Error in launching " + work + "missing.exe")

        got = records(log)
        starts = [r["start"].lower() for r in got]
        self.assertNotIn("c:\\program.exe", starts, got)
        self.assertEqual(len(got), 4, got)
        setup, kdoc = got[0], got[1]
        # The <nowait> program may still be running when the next one starts.
        ksys = [r for r in got[2:] if "kestrel_viewer" in r["start"]][0]
        kfb = [r for r in got[2:] if r is not ksys][0]

        # SETUP.EXE is started directly, with the argument text as its whole
        # command line: the first <curdir> and <tempdir> resolved, the second
        # <curdir> left; its current folder is the package's.
        package_dir = wine.to_windows(folder) + "\\"
        self.assertEqual(setup["start"].lower(), (work + "setup.exe").lower())
        self.assertEqual(setup["args"], "-a %s %s <curdir>" % (package_dir, work))
        self.assertEqual(setup["cwd"].rstrip("\\").lower(), package_dir.rstrip("\\").lower())
        self.assertTrue(setup["ended"])

        # The quoted template starts with a blank once its quotes are blanks,
        # so the shell's lookup gives the program; its path with blanks is
        # quoted; /2: replaced the argument text with the rest of kestrel's
        # command line, taken as it stands (Wine quoted the argument with a
        # blank, so its closing quote comes along).
        self.assertEqual(kdoc["start"], "C:\\" + SAMPLE_DIR + "\\viewer.exe")
        self.assertEqual(kdoc["args"], '"C:\\%s\\viewer.exe" %sdoc.kdoc  over ride"' % (SAMPLE_DIR, work))
        # %SystemRoot% becomes the Windows folder; "/x" after the
        # placeholder is dropped; <nowait> is gone from the arguments.
        self.assertEqual(ksys["args"], "C:\\windows\\kestrel_viewer.exe %sdoc.ksys tail" % work)
        # A class without a default verb goes to the shell's lookup.
        self.assertEqual(kfb["args"], '"C:\\%s\\viewer.exe" %sdoc.kfb five' % (SAMPLE_DIR, work))

        # One after the other: each waited-for program ended before the next
        # one started (the log is appended in order).
        self.assertTrue(setup["ended"] and kdoc["ended"], got)
        # Waited-for programs' files are deleted; the <nowait> one's and the
        # read-only one stay.
        left = sorted(os.listdir(os.path.join(rs.temp_folder(), "KSV000")))
        self.assertEqual(left, ["SETUP.EXE", "doc.ksys"])


if __name__ == "__main__":
    unittest.main()
