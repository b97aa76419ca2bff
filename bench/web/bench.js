// SPDX-License-Identifier: MIT
// Runs one benchmark program of this folder in the page:
//   bench.html?program=lumo_bench_fumes&filter=BM_FumesFree&repetitions=5&min_time=0.5
// Its JSON goes into #results; body[data-done] is set when it has ended
// ("ok", or what went wrong).
var Module = (function () {
  var query = new URLSearchParams(location.search);
  var program = query.get('program') || 'lumo_bench';
  var status = document.getElementById('status');
  var results = document.getElementById('results');
  var lines = [];
  function done(how) {
    results.textContent = lines.join('\n');
    status.textContent = program + ': ' + how;
    document.body.dataset.done = how;
  }
  var args = [];
  [['filter', 'benchmark_filter'], ['repetitions', 'benchmark_repetitions'], ['min_time', 'benchmark_min_time']]
    .forEach(function (pair) {
      if (query.has(pair[0])) args.push('--' + pair[1] + '=' + query.get(pair[0]));
    });
  var script = document.createElement('script');
  script.src = program + '.js';
  script.onerror = function () { done('cannot load ' + program + '.js'); };
  document.body.appendChild(script);
  status.textContent = 'Running ' + program + ' ' + args.join(' ');
  return {
    arguments: args,
    print: function (text) { lines.push(text); },
    printErr: function (text) { console.warn(text); },
    onExit: function (code) { done(code === 0 ? 'ok' : 'exit code ' + code); },
    onAbort: function (what) { done('stopped: ' + what); }
  };
})();
