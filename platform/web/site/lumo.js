// SPDX-License-Identifier: MIT
// The page around one program: its output goes to the console, the status
// line says while it loads and once it has ended, and its windows (the
// canvases the program makes inside #lumo-windows) go with it when it ends,
// as a program's windows do. The address's ?disable= is the LUMO_DISABLE
// of a native run: the fast-path levels it names are turned off, and each
// family names on the console the form it took.
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
  return {
    thisProgram: name,
    preRun: [function () {
      var disable = new URLSearchParams(location.search).get('disable');
      // ENV: the runtime's environment, read by getenv.
      if (disable !== null) ENV.LUMO_DISABLE = disable;
    }],
    print: function (text) { console.log(text); },
    printErr: function (text) { console.warn(text); },
    onRuntimeInitialized: function () { say(''); },
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
})();
