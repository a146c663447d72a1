// What every Zandrel page shares: it runs the program in the canvas, passes it
// the query's `args` as its command line, and says on the page when it ended.
// With `test` in the query the canvas keeps its last frame, so that it can be
// read back after the program has ended.
(function () {
  const query = new URLSearchParams(location.search);
  const status = document.getElementById('status');
  const canvas = document.getElementById('canvas');
  const page = (window.zandrelPage = { started: false, ended: false, exitCode: null, output: [] });

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
      set(value) { if (value > 0) own.set.call(this, value); },
    });
  }

  function say(text) {
    status.textContent = text;
  }

  function ended(code) {
    if (page.ended) return;
    page.ended = true;
    page.exitCode = code;
    say(code === 0 ? 'Ended.' : 'Ended with code ' + code + '.');
  }

  window.Module = {
    canvas: canvas,
    arguments: (query.get('args') || '').split(' ').filter((word) => word.length > 0),
    print: (text) => { page.output.push(text); console.log(text); },
    printErr: (text) => { page.output.push(text); console.error(text); },
    onRuntimeInitialized: () => { page.started = true; say('Running. Click or press a key for sound.'); canvas.focus(); },
    onExit: ended,
    onAbort: (what) => { page.ended = true; page.exitCode = -1; say('Stopped: ' + what); },
    setStatus: (text) => { if (text && !page.started) say(text); },
  };
  canvas.addEventListener('webglcontextlost', (event) => { event.preventDefault(); say('WebGL context lost.'); });
})();
