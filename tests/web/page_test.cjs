// Runs a Zandrel page in headless Chromium (WebGL 2 on its software
// rasteriser) from a server on 127.0.0.1 and checks what it did:
//   node page_test.cjs --site DIR --page NAME --frames N --reference PNG
//       the page's program runs N frames and ends with code 0, and its canvas,
//       read back through the page, matches the native program's screenshot
//       within 2 units per channel for at least 99 % of the pixels;
//   node page_test.cjs --site DIR --page NAME --escape
//       the program runs until Escape, pressed through the DevTools
//       protocol, ends it with code 0.
//   node page_test.cjs --site DIR --page show --virtual --grab S,S,...
//       --references DIR
//       the show on its virtual clock hands over its frames at those show
//       seconds, each matching the native capture's frame DIR/<S * 60>.png
//       as above;
//   node page_test.cjs --site DIR --page show --realtime --scenes N
//       the show on the real clock plays scenes 1 to N with the page's audio
//       context running and its clock advancing with the show's; prints the
//       page load to the first frame and the frames per second of each scene.
// --save PNG keeps the page's last frame; --pointer X,Y moves the mouse there
// on the canvas as the program starts; --args "..." adds program options;
// --share F asks for that share of the pixels within the tolerance instead.
// The browser is Debian's, $ZANDREL_CHROMIUM or chromium-headless-shell,
// driven through its DevTools pipe (devtools.cjs).
'use strict';
const fs = require('fs');
const http = require('http');
const path = require('path');
const devtools = require('./devtools.cjs');

const Tolerance = 2;
const MinimumShare = 0.99;
const TimeoutMs = 120000;
const ShowFramesPerSecond = 60;

function options() {
  const args = process.argv.slice(2);
  const result = {};
  for (let i = 0; i < args.length; ++i) {
    const name = args[i].replace(/^--/, '');
    const takesValue = name === 'args' || (i + 1 < args.length && !args[i + 1].startsWith('--'));
    if (takesValue && i + 1 < args.length) result[name] = args[++i];
    else result[name] = true;
  }
  return result;
}

const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
  '.css': 'text/css', '.png': 'image/png', '.data': 'application/octet-stream' };

// The site, the reference picture as /reference.png and the pictures of the
// references folder under /references/.
function serve(site, reference, references) {
  const server = http.createServer((request, response) => {
    const url = decodeURIComponent(request.url.split('?')[0]);
    let file = url === '/reference.png' && reference ? reference : path.join(site, url);
    if (references && url.startsWith('/references/')) {
      file = path.join(references, path.basename(url));
    } else if (!file.startsWith(site) && file !== reference) file = '';
    if (file && fs.existsSync(file) && fs.statSync(file).isDirectory()) file = path.join(file, 'index.html');
    if (!file || !fs.existsSync(file)) {
      response.writeHead(404);
      response.end();
      return;
    }
    response.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' });
    fs.createReadStream(file).pipe(response);
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

function launch() {
  return devtools.launch({
    executablePath: process.env.ZANDREL_CHROMIUM || '/usr/bin/chromium-headless-shell',
    args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
      '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--autoplay-policy=no-user-gesture-required'],
  });
}

async function waitForEnd(page) {
  await page.waitForFunction(() => window.zandrelPage && window.zandrelPage.ended,
    { timeout: TimeoutMs, polling: 100 });
  return page.evaluate(() => window.zandrelPage.exitCode);
}

// Compared in the page: both pictures drawn into 2D canvases of the canvas's
// size. The drawn picture is the canvas, or the data URL `drawnUrl`.
async function compareWithReference(page, referenceUrl = '/reference.png', drawnUrl = null) {
  return page.evaluate(async (tolerance, referenceUrl, drawnUrl) => {
    const load = async (url) => {
      const image = new Image();
      image.src = url;
      await image.decode();
      return image;
    };
    const canvas = drawnUrl ? await load(drawnUrl) : document.getElementById('canvas');
    const reference = await load(referenceUrl);
    if (reference.width !== canvas.width || reference.height !== canvas.height)
      return { error: `sizes differ: page ${canvas.width}x${canvas.height}, native ${reference.width}x${reference.height}` };
    const pixels = (source) => {
      const scratch = document.createElement('canvas');
      scratch.width = canvas.width;
      scratch.height = canvas.height;
      const context = scratch.getContext('2d');
      context.drawImage(source, 0, 0);
      return context.getImageData(0, 0, canvas.width, canvas.height).data;
    };
    const drawn = pixels(canvas);
    const expected = pixels(reference);
    let close = 0, worst = 0, lit = 0;
    for (let i = 0; i < drawn.length; i += 4) {
      let difference = 0;
      for (let c = 0; c < 3; ++c) difference = Math.max(difference, Math.abs(drawn[i + c] - expected[i + c]));
      if (difference <= tolerance) ++close;
      if (drawn[i] + drawn[i + 1] + drawn[i + 2] > 0) ++lit;
      worst = Math.max(worst, difference);
    }
    const total = drawn.length / 4;
    return { total, close, worst, lit };
  }, Tolerance, referenceUrl, drawnUrl);
}

let minimumShare = MinimumShare;

// Why a comparison's result fails, or null.
function comparisonFailure(result) {
  if (result.error) return result.error;
  if (result.lit === 0) return 'the picture is black';
  if (result.close < minimumShare * result.total)
    return `${(100 * result.close / result.total).toFixed(2)} % of pixels within ${Tolerance}`;
  return null;
}

// Show frames at given seconds on the virtual clock against the native capture's.
async function checkShowFrames(page, base, opts) {
  const seconds = opts.grab.split(',').map(Number);
  const last = Math.max(...seconds);
  const started = Date.now();
  await page.goto(`${base}?test&args=--virtual-clock%20--grab%20${opts.grab}%20--until%20${last}`);
  const progress = setInterval(async () => {
    const frames = await page.evaluate(() => window.zandrelPage.shownFrames).catch(() => null);
    console.log(`${((Date.now() - started) / 1000).toFixed(0)} s: frame ${frames}`);
  }, 30000);
  await page.waitForFunction(() => window.zandrelPage && window.zandrelPage.ended,
    { timeout: 15 * TimeoutMs, polling: 500 }).finally(() => clearInterval(progress));
  const code = await page.evaluate(() => window.zandrelPage.exitCode);
  console.log(`show to ${last} s on the virtual clock in ${Date.now() - started} ms, exit code ${code}`);
  if (code !== 0) return `exit code ${code}`;
  const failures = [];
  for (const second of seconds) {
    const url = await page.evaluate((s) => window.zandrelPage.grabs[s], second);
    if (!url) {
      failures.push(`no frame at ${second} s`);
      continue;
    }
    const name = String(second * ShowFramesPerSecond).padStart(6, '0') + '.png';
    if (opts.save) fs.writeFileSync(`${opts.save}-${second}.png`, Buffer.from(url.split(',')[1], 'base64'));
    const result = await compareWithReference(page, `/references/${name}`, url);
    console.log(`${second} s: ${JSON.stringify(result)}`);
    const failure = comparisonFailure(result);
    if (failure) failures.push(`${second} s: ${failure}`);
  }
  return failures.length ? failures.join('; ') : null;
}

// The show on the real clock until scene `last` has ended.
async function checkShowInRealTime(page, base, opts) {
  const last = Number(opts.scenes);
  await page.goto(`${base}?test`);
  const sceneAfter = (scene) => page.waitForFunction(
    (s) => window.zandrelPage.ended || window.zandrelPage.scenes.some((e) => e.scene === s || e.scene === null),
    { timeout: 4 * TimeoutMs, polling: 50 }, scene);
  await page.waitForFunction(() => window.zandrelPage && window.zandrelPage.started, { timeout: TimeoutMs });
  await sceneAfter(1);
  const first = await page.evaluate(() => ({ clock: window.zandrelPage.audioClock(), ms: performance.now() }));
  await sceneAfter(last === 16 ? null : last + 1);
  const end = await page.evaluate(() => ({ clock: window.zandrelPage.audioClock(), ms: performance.now(),
    page: { ...window.zandrelPage, grabs: {} } }));
  const shown = end.page;
  console.log(`page load to the first show frame: ${(shown.firstFrameMs / 1000).toFixed(2)} s`);
  console.log('scene  frames  seconds  frames/s');
  const rates = {};
  for (let i = 0; i + 1 < shown.scenes.length && shown.scenes[i].scene !== null; ++i) {
    const from = shown.scenes[i], to = shown.scenes[i + 1];
    if (from.scene > last) break;
    const frames = to.frame - from.frame, seconds = (to.ms - from.ms) / 1000;
    rates[from.scene] = frames / seconds;
    console.log(`${String(from.scene).padStart(5)}  ${String(frames).padStart(6)}  ` +
      `${seconds.toFixed(2).padStart(7)}  ${(frames / seconds).toFixed(1).padStart(8)}`);
  }
  console.log(`frames per second by scene: ${JSON.stringify(rates)}`);
  if (shown.ended && shown.exitCode !== 0) return `exit code ${shown.exitCode}`;
  // At its end the show has closed its sound, and the page's audio context with it.
  if (shown.ended) return null;
  if (!first.clock || !end.clock) return 'the page has no audio context';
  console.log(`audio clock ${first.clock.seconds.toFixed(2)} s -> ${end.clock.seconds.toFixed(2)} s ` +
    `(${end.clock.state}) over ${((end.ms - first.ms) / 1000).toFixed(2)} s`);
  if (end.clock.state !== 'running') return `the audio context is ${end.clock.state}`;
  const advance = end.clock.seconds - first.clock.seconds, wall = (end.ms - first.ms) / 1000;
  if (advance < 0.9 * wall) return `the audio clock advanced ${advance.toFixed(2)} s in ${wall.toFixed(2)} s`;
  return null;
}

async function main() {
  const opts = options();
  if (opts.share) minimumShare = Number(opts.share);
  const site = path.resolve(opts.site);
  const reference = opts.reference ? path.resolve(opts.reference) : null;
  const references = opts.references ? path.resolve(opts.references) : null;
  const server = await serve(site, reference, references);
  const base = `http://127.0.0.1:${server.address().port}/${opts.page}/`;
  let failure = null, browser = null;
  try {
    browser = await launch();
    const page = await browser.newPage();
    page.on('console', (text) => console.log(`[page] ${text}`));
    page.on('pageerror', (error) => console.log(`[page error] ${error.message}`));
    if (opts.virtual) {
      failure = await checkShowFrames(page, base, opts);
    } else if (opts.realtime) {
      failure = await checkShowInRealTime(page, base, opts);
    } else if (opts.frames) {
      const started = Date.now();
      const args = [`--frames ${opts.frames}`, opts.args || ''].join(' ').trim();
      await page.goto(`${base}?test&args=${encodeURIComponent(args)}`);
      await page.waitForFunction(() => window.zandrelPage && window.zandrelPage.started, { timeout: TimeoutMs });
      console.log(`page load to running: ${Date.now() - started} ms`);
      if (opts.pointer) {
        // Where the native program's start put the pointer, which a page cannot move.
        const [x, y] = opts.pointer.split(',').map(Number);
        const box = await page.boundingBox('#canvas');
        await page.moveMouse(box.x + x, box.y + y);
      }
      const code = await waitForEnd(page);
      console.log(`${opts.frames} frames in ${Date.now() - started} ms from load, exit code ${code}`);
      if (opts.save) {
        const url = await page.evaluate(() => document.getElementById('canvas').toDataURL('image/png'));
        fs.writeFileSync(opts.save, Buffer.from(url.split(',')[1], 'base64'));
      }
      if (code !== 0) failure = `exit code ${code}`;
      else if (reference) {
        const result = await compareWithReference(page);
        console.log(JSON.stringify(result));
        failure = comparisonFailure(result);
      }
    } else if (opts.escape) {
      await page.goto(`${base}?test`);
      await page.waitForFunction(() => window.zandrelPage && window.zandrelPage.started, { timeout: TimeoutMs });
      await new Promise((resolve) => setTimeout(resolve, 1000));
      const running = await page.evaluate(() => !window.zandrelPage.ended);
      if (!running) failure = 'the program ended before Escape';
      else {
        await page.focus('#canvas');
        await page.pressKey('Escape', 27);
        const code = await waitForEnd(page);
        console.log(`Escape ended it with code ${code}`);
        if (code !== 0) failure = `exit code ${code}`;
      }
    }
  } catch (error) {
    failure = String(error);
  } finally {
    if (browser) await browser.close();
    server.close();
  }
  if (failure) {
    console.log(`FAILED: ${failure}`);
    process.exit(1);
  }
  console.log('passed');
}

main();
