// Two checks of the page in the system's headless Chromium, each on a browser
// of its own:
//
// - Sound: Chromium's own rule, no flag to lift it. Before the first click no
//   AudioContext of the page runs (SDL has made none yet); the click on the
//   "Click to play" layer starts the game, SDL's AudioContext runs, and the
//   blocks SDL's audio callback fills from the game's mixer carry sound (the
//   menu's music), counted as the browser takes them.
// - Picture: REPLAY held at its recorded frame FRAME (main's --replay-hold),
//   the canvas shot at 1024x768 CSS pixels, device scale 1, the page's own
//   controls hidden, and compared pixel by pixel with the native game's shot
//   of the same frame (SAME_PNG), which must match within a small tolerance,
//   and with its shot of a later frame (OTHER_PNG), which must not: a
//   comparison that cannot tell two moments apart fails too.
//
//   node still.mjs URL REPLAY FRAME SAME_PNG OTHER_PNG OUT_FOLDER
//
// OUT_FOLDER gets the browser's shot and a picture of where the two differ.
import { readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { PNG } from 'pngjs';
import { fail, launchChromium, sleep, waitFor } from './chromium.mjs';

const [url, replayFile, frameText, samePng, otherPng, out] = process.argv.slice(2);
if (!out || !/^[1-9]\d*$/.test(frameText)) {
  console.error('usage: node still.mjs URL REPLAY FRAME SAME_PNG OTHER_PNG OUT_FOLDER');
  process.exit(2);
}

// A pixel differs when one of its channels is further apart than this (of
// 255): the two builds' filtering and blending round differently by a few
// steps. The pictures match when at most kMatchShare of their pixels differ.
const kTolerance = 16;
const kMatchShare = 0.005;

async function launch(args) {
  return launchChromium({ viewport: { width: 1024, height: 768, deviceScaleFactor: 1 },
                          args: ['--window-size=1024,768', ...args] });
}

async function clickToPlayShown(page) {
  await waitFor('the "Click to play" layer',
                () => page.evaluate(() => document.getElementById('layer').textContent === 'Click to play'), 120);
}

// Every AudioContext the page makes, kept where the test can see it.
function recordAudioContexts() {
  window.vantorAudioContexts = [];
  const Original = window.AudioContext;
  window.AudioContext = class extends Original {
    constructor(...args) {
      super(...args);
      window.vantorAudioContexts.push(this);
    }
  };
}

async function checkSound() {
  const { browser, close } = await launch([]);
  try {
    const page = await browser.newPage();
    const errors = [];
    page.on('pageerror', (error) => errors.push(error.message));
    await page.evaluateOnNewDocument(recordAudioContexts);
    await page.goto(url, { waitUntil: 'load' });
    await clickToPlayShown(page);
    await sleep(1500);
    const audioBefore = () => page.evaluate(() => ({
      contexts: window.vantorAudioContexts.map((context) => context.state),
      sdl: Module.SDL2 && Module.SDL2.audioContext ? Module.SDL2.audioContext.state : 'absent',
    }));
    const before = await audioBefore();
    if (before.contexts.includes('running') || before.sdl === 'running') {
      fail(`audio runs before the first click: ${JSON.stringify(before)}`);
    }

    await page.click('#layer');
    const state = await waitFor('SDL\'s AudioContext to run after the click', () => page.evaluate(() => {
      const context = Module.SDL2 && Module.SDL2.audioContext;
      return context && context.state === 'running' && Module.SDL2.audio && Module.SDL2.audio.scriptProcessorNode
        ? `${context.state} at ${context.sampleRate} Hz` : null;
    }), 10);
    // Counts the blocks SDL's callback fills, and those that are not silence.
    await page.evaluate(() => {
      const node = Module.SDL2.audio.scriptProcessorNode;
      const fill = node.onaudioprocess;
      const counts = { blocks: 0, sounding: 0, peak: 0 };
      window.vantorSound = counts;
      node.onaudioprocess = function (event) {
        fill.call(this, event);
        let peak = 0;
        for (let c = 0; c < event.outputBuffer.numberOfChannels; ++c) {
          for (const sample of event.outputBuffer.getChannelData(c)) peak = Math.max(peak, Math.abs(sample));
        }
        ++counts.blocks;
        if (peak > 1e-3) ++counts.sounding;
        counts.peak = Math.max(counts.peak, peak);
      };
    });
    const sound = await waitFor('the game\'s sound', () => page.evaluate(() =>
      window.vantorSound.sounding >= 20 ? window.vantorSound : null), 20);
    if (errors.length > 0) fail(`the page reported errors:\n${errors.join('\n')}`);
    console.log(`sound: before the first click ${before.contexts.length} AudioContext(s) ` +
                `[${before.contexts.join(', ')}], SDL's ${before.sdl}; after it SDL's ${state}, ` +
                `${sound.sounding} of ${sound.blocks} blocks from the mixer not silent (peak ${sound.peak.toFixed(3)})`);
  } finally {
    await close();
  }
}

// The browser's picture of the held frame, as PNG bytes.
async function heldShot() {
  const { browser, close } = await launch(['--autoplay-policy=no-user-gesture-required']);
  try {
    const page = await browser.newPage();
    const errors = [];
    page.on('pageerror', (error) => errors.push(error.message));
    await page.goto(url, { waitUntil: 'load' });
    await clickToPlayShown(page);
    await page.evaluate((bytes, frame) => {
      FS.writeFile('/held.vtreplay', new Uint8Array(bytes));
      const callMain = Module.callMain;
      Module.callMain = () => callMain(['--replay-hold', frame, '/held.vtreplay']);
      window.vantorFailed = null;
      Module.onGameFailed = (text) => { window.vantorFailed = text; };
      // The page's own controls lie over the picture; the game's are in it.
      document.getElementById('bar').hidden = true;
    }, Array.from(readFileSync(replayFile)), frameText);
    await page.click('#layer');
    await page.mouse.move(0, 0);
    // Held once two shots a second apart are the same.
    const canvas = await page.$('#canvas');
    const box = await canvas.boundingBox();
    if (box.width !== 1024 || box.height !== 768) fail(`the canvas is ${box.width}x${box.height} CSS pixels`);
    await sleep(Number(frameText) / 60 * 1000);
    let last = null;
    const shot = await waitFor(`the round to hold at frame ${frameText}`, async () => {
      const failed = await page.evaluate(() => window.vantorFailed);
      if (failed) fail(`the page refused the held replay: ${failed}`);
      const now = Buffer.from(await canvas.screenshot());
      const held = last !== null && now.equals(last);
      last = now;
      await sleep(750);
      return held ? now : null;
    }, 300);
    if (errors.length > 0) fail(`the page reported errors:\n${errors.join('\n')}`);
    return shot;
  } finally {
    await close();
  }
}

// How far two pictures are apart: the share of pixels beyond kTolerance, the
// mean difference (0 to 1) and the largest; marks differing pixels in diff.
function difference(a, b, diff) {
  if (a.width !== b.width || a.height !== b.height) fail(`pictures of ${a.width}x${a.height} and ${b.width}x${b.height}`);
  let over = 0;
  let sum = 0;
  let largest = 0;
  for (let i = 0; i < a.width * a.height * 4; i += 4) {
    let d = 0;
    for (let c = 0; c < 3; ++c) d = Math.max(d, Math.abs(a.data[i + c] - b.data[i + c]));
    sum += d;
    largest = Math.max(largest, d);
    if (d > kTolerance) ++over;
    if (diff) {
      const grey = a.data[i] / 4;
      diff.data[i] = d > kTolerance ? 255 : grey;
      diff.data[i + 1] = d > kTolerance ? 0 : grey;
      diff.data[i + 2] = d > kTolerance ? 0 : grey;
      diff.data[i + 3] = 255;
    }
  }
  const pixels = a.width * a.height;
  return { share: over / pixels, mean: sum / pixels / 255, largest };
}

const describe = (d) => `${(d.share * 100).toFixed(3)}% of pixels beyond ${kTolerance}/255, ` +
                        `mean difference ${(d.mean * 100).toFixed(3)}%, largest ${d.largest}/255`;

try {
  await checkSound();
  const shot = await heldShot();
  writeFileSync(join(out, 'browser-held.png'), shot);
  const browserPicture = PNG.sync.read(shot);
  const same = PNG.sync.read(readFileSync(samePng));
  const other = PNG.sync.read(readFileSync(otherPng));
  const diff = new PNG({ width: same.width, height: same.height });
  const match = difference(browserPicture, same, diff);
  writeFileSync(join(out, 'difference.png'), PNG.sync.write(diff));
  const apart = difference(browserPicture, other, null);
  console.log(`frame ${frameText} of ${replayFile}, browser against native: ${describe(match)}`);
  console.log(`  against the native picture of a later frame: ${describe(apart)}`);
  if (match.share > kMatchShare) fail(`the browser's picture is not the native one (over ${kMatchShare * 100}%); see ${out}`);
  if (apart.share <= kMatchShare) fail('the comparison cannot tell the held frame from a later one');
} catch (error) {
  console.error(`FAILED: ${error.message}`);
  process.exitCode = 1;
}
