// Drives a headless Chromium through its DevTools protocol over
// --remote-debugging-pipe: the browser reads JSON commands, each ended by a
// NUL byte, from its descriptor 3 and writes answers and events to its
// descriptor 4. What the page tests use, and nothing else: one page,
// navigation, evaluation and polling in the page, its console and uncaught
// errors, the mouse and a key press. Needs only Node.js.
'use strict';
const { spawn } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

// Commands in flight by id, and event listeners by method, of one pipe.
class Connection {
  constructor(toBrowser, fromBrowser) {
    this.toBrowser = toBrowser;
    this.nextId = 1;
    this.pending = new Map();
    this.listeners = new Map();
    this.closedReason = null;
    let buffered = '';
    fromBrowser.setEncoding('utf8');
    fromBrowser.on('data', (chunk) => {
      const messages = (buffered + chunk).split('\0');
      buffered = messages.pop();
      for (const message of messages) if (message) this.dispatch(JSON.parse(message));
    });
  }

  dispatch(message) {
    if (message.id === undefined) {
      for (const listener of this.listeners.get(message.method) || []) listener(message.params, message.sessionId);
      return;
    }
    const call = this.pending.get(message.id);
    if (!call) return;
    this.pending.delete(message.id);
    if (message.error) call.reject(new Error(`${call.method}: ${message.error.message}`));
    else call.resolve(message.result);
  }

  send(method, params = {}, sessionId = undefined) {
    if (this.closedReason) return Promise.reject(new Error(`${method}: ${this.closedReason}`));
    const id = this.nextId++;
    const message = { id, method, params };
    if (sessionId) message.sessionId = sessionId;
    return new Promise((resolve, reject) => {
      this.pending.set(id, { method, resolve, reject });
      this.toBrowser.write(JSON.stringify(message) + '\0');
    });
  }

  // Calls `listener` for each event `method`; returns what stops it.
  on(method, listener) {
    if (!this.listeners.has(method)) this.listeners.set(method, []);
    const listeners = this.listeners.get(method);
    listeners.push(listener);
    return () => {
      const at = listeners.indexOf(listener);
      if (at >= 0) listeners.splice(at, 1);
    };
  }

  // Every command still waiting fails with `reason`.
  close(reason) {
    this.closedReason = reason;
    for (const call of this.pending.values()) call.reject(new Error(`${call.method}: ${reason}`));
    this.pending.clear();
  }
}

// An expression calling `fn` (a function or its source) with `args` in the page.
function callExpression(fn, args) {
  return `(${fn})(...${JSON.stringify(args)})`;
}

class Page {
  constructor(connection, sessionId) {
    this.connection = connection;
    this.sessionId = sessionId;
  }

  send(method, params = {}) {
    return this.connection.send(method, params, this.sessionId);
  }

  // 'console' listeners get each console message's text, 'pageerror' ones an
  // Error for each exception the page did not catch.
  on(event, listener) {
    const ours = (handler) => (params, sessionId) => {
      if (sessionId === this.sessionId) handler(params);
    };
    if (event === 'console') {
      this.connection.on('Runtime.consoleAPICalled', ours((params) => listener(params.args
        .map((arg) => (arg.value !== undefined ? String(arg.value) : arg.description || arg.unserializableValue || ''))
        .join(' '))));
    } else if (event === 'pageerror') {
      this.connection.on('Runtime.exceptionThrown', ours((params) => {
        const details = params.exceptionDetails;
        listener(new Error((details.exception && details.exception.description) || details.text));
      }));
    } else throw new Error(`no page event ${event}`);
  }

  // Loads `url` and waits for its load event.
  async goto(url, timeout = 120000) {
    let timer = null, stop = null;
    const loaded = new Promise((resolve, reject) => {
      stop = this.connection.on('Page.loadEventFired', (params, sessionId) => {
        if (sessionId === this.sessionId) resolve();
      });
      timer = setTimeout(() => reject(new Error(`${url} did not load in ${timeout} ms`)), timeout);
    });
    const done = () => {
      clearTimeout(timer);
      stop();
    };
    const navigation = await this.send('Page.navigate', { url });
    if (navigation.errorText) {
      done();
      throw new Error(`${url}: ${navigation.errorText}`);
    }
    await loaded.finally(done);
  }

  // What `fn(...args)` returns in the page, awaited there; it must be JSON.
  async evaluate(fn, ...args) {
    const answer = await this.send('Runtime.evaluate',
      { expression: callExpression(fn, args), awaitPromise: true, returnByValue: true });
    if (answer.exceptionDetails) {
      const details = answer.exceptionDetails;
      throw new Error((details.exception && details.exception.description) || details.text);
    }
    return answer.result.value;
  }

  // Polls `fn(...args)` in the page every `polling` ms until it is true, for
  // at most `timeout` ms: one protocol call however long the wait.
  waitForFunction(fn, { timeout = 30000, polling = 100 } = {}, ...args) {
    return this.evaluate((source, args, timeout, polling) => new Promise((resolve, reject) => {
      const predicate = (0, eval)(`(${source})`);
      const deadline = Date.now() + timeout;
      const poll = () => {
        try {
          if (predicate(...args)) resolve(true);
          else if (Date.now() > deadline) reject(new Error(`waiting failed: ${timeout} ms exceeded`));
          else setTimeout(poll, polling);
        } catch (error) {
          reject(error);
        }
      };
      poll();
    }), String(fn), args, timeout, polling);
  }

  // The element's box in the page's coordinates.
  boundingBox(selector) {
    return this.evaluate((selector) => {
      const box = document.querySelector(selector).getBoundingClientRect();
      return { x: box.x, y: box.y, width: box.width, height: box.height };
    }, selector);
  }

  focus(selector) {
    return this.evaluate((selector) => document.querySelector(selector).focus(), selector);
  }

  moveMouse(x, y) {
    return this.send('Input.dispatchMouseEvent', { type: 'mouseMoved', x, y, button: 'none' });
  }

  // Presses and releases a key without text, such as 'Escape'.
  async pressKey(key, keyCode) {
    const event = { key, code: key, windowsVirtualKeyCode: keyCode, nativeVirtualKeyCode: keyCode };
    await this.send('Input.dispatchKeyEvent', { type: 'rawKeyDown', ...event });
    await this.send('Input.dispatchKeyEvent', { type: 'keyUp', ...event });
  }
}

class Browser {
  constructor(child, connection, userDataDir) {
    this.child = child;
    this.connection = connection;
    this.userDataDir = userDataDir;
    this.exited = new Promise((resolve) => child.once('exit', resolve));
  }

  // A fresh tab of 800 x 600 CSS pixels, its console and errors reported.
  async newPage() {
    const { targetId } = await this.connection.send('Target.createTarget', { url: 'about:blank' });
    const { sessionId } = await this.connection.send('Target.attachToTarget', { targetId, flatten: true });
    const page = new Page(this.connection, sessionId);
    await Promise.all([page.send('Page.enable'), page.send('Runtime.enable'),
      page.send('Emulation.setDeviceMetricsOverride', { width: 800, height: 600, deviceScaleFactor: 1, mobile: false })]);
    return page;
  }

  // Asks the browser to close, ends it if it has not in 5 s, and removes its profile.
  async close() {
    this.connection.send('Browser.close').catch(() => {});
    const killer = setTimeout(() => this.child.kill('SIGKILL'), 5000);
    await this.exited;
    clearTimeout(killer);
    fs.rmSync(this.userDataDir, { recursive: true, force: true });
  }
}

// Starts the browser at `executablePath` with `args` and a fresh profile.
async function launch({ executablePath, args = [] }) {
  // Spawned, a missing program shows only as a broken pipe to it.
  if (!fs.existsSync(executablePath)) throw new Error(`Chromium not found at ${executablePath}`);
  const userDataDir = fs.mkdtempSync(path.join(os.tmpdir(), 'zandrel-chromium-'));
  const child = spawn(executablePath,
    [...args, '--headless', '--remote-debugging-pipe', `--user-data-dir=${userDataDir}`, 'about:blank'],
    { stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'] });
  let errorTail = '';
  child.stderr.on('data', (chunk) => {
    errorTail = (errorTail + chunk).slice(-4000);
  });
  const connection = new Connection(child.stdio[3], child.stdio[4]);
  const failed = new Promise((resolve, reject) => {
    child.once('error', (error) => reject(new Error(`${executablePath}: ${error.message}`)));
    child.once('exit', (code, signal) => {
      const reason = `the browser ended (${signal || `code ${code}`}): ${errorTail.trim().split('\n').slice(-3).join(' | ')}`;
      connection.close(reason);
      reject(new Error(reason));
    });
  });
  failed.catch(() => {}); // reported through the commands that fail
  await Promise.race([connection.send('Browser.getVersion'), failed]);
  return new Browser(child, connection, userDataDir);
}

module.exports = { launch };
