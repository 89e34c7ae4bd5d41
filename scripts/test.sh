#!/bin/sh
# Builds everything and runs every test; prints each runner's summary.
#   scripts/test.sh            set up (as root), build, test
# Builds (under build/): win32 (MinGW), native (tests, tools, Wine tests),
# asan (the native tests again under AddressSanitizer and UBSan), fuzz (clang
# libFuzzer targets, replaying their corpora and a short bounded run).
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${KESTREL_JOBS:-$(nproc)}

if [ "$(id -u)" -eq 0 ]; then
    scripts/setup.sh
fi

step() { echo; echo "==== $*"; }

step "win32 build"
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
cmake --build build/win32 -j "$jobs"

# The Wine tests run the i686 build where this machine executes i386 code, and
# otherwise the x86-64 test build of the same sources under wine64.
# KESTREL_WINE64=1 asks for the x86-64 flavour on any machine.
wineDir="$root/build/win32"
if [ -n "${KESTREL_WINE64:-}" ] || ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    step "win64 test build (this machine cannot execute i386 code)"
    cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
    cmake --build build/win64 -j "$jobs"
    wineDir="$root/build/win64"
fi

step "native build"
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTREL_WIN32_DIR="$wineDir" \
    -DKESTREL_PE32_DIR="$root/build/win32" >/dev/null
cmake --build build/native -j "$jobs"

step "asan build"
cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DKESTREL_SANITIZE=ON >/dev/null
cmake --build build/asan -j "$jobs"

step "fuzz build"
CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTREL_FUZZ=ON >/dev/null
cmake --build build/fuzz -j "$jobs"

status=0
secondRun=""
rm -f build/native/Testing/Temporary/LastTestsFailed.log build/asan/Testing/Temporary/LastTestsFailed.log \
    build/fuzz/Testing/Temporary/LastTestsFailed.log
step "native tests (with the Wine tests)"
if ! (cd build/native && ctest --output-on-failure -j "$jobs"); then
    # A Wine test drives windows by polling them, so a loaded machine can
    # make it miss its moment. When only Wine tests failed, they are run once
    # more, one at a time; the first failure stays in the log above.
    failed=build/native/Testing/Temporary/LastTestsFailed.log
    wineTests=$(cd build/native && ctest -N -L wine | sed -n 's/^ *Test *#[0-9]*: //p')
    failedNames=$(sed 's/^[0-9]*://' "$failed" 2>/dev/null | tr '\n' ' ')
    onlyWine=1
    for name in $failedNames; do
        echo "$wineTests" | grep -qx "$name" || onlyWine=0
    done
    if [ -s "$failed" ] && [ $onlyWine -eq 1 ]; then
        step "native tests: the failed Wine tests once more"
        sed 's/^/    /' "$failed"
        if (cd build/native && ctest --output-on-failure --rerun-failed); then
            secondRun=$failedNames
            rm -f "$failed"
        else
            status=1
        fi
    else
        status=1
    fi
fi
step "asan tests"
(cd build/asan && ctest --output-on-failure -j "$jobs" -LE wine) || status=1
step "fuzz regression and short runs"
(cd build/fuzz && ctest --output-on-failure -j "$jobs") || status=1

# Repeat the failures last, so that the end of a long log names them.
echo
for dir in build/native build/asan build/fuzz; do
    failed="$dir/Testing/Temporary/LastTestsFailed.log"
    if [ -s "$failed" ]; then
        echo "==== failed in $dir:"
        sed 's/^/    /' "$failed"
    fi
done
if [ -n "$secondRun" ]; then echo "==== passed only on a second run: $secondRun"; fi
if [ $status -eq 0 ]; then echo "==== all test runs passed"; else echo "==== some test run failed"; fi
exit $status
