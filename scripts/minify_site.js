// SPDX-License-Identifier: MIT
// Shrinks the site's scripts and style sheets in place. Scripts go through
// terser (Debian's node-terser): each one's local names become short and its
// comments go. With --runtime (a program's emscripten runtime) its top-level
// names shrink too and what it never uses goes: the page's script (lumo.js)
// reaches it by two names alone, which stay, Module and ENV (the environment
// it fills in before main runs). The page's scripts keep their top-level
// names, which they share. A style sheet loses its comments and the blanks
// around its punctuation; ours hold no strings, and a blank before a colon
// stays, as it may start a selector.
//
// usage: node scripts/minify_site.js [--runtime] FILE.js|FILE.css...
'use strict';
const fs = require('fs');

const usage = 'usage: node scripts/minify_site.js [--runtime] FILE.js|FILE.css...';
const files = process.argv.slice(2);
if (files[0] === '-h' || files[0] === '--help') {
  console.log(usage);
  process.exit(0);
}
const runtime = files[0] === '--runtime';
if (runtime) files.shift();
if (files.length === 0) {
  console.error(usage);
  process.exit(2);
}
let terser;
try {
  terser = require('terser');
} catch (error) {
  console.error('minify_site: no terser (Debian\'s node-terser: scripts/install-deps.sh web); NODE_PATH=' +
                (process.env.NODE_PATH || ''));
  process.exit(1);
}
function shrinkStyle(source) {
  const licence = (source.match(/^\/\*\s*SPDX-License-Identifier:[^*]*\*\//) || [''])[0];
  const body = source.slice(licence.length).replace(/\/\*[\s\S]*?\*\//g, '').replace(/\s+/g, ' ')
    .replace(/\s*([{};,>])\s*/g, '$1').replace(/:\s+/g, ':').replace(/;}/g, '}').trim();
  return (licence ? licence + '\n' : '') + body + '\n';
}

async function shrink(file) {
  const source = fs.readFileSync(file, 'utf8');
  if (file.endsWith('.css')) {
    fs.writeFileSync(file, shrinkStyle(source));
    return;
  }
  const result = await terser.minify(source, runtime ?
    {toplevel: true, compress: {passes: 2}, mangle: {reserved: ['Module', 'ENV']}} :
    {compress: {passes: 2}, format: {comments: /SPDX-License-Identifier/}});
  if (!result.code) throw new Error('terser gave no code');
  fs.writeFileSync(file, result.code);
}
(async () => {
  for (const file of files) {
    try {
      await shrink(file);
    } catch (error) {
      console.error('minify_site: ' + file + ': ' + (error && error.message ? error.message : error));
      process.exit(1);
    }
  }
})();
