#!/usr/bin/env bash
# Unpacks the SQLite amalgamation for the Windows build from a pinned version
# of an npm package that ships it (better-sqlite3 12.4.1: SQLite 3.50.4), its
# tarball checked against a known digest, into build/third_party/sqlite.
set -euo pipefail
cd "$(dirname "$0")/.."
package="better-sqlite3@12.4.1"
digest="14398acbf00d1e8fe0a2753df7d4f15c13138e4b874f4e6e96791f65b4536d0d"
out="build/third_party/sqlite"
if [ -f "$out/sqlite3.c" ] && [ -f "$out/VERSION" ] && grep -qx "$package" "$out/VERSION"; then
  exit 0
fi
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
# Node.js takes the system's certificate authorities only when told to.
if [ -z "${NODE_EXTRA_CA_CERTS:-}" ] && [ -f /etc/ssl/certs/ca-certificates.crt ]; then
  export NODE_EXTRA_CA_CERTS=/etc/ssl/certs/ca-certificates.crt
fi
(cd "$scratch" && npm pack --loglevel=error "$package" >/dev/null)
tarball="$(ls "$scratch"/*.tgz)"
echo "$digest  $tarball" | sha256sum --check --quiet
mkdir -p "$out"
tar -xzf "$tarball" -C "$scratch" package/deps/sqlite3/sqlite3.c package/deps/sqlite3/sqlite3.h
cp "$scratch/package/deps/sqlite3/sqlite3.c" "$scratch/package/deps/sqlite3/sqlite3.h" "$out/"
echo "$package" > "$out/VERSION"
grep -m1 '#define SQLITE_VERSION ' "$out/sqlite3.h"
