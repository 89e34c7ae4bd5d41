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
    xvfb x11-apps imagemagick python3 file qemu-user-static"
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

# Wine runs 32-bit Linux programs. Some virtual machines cannot execute i386
# code natively (exec fails with "Exec format error"); there, i386 programs are
# handed to qemu's user-mode emulator through binfmt_misc. Slower, but Wine and
# the programs it runs behave the same.
if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    binfmt=/proc/sys/fs/binfmt_misc
    [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
    if [ ! -e "$binfmt/qemu-i386" ]; then
        printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' >"$binfmt/register"
    fi
    if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
        echo "setup.sh: i386 programs run through qemu-i386-static"
    else
        echo "setup.sh: this machine cannot run i386 programs; the Wine tests will be skipped" >&2
    fi
fi
