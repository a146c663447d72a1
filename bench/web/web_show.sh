#!/usr/bin/env bash
# web_show.sh [desktop build dir]: the show's page against the native show in
# one sitting. Prints the page load to the show's first frame, the frames per
# second of each scene on the real clock, in headless Chromium (WebGL 2 on its
# software rasteriser) and natively (zandrel-capture --realtime under Xvfb,
# the same machine), with their ratio, and the compressed (gzip -9) size of
# what the show's page loads. Needs scripts/web.sh --build-only and the
# desktop build's zandrel-capture; takes the show's length twice (~6 min).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath "${1:-build}")
site=$PWD/build-web/site
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "== The show's page in headless Chromium"
node tests/web/page_test.cjs --site "$site" --page show --realtime --scenes 16 | tee "$work/page.txt"

echo "== The native show"
SDL_AUDIODRIVER=dummy "$build/show/zandrel-capture" --realtime --out "$work/native" >/dev/null

echo "== Frames per second by scene"
node - "$work/page.txt" "$work/native/scenes.csv" <<'SCRIPT'
const fs = require('fs');
const line = fs.readFileSync(process.argv[2], 'utf8').split('\n')
  .find((l) => l.startsWith('frames per second by scene: '));
const page = JSON.parse(line.slice(line.indexOf('{')));
const rows = fs.readFileSync(process.argv[3], 'utf8').trim().split('\n').slice(1)
  .map((l) => l.split(',').map(Number));
// Each scene lasts from its first frame's clock to the next scene's, the last
// to the end of the show, 163 s after the lead-in began.
const native = {};
for (let i = 1; i < rows.length; ++i) {
  const end = i + 1 < rows.length ? rows[i + 1][4] : rows[0][4] + 163000;
  native[rows[i][0]] = rows[i][2] / ((end - rows[i][4]) / 1000);
}
console.log('scene  page f/s  native f/s  page/native');
for (const scene of Object.keys(page)) {
  const n = native[scene];
  console.log(`${scene.padStart(5)}  ${page[scene].toFixed(1).padStart(8)}  ` +
    `${n ? n.toFixed(1).padStart(10) : '         -'}  ${n ? (page[scene] / n).toFixed(2).padStart(11) : ''}`);
}
SCRIPT

echo "== The show's page, compressed (gzip -9)"
total=0
for file in "$site"/show/show.{js,wasm,data}; do
    size=$(gzip -9c "$file" | wc -c)
    total=$((total + size))
    printf '%-10s %9d bytes (%d uncompressed)\n' "$(basename "$file")" "$size" "$(stat -c %s "$file")"
done
printf '%-10s %9d bytes\n' total "$total"
