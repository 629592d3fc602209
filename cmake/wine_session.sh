#!/bin/sh
# Starts (creating the prefix on first use) or stops the wine server that the
# Windows test programs share, and maps the drive whose root the tests own.
# WINEPREFIX and the other settings come from CTest.
set -eu
case "${1:-}" in
  start)
    # wineboot waits until the prefix is complete; later starts find it ready.
    wineboot --init >/dev/null 2>&1 || { echo "wineboot failed for $WINEPREFIX" >&2; exit 1; }
    wine cmd /c exit 0 >/dev/null 2>&1 || { echo "wine cannot run programs in $WINEPREFIX" >&2; exit 1; }
    drive=$(printf '%s' "$KESTRUP_ROOT_DRIVE" | tr 'A-Z' 'a-z')
    mkdir -p "$KESTRUP_ROOT_DRIVE_DIR" && ln -sfn "$KESTRUP_ROOT_DRIVE_DIR" "$WINEPREFIX/dosdevices/$drive" ||
      { echo "cannot map $KESTRUP_ROOT_DRIVE to $KESTRUP_ROOT_DRIVE_DIR" >&2; exit 1; }
    ;;
  stop)
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    ;;
  *)
    echo "usage: wine_session.sh start|stop" >&2
    exit 2
    ;;
esac
