// What every Zandrel page shares: it runs the program in the canvas, passes it
// the query's `args` as its command line, and says on the page when it ended.
// With `test` in the query the canvas keeps its last frame, so that it can be
// read back after the program has ended. A page whose body has
// `data-waits-for-sound` starts its program only once the browser lets it
// play sound (at once where sound may start by itself, else at the first
// click or key), so that music and picture start together.
// The canvas keeps the program's size in pixels and is shown scaled to fit
// the window, aspect kept, never above its size; F or the page's button puts
// it in full screen, where it fills the screen letterboxed, as the native
// scaled full screen does. A page that waits for sound (the show's, which
// asks for full screen) also enters full screen with the click or key that
// starts it: a browser allows full screen only on such a gesture.
// A program may report where it is through `zandrelPage`: the show tells
// its first frame, its scenes and its end, and hands over grabbed frames.
(function () {
  const query = new URLSearchParams(location.search);
  const status = document.getElementById('status');
  const canvas = document.getElementById('canvas');
  const stage = document.getElementById('stage');
  const page = (window.zandrelPage = {
    started: false, ended: false, exitCode: null, output: [],
    // Milliseconds since the page began to load.
    firstFrameMs: null, shownFrames: 0, scenes: [], endMs: null, grabs: {},
    showFrame() { page.firstFrameMs = performance.now(); },
    sceneStarted(scene, frame) { page.scenes.push({ scene, frame, ms: performance.now() }); },
    showEnded(frame) {
      page.scenes.push({ scene: null, frame, ms: performance.now() });
      page.endMs = performance.now();
      ended(0);
    },
    grabbed(seconds, url) { page.grabs[seconds] = url; },
    // The browser's audio clock as the program's sound runs on it.
    audioClock() {
      const context = window.Module && Module.SDL2 && Module.SDL2.audioContext;
      return context ? { state: context.state, seconds: context.currentTime } : null;
    },
  });

  if (query.has('test')) {
    const getContext = HTMLCanvasElement.prototype.getContext;
    HTMLCanvasElement.prototype.getContext = function (kind, attributes) {
      return getContext.call(this, kind, Object.assign({}, attributes, { preserveDrawingBuffer: true }));
    };
  }

  // SDL sizes the canvas to nothing when the program's window closes, which
  // would clear it: the page keeps the last picture instead.
  for (const side of ['width', 'height']) {
    const own = Object.getOwnPropertyDescriptor(HTMLCanvasElement.prototype, side);
    Object.defineProperty(canvas, side, {
      get() { return own.get.call(this); },
      set(value) {
        if (value > 0) own.set.call(this, value);
        fit();
      },
    });
  }

  // SDL maps the pointer from the canvas's box to the program's pixels, so
  // the box itself is scaled (not its content inside a larger box) and the
  // stage, not the canvas, goes full screen.
  function fit() {
    const width = canvas.width, height = canvas.height;
    if (!stage || !(width > 0 && height > 0)) return;
    const full = document.fullscreenElement === stage;
    const scale = Math.min(stage.clientWidth / width, stage.clientHeight / height, full ? Infinity : 1);
    canvas.style.width = Math.max(1, Math.floor(width * scale)) + 'px';
    canvas.style.height = Math.max(1, Math.floor(height * scale)) + 'px';
  }

  function enterFullScreen() {
    if (!stage || document.fullscreenElement || !stage.requestFullscreen) return;
    stage.requestFullscreen().catch(() => {});
  }

  function toggleFullScreen() {
    if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
    else enterFullScreen();
  }

  if (stage) {
    new ResizeObserver(fit).observe(stage);
    document.addEventListener('fullscreenchange', fit);
    addEventListener('keydown', (event) => {
      if (event.code === 'KeyF' && !event.repeat && !event.ctrlKey && !event.altKey && !event.metaKey)
        toggleFullScreen();
    });
    const button = document.getElementById('full-screen');
    if (button) {
      button.addEventListener('click', () => {
        toggleFullScreen();
        canvas.focus(); // keys such as Space are the program's, not the button's
      });
    }
    fit();
  }

  function say(text) {
    status.textContent = text;
  }

  function ended(code) {
    if (page.ended) return;
    page.ended = true;
    page.exitCode = code;
    const after = page.firstFrameMs !== null
      ? ' after ' + Math.round((performance.now() - page.firstFrameMs) / 1000) + ' s' : '';
    say(code === 0 ? 'Ended' + after + '.' : 'Ended with code ' + code + after + '.');
  }

  // True once an audio context may run; waits for a gesture where it may not.
  async function soundAllowed() {
    const Context = window.AudioContext || window.webkitAudioContext;
    if (!Context) return;
    const probe = new Context();
    const running = () => probe.state === 'running';
    const allowed = await Promise.race([probe.resume().then(running, () => false),
      new Promise((resolve) => setTimeout(() => resolve(running()), 300))]);
    probe.close();
    if (allowed) return;
    say('Click or press a key to start, in full screen with sound.');
    await new Promise((resolve) => {
      const go = () => {
        enterFullScreen();
        removeEventListener('click', go, true);
        removeEventListener('keydown', go, true);
        resolve();
      };
      addEventListener('click', go, true);
      addEventListener('keydown', go, true);
    });
  }

  const waitsForSound = document.body.hasAttribute('data-waits-for-sound');
  window.Module = {
    canvas: canvas,
    arguments: (query.get('args') || '').split(' ').filter((word) => word.length > 0),
    print: (text) => { page.output.push(text); console.log(text); },
    printErr: (text) => { page.output.push(text); console.error(text); },
    preRun: [() => {
      if (!waitsForSound) return;
      Module.addRunDependency('sound');
      soundAllowed().then(() => Module.removeRunDependency('sound'));
    }],
    onRuntimeInitialized: () => {
      page.started = true;
      say(waitsForSound ? 'Running.' : 'Running. Click or press a key for sound.');
      canvas.focus();
    },
    onExit: ended,
    onAbort: (what) => { page.ended = true; page.exitCode = -1; say('Stopped: ' + what); },
    setStatus: (text) => { if (text && !page.started) say(text); },
  };
  canvas.addEventListener('webglcontextlost', (event) => { event.preventDefault(); say('WebGL context lost.'); });
})();
