#!/usr/bin/env python3
"""kcab end to end: create, list, extract, test; sets; hostile names; failures.

Usage: kcab_test.py KCAB
Runs kcab as a user would, in a fresh temporary folder, and checks exit
statuses, messages and the files it writes. Hostile cabinets are built here
byte by byte, since kcab create only stores names taken from real files.
"""
import os
import random
import re
import stat
import struct
import subprocess
import sys
import tempfile

KCAB = os.path.abspath(sys.argv[1])
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def run(*args, cwd=None):
    result = subprocess.run([KCAB, *args], cwd=cwd, capture_output=True, text=True, timeout=120)
    return result.returncode, result.stdout, result.stderr


def stored_cabinet(names_and_data, set_id=0, index=0):
    """A single-folder stored cabinet; block checksums 0 (none)."""
    files = b""
    offset = 0
    for name, data in names_and_data:
        files += struct.pack("<IIHHHH", len(data), offset, 0, (44 << 9) | (1 << 5) | 2, 0, 0x20)
        files += name.encode("latin-1") + b"\0"
        offset += len(data)
    payload = b"".join(data for _, data in names_and_data) or b"\0"
    blocks = b""
    for start in range(0, len(payload), 32768):
        chunk = payload[start:start + 32768]
        blocks += struct.pack("<IHH", 0, len(chunk), len(chunk)) + chunk
    block_count = (len(payload) + 32767) // 32768
    files_offset = 36 + 8
    data_offset = files_offset + len(files)
    size = data_offset + len(blocks)
    header = b"MSCF" + struct.pack("<IIIIIBBHHHHH", 0, size, 0, files_offset, 0, 3, 1, 1, len(names_and_data),
                                   0, set_id, index)
    folder = struct.pack("<IHH", data_offset, block_count, 0)
    return header + folder + files + blocks


def all_files(root):
    found = set()
    for folder, _, names in os.walk(root):
        for name in names:
            found.add(os.path.relpath(os.path.join(folder, name), root))
    return found


def same_tree(a, b):
    if all_files(a) != all_files(b):
        return False
    for name in all_files(a):
        with open(os.path.join(a, name), "rb") as fa, open(os.path.join(b, name), "rb") as fb:
            if fa.read() != fb.read():
                return False
    return True


def main():
    work = tempfile.mkdtemp(prefix="kcab-test-")
    os.chdir(work)
    rng = random.Random(7)

    # Command line.
    code, out, _ = run("--help")
    check(code == 0 and "usage" in out, "--help prints the usage and exits 0")
    code, out, _ = run("--version")
    check(code == 0 and out.startswith("kcab "), "--version exits 0")
    for args in [(), ("frobnicate",), ("extract", "x.cab"), ("list",), ("create", "tree"),
                 ("create", "-m", "lzx", "-o", "x.cab", "tree"), ("create", "--set-size", "abc", "-o", "x.cab", "t"),
                 ("create", "-o", "x.cab", "--bogus", "t")]:
        code, _, err = run(*args)
        check(code == 2 and err, "usage error for %r exits 2 with a message" % (args,))

    # A tree with subfolders, binary and text, an empty and a read-only file.
    os.makedirs("tree/docs/deep")
    with open("tree/readme.txt", "w") as f:
        f.write("kestrel\n" * 500)
    with open("tree/docs/guide.txt", "w") as f:
        f.write("".join(rng.choice(["cabinet ", "folder ", "\n"]) for _ in range(20000)))
    with open("tree/docs/deep/blob.bin", "wb") as f:
        f.write(bytes(rng.getrandbits(8) for _ in range(150000)))
    open("tree/empty", "w").close()
    with open("tree/locked.txt", "w") as f:
        f.write("read only\n")
    os.chmod("tree/locked.txt", 0o444)
    when = 1700000000  # an even second
    for name in all_files("tree"):
        os.utime(os.path.join("tree", name), (when, when))

    code, out, err = run("create", "-o", "out.cab", "tree")
    check(code == 0 and os.path.exists("out.cab"), "create writes a cabinet: " + err)
    with open("out.cab", "rb") as f:
        first = f.read()
    run("create", "-o", "again.cab", "tree")
    with open("again.cab", "rb") as f:
        check(f.read() == first, "create is reproducible")

    code, out, err = run("list", "out.cab")
    lines = out.splitlines()
    check(code == 0 and len(lines) == 5, "list prints one line per file: " + out + err)
    pattern = re.compile(r"^\s*(\d+) (\d{4}-\d\d-\d\d \d\d:\d\d:\d\d) 0x([0-9a-f]{4}) (.+)$")
    listed = {}
    for line in lines:
        match = pattern.match(line)
        check(match is not None, "list line format: " + line)
        if match:
            listed[match.group(4)] = (int(match.group(1)), int(match.group(3), 16))
    check(listed.get("docs\\deep\\blob.bin") == (150000, 0x20), "list shows size, archive attribute, backslashes")
    check(listed.get("locked.txt", (0, 0))[1] == 0x21, "a file that is not writable is stored read-only")

    code, out, err = run("extract", "out.cab", "x")
    check(code == 0 and same_tree("tree", "x"), "extract gives back the tree: " + err)
    check(os.stat("x/docs/guide.txt").st_mtime == when, "extract sets the stored time")
    check(not os.stat("x/locked.txt").st_mode & stat.S_IWUSR, "extract keeps the read-only attribute")
    code, out, err = run("extract", "out.cab", "x")
    check(code == 0 and same_tree("tree", "x"), "extracting again replaces files, read-only ones too: " + err)
    code, out, err = run("test", "out.cab")
    check(code == 0, "test passes an intact cabinet")

    # A set: at most 40000 bytes each, a file across several cabinets.
    os.makedirs("sets")
    code, out, err = run("create", "-m", "none", "--set-size", "40000", "-o", "sets/part.cab", "tree")
    members = sorted(os.listdir("sets"), key=lambda n: (len(n), n))
    check(code == 0 and len(members) >= 4, "create --set-size writes several cabinets: " + err)
    check(all(os.path.getsize("sets/" + m) <= 40000 for m in members), "every cabinet keeps the size limit")
    check(members[:2] == ["part.cab", "part2.cab"], "members are named part.cab, part2.cab, ...")
    for member in members:
        code, _, err = run("extract", "sets/" + member, "y")
        check(code == 0, "extract of set member %s: %s" % (member, err))
    check(same_tree("tree", "y"), "extracting every member gives back the tree")

    # A missing continuation cabinet is named, and the exit status is 10 + 11.
    os.makedirs("lonely")
    with open("sets/part.cab", "rb") as f, open("lonely/part.cab", "wb") as g:
        g.write(f.read())
    code, _, err = run("extract", "lonely/part.cab", "z")
    check(code == 21 and "CabErrAborted" in err and "part2.cab" in err and "missing" in err,
          "missing continuation cabinet: exit 21 naming it: %d %s" % (code, err))
    check(not os.path.exists("z/docs/deep/blob.bin"), "the incomplete file is removed")
    # A cabinet of another set under the expected name.
    with open("lonely/part2.cab", "wb") as g:
        g.write(stored_cabinet([("other", b"x")], set_id=4242, index=1))
    code, _, err = run("extract", "lonely/part.cab", "z")
    check(code == 21 and "part2.cab" in err and "does not belong" in err,
          "continuation from another set: exit 21: %d %s" % (code, err))

    # Hostile names: refused with exit 1, the others extracted, nothing outside.
    os.makedirs("sandbox/inner/target")
    hostile = [("..\\x", b"1"), ("C:x", b"2"), ("\\abs", b"3"), ("ok.txt", b"fine"), ("sub\\good.txt", b"good"),
               ("a/../../y", b"4"), ("sub\\..\\..\\z", b"5")]
    with open("hostile.cab", "wb") as f:
        f.write(stored_cabinet(hostile))
    code, _, err = run("extract", os.path.abspath("hostile.cab"), os.path.abspath("sandbox/inner/target"))
    check(code == 1, "hostile names give exit 1: %d %s" % (code, err))
    check(err.count("refused") == 5, "each hostile name is refused with a message: " + err)
    check(all_files("sandbox") == {"inner/target/ok.txt", "inner/target/sub/good.txt"},
          "only the safe files were written, all inside the target: %r" % all_files("sandbox"))
    check(not os.path.exists("/abs") and not os.path.exists("/x"), "nothing written at the root")

    # A link planted in the target does not lead out of it.
    os.makedirs("linked/target")
    os.makedirs("linked/outside")
    os.symlink(os.path.abspath("linked/outside"), "linked/target/sub")
    with open("plain.cab", "wb") as f:
        f.write(stored_cabinet([("ok.txt", b"fine"), ("sub\\good.txt", b"good")]))
    code, _, err = run("extract", "plain.cab", "linked/target")
    check(code == 1 and "sub" in err, "a linked folder in the target is not followed: %d %s" % (code, err))
    check(os.listdir("linked/outside") == [] and os.path.exists("linked/target/ok.txt"),
          "nothing written through the link, the rest extracted")

    # Damaged and foreign input.
    damaged = bytearray(first)
    damaged[-100] ^= 0xFF
    with open("damaged.cab", "wb") as f:
        f.write(damaged)
    code, _, err = run("test", "damaged.cab")
    check(code == 14 and "CabErrCorrupt" in err, "a damaged block: exit 14, CabErrCorrupt: %d %s" % (code, err))
    with open("notcab.cab", "wb") as f:
        f.write(b"PK\3\4" + b"\0" * 100)
    code, _, err = run("list", "notcab.cab")
    check(code == 12 and "CabErrNotCabinet" in err, "not a cabinet: exit 12: %d %s" % (code, err))
    code, _, err = run("list", "nonexistent.cab")
    check(code == 11 and "CabErrOpen" in err, "missing cabinet: exit 11: %d %s" % (code, err))

    if failures:
        print("%d check(s) failed" % len(failures))
        return 1
    print("all kcab checks passed in", work)
    subprocess.run(["chmod", "-R", "u+w", work])
    subprocess.run(["rm", "-rf", work])
    return 0


if __name__ == "__main__":
    sys.exit(main())
