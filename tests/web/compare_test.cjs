// The pictures' comparison against the faults it is there to catch, on
// stored pictures: a screenshot against itself agrees; hello's first frame
// (its picture not yet turned), hello without its text and the game with its
// score's glyphs drawn otherwise (each mirrored in its place, as another
// font's would differ) do not. The first goes through page_test.cjs --compare.
'use strict';
const { spawnSync } = require('child_process');
const fs = require('fs');
const path = require('path');
const pictures = require('./pictures.cjs');

const screenshots = path.join(__dirname, '../../docs/screenshots');
const load = (file) => pictures.decodePng(fs.readFileSync(file));
const hello = load(`${screenshots}/hello.png`), game = load(`${screenshots}/game.png`);

// A copy whose pixels in the box [left, top, right, bottom) come from where
// `from(x, y)` says, an [x, y] pair.
function edited(picture, [left, top, right, bottom], from) {
  const copy = { ...picture, rgba: Buffer.from(picture.rgba) };
  const at = (x, y) => 4 * (y * picture.width + x);
  for (let y = top; y < bottom; ++y) {
    for (let x = left; x < right; ++x) {
      const source = at(...from(x, y));
      picture.rgba.copy(copy.rgba, at(x, y), source, source + 4);
    }
  }
  return copy;
}

const background = () => [0, 0]; // the top left pixel is the background's

// Each run of columns with ink, mirrored in its place.
function mirroredGlyphs(picture, [left, top, right, bottom]) {
  const colour = (x, y) => picture.rgba.readUIntBE(4 * (y * picture.width + x), 3);
  const ink = (x) => [...Array(bottom - top).keys()].some((dy) => colour(x, top + dy) !== colour(0, 0));
  const mirror = new Map();
  for (let x = left; x < right; ++x) {
    if (!ink(x)) continue;
    let end = x;
    while (end < right && ink(end)) ++end;
    for (let column = x; column < end; ++column) mirror.set(column, x + end - 1 - column);
    x = end;
  }
  return edited(picture, [left, top, right, bottom], (x, y) => [mirror.has(x) ? mirror.get(x) : x, y]);
}

const failures = [];
const expect = (what, picture, expected, agrees) => {
  const result = pictures.compare(picture, expected);
  const failure = pictures.comparisonFailure(result);
  console.log(`${what}: ${JSON.stringify(result)} ${failure || 'agree'}`);
  if (!failure !== agrees) failures.push(what);
};
expect('hello against itself', hello, hello, true);
expect('hello without its text', edited(edited(hello, [0, 0, 640, 80], background), [0, 440, 640, 480], background), hello, false);
expect('the game\'s score in another font', mirroredGlyphs(game, [10, 5, 160, 45]), game, false);
for (const [first, agrees] of [[`${screenshots}/hello.png`, true], [path.join(__dirname, 'data/hello-frame1.png'), false]]) {
  const run = spawnSync(process.execPath, [path.join(__dirname, 'page_test.cjs'), '--compare', first, `${screenshots}/hello.png`]);
  console.log(`--compare ${path.basename(first)} hello.png: exit ${run.status}`);
  if ((run.status === 0) !== agrees) failures.push(`--compare ${first}`);
}
if (failures.length) {
  console.log(`FAILED: ${failures.join('; ')}`);
  process.exit(1);
}
