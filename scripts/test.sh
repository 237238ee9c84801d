#!/usr/bin/env bash
# Sets everything up, builds, starts a virtual X server for the window, tray
# and hot-key tests, and runs every test through ctest. The tests start the
# local HTTP server they need themselves.
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$top/scripts/setup.sh"

# A display of our own, so the tests never touch the user's desktop, and a
# sound server of our own whose only output is a null sink: the playback test
# records that sink's monitor.
display=:$((90 + RANDOM % 100))
while [[ -e /tmp/.X11-unix/X${display#:} ]]; do display=:$((${display#:} + 1)); done
# -noreset: an X server resets when its last client leaves, and a test that
# connects at that moment is refused; tests come and go all the time.
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
export XDG_RUNTIME_DIR=$(mktemp -d /tmp/aurilo-runtime.XXXXXX)
chmod 700 "$XDG_RUNTIME_DIR"
trap 'pulseaudio --kill 2>/dev/null || true; kill $xvfb 2>/dev/null || true' EXIT
pulseaudio --daemonize=yes --exit-idle-time=-1 -n --log-target=stderr \
    --load=module-native-protocol-unix --load="module-null-sink sink_name=aurilo_null" \
    2>"$XDG_RUNTIME_DIR/pulseaudio.log" || echo "== no sound server: the playback test will fail"
for _ in $(seq 50); do
    [[ -e /tmp/.X11-unix/X${display#:} ]] && break
    sleep 0.1
done
export DISPLAY=$display

cd "$top/build"
ctest --output-on-failure --parallel 2 "$@"
