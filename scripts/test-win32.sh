#!/usr/bin/env bash
# Cross-builds the 32-bit Windows DLLs (Tavelnor.dll and the stand-in
# w3btrv7.dll) and tavelnor.exe with mingw-w64, packs them into
# build/win32/tavelnor-VERSION-win32.zip and runs their checks: the export
# tables, the C host under Wine against both record managers, tavelnor.exe
# against the native tool, the zip's contents, the Win32 unit suite.
# Needs scripts/install-win32-deps.sh. The demo data comes from the native
# tool, built here unless TAVELNOR_HOST_TOOL names one.
set -euo pipefail
cd "$(dirname "$0")/.."
tool="${TAVELNOR_HOST_TOOL:-}"
if [ -z "$tool" ]; then
  for candidate in build/asan/tools/tavelnor/tavelnor build/release/tools/tavelnor/tavelnor; do
    if [ -x "$candidate" ]; then tool="$PWD/$candidate"; break; fi
  done
fi
if [ -z "$tool" ]; then
  cmake --preset release >/dev/null
  cmake --build --preset release --target tavelnor_cli
  tool="$PWD/build/release/tools/tavelnor/tavelnor"
fi
# The native writer of the sample DDF set, from the same build as the tool
# when it has one (the tests' build); without it the DDF checks are left out.
ddf_set="${TAVELNOR_HOST_DDF_SET:-}"
if [ -z "$ddf_set" ] && [ -x "$(dirname "$tool")/../../tests/ddf_sample_set" ]; then
  ddf_set="$(cd "$(dirname "$tool")/../../tests" && pwd)/ddf_sample_set"
fi
scripts/fetch-sqlite-amalgamation.sh
cmake --preset win32 -DTAVELNOR_HOST_TOOL="$tool" -DTAVELNOR_HOST_DDF_SET="$ddf_set"
cmake --build --preset win32
# Under a virtual display where there is one, so that the dialogs' tests show
# real windows (they skip without a display); Wine then starts with it too.
if command -v xvfb-run >/dev/null; then
  TAVELNOR_WINE_KEEP_DISPLAY=1 xvfb-run -a ctest --preset win32
else
  ctest --preset win32
fi
ls build/win32/tavelnor-*-win32.zip
