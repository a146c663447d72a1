// Runs a Zandrel page in headless Chromium (WebGL 2 on its software
// rasteriser) from a server on 127.0.0.1 and checks what it did:
//   node page_test.cjs --site DIR --page NAME --frames N --reference PNG
//       the page's program runs N frames and ends with code 0, and its canvas
//       shows what the native program's screenshot shows (pictures.cjs: 97 %
//       of the content within 2 units per channel, no connected patch of
//       more than 32 wrong pixels);
//   node page_test.cjs --site DIR --page NAME --escape
//       the program runs until Escape, pressed through the DevTools
//       protocol, ends it with code 0.
//   node page_test.cjs --site DIR --page show --virtual --grab S,S,...
//       --references DIR
//       the show on its virtual clock hands over its frames at those show
//       seconds, each showing what the native capture's frame
//       DIR/<S * 60>.png shows, as above; S@T allows T units per channel
//       at that second instead of 2;
//   node page_test.cjs --site DIR --page show --realtime --scenes N
//       the show on the real clock plays scenes 1 to N, the program's mixer
//       feeding sound to the page's audio, and each scene starts on the audio
//       clock where the timeline puts it; prints the page load to the first
//       frame and the frames per second of each scene.
//   node page_test.cjs --site DIR --page NAME --output FILE [--runs N]
//       the page's program runs to its end with code 0, and the lines it
//       printed are FILE's (what the native program printed); with --runs,
//       the page is loaded N times in one browser profile, the lines of
//       all N runs together being FILE's; with --within D, a number marked
//       "~" may differ from FILE's by up to D;
//   node page_test.cjs --compare A.png B.png [--tolerance T]
//       exit code 0 when A shows what B does, as above, 1 when not.
// --save PNG keeps the page's last frame; --pointer X,Y moves the mouse to
// that pixel of the program's on the canvas as the program starts;
// --viewport WxH,WxH,... (with --frames and --reference) loads the page in a
// window of the first size and, once the program has ended, checks in each
// that the page does not scroll and shows the canvas whole, with the
// reference's aspect within a pixel, as large as the window lets it up to
// the program's size; then that F puts the canvas in full screen, filling
// the screen letterboxed; --args "..." adds program options;
// --share F asks for that share of the content within the tolerance instead,
// --patch N for patches of wrong pixels up to N.
// The browser is Debian's, $ZANDREL_CHROMIUM or chromium-headless-shell,
// driven through its DevTools pipe (devtools.cjs).
'use strict';
const fs = require('fs');
const http = require('http');
const path = require('path');
const devtools = require('./devtools.cjs');
const pictures = require('./pictures.cjs');

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

// The site.
function serve(site) {
  const server = http.createServer((request, response) => {
    const url = decodeURIComponent(request.url.split('?')[0]);
    let file = path.join(site, url);
    if (!file.startsWith(site)) file = '';
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

// The drawn picture, the canvas or the data URL `drawnUrl`, against the
// reference file, compared here.
async function compareWithReference(page, referenceFile, drawnUrl = null, tolerance = undefined) {
  const url = drawnUrl || await page.evaluate(() => document.getElementById('canvas').toDataURL('image/png'));
  const drawn = pictures.decodePng(Buffer.from(url.split(',')[1], 'base64'));
  return pictures.compare(drawn, pictures.decodePng(fs.readFileSync(referenceFile)), tolerance);
}

const limits = {};

function comparisonFailure(result) {
  return pictures.comparisonFailure(result, limits);
}

// Show frames at given seconds on the virtual clock against the native capture's.
async function checkShowFrames(page, base, opts) {
  // S or S@T: T units per channel allowed at that second instead of the usual.
  const grabs = opts.grab.split(',').map((entry) => entry.split('@').map(Number));
  const seconds = grabs.map(([second]) => second);
  const last = Math.max(...seconds);
  const started = Date.now();
  await page.goto(`${base}?test&args=--virtual-clock%20--grab%20${seconds.join(',')}%20--until%20${last}`);
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
  for (const [second, tolerance] of grabs) {
    const url = await page.evaluate((s) => window.zandrelPage.grabs[s], second);
    if (!url) {
      failures.push(`no frame at ${second} s`);
      continue;
    }
    const name = String(second * ShowFramesPerSecond).padStart(6, '0') + '.png';
    if (opts.save) fs.writeFileSync(`${opts.save}-${second}.png`, Buffer.from(url.split(',')[1], 'base64'));
    const result = await compareWithReference(page, path.resolve(opts.references, name), url, tolerance);
    console.log(`${second} s: ${JSON.stringify(result)}`);
    const failure = comparisonFailure(result);
    if (failure) failures.push(`${second} s: ${failure}`);
  }
  return failures.length ? failures.join('; ') : null;
}

// Set up in the page before its program: counts the frames of sound that
// reach the page's audio output other than silence, and notes the audio
// clock as each scene starts.
function listenToTheSound() {
  window.soundingFrames = 0;
  const slot = Object.getOwnPropertyDescriptor(ScriptProcessorNode.prototype, 'onaudioprocess');
  Object.defineProperty(ScriptProcessorNode.prototype, 'onaudioprocess', {
    get() { return slot.get.call(this); },
    set(fill) {
      slot.set.call(this, fill && ((event) => {
        fill(event);
        for (const sample of event.outputBuffer.getChannelData(0)) window.soundingFrames += sample !== 0;
      }));
    },
  });
  let shown = null;
  Object.defineProperty(window, 'zandrelPage', {
    get() { return shown; },
    set(page) {
      shown = page;
      const started = page.sceneStarted;
      page.sceneStarted = (scene, frame) => {
        started(scene, frame);
        const clock = page.audioClock();
        page.scenes[page.scenes.length - 1].audioSeconds = clock ? clock.seconds : null;
      };
    },
  });
}

// Show seconds at which scenes 1 to 16 start, apart by whole seconds: when
// the whole seconds counted since the music started reach the lead-in's end
// or the scene before's mark.
const SceneStarts = [3.5, 19.5, 27.5, 35.5, 44, 51.5, 59, 67.5, 84, 92, 108, 116, 120, 122, 124, 140]
  .map(Math.ceil);

// The show on the real clock until scene `last` has ended: the page's audio
// got sound from the mixer, and the scenes started on the audio clock where
// the timeline puts them (within a frame or two).
async function checkShowInRealTime(page, base, opts) {
  const last = Number(opts.scenes);
  await page.send('Page.addScriptToEvaluateOnNewDocument', { source: `(${listenToTheSound})()` });
  await page.goto(`${base}?test`);
  await page.waitForFunction(() => window.zandrelPage && window.zandrelPage.started, { timeout: TimeoutMs });
  await page.waitForFunction((s) => window.zandrelPage.ended || window.zandrelPage.scenes.some((e) => e.scene === s),
    { timeout: 4 * TimeoutMs, polling: 50 }, last + 1);
  const shown = await page.evaluate(() => ({ ...window.zandrelPage, grabs: {}, soundingFrames: window.soundingFrames }));
  console.log(`page load to the first show frame: ${(shown.firstFrameMs / 1000).toFixed(2)} s`);
  console.log('scene  frames  seconds  frames/s  starts on the audio clock');
  const scenes = shown.scenes.filter((e) => e.scene >= 1 && e.scene <= last + 1);
  for (let i = 0; i + 1 < scenes.length; ++i) {
    const from = scenes[i], to = scenes[i + 1];
    const frames = to.frame - from.frame, seconds = (to.ms - from.ms) / 1000;
    console.log(`${String(from.scene).padStart(5)}  ${String(frames).padStart(6)}  ` +
      `${seconds.toFixed(2).padStart(7)}  ${(frames / seconds).toFixed(1).padStart(8)}  ${from.audioSeconds}`);
  }
  if (shown.ended) return `the show ended (code ${shown.exitCode}) before scene ${last + 1}`;
  const first = scenes[0], end = scenes[scenes.length - 1];
  const wall = (end.ms - first.ms) / 1000;
  console.log(`${shown.soundingFrames} sounding frames in ${wall.toFixed(2)} s`);
  if (shown.soundingFrames < 0.5 * 44100 * wall) return 'the mixer fed the page\'s audio too little sound';
  for (const scene of scenes) {
    const onTheClock = scene.audioSeconds - first.audioSeconds;
    const planned = SceneStarts[scene.scene - 1] - SceneStarts[first.scene - 1];
    if (!(Math.abs(onTheClock - planned) <= 0.25))
      return `scene ${scene.scene} started at ${onTheClock} s of the audio clock, not ${planned} s`;
  }
  return null;
}

// Equal, but for numbers marked "~", which may differ by up to `within`.
function linesAgree(line, expected, within) {
  const words = line.split(' '), expectedWords = expected.split(' ');
  return words.length === expectedWords.length && words.every((word, i) => {
    const other = expectedWords[i];
    if (word.startsWith('~') && other.startsWith('~'))
      return Math.abs(Number(word.slice(1)) - Number(other.slice(1))) <= within;
    return word === other;
  });
}

// The program's printed lines, over `runs` loads of the page, against those
// in `expectedFile`.
async function checkOutput(page, base, opts) {
  const [expectedFile, runs, within] = [path.resolve(opts.output), Number(opts.runs || 1), Number(opts.within || 0)];
  const printed = [];
  for (let run = 0; run < runs; ++run) {
    await page.goto(`${base}?test&run=${run}`);
    const code = await waitForEnd(page);
    printed.push(...await page.evaluate(() => window.zandrelPage.output));
    if (code !== 0) return `exit code ${code} in run ${run + 1}`;
    // What the program saved reaches the browser's storage a moment later.
    await new Promise((resolve) => setTimeout(resolve, 500));
  }
  const expected = fs.readFileSync(expectedFile, 'utf8').split('\n').filter((line) => line.length > 0);
  for (let i = 0; i < Math.max(printed.length, expected.length); ++i) {
    if (!linesAgree(printed[i] ?? '', expected[i] ?? '', within))
      return `line ${i + 1} is "${printed[i] ?? ''}", not "${expected[i] ?? ''}"`;
  }
  return null;
}

// --compare A.png B.png: 0 when A shows what B does, 1 when not.
function compareFiles(drawn, expected, tolerance) {
  try {
    const [a, b] = [drawn, expected].map((file) => pictures.decodePng(fs.readFileSync(file)));
    const result = pictures.compare(a, b, tolerance);
    const failure = comparisonFailure(result);
    console.log(`${JSON.stringify(result)}: ${failure || 'they agree'}`);
    return failure ? 1 : 0;
  } catch (error) {
    console.log(`FAILED: ${error.message}`);
    return 2;
  }
}

// The window as `WxH`.
function setViewport(page, size) {
  const [width, height] = size.split('x').map(Number);
  return page.send('Emulation.setDeviceMetricsOverride', { width, height, deviceScaleFactor: 1, mobile: false });
}

// Where the canvas shows, and how far the page scrolls, once the page has
// laid itself out again.
function shownCanvas(page) {
  return page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(() => {
    const box = document.getElementById('canvas').getBoundingClientRect();
    const scrolling = document.scrollingElement;
    // Inside the window and neither clipped nor covered, at each corner.
    const corners = [[box.left, box.top], [box.right - 1, box.top], [box.left, box.bottom - 1],
      [box.right - 1, box.bottom - 1]];
    const whole = corners.every(([x, y]) => document.elementFromPoint(x, y) === document.getElementById('canvas'));
    resolve({ left: box.left, top: box.top, width: box.width, height: box.height, whole,
      scrollWidth: scrolling.scrollWidth, scrollHeight: scrolling.scrollHeight,
      windowWidth: innerWidth, windowHeight: innerHeight,
      fullScreen: document.fullscreenElement ? document.fullscreenElement.id : null });
  }))));
}

// What is wrong with the canvas shown in `shown` for a program of `width` x
// `height`: scaled to fit its window (or the screen, in full screen), aspect
// kept, at most its size but in full screen, and filling what it may.
function fitFailure(shown, width, height, fullScreen) {
  const where = `in ${shown.windowWidth}x${shown.windowHeight}: ${JSON.stringify(shown)}`;
  if (shown.scrollWidth > shown.windowWidth || shown.scrollHeight > shown.windowHeight) return `the page scrolls ${where}`;
  if (!shown.whole) return `the canvas is not shown whole ${where}`;
  if (Math.abs(shown.height - shown.width * height / width) > 1) return `the canvas's aspect is not ${width}:${height} ${where}`;
  const scale = shown.width / width;
  if (!fullScreen && scale > 1) return `the canvas is shown larger than the program ${where}`;
  if (fullScreen) {
    if (shown.fullScreen !== 'stage') return `F did not put the canvas in full screen ${where}`;
    if (Math.max(shown.width / shown.windowWidth, shown.height / shown.windowHeight) < 0.99)
      return `the canvas does not fill the screen ${where}`;
  } else if (scale < 1 && Math.max(shown.width / shown.windowWidth, shown.height / shown.windowHeight) < 0.6) {
    return `the canvas is smaller than the window lets it be ${where}`;
  }
  return null;
}

// --viewport: the canvas fits each window, then the screen on F.
async function checkFits(page, viewports, width, height) {
  for (const viewport of viewports.split(',')) {
    await setViewport(page, viewport);
    const shown = await shownCanvas(page);
    console.log(`${viewport}: canvas ${shown.width}x${shown.height} at ${shown.left},${shown.top}`);
    const failure = fitFailure(shown, width, height, false);
    if (failure) return failure;
  }
  await page.send('Input.dispatchKeyEvent',
    { type: 'keyDown', key: 'f', code: 'KeyF', text: 'f', windowsVirtualKeyCode: 70 });
  await page.send('Input.dispatchKeyEvent', { type: 'keyUp', key: 'f', code: 'KeyF', windowsVirtualKeyCode: 70 });
  await page.waitForFunction(() => document.fullscreenElement, { timeout: 5000 }).catch(() => {});
  const shown = await shownCanvas(page);
  console.log(`full screen: canvas ${shown.width}x${shown.height} at ${shown.left},${shown.top}`);
  return fitFailure(shown, width, height, true);
}

// Loads the page with the program's options and waits until it runs.
async function startProgram(page, base, args = '') {
  await page.goto(`${base}?test&args=${encodeURIComponent(args)}`);
  await page.waitForFunction(() => window.zandrelPage && window.zandrelPage.started, { timeout: TimeoutMs });
}

// --frames: the program ends with code 0 after N frames, its last one
// showing what the reference shows, and (--viewport) fitting each window.
async function checkFrames(page, base, opts) {
  const started = Date.now();
  if (opts.viewport) await setViewport(page, opts.viewport.split(',')[0]);
  await startProgram(page, base, [`--frames ${opts.frames}`, opts.args || ''].join(' ').trim());
  console.log(`page load to running: ${Date.now() - started} ms`);
  if (opts.pointer) {
    // Where the native program's start put the pointer, which a page cannot move.
    const [x, y] = opts.pointer.split(',').map(Number);
    const box = await page.boundingBox('#canvas');
    const scale = box.width / await page.evaluate(() => document.getElementById('canvas').width);
    await page.moveMouse(box.x + x * scale, box.y + y * scale);
  }
  const code = await waitForEnd(page);
  console.log(`${opts.frames} frames in ${Date.now() - started} ms from load, exit code ${code}`);
  if (opts.save) {
    const url = await page.evaluate(() => document.getElementById('canvas').toDataURL('image/png'));
    fs.writeFileSync(opts.save, Buffer.from(url.split(',')[1], 'base64'));
  }
  if (code !== 0) return `exit code ${code}`;
  if (!opts.reference) return null;
  const reference = path.resolve(opts.reference);
  const result = await compareWithReference(page, reference);
  console.log(JSON.stringify(result));
  const failure = comparisonFailure(result);
  if (failure || !opts.viewport) return failure;
  const expected = pictures.decodePng(fs.readFileSync(reference));
  return checkFits(page, opts.viewport, expected.width, expected.height);
}

// --escape: the program runs until Escape ends it with code 0.
async function checkEscape(page, base) {
  await startProgram(page, base);
  await new Promise((resolve) => setTimeout(resolve, 1000));
  if (!await page.evaluate(() => !window.zandrelPage.ended)) return 'the program ended before Escape';
  await page.focus('#canvas');
  await page.pressKey('Escape', 27);
  const code = await waitForEnd(page);
  console.log(`Escape ended it with code ${code}`);
  return code !== 0 ? `exit code ${code}` : null;
}

async function main() {
  const opts = options();
  if (opts.share) limits.share = Number(opts.share);
  if (opts.patch) limits.patch = Number(opts.patch);
  if (opts.compare) {
    const tolerance = opts.tolerance ? Number(opts.tolerance) : undefined;
    process.exit(compareFiles(opts.compare, process.argv[process.argv.indexOf('--compare') + 2], tolerance));
  }
  const site = path.resolve(opts.site);
  const server = await serve(site);
  const base = `http://127.0.0.1:${server.address().port}/${opts.page}/`;
  let failure = null, browser = null;
  try {
    browser = await launch();
    const page = await browser.newPage();
    page.on('console', (text) => console.log(`[page] ${text}`));
    page.on('pageerror', (error) => console.log(`[page error] ${error.message}`));
    const check = opts.virtual ? checkShowFrames : opts.realtime ? checkShowInRealTime
      : opts.frames ? checkFrames : opts.output ? checkOutput : opts.escape ? checkEscape : null;
    failure = check ? await check(page, base, opts) : 'nothing to check: see the options at the top';
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
