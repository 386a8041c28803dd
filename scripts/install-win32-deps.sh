#!/usr/bin/env bash
# Installs what the 32-bit Windows build and its tests need on Debian 12: the
# mingw-w64 cross compilers and static zlib, the header-only CLI11 and
# nlohmann-json, sqlite3, Free Pascal, Wine (32-bit), a virtual display
# for the dialogs' tests and, since this machine kind cannot run i386 code
# natively, qemu-i386 registered with
# binfmt_misc to run Wine's 32-bit loader. Debian 12's own qemu hangs running
# Wine; the one of bookworm-backports works.
set -euo pipefail
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

# bookworm-backports from the same mirror as the machine's Debian entry.
uri="$(sed -n 's/^URIs:[[:space:]]*//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n1 || true)"
if [ -z "$uri" ]; then
  uri="$(awk '$1=="deb" && $3 ~ /^bookworm/ {print $2; exit}' /etc/apt/sources.list 2>/dev/null || true)"
fi
uri="${uri:-http://deb.debian.org/debian}"
if ! grep -rqs "bookworm-backports" /etc/apt/sources.list /etc/apt/sources.list.d/; then
  printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$uri" | $SUDO tee /etc/apt/sources.list.d/backports.sources >/dev/null
fi
$SUDO dpkg --add-architecture i386
# One i386 index of the mirror is known to fail; the rest is usable.
$SUDO apt-get update -q || true

# CLI11 and nlohmann-json are header-only: the Windows build copies their
# folders. sqlite3 compares the tools' exports, Free Pascal compiles the
# Delphi unit of the zip.
$SUDO apt-get install -y -q --no-install-recommends \
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 \
  libz-mingw-w64-dev mingw-w64-tools googletest xvfb xauth \
  libcli11-dev nlohmann-json3-dev sqlite3 fp-compiler fp-units-rtl
# npm fetches the SQLite amalgamation; machines of this kind have Node.js.
command -v npm >/dev/null || $SUDO apt-get install -y -q --no-install-recommends npm
$SUDO apt-get install -y -q -t bookworm-backports --no-install-recommends qemu-user-static
if ! $SUDO apt-get install -y -q --no-install-recommends wine wine32:i386 wine64; then
  $SUDO apt-get install -y -q --no-install-recommends -t bookworm wine wine32:i386 wine64
fi

# i386 ELF through qemu-i386, loaded once (F flag) so it works in any mount
# namespace.
if [ ! -d /proc/sys/fs/binfmt_misc ] || [ ! -e /proc/sys/fs/binfmt_misc/register ]; then
  $SUDO mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc || true
fi
if [ -e /proc/sys/fs/binfmt_misc/register ] && [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
  echo ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
    | $SUDO tee /proc/sys/fs/binfmt_misc/register >/dev/null
fi
