#!/usr/bin/env bash
# Builds the release configuration, compiles the bundled demo dictionary and
# shows its tree with the command-line tool.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --workflow --preset release
tool=build/release/tools/tavelnor/tavelnor
out=build/release/demo
mkdir -p "$out"
"$tool" dico build demo/tavelnor-demo.json -o "$out/tavelnor-demo.dic"
"$tool" dico show "$out/tavelnor-demo.dic"
