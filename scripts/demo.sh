#!/usr/bin/env bash
# Builds sceneplayer and plays the bundled demo show: in a window when a display is there,
# otherwise rendered headless to PNG frames (the last line says where).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

build=build/release
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DSP_TESTS=OFF >/dev/null
# demo_clip makes the show's video clip, demo/clip.avi.
cmake --build "$build" -j "$(nproc)" --target sceneplayer scenepack demo_clip >/dev/null

out=build/demo
mkdir -p "$out"
"$build/tools/scenepack/scenepack" demo/show.json -o "$out/demo-saver" \
  --player "$build/src/app/sceneplayer"
echo "sceneplayer: built the demo saver $out/demo-saver"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ "${1:-}" != "--headless" ]; then
  echo "sceneplayer: playing in a window; any key or mouse move ends it"
  exec "$out/demo-saver" --window /s
fi

frames="$out/frames"
rm -rf "$frames"
mkdir -p "$frames"
"$out/demo-saver" --headless --size 1024x768 --frames "$frames" --fps 10 --seconds 40 /s
count=$(find "$frames" -name 'frame-*.png' | wc -l)
echo "sceneplayer: no display here; rendered the demo headless: $count frames in $(cd "$frames" && pwd)"
