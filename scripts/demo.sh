#!/usr/bin/env bash
# Sets everything up, generates the demo site, serves it on 127.0.0.1:8765 and
# runs Aurilo on it. The program folder is run/Aurilo/ (the executable and its
# data files side by side); on the first run it holds no catalog yet, so
# Aurilo asks to download it from the demo server. Without a display, a virtual one is started and
# its number printed, so a screenshot or VNC viewer can look at it.
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$top/scripts/setup.sh"

bin=$top/build/bin
site=$top/run/demo-site
folder=$top/run/Aurilo
port=8765
mkdir -p "$site" "$folder"

"$bin/aurilo-demo-gen" --out "$site" --base-url "http://127.0.0.1:$port"
cp -f "$bin/Aurilo" "$folder/Aurilo"
# Shown in the details window while a cover loads.
cp -f "$site/ImgLoading.gif" "$folder/ImgLoading.gif"
# The web player that plays the resources sits beside the executable.
rm -rf "$folder/ruffle" && cp -r "$bin/ruffle" "$folder/ruffle"
printf '[Server]\r\nBaseUrl=http://127.0.0.1:%s\r\n' "$port" > "$folder/Server.ini"

pids=()
cleanup() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; }
trap cleanup EXIT

"$bin/aurilo-httpd" --root "$site" --port "$port" 2>"$top/run/httpd.log" &
pids+=($!)

if [[ -z "${DISPLAY:-}" ]]; then
    export DISPLAY=:77
    Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    pids+=($!)
    sleep 1
    trayer --edge top --align right --widthtype pixel --width 64 --heighttype pixel --height 24 >/dev/null 2>&1 &
    pids+=($!)
    echo "== no display: Aurilo runs on the virtual display $DISPLAY"
fi

echo "== demo site on http://127.0.0.1:$port, program folder $folder"
"$folder/Aurilo"
