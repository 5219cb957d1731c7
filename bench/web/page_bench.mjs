// The page's frames per second in each scene window of the show, and the program's own time
// per frame (from taking control back after a frame to presenting the next), in Debian's
// headless Chromium with software WebGL 2 at 640 x 480. The show's time 0 is taken as the
// first frame after the loading.
//   node bench/web/page_bench.mjs PAGE_DIR [SECONDS]
import { Browser, serve } from '../../tests/web/page_driver.mjs';

const pageDir = process.argv[2];
const seconds = Number(process.argv[3] || 150);
const windows = [
  ['grand', 0, 33], ['grand+text', 33, 40], ['design', 40, 68], ['dance2', 68, 94], ['dass', 94, 134],
  ['slut+skitdemo', 134, 143], ['closing', 143, 146.5],
];

const server = await serve(pageDir);
const browser = await Browser.launch();
try {
  await browser.open(`${server.url}?mode=640x480`);
  await browser.waitFor("!document.getElementById('play').disabled", 300, 'the page to load');
  await browser.evaluate("Module.vellumiteFrames = []; document.getElementById('play').click()");
  const until = Date.now() + seconds * 1000;
  while (Date.now() < until && !(await browser.evaluate("!document.getElementById('end').hidden")))
    await new Promise((r) => setTimeout(r, 500));
  const pairs = await browser.evaluate('Module.vellumiteFrames');
  const presented = [];
  const engine = [];
  for (let i = 0; i + 1 < pairs.length; i += 2) {
    presented.push(pairs[i]);
    engine.push(i >= 2 ? pairs[i] - pairs[i - 1] : 0);
  }
  // The show loads between presenting its loading picture and its first frame: the frame
  // with the longest program time in the first minute and a half ends the loading.
  let loadAt = 1;
  for (let i = 1; i < presented.length && presented[i] - presented[0] < 90000; ++i)
    if (engine[i] > engine[loadAt]) loadAt = i;
  const start = presented[loadAt];
  console.log(`frames: ${presented.length}, loading took ${(engine[loadAt] / 1000).toFixed(1)} s`);
  console.log(`${'window (s)'.padEnd(24)} ${'fps'.padStart(7)} ${'program ms'.padStart(11)}`);
  for (const [name, from, to] of windows) {
    const inside = presented.map((t, i) => [(t - start) / 1000, i]).filter(([t, i]) => i > loadAt && t >= from && t < to);
    if (inside.length < 2) continue;
    const span = inside[inside.length - 1][0] - inside[0][0];
    const fps = (inside.length - 1) / span;
    const ms = inside.reduce((sum, [, i]) => sum + engine[i], 0) / inside.length;
    console.log(`${`${name} ${from}-${to}`.padEnd(24)} ${fps.toFixed(1).padStart(7)} ${ms.toFixed(2).padStart(11)}`);
  }
} finally {
  await browser.close();
  server.close();
}
