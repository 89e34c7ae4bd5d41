#!/usr/bin/env python3
"""The "Replace file" prompt and its answers (within a cabinet and across
cabinets), the deletion error dialog, and Cancel or Escape in the middle of
a large payload. Screenshots of the progress dialog and of the prompt are
saved beside the build's Wine session (wine-run-artifacts)."""
import os
import shutil
import subprocess
import tempfile
import unittest

import run_support as rs
import wineharness as wine

TITLE = "Brindlewick Technology"
REPLACE = "Replace file"
DELETE_ERROR = "Error in deleting or accessing file"
(ITEM_REPLACE, ITEM_REPLACE_ALL, ITEM_SKIP, ITEM_SKIP_ALL, ITEM_PATH) = (1009, 1010, 1011, 1012, 1014)


class Prompts(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="kestrel-prompts-")
        self.addCleanup(shutil.rmtree, self.root, True)
        rs.clear_ksv_folders()
        self.addCleanup(rs.clear_ksv_folders)

    def in_place_package(self, folder, main_files, extra_cabs, old_files):
        """A package that extracts beside itself, its further cabinets, and
        the files already there (old contents)."""
        os.makedirs(folder, exist_ok=True)
        cab = os.path.join(self.root, os.path.basename(folder) + ".cab")
        rs.write(cab, rs.cabinet(main_files))
        options = ["--in-place", "--check-off"]
        if extra_cabs:
            options += ["--additional", ",".join(name for name, _ in extra_cabs)]
        package = rs.pack(os.path.join(folder, "pkg.exe"), cabinet_path=cab, options=options)
        for name, files in extra_cabs:
            rs.write(os.path.join(folder, name), rs.cabinet(files))
        for name in old_files:
            rs.write(os.path.join(folder, name), b"old " + name.encode())
        return package

    def test_replace_skip_escape_and_replace_all_across_cabinets(self):
        folder = os.path.join(self.root, "answers")
        new = lambda n: rs.CabFile(n, b"new " + n.encode())
        package = self.in_place_package(
            folder, [new("a.txt"), new("b.txt"), new("c.txt"), new("fresh.txt")],
            [("more.cab", [new("d.txt"), new("e.txt"), new("a.txt")])],
            ["a.txt", "b.txt", "c.txt", "d.txt", "e.txt"])
        prefix = wine.to_windows(folder) + "\\"
        shot = os.path.join(rs.artifacts_dir(), "replace_prompt.png")
        if os.path.exists(shot):
            os.remove(shot)
        steps = ["find:" + REPLACE, "text:%d" % ITEM_PATH, "stdin", "click:%d" % ITEM_REPLACE,
                 "find:" + REPLACE, "text:%d" % ITEM_PATH, "click:%d" % ITEM_SKIP, "gone",
                 # Escape ends the prompt without an answer: "Skip" stands.
                 "find:" + REPLACE, "text:%d" % ITEM_PATH, "escape", "gone",
                 # In the second cabinet: Replace All covers e.txt and a.txt.
                 "find:" + REPLACE, "text:%d" % ITEM_PATH, "click:%d" % ITEM_REPLACE_ALL, "gone"]
        run = rs.Run(package, steps=steps, on_line=rs.screenshot_at("text %d=" % ITEM_PATH, shot)).go()
        lines = run.lines
        self.assertEqual(run.code, 0)
        prompted = [l.split("=", 1)[1] for l in lines if l.startswith("text %d=" % ITEM_PATH)]
        self.assertEqual(prompted, [prefix + n for n in ("a.txt", "b.txt", "c.txt", "d.txt")], lines)
        contents = {n: rs.read(os.path.join(folder, n)) for n in ("a.txt", "b.txt", "c.txt", "d.txt", "e.txt",
                                                                   "fresh.txt")}
        self.assertEqual(contents, {"a.txt": b"new a.txt", "b.txt": b"old b.txt", "c.txt": b"old c.txt",
                                    "d.txt": b"new d.txt", "e.txt": b"new e.txt", "fresh.txt": b"new fresh.txt"})
        self.assertTrue(os.path.exists(shot), "no screenshot of the prompt")

    def test_folder_named_like_a_file_and_skip_all(self):
        folder = os.path.join(self.root, "skipall")
        new = lambda n: rs.CabFile(n, b"new " + n.encode())
        package = self.in_place_package(
            folder, [new("taken.txt"), new("after.txt")],
            [("more.cab", [new("f.txt"), new("g.txt"), new("h.txt")])],
            ["f.txt", "g.txt"])
        os.makedirs(os.path.join(folder, "taken.txt"))
        prefix = wine.to_windows(folder) + "\\"
        steps = ["find:" + REPLACE, "text:%d" % ITEM_PATH, "click:%d" % ITEM_REPLACE, "gone",
                 "find:" + DELETE_ERROR, "text:%d" % ITEM_PATH, "click:1", "gone",
                 "find:" + REPLACE, "text:%d" % ITEM_PATH, "click:%d" % ITEM_SKIP_ALL, "gone"]
        run = rs.Run(package, steps=steps).go()
        self.assertEqual(run.code, 0)
        texts = [l.split("=", 1)[1] for l in run.lines if l.startswith("text %d=" % ITEM_PATH)]
        self.assertEqual(texts, [prefix + "taken.txt", prefix + "taken.txt", prefix + "f.txt"], run.lines)
        # The failed open ended the first cabinet: after.txt never came.
        self.assertTrue(os.path.isdir(os.path.join(folder, "taken.txt")))
        self.assertFalse(os.path.exists(os.path.join(folder, "after.txt")))
        # Skip All: g.txt is left without a prompt, h.txt is new.
        self.assertEqual(rs.read(os.path.join(folder, "f.txt")), b"old f.txt")
        self.assertEqual(rs.read(os.path.join(folder, "g.txt")), b"old g.txt")
        self.assertEqual(rs.read(os.path.join(folder, "h.txt")), b"new h.txt")


class CancelRun(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="kestrel-cancel-")
        self.addCleanup(shutil.rmtree, self.root, True)
        rs.clear_ksv_folders()
        self.addCleanup(rs.clear_ksv_folders)

    def test_cancel_button_and_escape_in_a_large_payload(self):
        # 600 files of 100 KB; the program would log its start if it ran.
        files = [rs.CabFile("big\\file%03d.bin" % i, bytes([i & 0xFF]) * 100000) for i in range(600)]
        sample = rs.read(wine.win32_path("sample_setup.exe"))
        files.append(rs.CabFile("sample_setup.exe", sample))
        cab = os.path.join(self.root, "big.cab")
        rs.write(cab, rs.cabinet(files))
        log = os.path.join(self.root, "sample.log")
        env = {"KESTREL_SAMPLE_LOG": wine.to_windows(log)}
        shot = os.path.join(rs.artifacts_dir(), "progress_dialog.png")
        for how, press in (("button", "click:1"), ("escape", "escape")):
            folder = os.path.join(self.root, how)
            package = rs.pack(os.path.join(folder, "pkg.exe"), cabinet_path=cab,
                              options=["--check-off", "--program", "sample_setup.exe"])
            # Pressed as soon as the first file's name shows (a name may pass
            # between two polls, so no particular one is waited for).
            steps = ["find:" + TITLE, "watch-for:1006:big\\file", press, "gone"]
            run = rs.Run(package, steps=steps, extra_env=env).go()
            self.assertEqual(run.code, 0, how)
            self.assertIn("gone", run.lines, (how, run.lines[-5:]))
            self.assertTrue(any(s.startswith("big\\file") for s in run.statuses()), how)
            self.assertEqual(rs.ksv_folders(), [], how)
            self.assertFalse(os.path.exists(log), how)
            self.assertEqual(sorted(os.listdir(folder)), ["pkg.exe"], how)

        # The progress dialog, caught in the middle of the payload.
        folder = os.path.join(self.root, "shot")
        package = rs.pack(os.path.join(folder, "pkg.exe"), cabinet_path=cab,
                          options=["--check-off", "--program", "sample_setup.exe"])
        steps = ["find:" + TITLE, "watch-for:1006:big\\file", "stdin", "click:1"]
        run = rs.Run(package, steps=steps, extra_env=env, on_line=rs.screenshot_at("big\\file", shot)).go()
        self.assertEqual(run.code, 0)
        self.assertTrue(os.path.exists(shot))


if __name__ == "__main__":
    unittest.main()
