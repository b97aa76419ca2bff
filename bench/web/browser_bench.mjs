// SPDX-License-Identifier: MIT
// The browser half of scripts/bench_web.py: serves a web build (its site/
// and bench/ folders) on 127.0.0.1, opens Debian's Chromium headless through
// puppeteer-core (through the browser tests' tests/e2e/web/lib.mjs), and
// prints one JSON object:
//   browser    Chromium's version
//   benchmarks the kernels' benchmark programs' Google Benchmark JSON, by program
//   pages      per program page, with and without ?disable=simd128: animation
//              frames and frames put on the canvas per second, the page's
//              main thread's processor time per frame, and the forms the
//              console named
//   loads      (--only loads) per program page, `--loads` first visits: the
//              site's files it fetched and the milliseconds from navigation
//              to its first frame put on the canvas
//
// node bench/web/browser_bench.mjs --build build/web [--filter REGEX]
//      [--repetitions 5] [--min-time 0.5] [--page-seconds 5] [--loads 7]
//      [--only benchmarks|pages|loads]
// --build may also be a folder holding only a site/ (a former build's pages).
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {fileURLToPath} from 'node:url';

import {launch, serve} from '../../tests/e2e/web/lib.mjs';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..', '..');

function options(argv) {
  const o = {build: path.join(root, 'build', 'web'), filter: '.', repetitions: 5, minTime: 0.5, pageSeconds: 5,
    loads: 7, only: ''};
  for (let i = 2; i < argv.length; i += 2) {
    const [flag, value] = [argv[i], argv[i + 1]];
    if (value === undefined) throw new Error(`${flag} needs a value`);
    if (flag === '--build') o.build = path.resolve(value);
    else if (flag === '--filter') o.filter = value;
    else if (flag === '--repetitions') o.repetitions = Number(value);
    else if (flag === '--min-time') o.minTime = Number(value);
    else if (flag === '--page-seconds') o.pageSeconds = Number(value);
    else if (flag === '--loads') o.loads = Number(value);
    else if (flag === '--only') o.only = value;
    else throw new Error(`unknown flag ${flag}`);
  }
  return o;
}

async function runBenchmarks(browser, url, o) {
  const out = {};
  for (const program of ['lumo_bench_fumes', 'lumo_bench_twistview', 'lumo_bench']) {
    const page = await browser.newPage();
    page.on('console', (m) => { if (m.type() === 'error') process.stderr.write(`${program}: ${m.text()}\n`); });
    const query = new URLSearchParams({program, filter: o.filter, repetitions: String(o.repetitions),
      min_time: String(o.minTime)});
    await page.goto(`${url}bench/bench.html?${query}`);
    await page.waitForSelector('body[data-done]', {timeout: 0});
    const [done, text] = await page.evaluate(() => [document.body.dataset.done,
      document.getElementById('results').textContent]);
    if (done !== 'ok') throw new Error(`${program} in the browser: ${done}`);
    out[program] = JSON.parse(text);
    await page.close();
  }
  return out;
}

// One program page for `seconds` after two seconds of start: each animation
// frame and each put of the program's canvas counted in the page. With
// `feedback`, a right click on the canvas first turns twistview's feedback
// on, so the blend runs every frame too.
async function measurePage(browser, url, program, query, seconds, feedback) {
  const page = await browser.newPage();
  await page.setViewport({width: 1400, height: 900});
  const console = [];
  page.on('console', (m) => console.push(m.text()));
  await page.evaluateOnNewDocument(() => {
    const put = CanvasRenderingContext2D.prototype.putImageData;
    window.lumoPuts = 0;
    CanvasRenderingContext2D.prototype.putImageData = function (...args) {
      window.lumoPuts += 1;
      return put.apply(this, args);
    };
  });
  const cdp = await page.createCDPSession();
  await cdp.send('Performance.enable');
  await page.goto(`${url}site/${program}.html${query}`);
  const canvas = await page.waitForSelector('#lumo-windows figure:not([hidden]) canvas', {timeout: 60000});
  if (feedback) {
    const box = await canvas.boundingBox();
    await page.mouse.click(box.x + box.width / 2, box.y + box.height / 2, {button: 'right'});
  }
  await new Promise((resolve) => setTimeout(resolve, 2000));
  // The site's worker installs once, on a first visit, by fetching and
  // checking every file of the site: not a frame's work, so timed after it.
  await page.evaluate(() => navigator.serviceWorker && Promise.race([navigator.serviceWorker.ready,
    new Promise((resolve) => setTimeout(resolve, 10000))]));
  const threadTime = async () => {
    const metrics = (await cdp.send('Performance.getMetrics')).metrics;
    return metrics.find((m) => m.name === 'ThreadTime').value;
  };
  const threadBefore = await threadTime();
  const counts = await page.evaluate((ms) => new Promise((resolve) => {
    const puts = window.lumoPuts;
    const start = performance.now();
    let frames = 0;
    const tick = () => {
      frames += 1;
      if (performance.now() - start < ms) requestAnimationFrame(tick);
      else resolve({frames, puts: window.lumoPuts - puts, seconds: (performance.now() - start) / 1000});
    };
    requestAnimationFrame(tick);
  }), seconds * 1000);
  const threadSeconds = (await threadTime()) - threadBefore;
  await page.close();
  return {program, query, setup: feedback ? 'feedback on' : '', animationFramesPerSecond: counts.frames / counts.seconds,
    putsPerSecond: counts.puts / counts.seconds, putsPerAnimationFrame: counts.puts / counts.frames,
    threadMsPerFrame: counts.puts ? threadSeconds * 1000 / counts.puts : null,
    forms: console.filter((line) => line.startsWith('lumo: '))};
}

// One first visit of a program's page, as a new visitor makes it: a fresh
// context, nothing cached. The first putImageData is timed from the
// navigation's start (performance.now's origin). A new context first starts
// the browser's own pages for it (its address bar's popup among them), which
// kept both processors busy for most of a second: that is the browser's start,
// which a visitor's browser has long done, so the visit lets it run 2 s first.
async function measureLoad(browser, url, program) {
  const context = await browser.createBrowserContext();
  try {
    const page = await context.newPage();
    await new Promise((resolve) => setTimeout(resolve, 2000));
    await page.setViewport({width: 1400, height: 900});
    await page.setCacheEnabled(false);
    await page.evaluateOnNewDocument(() => {
      const put = CanvasRenderingContext2D.prototype.putImageData;
      CanvasRenderingContext2D.prototype.putImageData = function (...args) {
        if (window.lumoFirstPut === undefined) window.lumoFirstPut = performance.now();
        return put.apply(this, args);
      };
    });
    const files = new Set();
    page.on('response', (response) => {
      const address = new URL(response.url());
      if (address.origin === new URL(url).origin && response.status() === 200) files.add(address.pathname);
    });
    await page.goto(`${url}site/${program}.html`);
    await page.waitForFunction(() => window.lumoFirstPut !== undefined, {timeout: 60000, polling: 50});
    const firstFrameMs = await page.evaluate(() => window.lumoFirstPut);
    return {program, firstFrameMs, files: [...files].sort()};
  } finally {
    await context.close();
  }
}

async function main() {
  const o = options(process.argv);
  const server = await serve(o.build);
  const downloads = fs.mkdtempSync(path.join(os.tmpdir(), 'lumo-bench-downloads-'));
  let close = null;
  try {
    const launched = await launch(downloads);
    close = launched.close;
    const browser = launched.browser;
    const result = {browser: await browser.version()};
    if (o.only === 'loads') {
      result.loads = [];
      // A browser's first visit also starts its own renderer: not counted.
      for (const program of ['fumes', 'twistview']) await measureLoad(browser, server.url, program);
      // Turn about, so that a burst of other work falls on both pages alike.
      for (let i = 0; i < o.loads; i += 1) {
        for (const program of ['fumes', 'twistview']) result.loads.push(await measureLoad(browser, server.url, program));
      }
    }
    if (o.only === '' || o.only === 'benchmarks') result.benchmarks = await runBenchmarks(browser, server.url, o);
    if (o.only === '' || o.only === 'pages') {
      result.pages = [];
      for (const [program, feedback] of [['fumes', false], ['twistview', false], ['twistview', true]]) {
        for (const query of ['?disable=none', '?disable=simd128']) {
          result.pages.push(await measurePage(browser, server.url, program, query, o.pageSeconds, feedback));
        }
      }
    }
    process.stdout.write(JSON.stringify(result, null, 1) + '\n');
  } finally {
    if (close) await close();
    await server.close();
    fs.rmSync(downloads, {recursive: true, force: true});
  }
}

main().catch((error) => {
  process.stderr.write(`browser benchmark: ${error.stack || error}\n`);
  process.exit(1);
});
