// SPDX-License-Identifier: MIT
// End to end: the fast-path switch in the browser. Each program's page with
// ?disable=none (nothing turned off; each family names its form) and with
// ?disable=simd128 (the plain forms): the console names the form each family
// took, and the picture keeps moving. twistview's feedback is switched on
// with a right click so that the average row is chosen too. That the forms
// give the same bytes is the unit tests' part (under node).
//
//   node fast_paths.mjs <site folder> <artefact folder>
import {canvasPixels, session, sleep, until, windowOf} from './lib.mjs';

const [site, artefacts] = process.argv.slice(2);
if (!site || !artefacts) {
  console.error('usage: node fast_paths.mjs <site folder> <artefact folder>');
  process.exit(2);
}

// The families each page chooses from; the palette expansion is the window
// copy's.
const FAMILIES = {
  fumes: ['smoke passes', 'palette expansion'],
  twistview: ['rotating zoom', 'palette expansion', 'average row'],
};

process.exitCode = await session('fast paths in Chromium', site, artefacts, async ({page, messages, url, report}) => {
  for (const [program, families] of Object.entries(FAMILIES)) {
    for (const [query, form] of [['?disable=none', 'simd128'], ['?disable=simd128', 'plain']]) {
      const first = messages.length;
      await page.goto(`${url}${program}.html${query}`);
      const win = await until(20000, () => windowOf(page));
      if (!report.check(win !== null, `${program}${query}: the window appears`)) continue;
      if (program === 'twistview') {
        const canvas = await page.$(`#${win.id}`);
        const box = await canvas.boundingBox();
        await page.mouse.click(box.x + box.width / 2, box.y + box.height / 2, {button: 'right'});
      }
      const named = (family) => messages.slice(first).find((m) => m.includes(`lumo: ${family}: `));
      await until(10000, () => families.every(named));
      for (const family of families) {
        const line = named(family) || '';
        report.check(line.includes(`lumo: ${family}: ${form} form`),
          `${program}${query}: the console names the ${form} form of the ${family} (got "${line}")`);
      }
      const before = await canvasPixels(page, win.id);
      await sleep(300);
      const moved = await until(5000, async () => {
        const now = await canvasPixels(page, win.id);
        return now.some((v, i) => v !== before[i]);
      });
      report.check(moved, `${program}${query}: the picture keeps changing`);
    }
  }
});
