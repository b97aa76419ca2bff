// SPDX-License-Identifier: MIT
// End to end: twistview's page in headless Chromium, driven as a user would.
// The window's canvas and title, the picture in the window palette and
// moving, the centre pixel of each picture with and without the filter and
// with feedback, a key switching the picture, the counter showing the frame
// rate after a second, and Escape ending the program. On the desktop the
// window follows a shrinking viewport and fullscreen (whose Escape leaves
// fullscreen only), rendering at each size; on an emulated phone a tap
// turns the filter off, a long press turns feedback on and the button
// under the window switches the picture. The expected centre
// values come from the picture as the browser decodes it, which is how the
// program gets it; how far that is from libjpeg-turbo's decoding (through
// ImageMagick) is printed.
//
//   node twistview.mjs <site folder> <artefact folder>
import {execFileSync} from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import {fileURLToPath} from 'node:url';

import {canvasPixels, centreOf, checkDesktopSizes, colourKey, fingers, indexOfColours, PHONE, ramp, session, shot, sleep, until,
  windowOf} from './lib.mjs';

const [site, artefacts] = process.argv.slice(2);
if (!site || !artefacts || site === '-h' || site === '--help') {
  console.error('usage: node twistview.mjs <site folder> <artefact folder>');
  process.exit(site === '-h' || site === '--help' ? 0 : 2);
}
const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../../..');
const pictureFiles = ['velro1.jpg', 'velro2.jpg'].map((f) => path.join(root, 'twistview', f));
const SURFACE = {width: 768, height: 536};

// The window palette: black, (0, 100, 128), white over all 256 entries.
const windowPalette = ramp(new Array(256), 0, 255, [[0, 0, 0], [0, 100, 128], [255, 255, 255]]);
const paletteIndex = indexOfColours(windowPalette);

// Palette indices of RGBA pixels; -1 for colours outside the palette.
function indices(rgba) {
  const out = new Int16Array(rgba.length / 4);
  for (let i = 0; i < out.length; ++i) {
    const index = paletteIndex.get(colourKey(rgba[4 * i], rgba[4 * i + 1], rgba[4 * i + 2]));
    out[i] = index === undefined ? -1 : index;
  }
  return out;
}

// A picture's grey levels as the browser decodes it for the program.
async function browserGrey(page, file) {
  const decoded = await page.evaluate(async (base64) => {
    const bytes = Uint8Array.from(atob(base64), (c) => c.charCodeAt(0));
    const bitmap = await createImageBitmap(new Blob([bytes]), {colorSpaceConversion: 'none', premultiplyAlpha: 'none'});
    const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
    const g = canvas.getContext('2d');
    g.drawImage(bitmap, 0, 0);
    const data = g.getImageData(0, 0, bitmap.width, bitmap.height).data;
    const grey = new Array(bitmap.width * bitmap.height);
    for (let i = 0; i < grey.length; ++i) grey[i] = data[4 * i];
    return {width: bitmap.width, height: bitmap.height, grey};
  }, fs.readFileSync(file).toString('base64'));
  return {...decoded, grey: Uint8Array.from(decoded.grey)};
}

// The same through libjpeg-turbo (ImageMagick), or null without it.
function libjpegGrey(file) {
  try {
    return new Uint8Array(execFileSync('convert', [file, '-depth', '8', 'gray:-'], {maxBuffer: 1 << 24}));
  } catch {
    return null;
  }
}

// The renderer's sample at the window centre, which maps to the same
// picture position at every phase while the surface keeps its first size:
// [point, bilinear] (rows counted from the bottom, as the surface stores them).
function centreSamples({width: sw, height: sh, grey}) {
  const {width: w, height: h} = SURFACE;
  const u = 65536 * Math.floor(w / 2) + (sw - w) * 32768;
  const v = 65536 * Math.floor(h / 2) + (sh - h) * 32768;
  const col = Math.floor(u / 65536), fx = u - col * 65536;
  const row = Math.floor(v / 65536), fy = v - row * 65536;
  const at = (r, c) => grey[(sh - 1 - r) * sw + c];
  const a = at(row, col), b = at(row, col + 1), c = at(row + 1, col), d = at(row + 1, col + 1);
  // Arithmetic shifts: negative differences round down.
  const top = a + Math.floor(((b - a) * fx) / 65536);
  const bottom = c + Math.floor(((d - c) * fx) / 65536);
  return [a, top + Math.floor(((bottom - top) * fy) / 65536)];
}
// The centre of a surface as displayed, top row 0.
const centreOfSurface = ({width: w, height: h}) => ({x: Math.floor(w / 2), y: h - 1 - Math.floor(h / 2)});
const CENTRE = centreOfSurface(SURFACE);

function histogram(values) {
  const counts = new Array(256).fill(0);
  let total = 0;
  for (const v of values) {
    if (v >= 0) {
      counts[v] += 1;
      total += 1;
    }
  }
  return counts.map((c) => c / (total || 1));
}
const smooth = (h) => h.map((_, i) => h.slice(Math.max(0, i - 4), i + 5).reduce((s, v) => s + v, 0));
function distance(a, b) {
  const sa = smooth(a), sb = smooth(b);
  return sa.reduce((s, v, i) => s + Math.abs(v - sb[i]), 0);
}

process.exitCode = await session('twistview in Chromium', site, artefacts, async ({page, cdp, url, report}) => {
  const pictures = [];
  await page.goto(url + 'twistview.html');
  const win = await until(20000, () => windowOf(page));
  if (!report.check(win !== null, 'the window appears as a canvas')) return;
  report.check(win.title === 'twistview - tovak', `its title is "twistview - tovak" (got "${win.title}")`);
  report.check(win.width === 768 && win.height === 536, `the canvas is 768 x 536 (got ${win.width} x ${win.height})`);

  const box = await (await page.$(`#${win.id}`)).boundingBox();
  const at = (x, y) => ({x: box.x + x, y: box.y + y});
  const centreIndex = async (id = win.id, centre = CENTRE) =>
    indices(await canvasPixels(page, id, {...centre, width: 1, height: 1}))[0];
  // Each action shows from the program's next frame on; a loaded machine
  // may take a while to draw it.
  const expectCentre = async (value, what, id, centre) => {
    let got = -1;
    await until(5000, async () => (got = await centreIndex(id, centre)) === value);
    report.check(got === value, `${what} (centre index ${got}, expected ${value})`);
  };
  const paletteOk = async (name) => {
    const idx = indices(await canvasPixels(page, win.id));
    const outside = idx.filter((v) => v < 0).length;
    report.check(outside === 0, `${name}: every pixel is a window-palette colour (${outside} are not)`);
    return idx;
  };

  // The counter is black text under the help lines (x 5, y 60, 12 lines
  // high): its ink is what stays black while the picture under it changes,
  // so frames are taken with the picture switched by a key between them
  // (an even number of times: the first picture stays). Its font's average
  // character is 5 pixels wide, so a figure of two digits or more spans 9
  // pixels at least, and the first second's "0" fewer.
  const counterInk = async () => {
    const band = {x: 0, y: 58, width: 80, height: 16};
    const frames = [];
    for (let i = 0; i < 6; ++i) {
      frames.push(indices(await canvasPixels(page, win.id, band)));
      await page.keyboard.press('b');
      await sleep(60);
    }
    let left = band.width, right = -1;
    for (let i = 0; i < frames[0].length; ++i) {
      if (frames.every((f) => f[i] === 0)) {
        left = Math.min(left, i % band.width);
        right = Math.max(right, i % band.width);
      }
    }
    return right - left + 1;
  };
  await sleep(1500);
  let inkWidth = 0;
  for (let attempt = 0; attempt < 3 && inkWidth < 9; ++attempt) {
    // A second's tick between the frames leaves only the digits it kept.
    inkWidth = await counterInk();
  }
  report.check(inkWidth >= 9, `after a second the counter shows the frame rate, a figure of two digits or more ` +
    `(${inkWidth} pixels of ink, in a font 5 pixels to the character)`);
  // The pictures as decoded, once the help lines, which go after about 14
  // seconds of the program's time, have been seen.
  for (const file of pictureFiles) pictures.push(await browserGrey(page, file));
  pictures.forEach((p, i) => {
    const native = libjpegGrey(pictureFiles[i]);
    if (native === null || native.length !== p.grey.length) {
      console.log(`  note: no libjpeg-turbo decoding of ${path.basename(pictureFiles[i])} to compare with`);
      return;
    }
    let most = 0, sum = 0, differ = 0;
    for (let j = 0; j < native.length; ++j) {
      const d = Math.abs(native[j] - p.grey[j]);
      most = Math.max(most, d);
      sum += d;
      if (d) differ += 1;
    }
    console.log(`  note: ${path.basename(pictureFiles[i])} (${p.width} x ${p.height}): the browser's grey levels differ ` +
      `from libjpeg-turbo's in ${differ} of ${native.length} pixels, by at most ${most} (mean ${(sum / native.length).toFixed(4)})`);
  });
  const samples = pictures.map(centreSamples);
  await shot(page, artefacts, '01_start');
  await page.screenshot({path: path.join(artefacts, 'page.png')});
  const firstPixels = await canvasPixels(page, win.id);
  const first = await paletteOk('01_start');
  await expectCentre(samples[0][1], 'first picture, bilinear filter');
  await until(5000, async () => (await canvasPixels(page, win.id)).some((v, i) => v !== firstPixels[i]));
  const later = await paletteOk('02_later');
  let changed = 0;
  for (let i = 0; i < first.length; ++i) if (first[i] !== later[i]) changed += 1;
  report.check(changed / first.length > 0.05, `frames change over time (${(changed / first.length).toFixed(3)} of the pixels)`);

  await page.keyboard.press('Space');
  await expectCentre(samples[1][1], 'a key switches to the second picture');
  await shot(page, artefacts, '03_key');
  const switched = await paletteOk('03_key');
  const frame = histogram(switched);
  const d0 = distance(frame, histogram(pictures[0].grey)), d1 = distance(frame, histogram(pictures[1].grey));
  report.check(d1 < d0, `the frame's grey levels are the second picture's (${d1.toFixed(3)} against ${d0.toFixed(3)})`);

  const click = async (x, button) => page.mouse.click(at(x, 300).x, at(x, 300).y, {button});
  await click(300, 'left');
  await expectCentre(samples[1][0], 'left click turns the filter off');
  await shot(page, artefacts, '04_point');
  await paletteOk('04_point');
  await click(340, 'left');
  await expectCentre(samples[1][1], 'left click turns the filter on again');

  await click(380, 'right');
  // A still pixel averaged with its own earlier values settles one below.
  await expectCentre(Math.max(samples[1][1] - 1, 0), 'right click turns feedback on');
  await shot(page, artefacts, '06_feedback');
  await paletteOk('06_feedback');
  await click(420, 'right');
  await expectCentre(samples[1][1], 'right click turns feedback off again');

  await page.keyboard.press('a');
  await expectCentre(samples[0][1], 'another key switches back to the first picture');
  await shot(page, artefacts, '08_key_again');

  // At every size the window gets, the centre is the first picture's, as
  // rendered for a surface of that size.
  await checkDesktopSizes(page, cdp, report, artefacts, SURFACE, async (w, what) => {
    await expectCentre(centreSamples(pictures[0], w)[1], `${what}: the picture is rendered at ${w.width} x ${w.height}`,
      w.id, centreOfSurface(w));
  });

  await page.keyboard.press('Escape');
  const ended = await until(10000, () => page.evaluate(() => document.body.dataset.exitCode));
  report.check(ended === '0', `Escape ends the program with exit code 0 (got ${ended})`);
  report.check((await windowOf(page)) === null, 'its window is gone');

  // A phone: a tap, a long press and the button under the window.
  await page.setViewport(PHONE);
  await page.goto(url + 'twistview.html');
  const phone = await until(20000, async () => {
    const w = await windowOf(page);
    return w && w.width < SURFACE.width ? w : null;
  });
  if (!report.check(phone !== null, 'phone: the window appears, narrower than its own size')) return;
  const fits = await page.evaluate(() => document.documentElement.scrollWidth <= innerWidth);
  report.check(fits, `phone: the page is no wider than the screen (window ${phone.width} x ${phone.height})`);
  const pcentre = centreOfSurface(phone);
  const expected = pictures.map((p) => centreSamples(p, phone));
  const phoneCentre = (value, what) => expectCentre(value, `phone: ${what}`, phone.id, pcentre);
  await phoneCentre(expected[0][1], 'first picture, bilinear filter, at the window\'s size');
  await page.screenshot({path: path.join(artefacts, 'phone_start.png')});
  const finger = fingers(cdp);
  const pbox = await (await page.$(`#${phone.id}`)).boundingBox();
  await finger.tap(pbox.x + 100, pbox.y + 200);
  await phoneCentre(expected[0][0], 'a tap turns the filter off (once: no second click from the browser)');
  await finger.press(pbox.x + 200, pbox.y + 300, 900);
  await phoneCentre(Math.max(expected[0][0] - 1, 0), 'a long press turns feedback on');
  await page.screenshot({path: path.join(artefacts, 'phone_feedback.png')});
  await finger.press(pbox.x + 200, pbox.y + 300, 900);
  await phoneCentre(expected[0][0], 'a long press again turns it off');
  const button = await centreOf(page, '.lumo-keys button');
  await finger.tap(button.x, button.y);
  await phoneCentre(expected[1][0], 'the button switches the picture');
  await page.screenshot({path: path.join(artefacts, 'phone_switched.png')});

  // A double tap on the title: fullscreen, left by the browser's own means.
  const title = await centreOf(page, '#lumo-windows figcaption .lumo-title');
  await finger.tap(title.x, title.y);
  await sleep(100);
  await finger.tap(title.x, title.y);
  const screenSize = await page.evaluate(() => [screen.width, screen.height]);
  const full = await until(10000, async () => {
    const w = await windowOf(page);
    return w && w.width === screenSize[0] && w.height === screenSize[1];
  });
  report.check(full, `phone: a double tap on the title gives the window the screen, ${screenSize.join(' x ')}`);
  await page.evaluate(() => document.exitFullscreen());
  const back = await until(10000, async () => {
    const w = await windowOf(page);
    return w && w.width === phone.width && w.height === phone.height;
  });
  report.check(back, `phone: leaving fullscreen brings back ${phone.width} x ${phone.height}`);
});
