#!/usr/bin/env python3
"""Checks of the built kestrel.exe that need no Wine: size budget, import
table, subsystem, and every resource (strings, dialogs, menu, accelerators,
icon, version record). Prints the size so that build logs record it."""
import os
import struct
import subprocess
import unittest

import pe_resources as pe

SIZE_BUDGET_BYTES = 90112
ALLOWED_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "shlwapi.dll",
                "ole32.dll", "comdlg32.dll", "msvcrt.dll"}
WS_CHILD, WS_VISIBLE, WS_TABSTOP, WS_GROUP, WS_POPUP, WS_CAPTION, WS_SYSMENU = (
    0x40000000, 0x10000000, 0x10000, 0x20000, 0x80000000, 0xC00000, 0x80000)
DS_MODALFRAME, DS_SETFONT, DS_CENTER = 0x80, 0x40, 0x800
BUTTON, EDIT, STATIC = 0x80, 0x81, 0x82


def stub_path():
    """The i686 deliverable (the Wine tests may run an x86-64 test build instead)."""
    return os.path.join(os.environ["KESTREL_PE32_DIR"], "kestrel.exe")


class StubBuild(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(stub_path(), "rb") as f:
            cls.data = f.read()
        cls.image = pe.PeImage(cls.data)
        cls.dump = subprocess.run(["i686-w64-mingw32-objdump", "-p", stub_path()], check=True,
                                  stdout=subprocess.PIPE, text=True).stdout

    def test_size_budget(self):
        size = len(self.data)
        print("kestrel.exe: %d bytes (budget %d, aim 65536)" % (size, SIZE_BUDGET_BYTES))
        self.assertLessEqual(size, SIZE_BUDGET_BYTES)

    def test_imports_only_known_dlls(self):
        dlls = {line.split(":", 1)[1].strip().lower() for line in self.dump.splitlines()
                if line.strip().startswith("DLL Name:")}
        self.assertTrue(dlls, "no import table found")
        self.assertLessEqual(dlls, ALLOWED_DLLS, "unexpected imports: %s" % (dlls - ALLOWED_DLLS))
        self.assertIn("kernel32.dll", dlls)

    def test_gui_subsystem_32_bit(self):
        self.assertRegex(self.dump, r"Subsystem\s+00000002")
        self.assertIn("file format pei-i386", self.dump)

    def test_string_table_of_a_bare_stub(self):
        table = pe.string_table(self.image)
        self.assertEqual(table, {
            103: "Brindlewick Technology",
            112: "Please Wait while Self-Extracting is executing...",
            113: "File error",
            114: "Error encounter",
            115: "Select a folder to extract the files",
            116: "Extracting in progress",
            117: "Complete extracting",
        })  # and so no package entries: a bare stub does nothing

    def check_dialog(self, rid, title, rect, style, font, controls):
        dialog = pe.decode_dialog(self.image.resource(pe.RT_DIALOG, rid))
        self.assertEqual(dialog["title"], title)
        self.assertEqual(dialog["rect"][2:], rect)
        self.assertEqual(dialog["style"], style | DS_SETFONT, "dialog %d style %#x" % (rid, dialog["style"]))
        self.assertEqual((dialog["pointsize"], dialog["font"]), font)
        got = [(c["id"], c["class"] if isinstance(c["class"], int) else c["class"].upper(), c["text"],
                c["rect"]) for c in dialog["controls"]]
        self.assertEqual(got, controls)
        return dialog

    def test_progress_dialog(self):
        d = self.check_dialog(103, "Self", (217, 47), WS_CAPTION | DS_MODALFRAME | DS_CENTER, (10, "Times New Roman"), [
            (1, BUTTON, "Cancel", (187, 3, 27, 11)),
            (1006, STATIC, None, (29, 27, 158, 9)),
            (1007, STATIC, "Expanding", (29, 16, 158, 9)),
            (1008, STATIC, "Please Wait", (29, 5, 156, 9)),
            (0xFFFF, "STATIC", 104, (2, 5, 20, 20)),
        ])
        self.assertFalse(d["style"] & (WS_POPUP | WS_CHILD | WS_SYSMENU))
        button = d["controls"][0]["style"]
        self.assertEqual(button & (WS_TABSTOP | WS_GROUP | 0xF), WS_TABSTOP | WS_GROUP)  # BS_PUSHBUTTON
        for static in d["controls"][1:4]:
            self.assertEqual(static["style"] & 0xF, 0)  # SS_LEFT
        self.assertEqual(d["controls"][4]["style"] & 0xF, 3)  # SS_ICON

    def test_prompt_dialogs(self):
        self.check_dialog(130, "Replace file", (256, 63), WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_CENTER,
                          (8, "MS Sans Serif"), [
                              (1009, BUTTON, "Replace", (7, 42, 50, 14)),
                              (1010, BUTTON, "Replace All", (71, 42, 50, 14)),
                              (1011, BUTTON, "Skip", (135, 42, 50, 14)),
                              (1012, BUTTON, "Skip All", (199, 42, 50, 14)),
                              (1014, STATIC, "Please Wait", (46, 7, 203, 29)),
                              (0xFFFF, "STATIC", 104, (7, 7, 23, 23)),
                          ])
        d = self.check_dialog(132, "Error in deleting or accessing file", (228, 50),
                              WS_POPUP | WS_CAPTION | DS_MODALFRAME, (8, "MS Sans Serif"), [
                                  (1, BUTTON, "OK", (171, 29, 50, 14)),
                                  (1014, EDIT, None, (7, 7, 214, 18)),
                              ])
        self.assertEqual(d["controls"][0]["style"] & 0xF, 1)  # BS_DEFPUSHBUTTON
        edit = d["controls"][1]["style"]
        self.assertEqual(edit & 0x0804, 0x0804)  # ES_MULTILINE | ES_READONLY

    def test_menu_and_accelerators(self):
        menu = pe.decode_menu(self.image.resource(pe.RT_MENU, 109))
        self.assertEqual(menu, [("&File", [("E&xit", 105)]), ("&Help", [("&About ...", 104)])])
        accel = self.image.resource(pe.RT_ACCELERATOR, 109)
        entries = [struct.unpack_from("<HHHH", accel, i) for i in range(0, len(accel), 8)]
        FVIRTKEY, FALT = 0x01, 0x10
        self.assertEqual(sorted((key, cmd) for _, key, cmd, _ in entries), [(ord("/"), 104), (ord("?"), 104)])
        for flags, _, _, _ in entries:
            self.assertEqual(flags & (FVIRTKEY | FALT), FALT)  # character codes with Alt

    def test_icon_has_three_images(self):
        group = self.image.resource(pe.RT_GROUP_ICON, 104)
        count = struct.unpack_from("<H", group, 4)[0]
        images = []
        for i in range(count):
            width, height, colours, _, planes, bits, size, icon_id = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
            header = self.image.resource(pe.RT_ICON, icon_id)
            self.assertEqual(struct.unpack_from("<IiiHH", header, 0)[1:3], (width, height * 2))
            images.append((width, height, bits))
        self.assertEqual(sorted(images), sorted([(16, 16, 4), (32, 32, 8), (32, 32, 4)]))

    def test_version_record(self):
        version = self.image.resource(pe.RT_VERSION, 1)
        self.assertIn("VS_VERSION_INFO".encode("utf-16-le"), version)
        self.assertIn(struct.pack("<I", 0xFEEF04BD), version)
        self.assertIn("Brindlewick Technology".encode("utf-16-le"), version)


if __name__ == "__main__":
    unittest.main(verbosity=2)
