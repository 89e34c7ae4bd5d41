#!/usr/bin/env python3
"""kestrel.exe's start under Wine: disabled packages, option cases, the
marker commands through the replacement chain (tmp000.exe), what the
checksum covers, and refused marker positions and copies.

Packages come from the test stub (tests/win32/kestrel_test.rc) through
package_builder.py; the payload is opaque bytes, since no test here gets as
far as an extraction. Wine runs emulated and slowly, so each test groups
several checks and independent runs are started side by side."""
import os
import shutil
import tempfile
import unittest

import package_builder as pb
import wineharness as wine

RUN_TIMEOUT_S = 300
MARKER_LENGTH = 15


def read(path):
    with open(path, "rb") as f:
        return f.read()


class Startup(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.stub = read(wine.win32_path("kestrel-teststub.exe"))
        cls.bare_stub = read(wine.win32_path("kestrel.exe"))

    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="kestrel-startup-")
        self.addCleanup(shutil.rmtree, self.root, True)

    def folder(self, name):
        path = os.path.join(self.root, name)
        os.makedirs(path, exist_ok=True)
        return path

    def run_all(self, runs):
        """Starts every (exe path or Wine program name, args) side by side, waits for each and then
        for the whole session to go idle (relaunch chains); returns exit codes."""
        started = [wine.start([wine.to_windows(exe) if os.path.isabs(exe) else exe] + list(args),
                              cwd=os.path.dirname(exe) or self.root)
                   for exe, args in runs]
        codes = []
        for process in started:
            process.communicate(timeout=RUN_TIMEOUT_S)
            codes.append(process.returncode)
        wine.wait_idle(timeout=RUN_TIMEOUT_S)
        return codes

    def marker_of(self, path, payload_size):
        data = read(path)
        return data[len(data) - payload_size - MARKER_LENGTH:len(data) - payload_size].decode("latin-1")

    def test_disabled_package_does_nothing(self):
        payload = b"not a cabinet" * 10
        runs, expected = [], []
        cases = [("zero", {"stubSize": "0"}, "/crc:recal"),
                 ("empty", {"stubSize": ""}, "/crc:recal"),
                 ("letters", {"stubSize": "abc"}, "/copy:copied.exe"),
                 ("negative", {"stubSize": "-90112"}, "/crc:off")]
        for name, settings, option in cases:
            folder = self.folder(name)
            package = pb.build_package(self.stub, payload, marker="CRC1,0x00000000", settings=settings)
            path = os.path.join(folder, "pkg.exe")
            pb.write(path, package)
            runs.append((path, [option]))
            expected.append((folder, path, package))
        # The bare stub has no entries at all.
        bare_folder = self.folder("bare")
        bare_path = os.path.join(bare_folder, "kestrel.exe")
        bare = self.bare_stub + b"CRC1,0x00000000" + payload
        pb.write(bare_path, bare)
        runs.append((bare_path, ["/crc:recal"]))
        expected.append((bare_folder, bare_path, bare))

        self.assertEqual(self.run_all(runs), [0] * len(runs))
        for folder, path, package in expected:
            self.assertEqual(read(path), package, path)
            self.assertEqual(sorted(os.listdir(folder)), [os.path.basename(path)], folder)

    def test_replacement_chain_for_on_and_off(self):
        payload = bytes(range(256)) * 8
        folder = self.folder("chain")
        path = os.path.join(folder, "pkg.exe")
        original = pb.build_package(self.stub, payload, marker="CRC0,0x1234abcd")
        pb.write(path, original)

        def expect_marker(marker):
            data = read(path)
            self.assertEqual(self.marker_of(path, len(payload)), marker)
            start = len(original) - len(payload) - MARKER_LENGTH
            self.assertEqual(data[:start], original[:start])
            self.assertEqual(data[start + MARKER_LENGTH:], original[start + MARKER_LENGTH:])
            self.assertEqual(sorted(os.listdir(folder)), ["pkg.exe"], "tmp000.exe or a stray copy is left")

        self.assertEqual(self.run_all([(path, ["/crc:on"])]), [0])
        expect_marker("CRC1,0x1234abcd")
        # Capitals work for the marker commands; "/COPY:" in capitals is no
        # copy-back step, so no copied.exe appears and the run goes on.
        self.assertEqual(self.run_all([(path, ["/COPY:copied.exe", "/Crc:OFF"])]), [0])
        expect_marker("CRC0,0x1234abcd")
        # Both on and off: on wins. The digits come back unchanged.
        self.assertEqual(self.run_all([(path, ["/crc:off", "/CRC:ON"])]), [0])
        expect_marker("CRC1,0x1234abcd")

    def test_chain_steps_take_the_rest_of_the_line(self):
        payload = b"opaque payload" * 30
        package = pb.build_package(self.stub, payload, marker="CRC0,0x00000000")
        # Copy-back step run by hand: everything after "/copy:", blanks
        # included, names the target in the same folder; the target then
        # deletes the copy that started it. cmd passes the line unquoted.
        folder = self.folder("copy")
        source = os.path.join(folder, "src.exe")
        pb.write(source, package)
        # "/DELETE:" in capitals is no delete step: the run goes on (check
        # off, payload not a cabinet, nothing to start) and the file stays.
        other = self.folder("capital-delete")
        victim = os.path.join(other, "victim.txt")
        pb.write(victim, b"stays")
        capital = os.path.join(other, "pkg.exe")
        pb.write(capital, package)
        codes = self.run_all([("cmd", ["/c", wine.to_windows(source) + " /copy:my pkg.exe"]),
                              (capital, ["/DELETE:" + wine.to_windows(victim)])])
        self.assertEqual(codes, [0, 0])
        self.assertEqual(sorted(os.listdir(folder)), ["my pkg.exe"])
        self.assertEqual(read(os.path.join(folder, "my pkg.exe")), package)
        self.assertEqual(read(victim), b"stays")

    def test_recalculation_covers_image_payload_and_parts_only(self):
        payload = b"MSCF" + bytes((i * 7) & 0xFF for i in range(3000))
        parts = [bytes((i * 13) & 0xFF for i in range(1500)), b"second part" * 90]
        settings = {"splitPartCount": "2", "partBaseName": "pkg"}
        stub_size = len(self.stub) - 40  # the last 40 bytes of the stub are not covered

        variants = {
            # name: (stub bytes, bytes between stub and marker)
            "plain": (self.stub, b""),
            "between": (self.stub, b"bytes between the stub and the marker"),
            "image": (self.stub.replace(b"cannot be run in DOS mode", b"CANNOT be run in DOS mode"), b""),
            "tail": (self.stub[:-8] + b"ZZZZZZZZ", b""),  # inside the stub, beyond stubSize
        }
        runs, paths = [], {}
        for name, (stub, between) in variants.items():
            folder = self.folder(name)
            path = os.path.join(folder, "pkg.exe")
            s = dict(settings, stubSize=str(stub_size))
            pb.write(path, pb.build_package(stub, payload, marker="CRC0,0xffffffff", settings=s, between=between))
            for n, part in enumerate(parts, 1):
                pb.write(os.path.join(folder, "pkg.%03d" % n), part)
            runs.append((path, ["/decom", "/crc:recal"]))
            paths[name] = path
        self.assertEqual(self.run_all(runs), [0] * len(runs))

        digits = {}
        for name, path in paths.items():
            marker = self.marker_of(path, len(payload))
            self.assertTrue(marker.startswith("CRC1,0x"), marker)
            digits[name] = marker[7:]
            data = read(path)
            expected = pb.checksum([data[:stub_size], payload] + parts)
            self.assertEqual(digits[name], "%08x" % expected, name)
            # /decom with /crc:recal extracts nothing.
            self.assertEqual(sorted(os.listdir(os.path.dirname(path))), ["pkg.001", "pkg.002", "pkg.exe"])
        self.assertEqual(digits["between"], digits["plain"])
        self.assertEqual(digits["tail"], digits["plain"])
        self.assertNotEqual(digits["image"], digits["plain"])

        # A changed split part is taken in by the next recalculation; a missing
        # one makes the computation fail, and nothing is rewritten.
        plain = paths["plain"]
        pb.write(os.path.join(os.path.dirname(plain), "pkg.002"), b"changed" + parts[1][7:])
        missing = paths["between"]
        os.remove(os.path.join(os.path.dirname(missing), "pkg.002"))
        before_missing = read(missing)
        self.assertEqual(self.run_all([(plain, ["/CRC:RECAL"]), (missing, ["/crc:recal"])]), [0, 0])
        changed = pb.checksum([read(plain)[:stub_size], payload, parts[0], b"changed" + parts[1][7:]])
        self.assertEqual(self.marker_of(plain, len(payload)), "CRC1,0x%08x" % changed)
        self.assertNotEqual("%08x" % changed, digits["plain"])
        self.assertEqual(read(missing), before_missing)
        self.assertEqual(sorted(os.listdir(os.path.dirname(missing))), ["pkg.001", "pkg.exe"])

    def test_refused_marker_positions_and_copies(self):
        payload = b"payload bytes" * 20
        runs, unchanged = [], []
        for name, payload_size in (("beyond", str(len(payload) + 10 ** 6)), ("negative", "-20"),
                                   ("no-room", None)):
            folder = self.folder(name)
            path = os.path.join(folder, "pkg.exe")
            if payload_size is None:
                # payloadSize the whole file: no room for a marker in front of it.
                size = len(self.stub) + MARKER_LENGTH + len(payload)
                package = pb.build_package(self.stub, payload, marker="CRC1,0x00000000",
                                           settings={"payloadSize": str(size)})
            else:
                package = pb.build_package(self.stub, payload, marker="CRC1,0x00000000",
                                           settings={"payloadSize": payload_size})
            pb.write(path, package)
            runs.append((path, ["/crc:off"]))
            unchanged.append((folder, path, package, ["pkg.exe"]))
        # A tmp000.exe that cannot be replaced by a fresh copy (a folder of
        # that name): nothing is patched and nothing is started.
        folder = self.folder("blocked")
        path = os.path.join(folder, "pkg.exe")
        package = pb.build_package(self.stub, payload, marker="CRC1,0x00000000")
        pb.write(path, package)
        os.makedirs(os.path.join(folder, "tmp000.exe"))
        runs.append((path, ["/crc:off"]))
        unchanged.append((folder, path, package, ["pkg.exe", "tmp000.exe"]))

        self.assertEqual(self.run_all(runs), [0] * len(runs))
        for folder, path, package, listing in unchanged:
            self.assertEqual(read(path), package, folder)
            self.assertEqual(sorted(os.listdir(folder)), listing, folder)
        self.assertEqual(os.listdir(os.path.join(self.root, "blocked", "tmp000.exe")), [])

    def test_runs_end_with_and_without_the_dialog(self):
        payload = b"not a cabinet at all" * 50
        runs = []
        for name, settings, args in (("dialog", {"showProgress": "1"}, []),
                                     ("hidden", {"showProgress": "0"}, []),
                                     ("hidemsg", {"showProgress": "1"}, ["/HideMsg"])):
            folder = self.folder(name)
            path = os.path.join(folder, "pkg.exe")
            pb.write(path, pb.build_package(self.stub, payload, settings=dict(settings, cleanupWorkDir="1")))
            runs.append((path, args))
        self.assertEqual(self.run_all(runs), [0, 0, 0])


if __name__ == "__main__":
    unittest.main(verbosity=2)
