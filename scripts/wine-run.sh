#!/usr/bin/env bash
# Runs a Windows program under Wine, headless, and returns its exit code.
# The Wine prefix is $WINEPREFIX (the win32 build sets one inside its build
# folder); `wine-run.sh --init` creates it once: Wine's first start keeps
# background processes that hold the caller's pipes, so their output goes to
# /dev/null and the server is started persistent beforehand.
set -euo pipefail
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-tavelnor}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# Headless unless the caller runs a display of its own (xvfb-run) and says so.
if [ -z "${TAVELNOR_WINE_KEEP_DISPLAY:-}" ]; then
  unset DISPLAY WAYLAND_DISPLAY
fi
if [ "${1:-}" = "--init" ]; then
  mkdir -p "$WINEPREFIX"
  wineserver -p >/dev/null 2>&1 </dev/null || true
  wine wineboot -i >/dev/null 2>&1 </dev/null
  exit 0
fi
# A program of ours that hangs is a failure, reported in bounded time. Wine
# under qemu-user (on machines that run 32-bit code only through it) has
# been seen, rarely and only in a fresh prefix, never to return from process
# exit after the program had printed its last line; such a run -- killed at
# the limit -- is made once more, and a second hang fails.
limit="${TAVELNOR_WINE_LIMIT:-240}"
for attempt in 1 2; do
  status=0
  timeout --kill-after=10 "$limit" wine "$@" || status=$?
  if [ "$status" -ne 124 ] && [ "$status" -ne 137 ]; then exit "$status"; fi
  echo "wine-run.sh: $1 did not end within ${limit}s (attempt $attempt)" >&2
  wineserver -k >/dev/null 2>&1 || true
done
exit "$status"
