#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need.
set -euo pipefail
pkgs=(cmake ninja-build g++ clang libclang-rt-14-dev zlib1g-dev libsqlite3-dev nlohmann-json3-dev
      libcli11-dev libgtest-dev libgmock-dev libbenchmark-dev ccache pkgconf
      python3-pytest python3-pandas python3-venv)
missing=()
for p in "${pkgs[@]}"; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
