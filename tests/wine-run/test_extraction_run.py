#!/usr/bin/env python3
"""kestrel's extraction run under Wine: the temporary work folder, the files
with their times and attributes, hostile names, the clean-up, and the error
box of a rejected package, a missing split part or cabinet.

Each test groups the checks of one or a few kestrel runs (Wine is slow to
start programs); the window driver records what the progress dialog and the
error box show."""
import calendar
import os
import shutil
import tempfile
import time
import unittest

import run_support as rs
import wineharness as wine

ERROR_CAPTION = "Error encounter"
MESSAGE_TEXT_ID = 65535  # the text of a message box
TITLE = "Brindlewick Technology"


class ExtractionRun(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="kestrel-run-")
        self.addCleanup(shutil.rmtree, self.root, True)
        rs.clear_ksv_folders()
        self.addCleanup(rs.clear_ksv_folders)

    def folder(self, name):
        path = os.path.join(self.root, name)
        os.makedirs(path, exist_ok=True)
        return path

    def package(self, folder, files, options=()):
        cab = os.path.join(self.root, os.path.basename(folder) + ".cab")
        rs.write(cab, rs.cabinet(files))
        return rs.pack(os.path.join(folder, "pkg.exe"), cabinet_path=cab, options=options)

    def test_normal_run_with_leftover_folders_times_attributes_and_hostile_names(self):
        # Folders of earlier runs: the run works in the first free one.
        for i in range(5):
            os.makedirs(os.path.join(rs.temp_folder(), "KSV%03d" % i))
        stamp = (2019, 11, 3, 22, 41, 58)
        date, dtime = rs.dos_date(*stamp[:3]), rs.dos_time(*stamp[3:])
        good = [
            rs.CabFile("readme.txt", b"read me\r\n"),
            rs.CabFile("a\\b\\c.txt", b"deep" * 3000, date, dtime, 0x20),
            rs.CabFile("locked.txt", b"read-only", date, dtime, 0x21),
            # Hidden and system stay; the notice flag (0x40) and 0x80 go.
            rs.CabFile("quiet.dat", bytes(range(256)) * 300, date, dtime, 0x20 | 0x02 | 0x04 | 0x40 | 0x80),
        ]
        hostile = ["..\\escape1.txt", "a\\..\\..\\escape2.txt", "../escape3.txt", "sub/../../escape4.txt",
                   "C:\\escape5.txt", "C:escape6.txt", "\\escape7.txt", "/escape8.txt", "ads.txt:stream",
                   "CON", "nul.txt", "sub\\COM1.log", "LPT9", "conout$", "..", "deep\\.."]
        files = [good[0]] + [rs.CabFile(n, b"must not be written") for n in hostile[:8]] + good[1:] + \
            [rs.CabFile(n, b"must not be written") for n in hostile[8:]] + [rs.CabFile("last.txt", b"last")]
        folder = self.folder("normal")
        package = self.package(folder, files, ["--no-cleanup"])
        # DOS times are local times of the machine's zone.
        zone = "Asia/Kolkata"
        run = rs.Run(package, steps=["find:" + TITLE, "title", "text:1007", "text:1008", "watch:1006"],
                     extra_env={"TZ": zone}).go()

        self.assertEqual(run.code, 0)
        self.assertEqual(run.value("title "), TITLE)
        self.assertEqual(run.value("text 1007="), "Extracting in progress")
        self.assertEqual(run.value("text 1008="), "Please Wait while Self-Extracting is executing...")
        statuses = run.statuses()
        names = [s for s in statuses if not s.startswith("CRC: 0x")]
        # The file names in cabinet order (a fast file may slip between two
        # polls), no hostile name; the empty text only before the first and
        # after the last (the window hides at once after clearing it).
        inner = names[1:-1] if len(names) > 1 else []
        self.assertNotIn("", inner, statuses)
        order = ["readme.txt", "a\\b\\c.txt", "locked.txt", "quiet.dat", "last.txt"]
        seen = [n for n in names if n]
        self.assertEqual(seen, [n for n in order if n in seen], statuses)
        for name in hostile:
            self.assertNotIn(name, names)

        self.assertEqual(rs.ksv_folders(), ["KSV000", "KSV001", "KSV002", "KSV003", "KSV004", "KSV005"])
        work = os.path.join(rs.temp_folder(), "KSV005")
        found = sorted(os.path.relpath(os.path.join(d, f), work) for d, _, fs in os.walk(work) for f in fs)
        self.assertEqual(found, ["a/b/c.txt", "last.txt", "locked.txt", "quiet.dat", "readme.txt"])
        for f in good:
            self.assertEqual(rs.read(os.path.join(work, f.name.decode().replace("\\", "/"))), f.data)
        # Nothing of the hostile names anywhere near: beside the package,
        # in the temporary folder, at the root of C: or in C:\windows.
        for place in (folder, self.root, rs.temp_folder(), wine.drive_c(), os.path.join(wine.drive_c(), "windows")):
            for n in os.listdir(place):
                self.assertFalse(n.startswith("escape"), os.path.join(place, n))
        self.assertEqual(sorted(os.listdir(folder)), ["pkg.exe"])

        expected = calendar.timegm(time.struct_time(stamp + (0, 0, 0))) - (5 * 3600 + 30 * 60)
        facts = rs.driver(["times:C:\\windows\\temp\\KSV005\\a\\b\\c.txt",
                           "attributes:C:\\windows\\temp\\KSV005\\a\\b\\c.txt",
                           "attributes:C:\\windows\\temp\\KSV005\\locked.txt",
                           "attributes:C:\\windows\\temp\\KSV005\\quiet.dat"], extra_env={"TZ": zone})
        created, written = facts[0].split("=")[1].split()
        self.assertEqual(int(written), expected, facts)
        self.assertEqual(int(created), expected, facts)
        self.assertEqual(os.stat(os.path.join(work, "a", "b", "c.txt")).st_mtime, expected)
        self.assertEqual(facts[1].split("=")[1], "0x20")
        self.assertEqual(facts[2].split("=")[1], "0x21")
        self.assertEqual(facts[3].split("=")[1], "0x26")

    def test_clean_up_decom_and_hidden_runs(self):
        files = [rs.CabFile("one.txt", b"1"), rs.CabFile("two\\two.txt", b"2")]
        cleaned = self.package(self.folder("cleaned"), files)
        run = rs.Run(cleaned, ["/decom"]).go()
        self.assertEqual(run.code, 0)
        # Cleaned up: the folder went with everything in it.
        self.assertEqual(rs.ksv_folders(), [])

        kept = self.package(self.folder("kept"), files, ["--no-cleanup"])
        run = rs.Run(kept, ["/hidemsg"]).go()
        self.assertEqual(run.code, 0)
        self.assertEqual(rs.ksv_folders(), ["KSV000"])
        work = os.path.join(rs.temp_folder(), "KSV000")
        # Only the work cabinet file is deleted.
        self.assertEqual(sorted(os.listdir(work)), ["one.txt", "two"])
        self.assertEqual(rs.read(os.path.join(work, "two", "two.txt")), b"2")

    def test_payload_that_is_no_cabinet(self):
        # Nothing is reported: the run goes on with the further cabinets.
        folder = self.folder("nocab")
        junk = os.path.join(self.root, "junk.bin")
        rs.write(junk, b"MSCX not a cabinet at all " * 200)
        package = rs.pack(os.path.join(folder, "pkg.exe"), cabinet_path=junk,
                          options=["--additional", "a.cab", "--no-cleanup", "--check-off"])
        rs.write(os.path.join(folder, "a.cab"), rs.cabinet([rs.CabFile("from_a.txt", b"a")]))
        run = rs.Run(package, steps=["find:" + TITLE, "gone"]).go()
        self.assertEqual(run.code, 0)
        self.assertIn("gone", run.lines)
        self.assertEqual(rs.ksv_folders(), ["KSV000"])
        self.assertEqual(os.listdir(os.path.join(rs.temp_folder(), "KSV000")), ["from_a.txt"])

    def test_folder_browser_cancelled(self):
        # Cancelled: nothing is written anywhere, no message, no program.
        folder = self.folder("browse")
        package = self.package(folder, [rs.CabFile("x.txt", b"x")],
                               ["--ask-folder", "--check-off", "--program", "x.txt"])
        run = rs.Run(package, steps=["find:Browse for Folder", "children", "click:2"]).go()
        self.assertEqual(run.code, 0)
        self.assertIn("child 14146 Static=Select a folder to extract the files", run.lines)
        self.assertEqual(rs.ksv_folders(), [])
        self.assertEqual(sorted(os.listdir(folder)), ["pkg.exe"])

    def test_folder_picked_while_extracting_in_place(self):
        # Both flags: the browser is shown, and whatever is picked there the
        # payload lands beside the package; no program is started.
        folder = self.folder("both")
        log = os.path.join(self.root, "setup.log")
        setup = rs.read(wine.win32_path("sample_setup.exe"))
        package = self.package(folder, [rs.CabFile("setup.exe", setup), rs.CabFile("sub\\x.txt", b"in place")],
                               ["--ask-folder", "--in-place", "--check-off", "--program", "setup.exe"])
        run = rs.Run(package, steps=["find:Browse for Folder", "tree-root", "click:1"],
                     extra_env={"KESTREL_SAMPLE_LOG": wine.to_windows(log)}).go()
        self.assertEqual(run.code, 0)
        self.assertIn("tree-root selected", run.lines)
        self.assertEqual(rs.read(os.path.join(folder, "sub", "x.txt")), b"in place")
        self.assertEqual(rs.read(os.path.join(folder, "setup.exe")), setup)
        # Only the work cabinet file beside the package is removed.
        self.assertEqual(sorted(os.listdir(folder)), ["pkg.exe", "setup.exe", "sub"])
        self.assertFalse(os.path.exists(log))
        self.assertEqual(rs.ksv_folders(), [])

    def error_run(self, package, args=()):
        run = rs.Run(package, args, steps=["find:" + ERROR_CAPTION, "title", "text:%d" % MESSAGE_TEXT_ID,
                                           "click:1", "gone"]).go()
        self.assertEqual(run.code, 0)
        self.assertEqual(run.value("title "), ERROR_CAPTION)
        return run.value("text %d=" % MESSAGE_TEXT_ID)

    def test_error_boxes(self):
        files = [rs.CabFile("data%02d.bin" % i, bytes([i]) * 20000) for i in range(6)]
        win_folder = lambda f: wine.to_windows(f) + "\\"

        # A wrong checksum, and the right one in capital digits.
        wrong = self.package(self.folder("wrong"), files, ["--marker", "CRC1,0x12345678"])
        text = self.error_run(wrong)
        self.assertRegex(text, r"^File error CRC1,0x12345678:0x[0-9a-f]{8}$")
        right = text[-8:]
        capitals = self.package(self.folder("capitals"), files, ["--marker", "CRC1,0x" + right.upper()])
        if right.upper() != right:
            self.assertEqual(self.error_run(capitals), "File error CRC1,0x%s:0x%s" % (right.upper(), right))
        self.assertEqual(rs.ksv_folders(), [])  # nothing was settled

        # A missing second split part: the first one's short name was shown,
        # the partly assembled cabinet goes with the temporary folder.
        split_folder = self.folder("split")
        split = self.package(split_folder, files, ["--split-parts", "2", "--check-off"])
        os.remove(os.path.join(split_folder, "pkg.002"))
        # While the box is up, the disabled dialog still shows the last
        # status: the missing part's short name, shown before it was looked for.
        run = rs.Run(split, steps=["find:" + ERROR_CAPTION, "find:" + TITLE, "text:1006", "find:" + ERROR_CAPTION,
                                   "text:%d" % MESSAGE_TEXT_ID, "click:1"]).go()
        self.assertEqual(run.code, 0)
        self.assertEqual(run.value("text 1006="), "pkg.002")
        self.assertEqual(run.value("text %d=" % MESSAGE_TEXT_ID), "File error " + win_folder(split_folder) + "pkg.002")
        self.assertEqual(rs.ksv_folders(), [])
        self.assertEqual(sorted(os.listdir(split_folder)), ["pkg.001", "pkg.exe"])

        # a.cab,,b.cab with b.cab missing: a.cab is extracted before the box.
        extra_folder = self.folder("extra")
        extra = self.package(extra_folder, files[:1], ["--additional", "a.cab,,b.cab", "--optional", "x.cab,y.cab",
                                                       "--no-cleanup", "--check-off"])
        rs.write(os.path.join(extra_folder, "a.cab"), rs.cabinet([rs.CabFile("from_a.txt", b"a")]))
        box = self.error_run(extra)
        self.assertEqual(box, "File error " + win_folder(extra_folder) + "b.cab")
        # The temporary folder is removed by the error path, whatever the
        # clean-up setting says.
        self.assertEqual(rs.ksv_folders(), [])

        # Absent optional cabinets are passed over; present ones extracted.
        optional_folder = self.folder("optional")
        optional = self.package(optional_folder, files[:1], ["--optional", "gone.cab,here.cab", "--no-cleanup",
                                                             "--check-off", "--no-progress"])
        rs.write(os.path.join(optional_folder, "here.cab"), rs.cabinet([rs.CabFile("from_here.txt", b"h")]))
        run = rs.Run(optional).go()
        self.assertEqual(run.code, 0)
        self.assertEqual(sorted(os.listdir(os.path.join(rs.temp_folder(), "KSV000"))),
                         ["data00.bin", "from_here.txt"])

    def test_no_work_folder_can_be_made(self):
        # Every candidate exists: nothing is reused, the error box names the
        # temporary folder, and none of the existing folders is touched.
        temp = rs.temp_folder()
        for i in range(1000):
            os.makedirs(os.path.join(temp, "KSV%03d" % i))
        marker = os.path.join(temp, "KSV999", "keep.txt")
        rs.write(marker, b"keep")
        package = self.package(self.folder("full"), [rs.CabFile("x.txt", b"x")], ["--check-off"])
        text = self.error_run(package)
        self.assertEqual(text, "File error C:\\windows\\temp\\")
        self.assertEqual(len(rs.ksv_folders()), 1000)
        self.assertEqual(rs.read(marker), b"keep")
        self.assertEqual(os.listdir(os.path.join(temp, "KSV999")), ["keep.txt"])


if __name__ == "__main__":
    unittest.main()
