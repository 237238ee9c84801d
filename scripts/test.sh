#!/usr/bin/env bash
# Sets everything up, builds, starts a virtual X server for the window, tray
# and hot-key tests, and runs every test through ctest. The tests start the
# local HTTP server they need themselves.
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$top/scripts/setup.sh"

# A display of our own, so the tests never touch the user's desktop.
display=:$((90 + RANDOM % 100))
while [[ -e /tmp/.X11-unix/X${display#:} ]]; do display=:$((${display#:} + 1)); done
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 50); do
    [[ -e /tmp/.X11-unix/X${display#:} ]] && break
    sleep 0.1
done
export DISPLAY=$display
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/aurilo-runtime.XXXXXX)}
chmod 700 "$XDG_RUNTIME_DIR"

cd "$top/build"
ctest --output-on-failure --parallel 2 "$@"
