#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer
# (warnings as errors), runs every test and the Python package's tests, then
# runs each fuzz target briefly.
# The layering of the sources is checked first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/check-layers.sh
cmake --workflow --preset asan
scripts/test-python.sh build/asan
scripts/fuzz-smoke.sh "${FUZZ_SECONDS:-10}"
