#!/usr/bin/env python3
"""Wall time of a whole package run under Wine against the native extraction.

    bench/package_bench.py [BUILD_ROOT]        (default: build/ of this checkout)

Builds a ~64 MB folder of text-like and binary-like files, packs it as an
MSZIP package with kestrel-pack (no programs, the progress dialog on), and in
one run measures:
  copy     a plain copy of the payload bytes (the floor of any extraction)
  kcab     `kcab extract` of the same cabinet, natively
  wine     Wine starting and ending a trivial program without a window
  window   Wine starting and ending a program with one window (the X11
           driver, fonts and the desktop process come only with a window):
           Wine's start-up of any windowed program, kestrel among them
  dialog   a package with a one-file payload: the window start-up and
           kestrel's own fixed costs
  package  the package run under Wine: checksum, payload copy, extraction,
           status texts and clean-up
and prints the times and the package's ratios to kcab plus each start-up.
Needs the native build (kcab, kestrel-pack) and a Windows build whose
programs Wine runs here (scripts/test.sh makes both).
"""
import hashlib
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

here = os.path.dirname(os.path.abspath(__file__))
root = os.path.dirname(here)
sys.path.insert(0, os.path.join(root, "tests", "wine"))
import winesession  # noqa: E402
import wineharness  # noqa: E402

TARGET_BYTES = 64 << 20


def make_corpus(folder):
    """Deterministic files: half text-like, half binary-like, 4 MB each."""
    rng = random.Random(20261211)
    words = ("cabinet folder block window marker package setup extract quantum deflate "
             "kestrel plover driver stage checksum progress cancel replace archive").split()
    written = 0
    index = 0
    while written < TARGET_BYTES:
        path = os.path.join(folder, f"part{index // 8}", f"file{index:03d}.{'txt' if index % 2 == 0 else 'bin'}")
        os.makedirs(os.path.dirname(path), exist_ok=True)
        size = 4 << 20
        if index % 2 == 0:
            chunks, total = [], 0
            while total < size:
                line = " ".join(rng.choice(words) for _ in range(rng.randint(4, 14))) + "\n"
                chunks.append(line)
                total += len(line)
            data = "".join(chunks).encode()[:size]
        else:
            records = bytearray()
            while len(records) < size:
                records += rng.randint(0, 4096).to_bytes(4, "little") + bytes(rng.choice((0, 0, 0xFF, 0x90)) for _ in range(12))
                if rng.random() < 0.3:
                    records += rng.randbytes(16)
            data = bytes(records[:size])
        with open(path, "wb") as f:
            f.write(data)
        written += size
        index += 1
    return written


def timed(fn):
    start = time.perf_counter()
    fn()
    return time.perf_counter() - start


def main():
    build = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else os.path.join(root, "build")
    kcab = os.path.join(build, "native", "bin", "kcab")
    pack = os.path.join(build, "native", "bin", "kestrel-pack")
    wine_dir = os.path.join(build, "win32", "bin")
    if not winesession.machine_runs_i386():
        wine_dir = os.path.join(build, "win64", "bin")
    work = tempfile.mkdtemp(prefix="kestrel-bench-")
    try:
        data_dir = os.path.join(work, "data")
        total = make_corpus(data_dir)
        cab = os.path.join(work, "bench.cab")
        subprocess.run([kcab, "create", "-m", "mszip", "-o", cab, data_dir], check=True, stdout=subprocess.DEVNULL)
        package = os.path.join(work, "bench.exe")
        subprocess.run([pack, "build", "--stub", os.path.join(wine_dir, "kestrel.exe"), "--output", package,
                        "--cabinet", cab, "--string", "467=0"], check=True, stdout=subprocess.DEVNULL)
        tiny_dir = os.path.join(work, "tiny")
        os.makedirs(tiny_dir)
        with open(os.path.join(tiny_dir, "readme.txt"), "w") as f:
            f.write("one small file\n")
        tiny_cab = os.path.join(work, "tiny.cab")
        subprocess.run([kcab, "create", "-o", tiny_cab, tiny_dir], check=True, stdout=subprocess.DEVNULL)
        tiny_package = os.path.join(work, "tiny.exe")
        subprocess.run([pack, "build", "--stub", os.path.join(wine_dir, "kestrel.exe"), "--output", tiny_package,
                        "--cabinet", tiny_cab, "--string", "467=0"], check=True, stdout=subprocess.DEVNULL)
        cab_bytes = os.path.getsize(cab)
        print(f"corpus {total / 1e6:.1f} MB in {cab_bytes / 1e6:.1f} MB of MSZIP cabinet")

        copy_s = timed(lambda: shutil.copyfile(cab, os.path.join(work, "copy.cab")))
        out = os.path.join(work, "kcab-out")
        kcab_s = timed(lambda: subprocess.run([kcab, "extract", cab, out], check=True, stdout=subprocess.DEVNULL))
        digest = hashlib.sha256()
        for folder, _, names in sorted(os.walk(out)):
            for name in sorted(names):
                with open(os.path.join(folder, name), "rb") as f:
                    digest.update(f.read())

        state = os.path.join(work, "wine")
        winesession.start(state)
        os.environ["KESTREL_WINE_STATE"] = state
        try:
            trivial = os.path.join(wine_dir, "demo_setup.exe")
            wine_s = min(timed(lambda: wineharness.run([trivial], extra_env={"KESTREL_DEMO_LOG": "NUL"})) for _ in range(3))
            window = os.path.join(wine_dir, "window_baseline.exe")
            window_s = min(timed(lambda: wineharness.run([window])) for _ in range(3))
            dialog_s = min(timed(lambda: wineharness.run([tiny_package])) for _ in range(3))
            package_s = timed(lambda: wineharness.run([package], timeout=1800))
        finally:
            winesession.stop(state)

        print(f"output sha256 (kcab) {digest.hexdigest()[:16]}")
        print(f"{'step':<10}{'seconds':>10}{'MB/s':>10}")
        for name, seconds in (("copy", copy_s), ("kcab", kcab_s), ("wine", wine_s), ("window", window_s),
                              ("dialog", dialog_s),
                              ("package", package_s)):
            print(f"{name:<10}{seconds:>10.2f}{total / 1e6 / seconds:>10.1f}")
        print(f"package / (kcab + wine start-up) = {package_s / (kcab_s + wine_s):.2f}")
        print(f"package / (kcab + windowed start-up) = {package_s / (kcab_s + window_s):.2f}")
        print(f"package / (kcab + one-file package) = {package_s / (kcab_s + dialog_s):.2f}")
        print(f"package / copy = {package_s / copy_s:.1f}")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
