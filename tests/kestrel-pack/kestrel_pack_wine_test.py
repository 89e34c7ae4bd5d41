#!/usr/bin/env python3
"""A package made by kestrel-pack, run under Wine: the Windows loader must
accept the rewritten image and LoadStringA must give the entries as stored.

The test stub (fixture/fixture.c) prints its string entries as "id=text"
lines. The stub is the one that the session's Wine can execute: the i386
build, or the x86-64 build in a 64-bit session.
"""
import os
import subprocess
import sys
import tempfile

import wineharness

FIXTURE_DIR = os.path.join(os.environ["KESTREL_NATIVE_DIR"], "..", "tests", "kestrel-pack", "fixture")


def printed_entries(path):
    result = wineharness.run([path], timeout=120)
    if result.returncode != 0:
        sys.exit("%s ended with %d: %s" % (path, result.returncode, result.stderr.decode("latin-1")))
    entries = {}
    for line in result.stdout.decode("latin-1").splitlines():
        number, _, text = line.rstrip("\r").partition("=")
        entries[int(number)] = text
    return entries


def main():
    stub_name = "fixture-x64.exe" if wineharness.session().get("arch") == "win64" else "fixture.exe"
    stub = os.path.join(FIXTURE_DIR, stub_name)
    tool = wineharness.native_path("kestrel-pack")
    failures = []
    with tempfile.TemporaryDirectory(prefix="kestrel-pack-wine-") as work:
        payload = os.path.join(work, "payload")
        os.makedirs(payload)
        with open(os.path.join(payload, "setup.exe"), "wb") as f:
            f.write(bytes(range(256)) * 64)
        package = os.path.join(work, "fixture-pkg.exe")
        subprocess.run([tool, "build", "--stub", stub, "--output", package, "--files", payload,
                        "--file-time", "2024-01-01", "--program", "setup.exe", "--args", "/s",
                        "--program", "notes.txt", "--no-progress", "--in-place", "--browse-title", "Choose",
                        "--additional", "a.cab", "--split-parts", "2"], check=True)
        stub_entries = printed_entries(stub)
        if stub_entries.get(460) != "stale":
            failures.append("the bare stub does not show its own entry 460: %s" % stub_entries)
        entries = printed_entries(package)
        size = os.path.getsize(package)
        payload_size = int(entries.get(469, "-1"))
        expected = {103: "Kestrel Fixture", 112: "Please wait...", 113: "Cannot write the file", 114: "Error",
                    115: "Choose", 116: "Extracting", 117: "Complete", 200: "setup.exe", 201: "notes.txt",
                    300: "/s", 460: "1", 461: str(size - payload_size - 15), 462: "0", 463: "1", 464: "a.cab",
                    465: "fixture-pkg", 466: "2", 467: "2", 468: str(payload_size), 469: str(payload_size),
                    471: "0"}
        if entries != expected:
            failures.append("LoadStringA gives\n  %s\nexpected\n  %s" % (entries, expected))
    for failure in failures:
        print("FAIL: " + failure)
    print("%s: %s" % (stub_name, "failed" if failures else "the loader reads the package's string table"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
