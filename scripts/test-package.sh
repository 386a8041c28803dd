#!/usr/bin/env bash
# Builds the Debian package (the "package" preset: release, prefix /usr),
# checks it with lintian (no error allowed), installs it with apt, then uses
# the installed tree as a user would: the tool builds the demo company and
# the README's C example, compiled with pkg-config, reads it. The package is
# removed at the end. Needs root (or sudo) for apt.
set -euo pipefail
cd "$(dirname "$0")/.."
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
if ! command -v lintian >/dev/null || ! command -v dpkg-shlibdeps >/dev/null; then
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq lintian dpkg-dev pkgconf
fi
cmake --preset package >/dev/null
cmake --build --preset package
(cd build/package && rm -f tavelnor_*.deb && cpack -G DEB)
deb="$(ls "$PWD"/build/package/tavelnor_*.deb)"
lintian --fail-on error "$deb"
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "$deb"
trap 'DEBIAN_FRONTEND=noninteractive $SUDO apt-get remove -y -qq tavelnor >/dev/null' EXIT
work="$(mktemp -d)"
trap 'rm -rf "$work"; DEBIAN_FRONTEND=noninteractive $SUDO apt-get remove -y -qq tavelnor >/dev/null' EXIT
/usr/bin/tavelnor --version
/usr/bin/tavelnor demo --out "$work/company" >/dev/null
# The README's C example, built against the installed package.
awk '/^```c$/{on=1; next} /^```$/{on=0} on' README.md > "$work/example.c"
cc "$work/example.c" $(pkg-config --cflags --libs tavelnor) -o "$work/example"
(cd "$work/company" && "$work/example") | tee "$work/out.txt"
grep -q "records in the range" "$work/out.txt"
echo "package checks passed"
