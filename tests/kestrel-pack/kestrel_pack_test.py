#!/usr/bin/env python3
"""kestrel-pack run as a user runs it, on every stub given.

    kestrel_pack_test.py --tool KESTREL-PACK --objdump OBJDUMP --windres WINDRES
                         --stub STUB.exe [--stub ...]

The toolchain's own readers are the witnesses: objdump -p must show a sane
resource directory, and windres must decompile the package's resources to
the expected string table and to the same other resources as the stub's.
A stub that does not exist (the real kestrel.exe before a win32 build) is
skipped with a note. Exit status 0 when every check passed.
"""
import argparse
import filecmp
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

PACKAGE_IDS = set(range(200, 400)) | set(range(460, 472))
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL: " + message)
    return condition


def run(args, expect_status=None, what=""):
    result = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
    out = result.stdout.decode("latin-1") + result.stderr.decode("latin-1")
    if expect_status is not None:
        check(result.returncode == expect_status,
              "%s: exit status %d, expected %d\n%s" % (what or " ".join(args), result.returncode, expect_status, out))
    return result.returncode, out


def decompile(windres, path):
    """windres's view of the resources: string entries, and the rest as text."""
    status, out = run([windres, "-i", path, "-O", "rc"], 0, "windres " + path)
    strings = {}
    others = []
    in_table = False
    for line in out.splitlines():
        if line.strip() == "STRINGTABLE":
            in_table = True
            continue
        if in_table:
            if line.strip() == "END":
                in_table = False
            match = re.match(r'^\s+(\d+),\s+"(.*)"$', line)
            if match:
                strings[int(match.group(1))] = match.group(2)
            continue
        others.append(line)
    # Comments name the string blocks, which change; drop them and blank runs.
    text = re.sub(r"/\*.*?\*/", "", "\n".join(others), flags=re.S)
    text = re.sub(r"\n\s*\n+", "\n", text).strip()
    return strings, text


def objdump_checks(objdump, path, payload_bytes):
    status, headers = run([objdump, "-h", path], 0, "objdump -h " + path)
    status, private = run([objdump, "-p", path], 0, "objdump -p " + path)
    check("warning" not in private.lower(), "objdump -p warns about %s" % path)
    rsrc = re.search(r"\.rsrc\s+([0-9a-f]+)\s+([0-9a-f]+)", headers)
    entry = re.search(r"Entry 2 ([0-9a-f]+) ([0-9a-f]+) Resource Directory", private)
    image_base = re.search(r"ImageBase\s+([0-9a-f]+)", private)
    if not (check(rsrc and entry and image_base, "objdump shows no resource section or directory in " + path)):
        return
    rva, size = int(entry.group(1), 16), int(entry.group(2), 16)
    check(rva + int(image_base.group(1), 16) == int(rsrc.group(2), 16),
          "the resource directory does not start the .rsrc section")
    check(size == int(rsrc.group(1), 16), "the resource directory size differs from the section size")
    check("Type Table" in private and "Leaf:" in private, "objdump cannot walk the resource tree of " + path)
    # The image ends where the marker begins: objdump sees no section past it.
    offsets = [int(m.group(1), 16) + int(m.group(2), 16)
               for m in re.finditer(r"\n\s*\d+ \S+\s+([0-9a-f]+)\s+[0-9a-f]+\s+[0-9a-f]+\s+([0-9a-f]+)", headers)]
    check(max(offsets) <= os.path.getsize(path) - payload_bytes - 15, "a section runs into the marker")


def flip(path, offset):
    with open(path, "r+b") as f:
        f.seek(offset)
        byte = f.read(1)
        f.seek(offset)
        f.write(bytes([byte[0] ^ 0x01]))


def is_x64(path):
    with open(path, "rb") as f:
        head = f.read(4096)
    offset = struct.unpack_from("<I", head, 0x3C)[0]
    return struct.unpack_from("<H", head, offset + 4)[0] == 0x8664


def tools_for(args, stub):
    """objdump and windres that read the stub's machine: the x86-64 MinGW tools
    beside the i686 ones for an x86-64 stub."""
    if not is_x64(stub):
        return args.objdump, args.windres
    return tuple(path.replace("i686-w64-mingw32", "x86_64-w64-mingw32") for path in (args.objdump, args.windres))


def make_payload(folder):
    os.makedirs(os.path.join(folder, "docs"))
    with open(os.path.join(folder, "setup.exe"), "wb") as f:
        f.write(bytes((i * 31 + 7) % 251 for i in range(40000)))
    with open(os.path.join(folder, "docs", "readme.txt"), "wb") as f:
        f.write(b"kestrel test payload\r\n" * 200)


def test_stub(args, stub, work):
    tool = args.tool
    print("== stub " + stub)
    objdump, windres = tools_for(args, stub)
    payload = os.path.join(work, "payload")
    make_payload(payload)
    stub_strings, stub_others = decompile(windres, stub)

    out = os.path.join(work, "one")
    os.makedirs(out)
    package = os.path.join(out, "setup-pkg.exe")
    build = [tool, "build", "--stub", stub, "--files", payload, "--file-time", "2024-05-06 07:08:10",
             "--program", "setup.exe", "--args", "/quiet", "--program", "docs\\readme.txt",
             "--browse-title", "Pick a folder", "--no-cleanup"]
    status, text = run(build + ["--output", package], 0, "build")
    check("2 files" in text, "build does not report the packed files: " + text)
    status, text = run([tool, "verify", package], 0, "verify of a fresh package")
    check(text.rstrip().endswith(": ok"), "verify does not say ok: " + text)
    check("extracts: 2 files, 44400 bytes" in text, "verify does not report the extracted files: " + text)

    # The string table as windres reads it back.
    size = os.path.getsize(package)
    strings, others = decompile(windres, package)
    stub_size = int(strings.get(461, "0"))
    payload_size = int(strings.get(469, "-1"))
    check(stub_size == size - payload_size - 15, "stubSize %d does not meet the marker" % stub_size)
    expected = {k: v for k, v in stub_strings.items() if k not in PACKAGE_IDS}
    expected.update({115: "Pick a folder", 200: "setup.exe", 300: "/quiet", 201: "docs\\\\readme.txt",
                     460: "0", 461: str(stub_size), 462: "1", 463: "0", 465: "setup-pkg", 466: "0", 467: "2",
                     468: str(payload_size), 469: str(payload_size), 471: "0"})
    check(strings == expected, "string table read back by windres:\n  got      %s\n  expected %s" % (strings, expected))
    check(others == stub_others, "the other resources changed:\n--- stub\n%s\n--- package\n%s" % (stub_others, others))
    objdump_checks(objdump, package, payload_size)
    with open(package, "rb") as f:
        f.seek(stub_size)
        marker = f.read(15).decode("latin-1")
    check(re.fullmatch(r"CRC1,0x[0-9a-f]{8}", marker) is not None, "marker " + marker)

    # Same inputs, same bytes (another folder, same output name).
    again = os.path.join(work, "again")
    os.makedirs(again)
    run(build + ["--output", os.path.join(again, "setup-pkg.exe")], 0, "second build")
    check(filecmp.cmp(package, os.path.join(again, "setup-pkg.exe"), shallow=False), "two builds differ")

    # Damage that verify must find.
    for name, offset in (("stub", 0x200), ("payload", size - 1)):
        damaged = os.path.join(out, "damaged.exe")
        shutil.copyfile(package, damaged)
        flip(damaged, offset)
        status, text = run([tool, "verify", damaged], 1, "verify with a flipped byte in the " + name)
        check("does not match" in text, "verify does not name the mismatch in the %s: %s" % (name, text))
    # The same package (same name, so the same entry 465) with the digits in capitals.
    os.makedirs(os.path.join(work, "capital"))
    capital = os.path.join(work, "capital", "setup-pkg.exe")
    run(build + ["--output", capital, "--marker", marker[:7] + marker[7:].upper()], 0, "build with --marker")
    status, text = run([tool, "verify", capital], 1 if marker[7:] != marker[7:].upper() else 0, "verify capitals")
    if marker[7:] != marker[7:].upper():
        check("capital" in text, "verify does not name the capital digits: " + text)

    # --string wins over the computed values and the stub's own texts.
    override = os.path.join(out, "override.exe")
    run(build + ["--output", override, "--string", "103=Renamed", "--string", "468=1"], 0, "build with --string")
    strings, _ = decompile(windres, override)
    check(strings.get(103) == "Renamed" and strings.get(468) == "1", "overrides not stored: %s" % strings)

    # Split parts beside the package.
    split_dir = os.path.join(work, "split")
    os.makedirs(split_dir)
    split = os.path.join(split_dir, "big.exe")
    run(build + ["--output", split, "--split-parts", "3", "--compression", "none"], 0, "split build")
    parts = [os.path.join(split_dir, "big.%03d" % n) for n in (1, 2, 3)]
    check(all(os.path.exists(p) for p in parts), "parts missing after a split build")
    run([tool, "verify", split], 0, "verify of a split package")
    flip(parts[2], 5)
    status, text = run([tool, "verify", split], 1, "verify with a flipped byte in part 3")
    flip(parts[2], 5)
    os.rename(parts[1], parts[1] + ".away")
    status, text = run([tool, "verify", split], 1, "verify with part 2 missing")
    check("big.002" in text and "missing" in text and "---CRC Err---" in text,
          "verify does not name the missing part: " + text)
    os.rename(parts[1] + ".away", parts[1])
    run([tool, "verify", split], 0, "verify after the part is back")

    # A package is no stub.
    status, text = run([tool, "build", "--stub", package, "--output", os.path.join(out, "x.exe"), "--files", payload],
                       1, "build on a package")
    check("already a package" in text, "packing a package is not refused clearly: " + text)
    status, text = run(build + ["--output", os.path.join(payload, "docs", "..", "inside.exe")], 1, "output inside --files")
    check("lies inside the folder" in text, "an output inside the packed folder is not refused: " + text)


def test_command_line(tool, work):
    status, text = run([tool, "--help"], 0)
    check("usage: kestrel-pack build" in text, "--help shows no usage")
    status, text = run([tool, "--version"], 0)
    check(text.startswith("kestrel-pack "), "--version: " + text)
    status, text = run([tool, "build", "--frobnicate"], 1)
    check("unknown option" in text, "unknown option not named: " + text)
    missing = os.path.join(work, "absent.exe")
    status, text = run([tool, "build", "--stub", missing, "--output", os.path.join(work, "o.exe"),
                        "--cabinet", missing], 1)
    check("cannot open" in text and missing in text, "missing stub not named: " + text)
    status, text = run([tool, "verify", missing], 1)
    check("cannot open" in text, "missing package not named: " + text)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--windres", required=True)
    parser.add_argument("--stub", action="append", default=[])
    args = parser.parse_args()
    # Stubs of other builds (the x86-64 fixture) come through the environment.
    args.stub += [s for s in os.environ.get("KESTREL_PACK_EXTRA_STUBS", "").split(os.pathsep) if s]
    work = tempfile.mkdtemp(prefix="kestrel-pack-test-")
    try:
        test_command_line(args.tool, work)
        for index, stub in enumerate(args.stub):
            if not os.path.exists(stub):
                print("note: skipped %s: it has not been built" % stub)
                continue
            stub_work = os.path.join(work, "stub%d" % index)
            os.makedirs(stub_work)
            test_stub(args, stub, stub_work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    if failures:
        print("%d check(s) failed" % len(failures))
        return 1
    print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
