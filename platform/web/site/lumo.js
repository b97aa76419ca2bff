// SPDX-License-Identifier: MIT
// The page around one program: its output goes to the console, the status
// line says while it loads and once it has ended, and its windows (the
// canvases the program makes inside #lumo-windows) go with it when it ends,
// as a program's windows do. main is started here, with no arguments, not
// by the runtime: asked through ccall, its promise settles with main's
// result even though main's loop waits for the browser on the way, and
// exit() then ends the program as the end of main does.
var Module = (function () {
  var name = document.body.dataset.program;
  var status = document.getElementById('lumo-status');
  function say(text) {
    status.textContent = text;
    status.hidden = text === '';
  }
  function closeWindows() {
    var holder = document.getElementById('lumo-windows');
    while (holder.firstChild) holder.removeChild(holder.firstChild);
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
  var module = {
    thisProgram: name,
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
