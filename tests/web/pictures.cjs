// Pictures compared by what they show: PNG files read with Node.js alone, and
// the comparison the page tests and the examples' tests make.
'use strict';
const zlib = require('zlib');

const Tolerance = 2;

// { width, height, rgba } of an 8-bit, non-interlaced PNG. Throws on others.
function decodePng(bytes) {
  if (bytes.readUInt32BE(0) !== 0x89504e47) throw new Error('not a PNG file');
  let header = null, palette = null;
  const data = [];
  for (let at = 8; at + 8 <= bytes.length;) {
    const length = bytes.readUInt32BE(at), kind = bytes.toString('latin1', at + 4, at + 8);
    const body = bytes.subarray(at + 8, at + 8 + length);
    if (kind === 'IHDR') header = { width: body.readUInt32BE(0), height: body.readUInt32BE(4), depth: body[8], type: body[9], interlace: body[12] };
    else if (kind === 'PLTE') palette = body;
    else if (kind === 'IDAT') data.push(body);
    at += 12 + length;
  }
  const channels = { 0: 1, 2: 3, 3: 1, 4: 2, 6: 4 }[header && header.type];
  if (!channels || header.depth !== 8 || header.interlace) throw new Error('PNG of a kind not read here');
  const { width, height } = header, stride = width * channels;
  const raw = zlib.inflateSync(Buffer.concat(data));
  const rgba = Buffer.alloc(width * height * 4);
  let previous = Buffer.alloc(stride), line = Buffer.alloc(stride);
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (stride + 1)];
    raw.copy(line, 0, y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let i = 0; i < stride; ++i) {
      const left = i >= channels ? line[i - channels] : 0, up = previous[i];
      const corner = i >= channels ? previous[i - channels] : 0;
      const guess = left + up - corner;
      const [a, b, c] = [Math.abs(guess - left), Math.abs(guess - up), Math.abs(guess - corner)];
      const paeth = a <= b && a <= c ? left : b <= c ? up : corner;
      line[i] = (line[i] + [0, left, up, (left + up) >> 1, paeth][filter]) & 255;
    }
    for (let x = 0; x < width; ++x) {
      const from = x * channels, to = (y * width + x) * 4;
      const grey = channels <= 2 && header.type !== 3;
      const colour = header.type === 3 ? palette.subarray(3 * line[from], 3 * line[from] + 3)
        : grey ? [line[from], line[from], line[from]] : line.subarray(from, from + 3);
      rgba.set([colour[0], colour[1], colour[2], channels % 2 === 0 ? line[from + channels - 1] : 255], to);
    }
    [previous, line] = [line, previous];
  }
  return { width, height, rgba };
}

// The largest 4-connected patch of marked pixels.
function largestPatch(marked, width) {
  const seen = new Uint8Array(marked.length);
  let largest = 0;
  for (let start = 0; start < marked.length; ++start) {
    if (!marked[start] || seen[start]) continue;
    let size = 0;
    const stack = [start];
    seen[start] = 1;
    while (stack.length) {
      const i = stack.pop();
      ++size;
      const x = i % width;
      for (const next of [x > 0 ? i - 1 : -1, x + 1 < width ? i + 1 : -1, i - width, i + width]) {
        if (next >= 0 && next < marked.length && marked[next] && !seen[next]) {
          seen[next] = 1;
          stack.push(next);
        }
      }
    }
    largest = Math.max(largest, size);
  }
  return largest;
}

// Compares over the content: the pixels where either picture differs from
// the expected picture's background, its commonest colour, by more than
// Tolerance. Gives the content's size, how many of its pixels agree within
// `tolerance` units per channel, the largest difference and the largest
// connected patch of pixels that do not agree.
function compare(drawn, expected, tolerance = Tolerance) {
  if (drawn.width !== expected.width || drawn.height !== expected.height)
    return { error: `sizes differ: ${drawn.width}x${drawn.height} against ${expected.width}x${expected.height}` };
  const counts = new Map();
  for (let i = 0; i < expected.rgba.length; i += 4) {
    const colour = expected.rgba.readUIntBE(i, 3);
    counts.set(colour, (counts.get(colour) || 0) + 1);
  }
  const background = [...counts].reduce((a, b) => (b[1] > a[1] ? b : a))[0];
  const back = [background >> 16, (background >> 8) & 255, background & 255];
  const apart = (p, i, q) => Math.max(...[0, 1, 2].map((c) => Math.abs(p[i + c] - q[c])));
  const wrong = new Uint8Array(drawn.width * drawn.height);
  let content = 0, close = 0, worst = 0;
  for (let i = 0, n = 0; i < drawn.rgba.length; i += 4, ++n) {
    const difference = apart(drawn.rgba, i, expected.rgba.subarray(i, i + 3));
    worst = Math.max(worst, difference);
    wrong[n] = difference > tolerance;
    if (apart(drawn.rgba, i, back) > Tolerance || apart(expected.rgba, i, back) > Tolerance) {
      ++content;
      close += !wrong[n];
    }
  }
  return { content, close, tolerance, worst, largestWrongPatch: largestPatch(wrong, drawn.width) };
}

// Why a comparison fails, or null: less than `share` of the content within
// the tolerance, or a patch of wrong pixels larger than `patch`.
function comparisonFailure(result, { share = 0.97, patch = 32 } = {}) {
  if (result.error) return result.error;
  if (result.content === 0) return 'neither picture shows more than its background';
  if (result.close < share * result.content)
    return `${(100 * result.close / result.content).toFixed(2)} % of the content within ${result.tolerance}`;
  if (result.largestWrongPatch > patch) return `a patch of ${result.largestWrongPatch} wrong pixels`;
  return null;
}

module.exports = { Tolerance, decodePng, compare, comparisonFailure };
