#!/usr/bin/env bash
# Tests the Python package against a built tree (default build/asan): builds
# the demo company with the built tool into a temporary folder, installs the
# package offline into a fresh virtual environment and runs its pytest tests
# there. Under a sanitizer build the sanitizer runtimes are preloaded into
# Python.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/asan}"
python="${PYTHON:-/usr/bin/python3}"
library="$PWD/$build/src/api/libtavelnor.so"
tool="$PWD/$build/tools/tavelnor/tavelnor"
for f in "$library" "$tool"; do
  [ -e "$f" ] || { echo "test-python: $f is missing; build it first" >&2; exit 1; }
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$tool" demo --out "$work/demo" >/dev/null

# The system's pytest and pandas stay visible; the package is installed
# offline by its own build backend.
"$python" -m venv --system-site-packages "$work/venv"
"$work/venv/bin/python" -m pip install --quiet --no-index --no-cache-dir python/
# The tests import the installed package, not the source folder.
cp -r python/tests "$work/tests"

preload=""
# grep reads all of nm's output (with -q its early exit would fail the pipe).
if nm -D "$library" | grep __asan_init >/dev/null; then
  preload="$(gcc -print-file-name=libasan.so) $(gcc -print-file-name=libubsan.so)"
fi
status=0
(cd "$work" && env LD_PRELOAD="$preload" ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}" \
   TAVELNOR_LIBRARY="$library" TAVELNOR_DEMO="$work/demo/tavelnor-demo.dic" \
   PYTHONDONTWRITEBYTECODE=1 "$work/venv/bin/python" -m pytest -q -p no:cacheprovider tests) \
  || status=$?
# Exit status 5 means no test was collected: a failure here too.
if [ "$status" -ne 0 ]; then
  echo "test-python: pytest failed (exit $status)" >&2
  exit "$status"
fi
