#!/usr/bin/env python3
"""DirEntry and RemoveWorkFolder under Wine, through tests/win32's
kestrel-fs-probe.exe. Every check of one group runs in one probe process:
each Wine start costs seconds."""
import os
import shutil
import subprocess
import tempfile
import unittest

import wineharness as wine

FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM = 0x1, 0x2, 0x4
ENTRY_NONE, ENTRY_FILE, ENTRY_FOLDER, ENTRY_DRIVE_ROOT = 0, 1, 2, 4


def run_probe(workdir, commands):
    """Runs the probe over commands (lists of fields); returns {line number: output line}."""
    command_file = os.path.join(workdir, "commands.txt")
    with open(command_file, "w", newline="\r\n") as f:
        for fields in commands:
            f.write("|".join(fields) + "\n")
    result = wine.run([wine.win32_path("kestrel-fs-probe.exe"), wine.to_windows(command_file)], timeout=300)
    out = {}
    for line in result.stdout.decode("latin-1").splitlines():
        number, _, rest = line.partition(" ")
        if number.isdigit():
            out[int(number)] = rest
    if len(out) != len(commands):
        raise AssertionError("probe answered %d of %d commands; stderr: %s"
                             % (len(out), len(commands), result.stderr.decode("latin-1")[-2000:]))
    return out


def fields_of(line):
    """'entry kind=1 size=3 ...' -> {'kind': '1', 'size': '3', ...}"""
    return dict(part.split("=", 1) for part in line.split()[1:] if "=" in part)


class DirEntryUnderWine(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="kestrel-direntry-")
        self.addCleanup(shutil.rmtree, self.root, True)

    def test_kinds_trimming_sizes_and_listing(self):
        folder = os.path.join(self.root, "two files")
        os.makedirs(folder)
        for name, size in (("a.txt", 3), ("b.bin", 70000)):
            with open(os.path.join(folder, name), "wb") as f:
                f.write(b"x" * size)
        big = os.path.join(self.root, "big.bin")
        with open(big, "wb") as f:
            f.truncate(5 * 1024 ** 3)  # sparse: 5 GiB on paper, nothing on disk
        win_folder = wine.to_windows(folder)
        cases = [
            # (command, expected kind, expected size or None)
            ("entry", win_folder + "\\a.txt", ENTRY_FILE, 3),
            ("entry", " \t" + win_folder + "\\b.bin\t \r", ENTRY_FILE, 70000),
            ("entry", win_folder, ENTRY_FOLDER, 0),
            ("entry", win_folder + "\\", None, 0),  # trailing backslash: whatever the search says, no crash
            ("entry", win_folder + "\\.", ENTRY_NONE, 0),
            ("entry", win_folder + "\\..", ENTRY_NONE, 0),
            ("entry", win_folder + "\\missing.txt", ENTRY_NONE, 0),
            ("entry", win_folder + "\\*.bin", ENTRY_FILE, 70000),  # the first match decides
            ("entry", "", ENTRY_NONE, 0),
            ("entry", "C:\\", ENTRY_DRIVE_ROOT, 0),
            ("entry", wine.to_windows(big), ENTRY_FILE, (5 * 1024 ** 3) % 2 ** 32),
        ]
        commands = [[c, p] for c, p, _, _ in cases] + [
            ["list", win_folder],
            ["list", "C:\\"],
            ["list", win_folder + "\\a.txt"],
        ]
        out = run_probe(self.root, commands)
        for number, (_, path, kind, size) in enumerate(cases, 1):
            got = fields_of(out[number])
            if kind is not None:
                self.assertEqual(int(got["kind"]), kind, "%r: %s" % (path, out[number]))
            self.assertEqual(int(got["size"]), size, "%r: %s" % (path, out[number]))
        self.assertIn("path=[%s\\b.bin]" % win_folder, out[2])  # trimmed at both ends

        listing = out[len(cases) + 1].split()
        self.assertEqual(listing[1], "count=4")
        self.assertEqual(sorted(listing[2:6]), sorted([".:0", "..:0", "a.txt:1", "b.bin:1"]))
        self.assertEqual(listing[-1], "past=none")
        root_listing = out[len(cases) + 2].lower()
        self.assertIn("windows:2", root_listing)
        self.assertEqual(out[len(cases) + 3].split()[1:], ["count=0", "past=none"])


class FormatTextUnderWine(unittest.TestCase):
    """FormatText on Windows uses the system runtime's formatter, which leaves
    a text of exactly the capacity unterminated: every cut must still end in
    a NUL inside the buffer and be reported."""

    def test_cuts_at_every_capacity(self):
        root = tempfile.mkdtemp(prefix="kestrel-format-")
        self.addCleanup(shutil.rmtree, root, True)
        text = "abcdefgh"  # formatted as "[abcdefgh]", 10 characters
        capacities = list(range(1, 14))
        out = run_probe(root, [["format", str(c), text] for c in capacities])
        full = "[%s]" % text
        for number, capacity in enumerate(capacities, 1):
            got = out[number]
            self.assertIn("guards=1", got, got)
            self.assertIn("whole=%d" % (1 if len(full) < capacity else 0), got, got)
            self.assertTrue(got.endswith("text=" + full[:capacity - 1]), got)


class RemoveWorkFolderUnderWine(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="kestrel-workfolder-")
        self.addCleanup(self.cleanup)

    def cleanup(self):
        for path, dirs, files in os.walk(self.root):
            os.chmod(path, 0o755)
            for name in files:
                full = os.path.join(path, name)
                if not os.path.islink(full):
                    os.chmod(full, 0o644)
        shutil.rmtree(self.root, True)

    def make_tree(self, top):
        """A work folder with nested folders and files; returns the file paths."""
        files = []
        for rel in ("a.txt", "sub/b.txt", "sub/deeper/c.txt", "sub/deeper/deepest/d.txt", "other/e.txt"):
            path = os.path.join(top, rel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w") as f:
                f.write(rel)
            files.append(path)
        return files

    def test_temporary_folder_goes_links_and_other_folders_stay(self):
        temp = os.path.join(self.root, "windows", "temp")
        work = os.path.join(temp, "KSV000")
        files = self.make_tree(work)
        # A second work folder holds a folder link to a folder outside. Wine
        # shows a Linux symbolic link to a folder as a reparse point, as
        # Windows shows a junction; links to files it shows as plain files,
        # so their rule is tested natively (DecideChildRemoval).
        linked_work = os.path.join(temp, "KSV002")
        self.make_tree(linked_work)
        outside = os.path.join(self.root, "outside")
        os.makedirs(os.path.join(outside, "kept", "inner"))
        keep_files = [os.path.join(outside, "kept", "precious.txt"),
                      os.path.join(outside, "kept", "inner", "also.txt")]
        for keep in keep_files:
            with open(keep, "w") as f:
                f.write("keep")
        link = os.path.join(linked_work, "sub", "folder-link")
        os.symlink(os.path.join(outside, "kept"), link)
        # Folders that must survive: the package's own folder, a picked folder,
        # a KSV folder beneath the package's folder, a drive root of its own.
        own = os.path.join(self.root, "package")
        own_files = self.make_tree(own)
        beneath = os.path.join(own, "KSV001")
        beneath_files = self.make_tree(beneath)
        picked = os.path.join(self.root, "picked")
        picked_files = self.make_tree(picked)
        drive_target = os.path.join(self.root, "drive")
        drive_files = self.make_tree(drive_target)
        dosdevices = os.path.join(wine.session()["prefix"], "dosdevices")
        drive_link = os.path.join(dosdevices, "q:")
        if os.path.lexists(drive_link):
            os.remove(drive_link)
        os.symlink(drive_target, drive_link)
        self.addCleanup(os.remove, drive_link)

        w = wine.to_windows
        own_dir = w(own) + "\\"
        commands = [
            ["attrib", w(files[0]), "%x" % FILE_ATTRIBUTE_READONLY],
            ["attrib", w(files[1]), "%x" % (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY)],
            ["attrib", w(files[3]), "%x" % (FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN)],
            ["attrib", w(os.path.dirname(files[2])), "%x" % (FILE_ATTRIBUTE_READONLY | 0x10)],
            ["entry", w(link)],
            ["remove", "", "", own_dir],                                   # nothing settled
            ["remove", own_dir, own_dir, own_dir],                         # extracted in place
            ["remove", w(beneath) + "\\", w(beneath), own_dir],           # beneath the own folder
            ["remove", w(picked) + "\\", w(picked) + "\\", own_dir],      # a picked folder
            ["remove", "Q:\\", "Q:\\", own_dir],                           # a picked drive root
            ["remove", "Q:\\", "Q:", own_dir],
            ["remove", w(work) + "\\", w(work), own_dir],                 # the temporary folder
            ["remove", w(linked_work) + "\\", w(linked_work), own_dir],   # one with a folder link
        ]
        out = run_probe(self.root, commands)
        for n in (1, 2, 3):
            self.assertIn("ok=1", out[n])
        self.assertEqual(fields_of(out[5])["reparse"], "1", out[5])

        self.assertFalse(os.path.lexists(work), "the temporary work folder is left: %s"
                         % [os.path.join(p, n) for p, d, fs in os.walk(work) for n in d + fs])
        self.assertTrue(os.path.isdir(temp))
        for keep in keep_files:
            self.assertTrue(os.path.exists(keep), "a link's target was touched: %s" % keep)
        # Everything but the link is gone; Wine cannot remove a Linux symbolic
        # link through RemoveDirectoryA (Windows removes a junction so), so
        # the link and the folders holding it may stay.
        left = sorted(os.path.relpath(os.path.join(p, n), linked_work)
                      for p, d, fs in os.walk(linked_work) for n in d + fs)
        self.assertLessEqual(set(left), {"sub", os.path.join("sub", "folder-link")}, left)
        for survivor in own_files + beneath_files + picked_files + drive_files:
            self.assertTrue(os.path.exists(survivor), survivor)


if __name__ == "__main__":
    unittest.main(verbosity=2)
