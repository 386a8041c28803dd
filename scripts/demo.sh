#!/usr/bin/env bash
# Builds the release configuration, generates the demo company (dictionary
# and data files) with the command-line tool and shows some of its records.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --workflow --preset release
tool=build/release/tools/tavelnor/tavelnor
out=build/release/demo-company
rm -rf "$out"
"$tool" demo --out "$out"
echo
echo "First customers:"
"$tool" dump "$out/tavelnor-demo.dic" Clients --limit 10 --format table
