// The web page's figures in Debian's Chromium without a display: the size of velkoro.wasm and
// velkoro.js (as built and gzip-compressed), the time from opening the page to its first
// picture, and the emulated frames per second of each bundled cartridge, every frame drawn,
// paced (as a player gets it: at most 60) and unpaced (the page's ?unpaced, where no wait of the
// program waits). Not a test: the figures depend on the machine and on what else it does.
//
//   ./run.sh --web --no-serve && (cd tests/web && npm ci)
//   node bench/web_bench.mjs [PAGE-FOLDER] [SECONDS]
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';
import { fileURLToPath } from 'node:url';
import * as h from '../tests/web/harness.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const PAGE = path.resolve(process.argv[2] || path.join(here, '..', 'build', 'web'));
const SECONDS = Number(process.argv[3] || 5);
const CARTRIDGES = ['Bouncing balls', 'Controller and sound test', 'Graphics demo'];
const TITLE_MS = 3500; // the boot ROM's title screen before a cartridge's own start

let total = 0, packed = 0;
for (const name of ['velkoro.wasm', 'velkoro.js']) {
  const bytes = fs.readFileSync(path.join(PAGE, name));
  const gz = zlib.gzipSync(bytes, { level: 9 }).length;
  total += bytes.length;
  packed += gz;
  console.log(`${name}: ${bytes.length} bytes, ${gz} gzip-compressed`);
}
console.log(`together: ${total} bytes, ${packed} gzip-compressed`);

const { server, base } = await h.serve(path.dirname(PAGE));
const { browser, close } = await h.launch();
try {
  for (const unpaced of [false, true]) {
    for (let k = 0; k < CARTRIDGES.length; k++) {
      const { page } = await h.open(browser, `${base}/${path.basename(PAGE)}/index.html${unpaced ? '?unpaced' : ''}`);
      if (!unpaced && k === 0)
        console.log(`first picture: ${Math.round(await page.evaluate(() => window.velkoro.hooks.firstPictureMs))} ms`);
      await h.tap(page, 'KeyB');
      await h.sleep(300);
      for (let d = 0; d < k; d++) {
        await h.tap(page, 'ArrowDown');
        await h.sleep(150);
      }
      await h.tap(page, 'KeyB');
      await page.waitForFunction(() => window.velkoro.playing(), { timeout: 10000 });
      await h.sleep(unpaced ? 500 : TITLE_MS);
      const f0 = await h.frames(page), t0 = Date.now();
      await h.sleep(SECONDS * 1000);
      const fps = ((await h.frames(page)) - f0) * 1000 / (Date.now() - t0);
      console.log(`${CARTRIDGES[k]}, ${unpaced ? 'unpaced' : 'paced'}: ${fps.toFixed(1)} frames a second`);
      await page.close();
    }
  }
} finally {
  await close();
  server.close();
}
