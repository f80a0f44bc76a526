#!/usr/bin/env bash
# Builds Velto (the editor and velto-dump) and starts the editor with the
# given files.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
. "$root/scripts/deps.sh"
velto_need $VELTO_BUILD_PACKAGES $VELTO_RUN_PACKAGES
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# velto-dump is one more small program over libraries the editor links anyway.
cmake --build "$root/build" -j "$(nproc)" --target velto velto-dump
app="$root/build/Source/shell/velto"
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
  # No screen: run on a virtual one.
  velto_need xvfb xauth
  exec xvfb-run -a "$app" "$@"
fi
exec "$app" "$@"
