// Runs a Zandrel page in headless Chromium (WebGL 2 on its software
// rasteriser) from a server on 127.0.0.1 and checks what it did:
//   node page_test.cjs --site DIR --page NAME --frames N --reference PNG
//       the page's program runs N frames and ends with code 0, and its canvas,
//       read back through the page, matches the native program's screenshot
//       within 2 units per channel for at least 99 % of the pixels;
//   node page_test.cjs --site DIR --page NAME --escape
//       the program runs until Escape, pressed through the DevTools
//       protocol, ends it with code 0.
// --save PNG keeps the page's last frame; --pointer X,Y moves the mouse there
// on the canvas as the program starts.
// puppeteer-core comes from NODE_PATH (scripts/web-deps.sh installs it);
// the browser is Debian's, $ZANDREL_CHROMIUM or chromium-headless-shell.
'use strict';
const fs = require('fs');
const http = require('http');
const path = require('path');
const puppeteer = require('puppeteer-core');

const Tolerance = 2;
const MinimumShare = 0.99;
const TimeoutMs = 120000;

function options() {
  const args = process.argv.slice(2);
  const result = {};
  for (let i = 0; i < args.length; ++i) {
    const name = args[i].replace(/^--/, '');
    if (i + 1 < args.length && !args[i + 1].startsWith('--')) result[name] = args[++i];
    else result[name] = true;
  }
  return result;
}

const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
  '.css': 'text/css', '.png': 'image/png', '.data': 'application/octet-stream' };

// The site, and the reference picture as /reference.png.
function serve(site, reference) {
  const server = http.createServer((request, response) => {
    const url = decodeURIComponent(request.url.split('?')[0]);
    let file = url === '/reference.png' && reference ? reference : path.join(site, url);
    if (!file.startsWith(site) && file !== reference) file = '';
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
  return puppeteer.launch({
    executablePath: process.env.ZANDREL_CHROMIUM || '/usr/bin/chromium-headless-shell',
    headless: true,
    userDataDir: fs.mkdtempSync('/tmp/zandrel-chromium-'),
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

// Compared in the page: both pictures drawn into 2D canvases of the canvas's size.
async function compareWithReference(page) {
  return page.evaluate(async (tolerance) => {
    const canvas = document.getElementById('canvas');
    const reference = new Image();
    reference.src = '/reference.png';
    await reference.decode();
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
  }, Tolerance);
}

async function main() {
  const opts = options();
  const site = path.resolve(opts.site);
  const reference = opts.reference ? path.resolve(opts.reference) : null;
  const server = await serve(site, reference);
  const base = `http://127.0.0.1:${server.address().port}/${opts.page}/`;
  const browser = await launch();
  let failure = null;
  try {
    const page = await browser.newPage();
    page.on('console', (message) => console.log(`[page] ${message.text()}`));
    page.on('pageerror', (error) => console.log(`[page error] ${error.message}`));
    if (opts.frames) {
      const started = Date.now();
      await page.goto(`${base}?test&args=--frames%20${opts.frames}`);
      await page.waitForFunction(() => window.zandrelPage && window.zandrelPage.started, { timeout: TimeoutMs });
      console.log(`page load to running: ${Date.now() - started} ms`);
      if (opts.pointer) {
        // Where the native program's start put the pointer, which a page cannot move.
        const [x, y] = opts.pointer.split(',').map(Number);
        const box = await (await page.$('#canvas')).boundingBox();
        await page.mouse.move(box.x + x, box.y + y);
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
        if (result.error) failure = result.error;
        else if (result.lit === 0) failure = 'the canvas is black';
        else if (result.close < MinimumShare * result.total)
          failure = `${(100 * result.close / result.total).toFixed(2)} % of pixels within ${Tolerance}`;
      }
    } else if (opts.escape) {
      await page.goto(`${base}?test`);
      await page.waitForFunction(() => window.zandrelPage && window.zandrelPage.started, { timeout: TimeoutMs });
      await new Promise((resolve) => setTimeout(resolve, 1000));
      const running = await page.evaluate(() => !window.zandrelPage.ended);
      if (!running) failure = 'the program ended before Escape';
      else {
        await page.focus('#canvas');
        await page.keyboard.press('Escape');
        const code = await waitForEnd(page);
        console.log(`Escape ended it with code ${code}`);
        if (code !== 0) failure = `exit code ${code}`;
      }
    }
  } catch (error) {
    failure = String(error);
  } finally {
    await browser.close();
    server.close();
  }
  if (failure) {
    console.log(`FAILED: ${failure}`);
    process.exit(1);
  }
  console.log('passed');
}

main();
