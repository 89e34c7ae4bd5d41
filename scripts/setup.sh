#!/bin/sh
# Installs, as root on a Debian 12 machine, every package that any build or
# test of kestrel needs. Safe to run again: it installs only what is missing.
set -eu

if [ "$(id -u)" -ne 0 ]; then
    echo "setup.sh: run as root (it installs Debian packages)" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive

nativePackages="cmake make g++ clang libclang-rt-14-dev googletest libgtest-dev zlib1g-dev \
    g++-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev \
    xvfb x11-apps x11-utils imagemagick python3 file \
    g++-mingw-w64-x86-64-posix wine64"
winePackages="wine wine32:i386"

missing=""
for package in $nativePackages $winePackages; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done

if [ -z "$missing" ]; then
    echo "setup.sh: every package is installed"
else

case " $(dpkg --print-foreign-architectures | tr '\n' ' ') " in
    *" i386 "*) ;;
    *) dpkg --add-architecture i386 ;;
esac

echo "setup.sh: installing$missing"
apt-get update -q
apt-get install -y -q --no-install-recommends $missing
fi

# Wine runs 32-bit Windows programs as 32-bit Linux processes. Some virtual
# machines cannot execute i386 code at all (exec fails with "Exec format
# error"); Wine under qemu's user-mode emulator hangs while it builds a prefix,
# so there the Wine tests run the x86-64 test build of the same sources under
# wine64 instead (scripts/test.sh decides).
if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    echo "setup.sh: i386 programs run here; the Wine tests use wine32"
else
    echo "setup.sh: this machine cannot execute i386 code; the Wine tests use wine64 and the x86-64 test build"
fi
