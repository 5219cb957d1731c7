// Frames of the show rendered by the page (?screenshot=T, WebGL 2 on Chromium's SwiftShader)
// against the desktop program's --screenshot frames of the same size (GL on Mesa's llvmpipe),
// at show times across the show's scenes; the frame also stays on the page's canvas, and a
// time the show does not have is refused on the page with the desktop program's words.
//   node tests/web/frames_test.mjs NATIVE_PROGRAM PAGE_DIR
import { execFileSync, spawnSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { inflateSync } from 'node:zlib';
import { Browser, serve } from './page_driver.mjs';

const [program, pageDir] = process.argv.slice(2);
if (!program || !pageDir) {
  console.error('usage: frames_test.mjs NATIVE_PROGRAM PAGE_DIR');
  process.exit(2);
}

const kWidth = 320;
const kHeight = 240;
// The opening landscape, the lettering over it, the design scene, the dancers, the fire
// (94-134 s, its particles built up over the five seconds before) and the closing scenes.
const kTimes = (process.env.VELLUMITE_FRAME_TIMES || '22.5 36.5 61 87 117 137').split(' ').map(Number);

// SwiftShader and llvmpipe round texture filtering, blending and interpolated colours each
// their own way, so the frames are near, not equal: measured at these times (320x240, Debian
// 12's Chromium and Mesa), a mean difference of 0.11 to 0.31 steps per channel, and 0.01% to
// 0.13% of pixels (edges) with a channel off by more than kFar. The frame one step (1/30 s)
// later already differs from the frame at T by 1.07 to 25 steps on average and in 0.56% to
// 23% of pixels, so the limits sit between the two: a page whose frame comes from another
// time, another particle sequence, or lacks a texture or an object fails.
const kMaxMean = 0.75;
const kFar = 48;
const kMaxFarShare = 0.0035;

// The desktop program renders without a display.
const kNativeEnvironment = { SDL_VIDEODRIVER: 'offscreen', SDL_AUDIODRIVER: 'dummy', EGL_PLATFORM: 'surfaceless', ...process.env };

let failures = 0;
function check(condition, what) {
  console.log(`${condition ? 'ok  ' : 'FAIL'} ${what}`);
  if (!condition) failures += 1;
}

// PNG of 8-bit RGB or RGBA, not interlaced, to RGB bytes.
function decodePng(bytes) {
  let at = 8;
  let width = 0;
  let height = 0;
  let channels = 0;
  const data = [];
  while (at < bytes.length) {
    const length = bytes.readUInt32BE(at);
    const type = bytes.toString('latin1', at + 4, at + 8);
    const body = bytes.subarray(at + 8, at + 8 + length);
    if (type === 'IHDR') {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      if (body[8] !== 8 || (body[9] !== 2 && body[9] !== 6) || body[12] !== 0) throw new Error('unexpected PNG kind');
      channels = body[9] === 2 ? 3 : 4;
    } else if (type === 'IDAT') {
      data.push(body);
    }
    at += 12 + length;
  }
  const raw = inflateSync(Buffer.concat(data));
  const stride = width * channels;
  const pixels = Buffer.alloc(stride * height);
  for (let y = 0; y < height; y++) {
    const filter = raw[y * (stride + 1)];
    const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let x = 0; x < stride; x++) {
      const a = x >= channels ? pixels[y * stride + x - channels] : 0;
      const b = y > 0 ? pixels[(y - 1) * stride + x] : 0;
      const c = x >= channels && y > 0 ? pixels[(y - 1) * stride + x - channels] : 0;
      let p = 0;
      if (filter === 1) p = a;
      else if (filter === 2) p = b;
      else if (filter === 3) p = (a + b) >> 1;
      else if (filter === 4) {
        const e = a + b - c;
        const pa = Math.abs(e - a);
        const pb = Math.abs(e - b);
        const pc = Math.abs(e - c);
        p = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
      }
      pixels[y * stride + x] = (line[x] + p) & 0xFF;
    }
  }
  const rgb = Buffer.alloc(width * height * 3);
  for (let i = 0; i < width * height; i++) pixels.copy(rgb, i * 3, i * channels, i * channels + 3);
  return { width, height, rgb };
}

function bgraToRgb(bgra) {
  const rgb = Buffer.alloc((bgra.length / 4) * 3);
  for (let i = 0, o = 0; i < bgra.length; i += 4, o += 3) {
    rgb[o] = bgra[i + 2];
    rgb[o + 1] = bgra[i + 1];
    rgb[o + 2] = bgra[i];
  }
  return rgb;
}

// The mean absolute difference per channel, and the share of pixels with a channel off by
// more than kFar.
function difference(a, b) {
  let sum = 0;
  let far = 0;
  for (let i = 0; i < a.length; i += 3) {
    let worst = 0;
    for (let c = 0; c < 3; c++) {
      const d = Math.abs(a[i + c] - b[i + c]);
      sum += d;
      if (d > worst) worst = d;
    }
    if (worst > kFar) far += 1;
  }
  return { mean: sum / a.length, far: far / (a.length / 3) };
}

function nativeFrame(time, work) {
  const file = join(work, `native_${time}.png`);
  execFileSync(program, ['--data', join(pageDir, 'show'), '--screenshot', String(time), file, '--mode', `${kWidth}x${kHeight}`],
    { stdio: ['ignore', 'ignore', 'inherit'], env: kNativeEnvironment });
  return decodePng(readFileSync(file));
}

// A step of the browser's that does not answer in time fails instead of hanging the test.
function within(seconds, what, promise) {
  let timer;
  const late = new Promise((resolve, reject) => {
    timer = setTimeout(() => reject(new Error(`no answer in ${seconds} s to ${what}`)), seconds * 1000);
  });
  return Promise.race([promise, late]).finally(() => clearTimeout(timer));
}

const title = "document.title";
const messages = "Array.from(document.querySelectorAll('#messages li')).map((li) => li.textContent)";

// The page's frame at `time`: the file's pixels, and the canvas as the page shows it.
async function pageFrame(browser, server, time) {
  await within(60, 'loading the page', browser.open(`${server.url}?mode=${kWidth}x${kHeight}&screenshot=${time}`));
  await browser.waitFor(`${title} === 'vellumite: frame ${time}' || ${messages}.length > 0`, 180, `the frame at ${time} s`);
  const said = await browser.evaluate(messages);
  if (said.length > 0) throw new Error(`the page said: ${said.join('; ')}`);
  const file = Buffer.from(await within(30, 'reading the file', browser.evaluate(`(() => {
    const bytes = FS.readFile('/screenshot.bgra');
    let text = '';
    for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    return btoa(text);
  })()`)), 'base64');
  const box = await browser.evaluate(`(() => { const r = document.getElementById('canvas').getBoundingClientRect();
    return { x: r.left, y: r.top, width: r.width, height: r.height }; })()`);
  const shot = await within(30, 'the picture of the page',
    browser.send('Page.captureScreenshot', { format: 'png', clip: { ...box, scale: 1 } }));
  return { file, box, shown: decodePng(Buffer.from(shot.data, 'base64')) };
}

const work = mkdtempSync(join(tmpdir(), 'vellumite-web-frames-'));
const server = await serve(pageDir);
const browser = await Browser.launch();
try {
  for (const time of kTimes) {
    console.log(`-- the frame at ${time} s`);
    try {
      const started = Date.now();
      const native = nativeFrame(time, work);
      const page = await pageFrame(browser, server, time);
      const seconds = ((Date.now() - started) / 1000).toFixed(1);
      check(page.file.length === kWidth * kHeight * 4, `the page wrote ${kWidth}x${kHeight} pixels (${page.file.length} bytes)`);
      if (page.file.length !== kWidth * kHeight * 4) continue;
      const rgb = bgraToRgb(page.file);
      const { mean, far } = difference(native.rgb, rgb);
      check(mean <= kMaxMean && far <= kMaxFarShare,
        `page and desktop frames at ${time} s: mean difference ${mean.toFixed(3)} per channel (at most ${kMaxMean}), ` +
        `${(far * 100).toFixed(2)}% of pixels off by more than ${kFar} (at most ${(kMaxFarShare * 100).toFixed(2)}%) [${seconds} s]`);
      const shown = page.shown;
      const same = shown.width === kWidth && shown.height === kHeight ? difference(rgb, shown.rgb) : null;
      check(same !== null && same.mean < 0.5,
        `the canvas still shows the frame (${shown.width}x${shown.height} at ${page.box.x},${page.box.y}` +
        `${same ? `, mean difference ${same.mean.toFixed(3)}` : ''})`);
    } catch (error) {
      check(false, `the frame at ${time} s: ${error.message}`);
      console.log(browser.console.slice(-20).join('\n'));
    }
  }

  console.log('-- a time the show does not have');
  try {
    const refused = spawnSync(program, ['--data', join(pageDir, 'show'), '--screenshot', '200', join(work, 'late.png')],
      { encoding: 'utf8', env: kNativeEnvironment });
    const said = refused.stderr.trim();
    await browser.open(`${server.url}?mode=${kWidth}x${kHeight}&screenshot=200`);
    await browser.waitFor(`${messages}.length > 0`, 120, 'a message on the page');
    const shown = await browser.evaluate(messages);
    check(refused.status === 2 && said !== '' && shown.includes(said), `the page refuses 200 s as the program does ("${said}"; the page: ${shown.join('; ')})`);
    check(!(await browser.evaluate(`${title}.startsWith('vellumite: frame')`)), 'the title names no frame');
  } catch (error) {
    check(false, `a time the show does not have: ${error.message}`);
  }
} finally {
  await browser.close();
  server.close();
  rmSync(work, { recursive: true, force: true });
}
console.log(failures === 0 ? 'frame tests passed' : `${failures} frame checks failed`);
process.exit(failures === 0 ? 0 : 1);
