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
};

// A static server for `site` on a free port of 127.0.0.1; only files below
// the site are served.
export async function serve(site) {
  const root = path.resolve(site);
  const server = http.createServer((request, response) => {
    const wanted = decodeURIComponent(new URL(request.url, 'http://127.0.0.1').pathname);
    const file = path.resolve(root, '.' + (wanted.endsWith('/') ? wanted + 'index.html' : wanted));
    if (!file.startsWith(root + path.sep)) {
      response.writeHead(403).end();
      return;
    }
    fs.readFile(file, (error, data) => {
      if (error) {
        response.writeHead(404).end();
        return;
      }
      response.writeHead(200, {'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream'});
      response.end(data);
    });
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return {url: `http://127.0.0.1:${server.address().port}/`, close: () => new Promise((r) => server.close(r))};
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
    return {id: canvas.id, width: canvas.width, height: canvas.height, title: figure.querySelector('figcaption').textContent};
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
    await body({...chromium, url: server.url, report, artefacts});
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
