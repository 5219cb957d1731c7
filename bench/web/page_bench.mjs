// The page played through once in Debian's headless Chromium (software WebGL 2 through
// SwiftShader) at 640 x 480, its frames paced as on a display (--unpaced: as fast as the page
// asks, when the browser queues frames far ahead of drawing them and then holds the page's
// thread for seconds), measured in two ways:
// - frames: per scene window of the show, the page's frames per second and the program's own
//   time per frame (from the browser handing a frame back to the program to the program
//   presenting the next, without the wait for the browser's next frame). Each frame is placed
//   on the show clock the program reads: the clock's time since the music started, which the
//   program tells a page that asks. With --native FILE (the output of bench_show) the windows
//   are bench_show's and its figures stand beside the page's.
// - music: how far the music heard is from that show clock, every second of the show (the
//   median of the second's marks, below).
//   node bench/web/page_bench.mjs PAGE_DIR [--native FILE] [--unpaced] [--seconds LIMIT] [--series] [--save JSON]
import { readFileSync, writeFileSync } from 'node:fs';
import { cpus, loadavg } from 'node:os';
import { Browser, serve } from '../../tests/web/page_driver.mjs';

const args = process.argv.slice(2);
const option = (name, fallback) => {
  const at = args.indexOf(name);
  return at >= 0 && at + 1 < args.length ? args[at + 1] : fallback;
};
const pageDir = args[0];
if (!pageDir || pageDir.startsWith('--')) {
  console.error('usage: page_bench.mjs PAGE_DIR [--native FILE] [--unpaced] [--seconds LIMIT] [--series] [--save JSON]');
  process.exit(2);
}
const limit = Number(option('--seconds', 400));
const showLength = 146.5;

// bench_show's rows: "name from-to fps slowest at engine driver wait draws".
function readNative(file) {
  const rows = [];
  const row = /^(\S+) (\d+(?:\.\d+)?)-(\S+)\s+([\d.]+)\s+([\d.]+)\s+([\d.]+)\s+([\d.]+)ms\s+([\d.]+)ms\s+([\d.]+)ms\s+([\d.]+)\s*$/;
  for (const line of readFileSync(file, 'utf8').split('\n')) {
    const m = row.exec(line);
    if (!m) continue;
    rows.push({
      name: m[1], from: Number(m[2]), to: m[3] === 'end' ? Infinity : Number(m[3]),
      fps: Number(m[4]), engine: Number(m[7]), driver: Number(m[8]), wait: Number(m[9]),
    });
  }
  return rows;
}

const native = option('--native') ? readNative(option('--native')) : [];
// The show's scene windows as bench_show cuts them (used when no native figures are given).
const windows = native.length > 0 ? native : [
  ['grand', 0, 33], ['grand+text', 33, 40], ['design', 40, 68], ['dance2', 68, 94], ['dass', 94, 134],
  ['slut+skitdemo', 134, 143], ['closing', 143, Infinity],
].map(([name, from, to]) => ({ name, from, to }));

// Installed in the page before the show starts. Told by the program when its music starts, it
// marks every buffer of the sound output with the position of the music it holds (one sample
// in 512: the left channel carries the position, the right a value no 16-bit sample takes),
// and a tap where the buffers meet, before the volume, on the audio thread, notes each mark with
// the audio context's frame at which it is played. The context's output time stamps place
// those frames on the page's clock.
const kMark = 0.7654321;
const kMarkEvery = 512;
const tap = `
  const mark = Math.fround(${kMark});
  registerProcessor('vellumite-tap', class extends AudioWorkletProcessor {
    constructor() { super(); this.marks = []; }
    process(inputs, outputs) {
      const input = inputs[0];
      const output = outputs[0];
      if (input.length >= 2) {
        const left = input[0];
        const right = input[1];
        for (let i = 0; i < left.length; ++i) if (right[i] === mark) this.marks.push(currentFrame + i, left[i] * 16777216);
        for (let c = 0; c < output.length && c < input.length; ++c) output[c].set(input[c]);
      }
      if (this.marks.length >= 128) { this.port.postMessage(this.marks); this.marks = []; }
      return true;
    }
  });`;
const listen = `(async () => {
  Module.vellumiteFrames = [];
  Module.vellumiteMusicStarted = (clock, rate) => {
    const output = Module.vellumiteMusicOutput;
    const context = output.context;
    const music = Module.vellumiteMusic = {
      clock, rate, started: performance.now(), deviceRate: context.sampleRate,
      baseLatency: context.baseLatency || 0, outputLatency: context.outputLatency || 0, stamps: [], marks: [], tapped: 0,
    };
    const stamp = () => {
      const s = context.getOutputTimestamp();
      music.stamps.push(s.contextTime, s.performanceTime, performance.now());
    };
    output.onChunk = (buffer, position) => {
      stamp();
      const left = buffer.getChannelData(0);
      const right = buffer.getChannelData(1);
      for (let i = 0; i < buffer.length; i += ${kMarkEvery}) { left[i] = (position + i) / 16777216; right[i] = ${kMark}; }
    };
    stamp();
    music.stamper = setInterval(stamp, 200);
    const tapNode = new AudioWorkletNode(context, 'vellumite-tap', { outputChannelCount: [2] });
    tapNode.port.onmessage = (message) => { for (const v of message.data) music.marks.push(v); };
    output.node.disconnect();
    output.node.connect(tapNode);
    tapNode.connect(output.volume);
    music.tapped = performance.now();
  };
  // The audio context the page makes on the click is this one, with the tap loaded.
  const context = new AudioContext();
  await context.audioWorklet.addModule(URL.createObjectURL(new Blob([${JSON.stringify(tap)}], { type: 'text/javascript' })));
  Module.SDL2 = Module.SDL2 || {};
  Object.defineProperty(Module.SDL2, 'audioContext', { get: () => context, set: (made) => { if (made && made !== context) made.close(); } });
  document.getElementById('play').click();
  return performance.now();
})()`;

const round = (v, digits = 1) => (Number.isFinite(v) ? v.toFixed(digits) : '-');
const median = (v) => (v.length ? [...v].sort((a, b) => a - b)[v.length >> 1] : NaN);

function frameFigures(pairs, started) {
  // pairs: presented, resumed for each frame the page showed.
  const frames = [];
  for (let i = 2; i + 1 < pairs.length; i += 2) {
    const presented = pairs[i];
    if (presented < started) continue;
    const begun = Math.max(pairs[i - 1], started);
    frames.push({ show: (begun - started) / 1000, engine: presented - begun, cycle: pairs[i + 1] - begun });
  }
  const longest = [...frames].sort((a, b) => b.engine - a.engine).slice(0, 5);
  const rows = windows.map((w) => {
    const inside = frames.filter((f) => f.show >= w.from && f.show < w.to && f.show < showLength + 1);
    const cycles = inside.reduce((sum, f) => sum + f.cycle, 0);
    return {
      ...w,
      frames: inside.length,
      fps: inside.length > 0 ? (1000 * inside.length) / cycles : NaN,
      engine: inside.length > 0 ? inside.reduce((sum, f) => sum + f.engine, 0) / inside.length : NaN,
      engineMedian: median(inside.map((f) => f.engine)),
    };
  });
  return { rows, longest };
}

function musicFigures(music) {
  const rate = music.deviceRate;
  const musicRate = music.rate;
  // The context's time on the page's clock: performance time minus context time from the
  // output's time stamps; it moves when the context's clock falls behind (an audio thread
  // starved of processor time), so each mark takes the stamp nearest to it.
  const stamps = [];
  for (let i = 0; i + 2 < music.stamps.length; i += 3)
    if (music.stamps[i + 1] > 0) stamps.push([music.stamps[i], music.stamps[i + 1] - 1000 * music.stamps[i]]);
  stamps.sort((x, y) => x[0] - y[0]);
  const offsetAt = (time) => {
    let lo = 0;
    let hi = stamps.length - 1;
    while (lo < hi) {
      const mid = (lo + hi) >> 1;
      if (stamps[mid][0] < time) lo = mid + 1;
      else hi = mid;
    }
    if (lo > 0 && Math.abs(stamps[lo - 1][0] - time) < Math.abs(stamps[lo][0] - time)) lo -= 1;
    return stamps[lo][1];
  };
  const slip = stamps.length > 0 ? stamps[stamps.length - 1][1] - stamps[0][1] : NaN;
  // Each mark: the music's position heard at a moment of the show clock.
  const marks = music.marks;
  const heard = [];
  let repeats = 0;
  let gaps = 0;
  for (let i = 0; i + 1 < marks.length; i += 2) {
    const frame = marks[i];
    const position = marks[i + 1];
    if (i >= 2) {
      if (position <= marks[i - 1]) repeats += 1;
      if (frame - marks[i - 2] > kMarkEvery) gaps += Math.round((frame - marks[i - 2]) / kMarkEvery) - 1;
    }
    const clock = (offsetAt(frame / rate) + (1000 * frame) / rate - music.started) / 1000;
    heard.push({ clock, drift: 1000 * (position / musicRate - clock) });
  }
  // Every second of the show: the median of its marks.
  const bySecond = [];
  for (const h of heard) {
    const s = Math.floor(h.clock);
    if (s < 0) continue;
    (bySecond[s] = bySecond[s] || []).push(h.drift);
  }
  const series = [];
  bySecond.forEach((drifts, s) => { if (drifts) series.push({ s, drift: median(drifts) }); });
  return { stamps: stamps.length, slip, marks: marks.length / 2, repeats, gaps, series };
}

const server = await serve(pageDir);
const paced = !args.includes('--unpaced');
const browser = await Browser.launch({ paced });
try {
  const version = (await browser.send('Browser.getVersion', {}, null)).product;
  await browser.open(`${server.url}?mode=640x480`);
  await browser.waitFor("!document.getElementById('play').disabled", 300, 'the page to load');
  const renderer = await browser.evaluate(`(() => {
    const gl = document.createElement('canvas').getContext('webgl2');
    const info = gl && gl.getExtension('WEBGL_debug_renderer_info');
    return gl ? (info ? gl.getParameter(info.UNMASKED_RENDERER_WEBGL) : gl.getParameter(gl.RENDERER)) : 'no WebGL 2';
  })()`);
  const loads = [loadavg()[0]];
  const clicked = await browser.evaluate(listen);
  const until = Date.now() + limit * 1000;
  let next = Date.now() + 10000;
  while (Date.now() < until && !(await browser.evaluate("!document.getElementById('end').hidden"))) {
    await new Promise((r) => setTimeout(r, 500));
    if (Date.now() >= next) {
      loads.push(loadavg()[0]);
      next += 10000;
    }
  }
  loads.push(loadavg()[0]);
  const ended = await browser.evaluate("!document.getElementById('end').hidden");
  const music = await browser.evaluate('Module.vellumiteMusic || null');
  const pairs = await browser.evaluate('Module.vellumiteFrames');
  const said = await browser.evaluate("Array.from(document.querySelectorAll('#messages li')).map((li) => li.textContent)");

  console.log(`machine: ${cpus().length} cores (${cpus()[0].model}), ${version}, WebGL 2 on ${renderer}, frames ${paced ? 'paced' : 'unpaced'}`);
  console.log(`load average (1 min) during the show: ${round(Math.min(...loads), 2)} to ${round(Math.max(...loads), 2)}, mean ${round(loads.reduce((a, b) => a + b, 0) / loads.length, 2)}`);
  if (!ended) console.log(`the show had not ended after ${limit} s`);
  if (said.length > 0) console.log(`page said: ${said.join('; ')}`);
  if (!music) {
    console.log('the program never started its music: no show clock, no figures');
    process.exitCode = 1;
  } else {
    console.log(`loading (play to music start): ${round((music.started - clicked) / 1000, 1)} s; ` +
      `show clock at the start ${music.clock} ms against the page's ${round(music.started, 1)} ms`);

    console.log('\n-- frames (640x480); page: frames per second of wall time, the program\'s ms from the frame handed back to the present (mean, median);');
    if (native.length > 0) console.log('   native: bench_show\'s frames per second, the engine\'s ms and the engine\'s with the GL driver\'s (llvmpipe) per frame');
    const { rows, longest } = frameFigures(pairs, music.started);
    const head = native.length > 0
      ? `${'window (s)'.padEnd(22)} ${'frames'.padStart(6)} ${'page fps'.padStart(8)} ${'wasm ms'.padStart(8)} ${'median'.padStart(7)} ${'native fps'.padStart(10)} ${'engine'.padStart(7)} ${'eng+drv'.padStart(8)} ${'wasm/e+d'.padStart(8)}`
      : `${'window (s)'.padEnd(22)} ${'frames'.padStart(6)} ${'page fps'.padStart(8)} ${'wasm ms'.padStart(8)} ${'median'.padStart(7)}`;
    console.log(head);
    for (const r of rows) {
      const label = `${r.name} ${r.from}-${Number.isFinite(r.to) ? r.to : 'end'}`;
      let line = `${label.padEnd(22)} ${String(r.frames).padStart(6)} ${round(r.fps).padStart(8)} ${round(r.engine, 2).padStart(8)} ${round(r.engineMedian, 2).padStart(7)}`;
      const n = native.find((x) => x.from === r.from);
      if (n) {
        const own = n.engine + n.driver;
        line += ` ${round(n.fps).padStart(10)} ${round(n.engine, 2).padStart(7)} ${round(own, 2).padStart(8)}`;
        line += ` ${round(r.engine / own, 2).padStart(8)}`;
      }
      console.log(line);
    }

    console.log(`longest frames: ${longest.map((f) => `${round(f.engine / 1000, 2)} s at ${round(f.show, 1)} s`).join(', ')}`);

    const m = musicFigures(music);
    console.log(`\n-- music heard against the show clock (mixed at ${music.rate} Hz, output at ${music.deviceRate} Hz, ` +
      `base latency ${round(music.baseLatency * 1000, 1)} ms, output latency ${round(music.outputLatency * 1000, 1)} ms)`);
    console.log(`output placed on the page's clock by ${m.stamps} time stamps (the context's clock fell ${round(m.slip, 1)} ms behind the page's over the show); ` +
      `tap in ${round((music.tapped - music.started) / 1000, 2)} s after the music started; ${m.marks} marks heard, ` +
      `${m.repeats} of them repeating music already heard, ${m.gaps} missing (silence or overwritten)`);
    if (m.series.length > 0) {
      const worst = m.series.reduce((a, b) => (Math.abs(b.drift) > Math.abs(a.drift) ? b : a));
      const lowest = Math.min(...m.series.map((x) => x.drift));
      const highest = Math.max(...m.series.map((x) => x.drift));
      const last = m.series[m.series.length - 1];
      console.log(`drift (music heard minus show clock, + is music ahead), median of each second, ${m.series.length} seconds:`);
      console.log(`  first ${round(m.series[0].drift)} ms (at ${m.series[0].s} s), final ${round(last.drift)} ms (at ${last.s} s), ` +
        `max |drift| ${round(Math.abs(worst.drift))} ms (at ${worst.s} s), range ${round(lowest)} to ${round(highest)} ms`);
      if (args.includes('--series')) console.log(m.series.map((x) => `${x.s}:${round(x.drift)}`).join(' '));
    }
    if (option('--save')) writeFileSync(option('--save'), JSON.stringify({ music, pairs }));
  }
} finally {
  await browser.close();
  server.close();
}
