#!/usr/bin/env python3
"""Checks the image of plover.exe: a 32-bit GUI-subsystem program, stripped,
small, importing only system DLLs, whose only resource is its version record
1.0.0.1.

    check_plover_image.py PATH/plover.exe

Every field is read through a bounds-checked little-endian reader: a damaged
image fails a check, it never crashes the script.
"""
import os
import struct
import sys
import unittest

IMAGE_PATH = None  # set from the command line

MACHINE_I386 = 0x014C
PE32_MAGIC = 0x010B
SUBSYSTEM_WINDOWS_GUI = 2
DIR_IMPORT = 1
DIR_RESOURCE = 2
RT_VERSION = 16
FIXED_FILE_INFO_SIGNATURE = 0xFEEF04BD

# System DLLs that plover may import: the kernel, the setup library and the C
# runtime that MinGW's start-up code uses.
ALLOWED_DLLS = {"kernel32.dll", "setupapi.dll", "msvcrt.dll"}
# A budget, not a target: a stray static C++ runtime or debug information
# costs hundreds of KB and would show here.
SIZE_BUDGET_BYTES = 24 * 1024


class ImageError(Exception):
    pass


class Reader:
    """Little-endian fields of a byte string, refusing reads past its end."""

    def __init__(self, data):
        self.data = data

    def _unpack(self, fmt, offset):
        size = struct.calcsize(fmt)
        if offset < 0 or offset + size > len(self.data):
            raise ImageError(f"read of {size} bytes at {offset:#x} past the end ({len(self.data):#x})")
        return struct.unpack_from(fmt, self.data, offset)[0]

    def u16(self, offset):
        return self._unpack("<H", offset)

    def u32(self, offset):
        return self._unpack("<I", offset)

    def cstring(self, offset, limit=256):
        if offset < 0 or offset >= len(self.data):
            raise ImageError(f"string at {offset:#x} past the end")
        end = self.data.find(b"\0", offset, offset + limit)
        if end < 0:
            raise ImageError(f"string at {offset:#x} has no end")
        return self.data[offset:end].decode("ascii", "replace")


class PeImage:
    def __init__(self, data):
        self.r = Reader(data)
        if data[:2] != b"MZ":
            raise ImageError("no MZ header")
        pe = self.r.u32(0x3C)
        if self.r.u32(pe) != 0x00004550:
            raise ImageError("no PE signature")
        coff = pe + 4
        self.machine = self.r.u16(coff)
        section_count = self.r.u16(coff + 2)
        self.symbol_table = self.r.u32(coff + 8)
        self.symbol_count = self.r.u32(coff + 12)
        optional_size = self.r.u16(coff + 16)
        opt = coff + 20
        self.magic = self.r.u16(opt)
        self.subsystem = self.r.u16(opt + 68)
        dir_count = self.r.u32(opt + 92)
        self.directories = []
        for i in range(min(dir_count, 16)):
            self.directories.append((self.r.u32(opt + 96 + 8 * i), self.r.u32(opt + 100 + 8 * i)))
        self.sections = []
        table = opt + optional_size
        for i in range(section_count):
            s = table + 40 * i
            self.sections.append({"virtual_size": self.r.u32(s + 8), "rva": self.r.u32(s + 12),
                                  "raw_size": self.r.u32(s + 16), "raw_offset": self.r.u32(s + 20)})

    def offset_of(self, rva):
        for s in self.sections:
            if s["rva"] <= rva < s["rva"] + max(s["virtual_size"], s["raw_size"]):
                return s["raw_offset"] + rva - s["rva"]
        raise ImageError(f"RVA {rva:#x} lies in no section")

    def imports(self):
        """{dll name (lower case): [function names]}"""
        rva, size = self.directories[DIR_IMPORT]
        result = {}
        if rva == 0:
            return result
        entry = self.offset_of(rva)
        while True:
            lookup_rva, name_rva, thunk_rva = self.r.u32(entry), self.r.u32(entry + 12), self.r.u32(entry + 16)
            if name_rva == 0:
                break
            names = []
            thunk = self.offset_of(lookup_rva or thunk_rva)
            while True:
                value = self.r.u32(thunk)
                if value == 0:
                    break
                names.append(f"#{value & 0xFFFF}" if value & 0x80000000 else self.r.cstring(self.offset_of(value) + 2))
                thunk += 4
            result[self.r.cstring(self.offset_of(name_rva)).lower()] = names
            entry += 20
        return result

    def resources(self):
        """[(type id, name id, language id, data bytes)] of the three-level tree"""
        rva, _ = self.directories[DIR_RESOURCE]
        if rva == 0:
            return []
        base = self.offset_of(rva)
        found = []

        def entries(directory):
            named, ids = self.r.u16(directory + 12), self.r.u16(directory + 14)
            for i in range(named + ids):
                e = directory + 16 + 8 * i
                yield self.r.u32(e), self.r.u32(e + 4)

        for type_id, type_ref in entries(base):
            if not type_ref & 0x80000000:
                raise ImageError("resource type entry is not a directory")
            for name_id, name_ref in entries(base + (type_ref & 0x7FFFFFFF)):
                if not name_ref & 0x80000000:
                    raise ImageError("resource name entry is not a directory")
                for lang_id, leaf in entries(base + (name_ref & 0x7FFFFFFF)):
                    data_rva, data_size = self.r.u32(base + leaf), self.r.u32(base + leaf + 4)
                    start = self.offset_of(data_rva)
                    if start + data_size > len(self.r.data):
                        raise ImageError("resource data past the end")
                    found.append((type_id, name_id, lang_id, self.r.data[start:start + data_size]))
        return found


def fixed_file_info(version_block):
    """(file version, product version) as 4-tuples from a VS_VERSIONINFO block."""
    r = Reader(version_block)
    # VS_VERSIONINFO: wLength, wValueLength, wType, "VS_VERSION_INFO\0" in
    # UTF-16, padding to 32 bits, then VS_FIXEDFILEINFO.
    key_end = version_block.find("VS_VERSION_INFO\0".encode("utf-16-le"), 6)
    if key_end != 6:
        raise ImageError("version block lacks its VS_VERSION_INFO key")
    fixed = (6 + len("VS_VERSION_INFO\0") * 2 + 3) & ~3
    if r.u32(fixed) != FIXED_FILE_INFO_SIGNATURE:
        raise ImageError("VS_FIXEDFILEINFO signature missing")

    def version(ms, ls):
        return (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)

    return (version(r.u32(fixed + 8), r.u32(fixed + 12)), version(r.u32(fixed + 16), r.u32(fixed + 20)))


class PloverImageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(IMAGE_PATH, "rb") as f:
            cls.data = f.read()
        cls.image = PeImage(cls.data)
        print(f"plover.exe: {len(cls.data)} bytes", file=sys.stderr)

    def test_is_a_32_bit_gui_program(self):
        self.assertEqual(self.image.machine, MACHINE_I386)
        self.assertEqual(self.image.magic, PE32_MAGIC)
        self.assertEqual(self.image.subsystem, SUBSYSTEM_WINDOWS_GUI)

    def test_is_stripped_and_within_its_size_budget(self):
        self.assertEqual((self.image.symbol_table, self.image.symbol_count), (0, 0))
        self.assertLessEqual(len(self.data), SIZE_BUDGET_BYTES)

    def test_imports_only_system_dlls(self):
        imports = self.image.imports()
        for dll, names in sorted(imports.items()):
            print(f"  {dll}: {len(names)} functions", file=sys.stderr)
        self.assertLessEqual(set(imports), ALLOWED_DLLS)
        self.assertIn("SetupCopyOEMInfA", imports.get("setupapi.dll", []))

    def test_only_resource_is_version_1_0_0_1(self):
        resources = self.image.resources()
        self.assertEqual([(t, n) for t, n, _, _ in resources], [(RT_VERSION, 1)])
        file_version, product_version = fixed_file_info(resources[0][3])
        self.assertEqual(file_version, (1, 0, 0, 1))
        self.assertEqual(product_version, (1, 0, 0, 1))
        # The string table carries the same texts that Explorer shows.
        for key in ("FileVersion", "ProductVersion"):
            pair = (key + "\0").encode("utf-16-le")
            at = resources[0][3].find(pair)
            self.assertGreaterEqual(at, 0, key)
            value_at = (at + len(pair) + 3) & ~3
            self.assertTrue(resources[0][3][value_at:].startswith("1.0.0.1\0".encode("utf-16-le")), key)


if __name__ == "__main__":
    if len(sys.argv) < 2 or not sys.argv[1].endswith(".exe"):
        sys.exit("usage: check_plover_image.py PATH/plover.exe [unittest options]")
    IMAGE_PATH = sys.argv.pop(1)
    if not os.path.exists(IMAGE_PATH):
        sys.exit(f"check_plover_image.py: {IMAGE_PATH} is missing; build the win32 target plover first")
    unittest.main()
