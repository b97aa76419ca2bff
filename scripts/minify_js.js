// SPDX-License-Identifier: MIT
// Shrinks programs' page code in place with terser (Debian's node-terser):
// the names inside emscripten's runtime become short, and what the runtime
// never uses goes. The page's own script (lumo.js) reaches the runtime by two
// names alone, which stay: Module, and ENV (the environment it fills in before
// main runs).
//
// usage: node scripts/minify_js.js FILE.js...
'use strict';
const fs = require('fs');

const files = process.argv.slice(2);
if (files.length === 0 || files[0] === '-h' || files[0] === '--help') {
  console.log('usage: node scripts/minify_js.js FILE.js...');
  process.exit(files.length ? 0 : 2);
}
let terser;
try {
  terser = require('terser');
} catch (error) {
  console.error('minify_js: no terser (Debian\'s node-terser: scripts/install-deps.sh web); NODE_PATH=' +
                (process.env.NODE_PATH || ''));
  process.exit(1);
}
async function shrink(file) {
  const source = fs.readFileSync(file, 'utf8');
  const result = await terser.minify(source, {
    toplevel: true,
    compress: {passes: 2},
    mangle: {reserved: ['Module', 'ENV']},
  });
  if (!result.code) throw new Error('terser gave no code');
  fs.writeFileSync(file, result.code);
}
(async () => {
  for (const file of files) {
    try {
      await shrink(file);
    } catch (error) {
      console.error('minify_js: ' + file + ': ' + (error && error.message ? error.message : error));
      process.exit(1);
    }
  }
})();
