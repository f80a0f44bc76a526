// Prints what the ani-cursor package's parser makes of each ".ani" file named
// on the command line, one "key value..." line per field, a blank line after
// each file. Texts end at their first zero byte; a file it refuses prints
// "error <message>".
'use strict';
const fs = require('fs');
const { parseAni } = require('ani-cursor/dist/parser');

const text = (t) => (t === null ? 'none' : JSON.stringify(t.split('\0')[0]));
const list = (a) => (a === null ? 'none' : a.join(' '));

for (const file of process.argv.slice(2)) {
  try {
    const ani = parseAni(new Uint8Array(fs.readFileSync(file)));
    const m = ani.metadata;
    console.log(`anih ${m.cbSize} ${m.nFrames} ${m.nSteps} ${m.iWidth} ${m.iHeight} ${m.iBitCount} ` +
                `${m.nPlanes} ${m.iDispRate} ${m.bfAttributes}`);
    console.log(`rate ${list(ani.rate)}`);
    console.log(`seq ${list(ani.seq)}`);
    console.log(`icons ${ani.images.map((i) => i.length).join(' ')}`);
    console.log(`title ${text(ani.title)}`);
    console.log(`artist ${text(ani.artist)}`);
  } catch (e) {
    console.log(`error ${String(e && e.message).split('\n')[0]}`);
  }
  console.log('');
}
