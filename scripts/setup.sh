#!/usr/bin/env bash
# Installs what Aurilo needs on Debian 12 (as root) and builds it into build/.
# Quick when everything is already there: packages are installed only when
# one is missing, and the build is incremental.
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

packages=(
    # build
    g++ cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 libqt6sql6-sqlite
    qt6-webengine-dev libqt6webenginecore6-bin
    libgl-dev libxkbcommon-dev libxcb1-dev libxcb-xtest0-dev libpulse-dev
    # build: the updates' signature checks
    libsodium-dev
    # running on X11 (and under Xvfb for the tests), Chinese fonts
    qt6-qpa-plugins xvfb xauth x11-utils fonts-noto-cjk
    # tests: a tray host, input synthesis, network namespaces
    trayer xdotool iproute2 util-linux procps
    # tests: hot keys pressed through XTEST by key code, on a keyboard map
    # that leaves Ctrl+Alt+F1..F12 to programs
    libx11-6 libxtst6 x11-xkb-utils
    # tests: a window manager that draws frames and minimises windows
    openbox
    # tests and the benchmark: signed update files, made by minisign itself
    minisign
    # tests: the accessibility tree through AT-SPI, on buses of the tests' own
    python3 python3-pyatspi at-spi2-core dbus-daemon dbus-bin
    # the demo site's speaking resources; a sound server for the playback test
    espeak-ng pulseaudio pulseaudio-utils
)
# Node.js and npm fetch the pinned web player; a machine that already has
# them (from any source) keeps its own.
if ! command -v npm >/dev/null 2>&1; then
    packages+=(nodejs npm)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
if ((${#missing[@]})); then
    echo "== installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update
    apt-get install -y --no-install-recommends "${missing[@]}"
fi

# The Ruffle web player, pinned in package-lock.json; reinstalled when the
# lock file changes.
if [[ ! -f "$top/node_modules/.package-lock.json" ||
      "$top/package-lock.json" -nt "$top/node_modules/.package-lock.json" ]]; then
    (cd "$top" && npm ci --no-audit --no-fund)
fi

build_type=${AURILO_BUILD_TYPE:-RelWithDebInfo}
if [[ ! -f "$top/build/build.ninja" ]]; then
    cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE="$build_type"
fi
cmake --build "$top/build" --parallel "$(nproc)"
