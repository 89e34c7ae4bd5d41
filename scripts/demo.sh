#!/bin/sh
# The main job: builds kestrel, writes a demo cabinet from demo/sample and
# lists and extracts it with kcab, builds a demo package (the sample folder
# and a small setup program) with kestrel-pack, and runs the package under
# Wine, printing what happened and saving a screenshot of the progress dialog.
#   scripts/demo.sh      set up (as root), build, demo; output in build/demo/
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${KESTREL_JOBS:-$(nproc)}
out="$root/build/demo"

if [ "$(id -u)" -eq 0 ]; then
    scripts/setup.sh
fi

step() { echo; echo "==== $*"; }

step "build"
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
cmake --build build/win32 -j "$jobs" --target kestrel demo_setup plover >/dev/null
wineDir="$root/build/win32"
if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    # This machine cannot execute i386 code: Wine runs the x86-64 build of the same sources.
    cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
    cmake --build build/win64 -j "$jobs" --target kestrel demo_setup >/dev/null
    wineDir="$root/build/win64"
fi
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j "$jobs" --target kcab kestrel-pack >/dev/null
kcab="$root/build/native/bin/kcab"
pack="$root/build/native/bin/kestrel-pack"
rm -rf "$out"
mkdir -p "$out"

step "a cabinet from demo/sample, listed and extracted with kcab"
"$kcab" create -m mszip -o "$out/sample.cab" demo/sample
"$kcab" list "$out/sample.cab"
"$kcab" extract "$out/sample.cab" "$out/extracted"
diff -r demo/sample "$out/extracted" && echo "extracted files match demo/sample"

step "the demo package"
# The payload: the sample folder, the setup program, and a few MB of text so
# that the progress dialog stays up long enough to be seen.
mkdir -p "$out/payload"
cp -r demo/sample/. "$out/payload/"
python3 - "$out/payload/manual.txt" <<'PY'
import random, sys
words = "kestrel cabinet folder quantum package marker setup extract window progress".split()
rng = random.Random(1)
with open(sys.argv[1], "w") as f:
    for line in range(120000):
        f.write(" ".join(rng.choice(words) for _ in range(9)) + "\n")
PY
makePackage() {  # stub-folder output
    cp "$1/bin/demo_setup.exe" "$out/payload/setup.exe"
    "$pack" build --stub "$1/bin/kestrel.exe" --output "$2" --files "$out/payload" --compression quantum \
        --program setup.exe --args "setup.exe <tempdir> demo"
    "$pack" verify "$2"
}
makePackage "$root/build/win32" "$out/kestrel-demo.exe"
echo "for Windows: $out/kestrel-demo.exe ($(stat -c %s "$out/kestrel-demo.exe") bytes)"
runPackage="$out/kestrel-demo.exe"
if [ "$wineDir" != "$root/build/win32" ]; then
    makePackage "$wineDir" "$out/kestrel-demo-x64.exe"
    runPackage="$out/kestrel-demo-x64.exe"
fi

step "running $(basename "$runPackage") under Wine"
python3 scripts/demo_run.py "$runPackage" "$out"
