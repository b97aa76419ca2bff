// SPDX-License-Identifier: MIT
// What the browser end-to-end scripts share: the site served on 127.0.0.1 by
// a server of the script's own, Debian's Chromium driven headless through
// puppeteer-core, the program's canvas read back, the palettes the programs
// build (the surface library's 16.16 ramp, computed here independently),
// and the checks' report.
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript',
  '.wasm': 'application/wasm',
  '.css': 'text/css',
  '.png': 'image/png',
  '.webmanifest': 'application/manifest+json',
};

// A static server for `site` on a free port of 127.0.0.1; only files below
// the site are served, `replaced` ({'/name': bytes}) in place of theirs.
export async function serve(site, replaced = {}) {
  const root = path.resolve(site);
  const server = http.createServer((request, response) => {
    const wanted = decodeURIComponent(new URL(request.url, 'http://127.0.0.1').pathname);
    const file = path.resolve(root, '.' + (wanted.endsWith('/') ? wanted + 'index.html' : wanted));
    if (!file.startsWith(root + path.sep)) {
      response.writeHead(403).end();
      return;
    }
    const read = wanted in replaced ? (_, done) => done(null, replaced[wanted]) : fs.readFile;
    read(file, (error, data) => {
      if (error) {
        response.writeHead(404).end();
        return;
      }
      response.writeHead(200, {'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream'});
      response.end(data);
    });
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  let closed = null;
  // Also ends the browser's kept-alive connections: the network is gone.
  const close = () => (closed ||= new Promise((r) => {
    server.close(r);
    server.closeAllConnections();
  }));
  return {url: `http://127.0.0.1:${server.address().port}/`, close};
}

// Page side, on every page the tests open: RGBA bytes as base64, the form in
// which a page hands pixels back quickly.
function defineBase64() {
  window.lumoBase64 = (data) => {
    let text = '';
    for (let i = 0; i < data.length; i += 0x8000) text += String.fromCharCode.apply(null, data.subarray(i, i + 0x8000));
    return btoa(text);
  };
}

// Headless Chromium with a fresh profile; downloads land in `downloads`.
// Without the background-networking switches it would try the closed network.
export async function launch(downloads) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'lumo-chromium-'));
  let browser = null;
  const close = async () => {
    if (browser) await browser.close();
    fs.rmSync(profile, {recursive: true, force: true});
  };
  try {
    browser = await puppeteer.launch({
      executablePath: process.env.LUMO_CHROMIUM || '/usr/bin/chromium',
      headless: true,
      userDataDir: profile,
      args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
        '--disable-component-update', '--disable-sync', '--window-size=1400,900'],
    });
    const page = await browser.newPage();
    await page.setViewport({width: 1400, height: 900});
    await page.evaluateOnNewDocument(defineBase64);
    const cdp = await page.createCDPSession();
    fs.mkdirSync(downloads, {recursive: true});
    await cdp.send('Browser.setDownloadBehavior', {behavior: 'allow', downloadPath: downloads, eventsEnabled: true});
    const messages = [];
    page.on('console', (m) => messages.push(`${m.type()}: ${m.text()}`));
    page.on('pageerror', (e) => messages.push(`page error: ${e.message}`));
    return {browser, page, cdp, messages, close};
  } catch (error) {
    // A browser half set up is still a process and a profile folder.
    await close().catch(() => {});
    throw error;
  }
}

export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Polls `probe` until it answers something true, for at most `ms`.
export async function until(ms, probe) {
  const end = Date.now() + ms;
  for (;;) {
    const answer = await probe();
    if (answer || Date.now() >= end) return answer;
    await sleep(100);
  }
}

// The first window's canvas: {id, width, height, title} once it is shown.
export async function windowOf(page) {
  return page.evaluate(() => {
    const figure = document.querySelector('#lumo-windows figure');
    if (!figure || figure.hidden) return null;
    const canvas = figure.querySelector('canvas');
    return {id: canvas.id, width: canvas.width, height: canvas.height, title: figure.querySelector('figcaption .lumo-title').textContent};
  });
}

// The canvas's pixels (or a rectangle of them) as RGBA bytes.
export async function canvasPixels(page, id, rect) {
  const base64 = await page.evaluate((id, rect) => {
    const canvas = document.getElementById(id);
    const r = rect || {x: 0, y: 0, width: canvas.width, height: canvas.height};
    return window.lumoBase64(canvas.getContext('2d').getImageData(r.x, r.y, r.width, r.height).data);
  }, id, rect || null);
  return new Uint8Array(Buffer.from(base64, 'base64'));
}

// `count` rectangles of the canvas, one per animation frame (each a new
// frame of the program's, which presents once per frame), as RGBA bytes.
export async function canvasFrames(page, id, rect, count) {
  const frames = await page.evaluate(async (id, rect, count) => {
    const g = document.getElementById(id).getContext('2d');
    const out = [];
    for (let i = 0; i < count; ++i) {
      await new Promise((resolve) => requestAnimationFrame(resolve));
      out.push(window.lumoBase64(g.getImageData(rect.x, rect.y, rect.width, rect.height).data));
    }
    return out;
  }, id, rect, count);
  return frames.map((f) => new Uint8Array(Buffer.from(f, 'base64')));
}

// The surface library's palette ramp (FillRamp): keys [r, g, b] spread in
// 16.16 steps over entries first..last of `table` (256 [r, g, b] entries).
export function ramp(table, first, last, keys) {
  const lastKey = keys.length - 1;
  const step = Math.trunc((lastKey * 65536) / (last - first));
  let pos = 0;
  let b = keys[0];
  for (let e = first; e < last; ++e) {
    const k = pos >>> 16;
    const a = keys[k];
    b = k < lastKey ? keys[k + 1] : keys[k];
    const wb = pos & 0xffff;
    const wa = 65536 - wb;
    if (wa < step - wa) table[e] = b.slice();
    else if (wb < step - wb) table[e] = a.slice();
    else table[e] = a.map((v, i) => Math.floor((v * wa + b[i] * wb) / 65536));
    pos = (pos + step) >>> 0;
  }
  table[last] = b.slice();
  return table;
}

export const colourKey = (r, g, b) => (r << 16) | (g << 8) | b;

// Index of every palette colour (the first entry of a colour wins).
export function indexOfColours(palette) {
  const index = new Map();
  palette.forEach(([r, g, b], i) => {
    if (!index.has(colourKey(r, g, b))) index.set(colourKey(r, g, b), i);
  });
  return index;
}

// The report: one line per check, a summary, the exit status.
export class Report {
  constructor(name) {
    this.name = name;
    this.failures = [];
    this.passes = 0;
  }
  check(ok, what) {
    console.log(`  ${ok ? 'ok' : 'FAIL'}: ${what}`);
    if (ok) this.passes += 1;
    else this.failures.push(what);
    return ok;
  }
  finish(artefacts) {
    if (this.failures.length === 0) {
      console.log(`${this.name}: all ${this.passes} checks passed; artefacts in ${artefacts}`);
      return 0;
    }
    for (const f of this.failures) console.log(`  failed: ${f}`);
    console.log(`${this.name}: ${this.failures.length} checks failed, ${this.passes} passed; artefacts in ${artefacts}`);
    return 1;
  }
}

// Runs `body(context)` on the program's page with the site served and a
// browser up, and always takes them down again. Returns the exit status.
export async function session(name, site, artefacts, body) {
  fs.mkdirSync(artefacts, {recursive: true});
  const report = new Report(name);
  const server = await serve(site);
  let chromium = null;
  try {
    chromium = await launch(path.join(artefacts, 'downloads'));
    await body({...chromium, url: server.url, report, artefacts, stopServer: server.close});
  } catch (error) {
    report.check(false, `the session ran to its end (${error.stack || error})`);
  } finally {
    if (chromium) {
      fs.writeFileSync(path.join(artefacts, 'console.log'), chromium.messages.join('\n') + '\n');
      await chromium.close().catch(() => {});
    }
    await server.close();
  }
  return report.finish(artefacts);
}

// A screenshot of the program's window (caption and canvas) for the artefacts.
export async function shot(page, artefacts, name) {
  const figure = await page.$('#lumo-windows figure');
  if (figure) await figure.screenshot({path: path.join(artefacts, `${name}.png`)});
}

// A phone in Chromium's device emulation: 390 x 844 CSS pixels, touch,
// three device pixels to the CSS pixel.
export const PHONE = {width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true};

// One finger (or two) on the screen, sent through the DevTools protocol as
// a touch screen sends it; points are CSS pixels of the viewport.
export function fingers(cdp) {
  const send = (type, points) => cdp.send('Input.dispatchTouchEvent',
    {type, touchPoints: points.map(([x, y], id) => ({x, y, id, radiusX: 4, radiusY: 4, force: 1}))});
  const api = {
    down: (...points) => send('touchStart', points),
    move: (...points) => send('touchMove', points),
    up: () => send('touchEnd', []),
    async tap(x, y) {
      await api.down([x, y]);
      await sleep(40);
      await api.up();
    },
    async press(x, y, ms) {
      await api.down([x, y]);
      await sleep(ms);
      await api.up();
    },
    // A stroke from (x0, y) to (x1, y) in `steps` moves.
    async stroke(x0, x1, y, steps) {
      await api.down([x0, y]);
      for (let i = 1; i <= steps; ++i) {
        await api.move([x0 + ((x1 - x0) * i) / steps, y]);
        await sleep(15);
      }
      await api.up();
    },
  };
  return api;
}

// The centre of an element of the page, in viewport CSS pixels.
export async function centreOf(page, selector) {
  return page.evaluate((selector) => {
    const box = document.querySelector(selector).getBoundingClientRect();
    return {x: box.left + box.width / 2, y: box.top + box.height / 2};
  }, selector);
}

// The checks of the window following the page on the desktop, and of
// fullscreen, shared by both programs. `drawn(win)` checks that the
// program renders at the window's size; `natural` is its own size.
export async function checkDesktopSizes(page, cdp, report, artefacts, natural, drawn) {
  const sized = (w, h) => until(10000, async () => {
    const win = await windowOf(page);
    return win && win.width === w && win.height === h ? win : null;
  });
  await page.setViewport({width: 1280, height: 800});
  let win = await sized(natural.width, natural.height);
  report.check(win !== null, `at 1280 x 800 the window keeps its own size, ${natural.width} x ${natural.height}`);
  await page.setViewport({width: 600, height: 400});
  win = await until(10000, async () => {
    const w = await windowOf(page);
    return w && w.width < natural.width && w.height < natural.height ? w : null;
  });
  if (report.check(win !== null, 'at 600 x 400 the window gets smaller')) {
    const fits = await page.evaluate(() => {
      const figure = document.querySelector('#lumo-windows figure').getBoundingClientRect();
      const keys = document.querySelector('.lumo-keys').getBoundingClientRect();
      return figure.right <= innerWidth && keys.bottom <= innerHeight && document.documentElement.scrollWidth <= innerWidth;
    });
    report.check(fits, `and the window (${win.width} x ${win.height}) with its keys fits in the viewport`);
    await drawn(win, '600x400');
    await shot(page, artefacts, '10_small');
  }
  await page.setViewport({width: 1280, height: 800});
  win = await sized(natural.width, natural.height);
  report.check(win !== null, `back at 1280 x 800 the window has its own size again`);

  // A screen of the viewport's size, as a real browser's fullscreen has
  // (headless Chromium's own screen is 800 x 600 whatever the viewport).
  await cdp.send('Emulation.setDeviceMetricsOverride',
    {width: 1280, height: 800, deviceScaleFactor: 1, mobile: false, screenWidth: 1280, screenHeight: 800});
  await page.click('#lumo-windows .lumo-fullscreen');
  const screenSize = await page.evaluate(() => ({width: screen.width, height: screen.height}));
  const full = await until(10000, async () => {
    const w = await windowOf(page);
    const inFull = await page.evaluate(() => document.fullscreenElement !== null);
    return inFull && w && w.width === screenSize.width && w.height === screenSize.height ? w : null;
  });
  report.check(full !== null, `fullscreen gives the window the screen's size, ${screenSize.width} x ${screenSize.height}`);
  if (full) await drawn(full, 'fullscreen');
  await page.keyboard.press('Escape');
  const left = await until(5000, async () => !(await page.evaluate(() => document.fullscreenElement !== null)));
  report.check(left, 'Escape in fullscreen leaves fullscreen');
  // This session's screen would outlive puppeteer's viewports.
  await cdp.send('Emulation.clearDeviceMetricsOverride');
  await page.setViewport({width: 1280, height: 800});
  win = await sized(natural.width, natural.height);
  report.check(win !== null, 'and the window is back at its own size');
  await sleep(300);
  const ended = await page.evaluate(() => document.body.dataset.exitCode);
  report.check(ended === undefined, `and the program still runs (exit code ${ended})`);
  if (win) {
    const before = await canvasPixels(page, win.id);
    const moved = await until(5000, async () => (await canvasPixels(page, win.id)).some((v, i) => v !== before[i]));
    report.check(moved, 'its frames go on');
  }
}

// Installable and offline: the browser finds nothing missing for an app;
// the site's worker has kept the files of the first visit, and with the
// server gone a reload of each page starts its program.
export async function checkOffline(page, cdp, report, stopServer, url, programs, site) {
  const kept = await page.evaluate(async () => {
    const registration = await Promise.race([navigator.serviceWorker.ready,
      new Promise((r) => setTimeout(() => r(null), 15000))]);
    return registration !== null && registration.active !== null;
  });
  report.check(kept, 'the site has an active worker after one visit');
  const {installabilityErrors: errors} = await cdp.send('Page.getInstallabilityErrors');
  report.check(errors.length === 0, `the browser can install the site as an app (${JSON.stringify(errors)})`);
  // A host half way through a release: one file is not the build's that
  // sw.js names. The worker must not install, nor keep anything.
  const mixed = await serve(site, {'/fumes.wasm': Buffer.from('\0asm of another build')});
  try {
    await page.goto(mixed.url + 'index.html');
    const outcome = await page.evaluate(async () => {
      const registration = await navigator.serviceWorker.register('sw.js');
      const worker = registration.installing || registration.waiting || registration.active;
      const end = Date.now() + 15000;
      while (worker.state !== 'redundant' && worker.state !== 'activated' && Date.now() < end)
        await new Promise((r) => setTimeout(r, 100));
      return {state: worker.state, caches: await caches.keys()};
    });
    report.check(outcome.state === 'redundant' && outcome.caches.length === 0,
      `a worker whose files are not all of its build never installs and keeps nothing (${JSON.stringify(outcome)})`);
  } finally {
    await mixed.close();
  }

  await stopServer();
  for (const program of programs) {
    await page.goto(url + program + '.html');
    const win = await until(20000, () => windowOf(page));
    report.check(win !== null, `with the network gone, ${program}.html starts ${program}`);
  }
}
