// SPDX-License-Identifier: MIT
// The page around one program: its output goes to the console, the status
// line says while it loads and once it has ended, and its windows (the
// canvases the program makes inside #lumo-windows) go with it when it ends,
// as a program's windows do. main is started here, with no arguments, not
// by the runtime: asked through ccall, its promise settles with main's
// result even though main's loop waits for the browser on the way, and
// exit() then ends the program as the end of main does. The address's
// ?disable= is the LUMO_DISABLE of a native run: the fast-path levels it
// names are turned off, and each family names on the console the form it
// took.
//
// The page is also the windows' screen and their touch input:
// - Each window takes the program's own size where the page has room, and
//   the room there is where it has not (or the whole screen in fullscreen).
//   A size is queued for the program, which gets it as WM_SIZE (WebInput.cpp
//   takes the queue, Module.lumoInput, on each look at its messages).
// - Fingers and pens on a canvas become the left button: a tap is a click,
//   a stroke a drag; a long press or a two-finger tap is a right click. The
//   mouse keeps the backend's own listeners.
// - The buttons under the window (.lumo-keys) press and release keys.
// - Escape in fullscreen leaves fullscreen and never reaches the program.
var Module = (function () {
  var name = document.body.dataset.program;
  var status = document.getElementById('lumo-status');
  function say(text) {
    status.textContent = text;
    status.hidden = text === '';
  }

  // What the program is told, in the order it happened: [kind, ...numbers]
  // or, for keys, [kind, code, key, down].
  var input = [];
  var SIZE = 1, MOVE = 2, BUTTON = 3, KEY = 4;
  var LEFT = 1, RIGHT = 2;  // MK_LBUTTON, MK_RBUTTON

  var windows = {};  // by canvas number: {figure, canvas, width, height, sent}
  var FLOOR = 64;  // no window is squeezed below this, the page scrolls instead

  // The client size a window gets now: the whole element in fullscreen,
  // else the program's own size within the room the viewport leaves.
  function wantedSize(win) {
    if (document.fullscreenElement === win.figure) return [win.figure.clientWidth, win.figure.clientHeight];
    var root = document.documentElement;
    var main = win.figure.closest('main') || document.body;
    var style = getComputedStyle(main);
    var across = parseFloat(style.paddingLeft) + parseFloat(style.paddingRight);
    var down = parseFloat(style.paddingTop) + parseFloat(style.paddingBottom);
    var frame = win.figure.offsetWidth - win.figure.clientWidth;  // its two borders
    var caption = win.figure.firstChild.offsetHeight;
    var keys = document.querySelector('.lumo-keys');
    var keysHeight = keys ? keys.offsetHeight + parseFloat(getComputedStyle(keys).marginTop) : 0;
    var width = Math.floor(root.clientWidth - across - frame);
    var height = Math.floor(root.clientHeight - down - frame - caption - keysHeight);
    return [Math.min(win.width, Math.max(FLOOR, width)), Math.min(win.height, Math.max(FLOOR, height))];
  }

  function follow(number) {
    var win = windows[number];
    if (win.figure.hidden) return;  // measured once it shows
    var size = wantedSize(win);
    var full = document.fullscreenElement === win.figure ? 1 : 0;
    var key = size.join('x') + ':' + full;
    if (key === win.sent) return;
    win.sent = key;
    input.push([SIZE, number, size[0], size[1], full]);
  }
  function followAll() {
    for (var number in windows) follow(number);
  }
  window.addEventListener('resize', followAll);
  window.addEventListener('orientationchange', followAll);
  document.addEventListener('fullscreenchange', followAll);

  // Fullscreen, from the caption's button or a double tap (or double click)
  // on the caption.
  function toggleFullscreen(figure) {
    if (document.fullscreenElement) document.exitFullscreen().catch(function () {});
    else if (figure.requestFullscreen) figure.requestFullscreen().catch(function () {});
  }
  function captionControls(figure) {
    var caption = figure.firstChild;
    caption.addEventListener('dblclick', function () {
      if (Date.now() - lastToggle > 600) toggleFullscreen(figure);
    });
    // Touch screens give no dblclick everywhere: taps are counted here.
    var lastTap = 0, lastToggle = 0;
    caption.addEventListener('pointerup', function (event) {
      if (event.pointerType === 'mouse' || event.target.tagName === 'BUTTON') return;
      if (event.timeStamp - lastTap < 500) {
        lastTap = 0;
        lastToggle = Date.now();
        toggleFullscreen(figure);
      } else {
        lastTap = event.timeStamp;
      }
    });
    if (!document.fullscreenEnabled) return;
    var button = document.createElement('button');
    button.type = 'button';
    button.className = 'lumo-fullscreen';
    button.title = 'Fullscreen (double-click the title)';
    button.textContent = 'Fullscreen';
    button.addEventListener('click', function () { toggleFullscreen(figure); });
    caption.appendChild(button);
  }

  // Escape in fullscreen is the page's: the browser may deliver it and stay
  // fullscreen, and it must not end the program.
  // A browser that leaves fullscreen itself may still pass its Escape on.
  var escapeTaken = false, leftFullscreen = -1e9;
  document.addEventListener('fullscreenchange', function () {
    if (!document.fullscreenElement) leftFullscreen = performance.now();
  });
  window.addEventListener('keydown', function (event) {
    if (event.key !== 'Escape') return;
    if (!document.fullscreenElement && performance.now() - leftFullscreen > 300) return;
    event.stopImmediatePropagation();
    event.preventDefault();
    escapeTaken = true;
    if (document.fullscreenElement) document.exitFullscreen().catch(function () {});
  }, true);
  window.addEventListener('keyup', function (event) {
    if (event.key !== 'Escape' || !escapeTaken) return;
    escapeTaken = false;
    event.stopImmediatePropagation();
  }, true);

  // Canvas pixel coordinates of a pointer event, and whether it is on the canvas.
  function pointOf(canvas, event) {
    var box = canvas.getBoundingClientRect();
    var x = Math.floor((event.clientX - box.left) * canvas.width / box.width);
    var y = Math.floor((event.clientY - box.top) * canvas.height / box.height);
    return {x: x, y: y, inside: x >= 0 && y >= 0 && x < canvas.width && y < canvas.height};
  }

  var SLOP = 10;          // CSS pixels a finger may wander and still tap
  var LONG_PRESS = 500;   // ms
  var DOUBLE_TIME = 500;  // the layer's double-click time
  var DOUBLE_NEAR = 24;   // CSS pixels: a finger's second tap is never exact

  // One finger or pen on the canvas. Its press is held back until it is
  // known not to be a long press or a two-finger tap: it moved (a stroke),
  // or it lifted (a tap). Then the left button goes down where it landed.
  function touchInput(number, canvas) {
    var touch = null;  // the gesture in progress
    var lastTap = null;  // {x, y, time} of the last tap, for double taps
    function button(which, down, p) { input.push([BUTTON, number, which, down ? 1 : 0, p.x, p.y]); }
    function rightClick(p) {
      button(RIGHT, true, p);
      button(RIGHT, false, p);
    }
    function tracked(event) { return touch && touch.ids.indexOf(event.pointerId) >= 0; }
    function end(event) {
      touch.ids.splice(touch.ids.indexOf(event.pointerId), 1);
      if (touch.ids.length === 0) {
        clearTimeout(touch.timer);
        touch = null;
      }
    }
    canvas.addEventListener('pointerdown', function (event) {
      if (event.pointerType === 'mouse') return;
      // No synthesised mouse events, no text selection, no scrolling.
      event.preventDefault();
      if (touch) {
        // A second finger before the first has done anything: a two-finger tap.
        if (touch.mode === 'pending' && touch.ids.length === 1) {
          touch.ids.push(event.pointerId);
          touch.mode = 'two';
          clearTimeout(touch.timer);
        }
        return;
      }
      canvas.setPointerCapture(event.pointerId);
      var p = pointOf(canvas, event);
      touch = {ids: [event.pointerId], mode: 'pending', start: p, clientX: event.clientX, clientY: event.clientY};
      touch.timer = setTimeout(function () {
        if (!touch || touch.mode !== 'pending') return;
        touch.mode = 'done';
        rightClick(touch.start);
      }, LONG_PRESS);
    });
    canvas.addEventListener('pointermove', function (event) {
      if (!tracked(event)) return;
      event.preventDefault();
      var far = Math.hypot(event.clientX - touch.clientX, event.clientY - touch.clientY) > SLOP;
      if (touch.mode === 'two' && far) {
        touch.mode = 'done';  // fingers apart or sliding: not a tap
      } else if (touch.mode === 'pending' && far) {
        clearTimeout(touch.timer);
        touch.mode = 'stroke';
        button(LEFT, true, touch.start);
      }
      if (touch.mode !== 'stroke' || event.pointerId !== touch.ids[0]) return;
      var p = pointOf(canvas, event);
      if (p.inside) input.push([MOVE, number, p.x, p.y]);
    });
    function lift(event, cancelled) {
      if (!tracked(event)) return;
      var p = pointOf(canvas, event);
      if (touch.mode === 'stroke' && event.pointerId === touch.ids[0]) {
        // Off the canvas the button is let go without a message, as with a mouse.
        button(LEFT, false, p.inside ? p : {x: -1, y: -1});
        touch.mode = 'done';
      } else if (touch.mode === 'pending' && !cancelled) {
        var at = touch.start;
        if (lastTap && event.timeStamp - lastTap.time < DOUBLE_TIME &&
            Math.hypot(at.x - lastTap.x, at.y - lastTap.y) <= DOUBLE_NEAR)
          at = {x: lastTap.x, y: lastTap.y};
        lastTap = {x: at.x, y: at.y, time: event.timeStamp};
        button(LEFT, true, at);
        button(LEFT, false, at);
        touch.mode = 'done';
      } else if (touch.mode === 'two' && !cancelled) {
        rightClick(touch.start);
        touch.mode = 'done';
      }
      end(event);
    }
    canvas.addEventListener('pointerup', function (event) { lift(event, false); });
    canvas.addEventListener('pointercancel', function (event) { lift(event, true); });
  }

  // The buttons under the window: each holds its key down while it is held.
  function keyButtons() {
    var buttons = document.querySelectorAll('.lumo-keys button');
    Array.prototype.forEach.call(buttons, function (button) {
      var held = null;
      function release() {
        if (held === null) return;
        input.push([KEY, button.dataset.code, button.dataset.key, 0]);
        held = null;
        button.classList.remove('held');
      }
      button.addEventListener('pointerdown', function (event) {
        event.preventDefault();  // keeps the focus and the keys where they were
        if (held !== null) return;
        held = event.pointerId;
        button.setPointerCapture(event.pointerId);
        button.classList.add('held');
        input.push([KEY, button.dataset.code, button.dataset.key, 1]);
      });
      button.addEventListener('pointerup', release);
      button.addEventListener('pointercancel', release);
      button.addEventListener('lostpointercapture', release);
      button.addEventListener('contextmenu', function (event) { event.preventDefault(); });
    });
  }
  keyButtons();

  function closeWindows() {
    if (document.fullscreenElement) document.exitFullscreen().catch(function () {});
    var holder = document.getElementById('lumo-windows');
    while (holder.firstChild) holder.removeChild(holder.firstChild);
    windows = {};
    var keys = document.querySelector('.lumo-keys');
    if (keys) keys.hidden = true;
  }
  // The runtime ends a program by throwing its ExitStatus through the
  // program's frames; it is the end, not an error.
  function isExit(error) {
    return error && error.name === 'ExitStatus';
  }
  window.addEventListener('error', function (event) {
    if (isExit(event.error)) event.preventDefault();
  });
  window.addEventListener('unhandledrejection', function (event) {
    if (isExit(event.reason)) event.preventDefault();
  });

  // The program's code is fetched and compiled from the start, while the
  // runtime's script still loads; the runtime then only instantiates it.
  var wasm = name + '.wasm';
  var compiled = fetch(wasm, {credentials: 'same-origin'}).then(function (response) {
    if (!response.ok) throw new Error(wasm + ': HTTP ' + response.status);
    var type = (response.headers.get('Content-Type') || '').split(';')[0].trim();
    // Compiled as it arrives, where the host names its type; else once whole.
    if (type === 'application/wasm' && WebAssembly.compileStreaming) return WebAssembly.compileStreaming(response);
    return response.arrayBuffer().then(function (bytes) { return WebAssembly.compile(bytes); });
  });
  // Nothing else waits on it before the runtime asks: no unhandled rejection.
  compiled.catch(function () {});

  var module = {
    thisProgram: name,
    instantiateWasm: function (imports, receive) {
      compiled.then(function (code) { return WebAssembly.instantiate(code, imports); }).then(function (instance) {
        receive(instance);
      }, function (error) {
        module.onAbort(error && error.message ? error.message : String(error));
      });
      return {};  // the exports come later, through receive
    },
    lumoInput: input,
    // Called by the backend for each window it makes and ends.
    lumoWindowOpened: function (number, figure, canvas) {
      windows[number] = {figure: figure, canvas: canvas, width: canvas.width, height: canvas.height,
        sent: canvas.width + 'x' + canvas.height + ':0'};
      captionControls(figure);
      touchInput(number, canvas);
    },
    lumoWindowShown: function (number) {
      if (windows[number]) follow(number);
    },
    lumoWindowClosed: function (number) {
      delete windows[number];
    },
    preRun: [function () {
      var disable = new URLSearchParams(location.search).get('disable');
      // ENV: the runtime's environment, read by getenv.
      if (disable !== null) ENV.LUMO_DISABLE = disable;
    }],
    print: function (text) { console.log(text); },
    printErr: function (text) { console.warn(text); },
    onRuntimeInitialized: function () {
      say('');
      module.ccall('main', 'number', ['number', 'number'], [0, 0], {async: true}).then(function (code) {
        module._exit(code);
      });
    },
    onExit: function (code) {
      closeWindows();
      document.body.dataset.exitCode = String(code);
      say(name + ' has ended' + (code ? ' (exit code ' + code + ')' : '') + '. Reload the page to start it again.');
    },
    onAbort: function (what) {
      document.body.dataset.exitCode = 'abort';
      say(name + ' stopped: ' + what);
    }
  };
  return module;
})();
