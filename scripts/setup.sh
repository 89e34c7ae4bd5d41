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
    xvfb x11-apps imagemagick python3 file"
winePackages="wine wine32:i386"

missing=""
for package in $nativePackages $winePackages; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done

if [ -z "$missing" ]; then
    echo "setup.sh: everything is installed"
    exit 0
fi

case " $(dpkg --print-foreign-architectures | tr '\n' ' ') " in
    *" i386 "*) ;;
    *) dpkg --add-architecture i386 ;;
esac

echo "setup.sh: installing$missing"
apt-get update -q
apt-get install -y -q --no-install-recommends $missing
