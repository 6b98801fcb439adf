#!/usr/bin/env bash
# Starts the program in the current folder (a tomekeeper.ini there is the one it uses).
set -euo pipefail
bin="$1"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  cat >&2 <<MSG
There is no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is set).
Run it on a desktop session, or under a virtual X server:
    xvfb-run -a -s "-screen 0 1280x800x24" make run
MSG
  exit 2
fi
exec "$bin"
