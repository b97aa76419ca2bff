// SPDX-License-Identifier: MIT
// End to end: fumes's page in headless Chromium, driven as a user would.
// The window's canvas and title, smoke rising from the bottom, a drag
// drawing sources, a right click switching to the second scheme (every
// colour on screen one of its entries), the counter showing the frame rate
// after a second and F hiding it, S downloading the BMP of the frame on
// screen under the name typed into the page's prompt (the native writer's
// header, all 256 entries of the scheme, pixels that through the colour
// table are the canvas's), Cancel downloading nothing, and Escape ending
// the program with exit code 0. On the desktop the window follows a
// shrinking viewport and fullscreen, whose Escape leaves fullscreen only.
// On an emulated phone: the window fits the page, a finger's stroke draws
// along its path without moving the page, a double tap forgets the points,
// a long press switches the scheme, and the keys under the window smother
// (Space, while held), hide the counter (F) and save the window's new size
// (S). Then, with the server gone, both pages start from the site's worker.
//
//   node fumes.mjs <site folder> <artefact folder>
import fs from 'node:fs';
import path from 'node:path';

import {canvasPixels, centreOf, checkDesktopSizes, checkOffline, colourKey, fingers, indexOfColours, PHONE, ramp, session, shot,
  sleep, until, windowOf} from './lib.mjs';

const [site, artefacts] = process.argv.slice(2);
if (!site || !artefacts || site === '-h' || site === '--help') {
  console.error('usage: node fumes.mjs <site folder> <artefact folder>');
  process.exit(site === '-h' || site === '--help' ? 0 : 2);
}

// The two schemes, as the program ramps them.
const black = [0, 0, 0], navy = [0, 0, 128], grey = [128, 128, 128], red = [255, 0, 0], lime = [0, 255, 0];
const yellow = [255, 255, 0], blue = [0, 0, 255], white = [255, 255, 255];
const firstScheme = new Array(256);
ramp(firstScheme, 0, 100, [black, grey, yellow, white, yellow]);
ramp(firstScheme, 100, 150, [yellow, red, blue]);
ramp(firstScheme, 150, 255, [blue, black]);
const secondScheme = new Array(256);
ramp(secondScheme, 0, 120, [black, grey, lime, blue, lime, red, blue]);
ramp(secondScheme, 120, 136, [blue, navy]);
ramp(secondScheme, 136, 255, [navy, black, navy, black]);

const WIDTH = 800, HEIGHT = 500;

// Mean brightness (0..1, Rec. 709 luma) of a rectangle of RGBA pixels.
function brightness(rgba, width, rect) {
  if (rect.width <= 0 || rect.height <= 0) return 0;
  let sum = 0;
  for (let y = rect.y; y < rect.y + rect.height; ++y) {
    for (let x = rect.x; x < rect.x + rect.width; ++x) {
      const o = 4 * (y * width + x);
      sum += 0.2126 * rgba[o] + 0.7152 * rgba[o + 1] + 0.0722 * rgba[o + 2];
    }
  }
  return sum / (255 * rect.width * rect.height);
}

// Pixels whose colour is not an entry of `palette`.
function outside(rgba, palette) {
  const index = indexOfColours(palette);
  let count = 0;
  for (let i = 0; i < rgba.length; i += 4) if (!index.has(colourKey(rgba[i], rgba[i + 1], rgba[i + 2]))) count += 1;
  return count;
}

// The counter's box: the text is drawn opaque at (0, 0), so its background
// runs along the top row from the left edge in one colour that the smoke's
// black top does not have. Its width, 0 when there is none.
function counterWidth(rgba, width = WIDTH) {
  const [r, g, b] = rgba;
  if (r + g + b === 0) return 0;
  let x = 1;
  while (x < width && rgba[4 * x] === r && rgba[4 * x + 1] === g && rgba[4 * x + 2] === b) x += 1;
  return x;
}

// The checks of a downloaded BMP against the frame on screen when S went down.
function checkBmp(report, data, shown, WIDTH, HEIGHT) {
  const bytes = 1078 + WIDTH * HEIGHT;
  report.check(data.length === bytes, `the file has ${bytes} bytes (got ${data.length})`);
  if (data.length < 1078) return;
  const file = {magic: data.toString('latin1', 0, 2), size: data.readUInt32LE(2), offBits: data.readUInt32LE(10)};
  report.check(file.magic === 'BM' && file.size === data.length && file.offBits === 1078,
    `file header: BM, its own size, pixels at 1078 (got ${file.magic}, ${file.size}, ${file.offBits})`);
  const info = {size: data.readUInt32LE(14), width: data.readInt32LE(18), height: data.readInt32LE(22),
    planes: data.readUInt16LE(26), bpp: data.readUInt16LE(28), compression: data.readUInt32LE(30),
    image: data.readUInt32LE(34)};
  report.check(info.size === 40 && info.width === WIDTH && info.height === HEIGHT && info.planes === 1 &&
    info.bpp === 8 && info.compression === 0 && info.image === WIDTH * HEIGHT,
  `info header: 40 bytes, ${WIDTH} x +${HEIGHT} (bottom-up), 8 bits, uncompressed (got ${JSON.stringify(info)})`);
  let wrong = 0;
  for (let i = 0; i < 256; ++i) {
    const [r, g, b] = secondScheme[i];
    const o = 54 + 4 * i;
    if (data[o] !== b || data[o + 1] !== g || data[o + 2] !== r || data[o + 3] !== 0) wrong += 1;
  }
  report.check(wrong === 0, `all 256 colour-table entries are the second scheme's (${wrong} differ)`);
  if (data.length !== bytes) return;
  // Through the colour table, row y of the screen is file row HEIGHT - 1 - y.
  let same = 0, lit = 0;
  const used = new Set();
  for (let y = 0; y < HEIGHT; ++y) {
    for (let x = 0; x < WIDTH; ++x) {
      const index = data[1078 + (HEIGHT - 1 - y) * WIDTH + x];
      used.add(index);
      const o = 54 + 4 * index, s = 4 * (y * WIDTH + x);
      if (data[o + 2] || data[o + 1] || data[o]) lit += 1;
      if (shown[s] === data[o + 2] && shown[s + 1] === data[o + 1] && shown[s + 2] === data[o]) same += 1;
    }
  }
  report.check(lit > 1000, `the saved frame is lit (${lit} pixels are not black)`);
  report.check(same === WIDTH * HEIGHT,
    `every pixel through the colour table is the canvas's when S was pressed (${same} of ${WIDTH * HEIGHT})`);
  // Smoke from the bottom runs through nearly every index: each entry in use
  // was seen on screen as its colour.
  report.check(used.size >= 200, `${used.size} of the 256 entries are in the frame, each as its colour on screen`);
}

process.exitCode = await session('fumes in Chromium', site, artefacts, async ({page, cdp, url, report, artefacts,
  stopServer}) => {
  const downloads = path.join(artefacts, 'downloads');
  const finished = [];
  cdp.on('Browser.downloadProgress', (e) => {
    if (e.state === 'completed') finished.push(e.guid);
  });
  const started = [];
  cdp.on('Browser.downloadWillBegin', (e) => started.push(e.suggestedFilename));
  // The frame on screen when S goes down: the program saves the frame it
  // last put, and the key reaches it while it waits for the next frame.
  await page.evaluateOnNewDocument(() => {
    const keep = (event) => {
      const canvas = document.querySelector('#lumo-windows canvas');
      const s = event.type === 'keydown' ? event.code === 'KeyS' : event.target.dataset?.code === 'KeyS';
      if (!s || !canvas) return;
      window.lumoShownAtS = window.lumoBase64(canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data);
    };
    window.addEventListener('keydown', keep, true);
    window.addEventListener('pointerdown', keep, true);
  });
  // The BMP that S downloads under `name`, checked against the frame shown.
  const save = async (press, name, width, height) => {
    const prompts = [];
    page.once('dialog', async (dialog) => {
      prompts.push(dialog.message());
      await dialog.accept(name);
    });
    const count = finished.length;
    await press();
    const saved = path.join(downloads, `${name}.bmp`);
    await until(15000, async () => finished.length > count && fs.existsSync(saved));
    report.check(prompts.length === 1 && prompts[0].startsWith('Save Bitmap'),
      `S asks for the file name ("${(prompts[0] || '').split('\n')[0]}")`);
    report.check(started[started.length - 1] === `${name}.bmp`, `the download is named ${name}.bmp (got ${started.at(-1)})`);
    if (report.check(fs.existsSync(saved), 'the BMP is downloaded')) {
      const shown = new Uint8Array(Buffer.from(await page.evaluate(() => window.lumoShownAtS || ''), 'base64'));
      checkBmp(report, fs.readFileSync(saved), shown, width, height);
    }
  };

  await page.goto(url + 'fumes.html');
  const win = await until(20000, () => windowOf(page));
  if (!report.check(win !== null, 'the window appears as a canvas')) return;
  report.check(win.title === 'fumes - tovak; click and drag to draw fumes',
    `its title is the caption (got "${win.title}")`);
  report.check(win.width === WIDTH && win.height === HEIGHT, `the canvas is 800 x 500 (got ${win.width} x ${win.height})`);
  const frame = () => canvasPixels(page, win.id);
  // The frame once `ready` holds for it, or the last one after `ms`: each
  // change shows from the program's next frames on, which a loaded machine
  // may be slow to draw.
  const settled = async (ms, ready) => {
    let pixels = null;
    await until(ms, async () => ready((pixels = await frame())));
    return pixels;
  };

  // The counter's font is 7 pixels to the character: two digits or more
  // make a box 13 pixels wide at least, the first second's "0" one narrower.
  const lower = {x: 0, y: 250, width: 800, height: 250};
  await sleep(2000);
  let pixels = await settled(10000, (p) => brightness(p, WIDTH, lower) > 0.05 && counterWidth(p) >= 13);
  await shot(page, artefacts, '01_start');
  await page.screenshot({path: path.join(artefacts, 'page.png')});
  const rising = brightness(pixels, WIDTH, lower);
  report.check(rising > 0.05, `smoke rises from the bottom (mean brightness ${rising.toFixed(3)})`);
  report.check(outside(pixels, firstScheme) === 0, 'every colour on screen is one of the first scheme');
  const figureWidth = counterWidth(pixels);
  report.check(figureWidth >= 13,
    `after a second the counter shows the frame rate, a figure of two digits or more (its box ${figureWidth} pixels wide)`);

  // A drag with the left button clears the picture, and the smoke rises
  // from the line only, so the bottom strip goes dark.
  const box = await (await page.$(`#${win.id}`)).boundingBox();
  await page.mouse.move(box.x + 150, box.y + 300);
  await page.mouse.down();
  for (let x = 150; x <= 650; x += 10) {
    await page.mouse.move(box.x + x, box.y + 300);
    await sleep(10);
  }
  await page.mouse.up();
  const strip = {x: 0, y: 440, width: 800, height: 60}, above = {x: 150, y: 250, width: 500, height: 60};
  await sleep(1500);
  pixels = await settled(10000, (p) => brightness(p, WIDTH, strip) < 0.02 && brightness(p, WIDTH, above) > 0.01);
  await shot(page, artefacts, '02_drawn');
  const bottom = brightness(pixels, WIDTH, strip);
  const line = brightness(pixels, WIDTH, above);
  report.check(bottom < 0.02, `after the drag the bottom is dark (${bottom.toFixed(4)})`);
  report.check(line > 0.01, `after the drag smoke rises from the line (${line.toFixed(4)})`);

  // A double click forgets the drawn points: smoke rises from the bottom
  // again, through most of the palette. Then a right click: the second scheme.
  await page.mouse.click(box.x + 400, box.y + 100, {clickCount: 1});
  await page.mouse.click(box.x + 400, box.y + 100, {clickCount: 2});
  await sleep(300);
  await page.mouse.click(box.x + 700, box.y + 450, {button: 'right'});
  await sleep(2500);
  pixels = await settled(10000, (p) => {
    const colours = new Set();
    for (let i = 0; i < p.length; i += 4) colours.add(colourKey(p[i], p[i + 1], p[i + 2]));
    return colours.size >= 150;
  });
  await shot(page, artefacts, '03_second_scheme');
  report.check(outside(pixels, secondScheme) === 0, 'after a right click every colour on screen is one of the second scheme');
  report.check(outside(pixels, firstScheme) > 0, 'and the first scheme no longer shows');

  // S: the page asks for a name; the file comes as a download.
  await save(() => page.keyboard.press('s'), 'fumes-e2e', WIDTH, HEIGHT);

  // Cancel: nothing is written, and the smoke goes on.
  page.once('dialog', (dialog) => dialog.dismiss());
  const before = started.length;
  await page.keyboard.press('s');
  await sleep(2000);
  report.check(started.length === before, 'Cancel downloads nothing');
  const afterCancel = await frame();
  const moved = await settled(5000, (p) => p.some((v, i) => v !== afterCancel[i]));
  report.check(moved.some((v, i) => v !== afterCancel[i]), 'after Cancel the smoke goes on');

  // F hides the counter; F again shows it.
  await page.keyboard.press('f');
  report.check(counterWidth(await settled(5000, (p) => counterWidth(p) === 0)) === 0, 'F hides the counter');
  await shot(page, artefacts, '04_no_counter');
  await page.keyboard.press('f');
  report.check(counterWidth(await settled(5000, (p) => counterWidth(p) > 0)) > 0, 'F again shows it');

  // The window follows the viewport and fullscreen; the program draws at
  // the size it is given, from the bottom row up, in its scheme.
  await checkDesktopSizes(page, cdp, report, artefacts, {width: WIDTH, height: HEIGHT}, async (w, what) => {
    const p = await settled(5000, (q) => brightness(q, w.width, {x: 0, y: w.height - 6, width: w.width, height: 6}) > 0.05);
    const base = brightness(p, w.width, {x: 0, y: w.height - 6, width: w.width, height: 6});
    report.check(base > 0.05 && outside(p, secondScheme) === 0,
      `${what}: smoke rises from the window's bottom row (${base.toFixed(3)}), in the second scheme`);
  });

  await page.keyboard.press('Escape');
  const ended = await until(10000, () => page.evaluate(() => document.body.dataset.exitCode));
  report.check(ended === '0', `Escape ends the program with exit code 0 (got ${ended})`);
  report.check((await windowOf(page)) === null, 'its window is gone');

  // A phone. The page before fumes's is there to go back to, as a
  // back-swipe from the screen's left edge would.
  await page.setViewport(PHONE);
  await page.goto(url + 'index.html');
  await page.goto(url + 'fumes.html');
  const phone = await until(20000, () => windowOf(page));
  if (!report.check(phone !== null, 'phone: the window appears')) return;
  const fitted = await until(10000, async () => {
    const w = await windowOf(page);
    const fits = await page.evaluate(() => document.documentElement.scrollWidth <= innerWidth &&
      document.querySelector('#lumo-windows figure').getBoundingClientRect().right <= innerWidth);
    return fits && w.width < WIDTH ? w : null;
  });
  if (!report.check(fitted !== null, `phone: the page is no wider than the screen and the window fits it ` +
    `(${(await windowOf(page)).width} x ${phone.height})`)) return;
  const pw = fitted.width, ph = fitted.height;
  const pframe = () => canvasPixels(page, fitted.id);
  const psettled = async (ms, ready) => {
    let pixels = null;
    await until(ms, async () => ready((pixels = await pframe())));
    return pixels;
  };
  await page.screenshot({path: path.join(artefacts, 'phone_start.png')});
  const finger = fingers(cdp);
  const pbox = await (await page.$(`#${fitted.id}`)).boundingBox();

  // A stroke from near the screen's left edge across the window.
  const where = () => page.evaluate(() => ({href: location.href, x: scrollX, y: scrollY}));
  const place0 = await where();
  const lineY = Math.round(ph * 0.6);
  await finger.stroke(pbox.x + 2, pbox.x + pw - 20, pbox.y + lineY, 30);
  const pstrip = {x: 0, y: ph - 40, width: pw, height: 40};
  const pabove = {x: 20, y: lineY - 70, width: pw - 60, height: 50};
  let p = await psettled(10000, (q) => brightness(q, pw, pstrip) < 0.02 && brightness(q, pw, pabove) > 0.01);
  await page.screenshot({path: path.join(artefacts, 'phone_stroke.png')});
  report.check(brightness(p, pw, pstrip) < 0.02 && brightness(p, pw, pabove) > 0.01,
    `phone: a finger's stroke draws sources along its path (bottom ${brightness(p, pw, pstrip).toFixed(4)}, ` +
    `above the line ${brightness(p, pw, pabove).toFixed(4)})`);
  // Along the whole path: smoke above its left and right thirds.
  const third = Math.floor((pw - 40) / 3);
  const leftSmoke = brightness(p, pw, {x: 10, y: lineY - 40, width: third, height: 30});
  const rightSmoke = brightness(p, pw, {x: pw - 30 - third, y: lineY - 40, width: third, height: 30});
  report.check(leftSmoke > 0.01 && rightSmoke > 0.01, `phone: smoke rises along the stroke's length (${leftSmoke.toFixed(3)}, ${rightSmoke.toFixed(3)})`);
  const place1 = await where();
  report.check(JSON.stringify(place1) === JSON.stringify(place0), `phone: the page neither scrolls nor leaves (${JSON.stringify(place1)})`);

  // A double tap forgets the points; a long press switches the scheme.
  await finger.tap(pbox.x + pw / 2, pbox.y + 100);
  await sleep(120);
  await finger.tap(pbox.x + pw / 2 + 6, pbox.y + 104);
  await sleep(300);
  await finger.press(pbox.x + pw / 2, pbox.y + ph - 60, 900);
  p = await psettled(10000, (q) => {
    const colours = new Set();
    for (let i = 0; i < q.length; i += 4) colours.add(colourKey(q[i], q[i + 1], q[i + 2]));
    return colours.size >= 150 && outside(q, secondScheme) === 0;
  });
  await page.screenshot({path: path.join(artefacts, 'phone_second_scheme.png')});
  report.check(brightness(p, pw, pstrip) > 0.05, 'phone: after a double tap smoke rises from the bottom again');
  report.check(outside(p, secondScheme) === 0 && outside(p, firstScheme) > 0,
    'phone: after a long press every colour on screen is one of the second scheme');

  // The keys row. Space smothers while it is held.
  const keyAt = (code) => centreOf(page, `.lumo-keys button[data-code="${code}"]`);
  const whole = {x: 0, y: 0, width: pw, height: ph};
  const lit = brightness(await pframe(), pw, whole);
  const space = await keyAt('Space');
  await finger.down([space.x, space.y]);
  const smothered = brightness(await psettled(5000, (q) => brightness(q, pw, whole) < lit / 2), pw, whole);
  await finger.up();
  const back = brightness(await psettled(8000, (q) => brightness(q, pw, whole) > smothered * 1.25), pw, whole);
  report.check(smothered < lit / 2 && back > smothered * 1.25,
    `phone: Space smothers while held (brightness ${lit.toFixed(3)}, held ${smothered.toFixed(3)}, let go ${back.toFixed(3)})`);

  // F hides the counter.
  const f = await keyAt('KeyF');
  const shown = counterWidth(await psettled(5000, (q) => counterWidth(q, pw) > 0), pw);
  await finger.tap(f.x, f.y);
  const hidden = counterWidth(await psettled(5000, (q) => counterWidth(q, pw) === 0), pw);
  report.check(shown > 0 && hidden === 0, `phone: F hides the counter (box ${shown} then ${hidden} pixels wide)`);

  // S saves the window as it now is.
  const sKey = await keyAt('KeyS');
  await save(() => finger.tap(sKey.x, sKey.y), 'fumes-phone', pw, ph);

  await checkOffline(page, cdp, report, stopServer, url, ['fumes', 'twistview'], site);
});
