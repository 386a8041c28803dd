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
exec wine "$@"
