// Size and speed of the browser build, measured in the system's headless
// Chromium (scripts/web measure runs it beside the native build's timing of
// the same round). It prints figures and fails only when something does not
// work; no figure has a limit.
//
//   node measure.mjs URL REPLAY_FILE [NATIVE_LINE...]
//
// - Transfer: every response of a fresh page load, by kind (the body bytes
//   as sent; the local server does not compress), and what gzip would make
//   of each.
// - First frame: from the navigation's start (performance.timeOrigin) to the
//   "Click to play" layer (the module compiled and Content unpacked), and
//   from the click to the end of the game's first pass of its frame (input,
//   update, drawing issued to WebGL; the browser shows it at its next
//   composite).
// - Frame time: REPLAY_FILE written into the page's file system and watched
//   (main's --replay) from its first frame to its end. The game's frame is
//   the time of one pass of the main loop (emscripten's pre/postMainLoop
//   around the whole frame function: input, update, drawing issued);
//   the interval is the time between two passes' starts, the browser's
//   animation frame pacing them: the drawing issued in a pass is rasterized
//   in Chromium's GPU process (SwiftShader here) while the page waits, so
//   the interval is what a drawn frame costs in all. Each NATIVE_LINE,
//   vantor_bench watch's line for the same file (whose frame includes the
//   rasterizing), gives the ratios.
import { readFileSync } from 'node:fs';
import { gzipSync } from 'node:zlib';
import { launchChromium, sleep, waitFor } from './chromium.mjs';

const [url, replayFile, ...nativeLines] = process.argv.slice(2);
if (!url || !replayFile) {
  console.error('usage: node measure.mjs URL REPLAY_FILE [NATIVE_LINE...]');
  process.exit(2);
}

// Before any of the page's scripts: the moments the "Click to play" layer
// appears and the first click lands, and the game's frames once the
// page's Module exists (timed around each pass of the main loop).
function instrument() {
  window.vantorMeasure = { ready: null, click: null, frames: [], starts: [] };
  const m = window.vantorMeasure;
  new MutationObserver(() => {
    const layer = document.getElementById('layer');
    if (m.ready === null && layer && layer.textContent === 'Click to play') m.ready = performance.now();
  }).observe(document, { subtree: true, childList: true, characterData: true });
  window.addEventListener('click', () => { if (m.click === null) m.click = performance.now(); }, true);
}

function hookFrames() {
  const m = window.vantorMeasure;
  let began = 0;
  Module.preMainLoop = () => { began = performance.now(); m.starts.push(began); };
  Module.postMainLoop = () => {
    m.frames.push(performance.now() - began);
    if (Module.canvas.width > 0) m.canvas = `${Module.canvas.width}x${Module.canvas.height}`;
  };
}

function spread(values) {
  const sorted = [...values].sort((a, b) => a - b);
  const at = (share) => sorted[Math.min(sorted.length - 1, Math.floor(share * (sorted.length - 1)))];
  const mean = values.reduce((a, b) => a + b, 0) / values.length;
  return { mean, median: at(0.5), p95: at(0.95), max: sorted[sorted.length - 1] };
}

const ms = (value) => `${value.toFixed(2)} ms`;

// The window's size (VANTOR_VIEWPORT=WxH; the picture is scaled to it, so a
// smaller one shows how the cost follows the pixels drawn).
const [width, height] = (process.env.VANTOR_VIEWPORT || '1200x800').split('x').map(Number);
if (!(width > 0 && height > 0)) throw new Error(`VANTOR_VIEWPORT is not WxH: ${process.env.VANTOR_VIEWPORT}`);

const chromium = await launchChromium({
  viewport: { width, height },
  args: ['--autoplay-policy=no-user-gesture-required', `--window-size=${width},${height}`],
});
const browser = chromium.browser;

try {
  // 1. A fresh load: the transfer, and the time to the first frame.
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  const cdp = await page.createCDPSession();
  await cdp.send('Network.enable');
  await cdp.send('Network.setCacheDisabled', { cacheDisabled: true });
  const urls = new Map();
  const loaded = new Map();
  cdp.on('Network.responseReceived', (event) => {
    if (event.response.status === 200) urls.set(event.requestId, event.response.url);
  });
  cdp.on('Network.dataReceived', (event) => loaded.set(event.requestId, (loaded.get(event.requestId) || 0) + event.dataLength));
  await page.evaluateOnNewDocument(instrument);
  await page.goto(url, { waitUntil: 'load' });
  await waitFor('the "Click to play" layer', () => page.evaluate(() => window.vantorMeasure.ready), 120);
  await page.evaluate(hookFrames);
  await page.click('#layer');
  await waitFor('the first frame', () => page.evaluate(() => window.vantorMeasure.frames.length > 0), 30);
  const first = await page.evaluate(() => {
    const m = window.vantorMeasure;
    return { ready: m.ready, click: m.click, drawn: m.starts[0] + m.frames[0] };
  });

  console.log(`Chromium ${await browser.version()}, the page at ${url}`);
  console.log('transfer (bytes as served; gzip: what a compressing server would send)');
  let total = 0;
  let gzipped = 0;
  for (const [id, address] of urls) {
    const name = new URL(address).pathname.split('/').pop() || 'index.html';
    const body = await fetch(address).then((response) => response.arrayBuffer());
    const bytes = loaded.get(id) || 0;
    if (bytes !== body.byteLength) throw new Error(`${name}: ${bytes} bytes came, the server holds ${body.byteLength}`);
    const packed = gzipSync(Buffer.from(body), { level: 9 }).length;
    total += bytes;
    gzipped += packed;
    console.log(`  ${name.padEnd(14)} ${String(bytes).padStart(9)}  gzip ${String(packed).padStart(9)}`);
  }
  console.log(`  ${'total'.padEnd(14)} ${String(total).padStart(9)}  gzip ${String(gzipped).padStart(9)}`);
  console.log(`first frame: page opened to "Click to play" ${ms(first.ready)}; click to the first frame drawn ` +
              `${ms(first.drawn - first.click)}; together ${ms(first.ready + first.drawn - first.click)}`);
  await page.close();

  // 2. The recorded round, watched to its end.
  const watch = await browser.newPage();
  const lines = [];
  watch.on('pageerror', (error) => errors.push(error.message));
  watch.on('console', (message) => lines.push(message.text()));
  await watch.evaluateOnNewDocument(instrument);
  await watch.goto(url, { waitUntil: 'load' });
  await waitFor('the "Click to play" layer', () => watch.evaluate(() => window.vantorMeasure.ready), 120);
  await watch.evaluate((bytes) => {
    FS.writeFile('/measured.vtreplay', new Uint8Array(bytes));
    const callMain = Module.callMain;
    Module.callMain = () => callMain(['--replay', '/measured.vtreplay']);
    window.vantorWatchEnded = false;
    Module.onGameQuit = () => { window.vantorWatchEnded = true; };
  }, Array.from(readFileSync(replayFile)));
  await watch.evaluate(hookFrames);
  await watch.click('#layer');
  await waitFor('the watched round to end', () => watch.evaluate(() => window.vantorWatchEnded), 600);
  const outcome = lines.find((line) => line.startsWith('recorded ')) || '(no outcome line)';
  if (!/: ok$/.test(outcome)) throw new Error(`the round did not play as recorded in the browser: ${outcome}`);
  const timing = await watch.evaluate(() => window.vantorMeasure);
  const frame = spread(timing.frames);
  const intervals = timing.starts.slice(1).map((start, i) => start - timing.starts[i]);
  const interval = spread(intervals);
  const seconds = (timing.starts[timing.starts.length - 1] - timing.starts[0]) / 1000;
  const late = intervals.filter((value) => value > 1.5 * 1000 / 60).length;
  console.log(`watched ${replayFile} in the browser: ${outcome}`);
  console.log(`  ${timing.frames.length} frames in ${seconds.toFixed(1)} s: ` +
              `${(timing.frames.length / seconds).toFixed(1)} frames per second`);
  const fps = timing.frames.length / seconds;
  console.log(`  60 frames per second kept: ${fps >= 57 ? 'yes' : 'no'}; the canvas ` +
              `${timing.canvas}`);
  console.log(`  game frame  mean ${ms(frame.mean)}  median ${ms(frame.median)}  p95 ${ms(frame.p95)}  max ${ms(frame.max)}`);
  console.log(`  interval    mean ${ms(interval.mean)}  median ${ms(interval.median)}  p95 ${ms(interval.p95)}  ` +
              `max ${ms(interval.max)}; ${late} of ${intervals.length} over 25 ms`);
  for (const line of nativeLines) {
    const native = /^watch (\S+) .*frame_ms mean ([\d.]+) median ([\d.]+)/.exec(line);
    if (!native) throw new Error(`not a line of vantor_bench watch: ${line}`);
    console.log(`  against native ${native[1]} (frame mean ${native[2]} ms, median ${native[3]} ms): ` +
                `browser game frame ${(frame.mean / Number(native[2])).toFixed(2)}x mean, ` +
                `${(frame.median / Number(native[3])).toFixed(2)}x median; browser interval ` +
                `${(interval.mean / Number(native[2])).toFixed(2)}x mean, ${(interval.median / Number(native[3])).toFixed(2)}x median`);
  }
  if (errors.length > 0) throw new Error(`the page reported errors:\n${errors.join('\n')}`);
} finally {
  await chromium.close();
}
