// Plays one round of the browser build in the system's headless Chromium, as
// a player would: opens the page, clicks through the "click to play" layer,
// clicks New Game where it is drawn, fires a few shots, waits for the results
// page, reads Scores.vtr back from IndexedDB, reloads the page and checks
// the table came back unchanged. On the way, the round must stand still while
// the page is out of focus, and the save must be written out once, not for
// ever.
//
//   node play.mjs URL SHOTS_FOLDER     (scripts/web e2e starts the server)
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import puppeteer from 'puppeteer-core';

const [url, shots] = process.argv.slice(2);
if (!url || !shots) {
  console.error('usage: node play.mjs URL SHOTS_FOLDER');
  process.exit(2);
}

const profile = mkdtempSync(join(tmpdir(), 'vantor-chromium-'));
const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  headless: true,
  userDataDir: profile,
  defaultViewport: { width: 1200, height: 800 },
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
         '--disable-component-update', '--disable-sync', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
         '--autoplay-policy=no-user-gesture-required', '--window-size=1200,800'],
});

function fail(text) {
  throw new Error(text);
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// The picture's 1024x768 point (x, y) on the page, wherever the canvas was
// placed and however it was scaled.
async function pagePoint(page, x, y) {
  const box = await (await page.$('#canvas')).boundingBox();
  return { x: box.x + x * box.width / 1024, y: box.y + y * box.height / 768 };
}

async function clickAt(page, x, y) {
  const p = await pagePoint(page, x, y);
  await page.mouse.move(p.x, p.y);
  await sleep(100);
  await page.mouse.down();
  await sleep(80);
  await page.mouse.up();
}

// Scores.vtr as IndexedDB holds it: the game's files are kept there under
// their paths, each record with its bytes in `contents`.
async function storedScores(page) {
  return page.evaluate(() => new Promise((resolve, reject) => {
    const open = indexedDB.open('/vantor');
    open.onerror = () => reject(new Error('cannot open the game files database'));
    open.onsuccess = () => {
      const db = open.result;
      const names = Array.from(db.objectStoreNames);
      if (names.length === 0) return resolve(null);
      const store = db.transaction(names[0], 'readonly').objectStore(names[0]);
      const get = store.get('/vantor/Scores.vtr');
      get.onerror = () => reject(new Error('cannot read Scores.vtr'));
      get.onsuccess = () => {
        const record = get.result;
        resolve(record && record.contents ? new TextDecoder().decode(record.contents) : null);
      };
    };
  }));
}

// The canvas as shown, as PNG bytes.
async function canvasShot(page) {
  return Buffer.from(await (await page.$('#canvas')).screenshot());
}

// The window losing or getting back the focus, as when the player clicks
// into another window (SDL listens on the page's window).
async function windowFocus(page, focused) {
  await page.evaluate((type) => window.dispatchEvent(new FocusEvent(type)), focused ? 'focus' : 'blur');
}

async function waitFor(what, test, seconds) {
  for (let i = 0; i < seconds * 4; ++i) {
    const value = await test();
    if (value) return value;
    await sleep(250);
  }
  fail(`timed out waiting for ${what}`);
}

async function openGame(page) {
  await page.goto(url, { waitUntil: 'load' });
  // Counts the page's write-outs of the game files to IndexedDB.
  await page.evaluate(() => {
    window.vantorWriteOuts = 0;
    Module.onFilesSaved = () => ++window.vantorWriteOuts;
  });
  await waitFor('the "Click to play" layer',
                () => page.evaluate(() => document.getElementById('layer').textContent === 'Click to play'), 60);
  await page.click('#layer');
  await waitFor('the game to start', () => page.evaluate(() => document.getElementById('layer').hidden), 10);
}

try {
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  page.on('console', (message) => { if (message.type() === 'error') errors.push(message.text()); });

  await openGame(page);
  await sleep(500);
  await page.screenshot({ path: join(shots, '1-splash.png') });
  await sleep(2500);  // the splash lasts 1.5 s and fades
  await page.screenshot({ path: join(shots, '2-menu.png') });

  const before = await storedScores(page);
  await clickAt(page, 512, 315);  // New Game, the middle of its line
  await sleep(1500);
  for (const [x, y] of [[300, 250], [512, 200], [700, 300], [450, 400], [600, 150]]) {
    await clickAt(page, x, y);
    await sleep(700);
  }
  await page.screenshot({ path: join(shots, '3-round.png') });

  // Out of focus the round stands still, as on the desktop: the picture
  // stays as it was; with the focus back it moves on.
  await windowFocus(page, false);
  await sleep(300);
  const still = await canvasShot(page);
  await sleep(1000);
  if (!still.equals(await canvasShot(page))) fail('the round went on while the page was out of focus');
  await windowFocus(page, true);
  await sleep(1000);
  if (still.equals(await canvasShot(page))) fail('the round stayed still with the focus back');

  // The round lasts 60 s; its last bursts fade before the results page.
  const after = await waitFor('Scores.vtr to change in IndexedDB', async () => {
    const now = await storedScores(page);
    return now !== null && now !== before ? now : null;
  }, 150);
  await sleep(1000);
  await page.screenshot({ path: join(shots, '4-results.png') });
  writeFileSync(join(shots, 'Scores.vtr'), after);
  // The save was written out, and writing out goes quiet once done.
  const writeOuts = () => page.evaluate(() => window.vantorWriteOuts);
  const settled = await writeOuts();
  await sleep(1500);
  if (!(settled >= 1) || (await writeOuts()) !== settled) fail(`write-outs went on after the save: ${settled}, then ${await writeOuts()}`);

  await page.reload({ waitUntil: 'load' });
  await openGame(page);
  await sleep(500);
  const reloaded = await storedScores(page);
  await sleep(3000);
  await page.screenshot({ path: join(shots, '5-after-reload.png') });
  if (reloaded !== after) fail(`Scores.vtr changed across a reload:\n${after}\n---\n${reloaded}`);
  const lines = after.trim().split('\n');
  if (!(Number(lines[0]) >= 1) || lines.length !== Number(lines[0]) + 1) fail(`Scores.vtr is not a table:\n${after}`);
  if (errors.length > 0) fail(`the page reported errors:\n${errors.join('\n')}`);
  console.log(`played a round in Chromium (${await browser.version()}); Scores.vtr kept across a reload:`);
  console.log(after.trim());

  // The round's replay, as stored beside the table, for the native build to
  // verify (scripts/web e2e): the newest one, named "<time>-<score>.vtreplay".
  const replays = await page.evaluate(() => new Promise((resolve, reject) => {
    const open = indexedDB.open('/vantor');
    open.onerror = () => reject(new Error('cannot open the game files database'));
    open.onsuccess = () => {
      const db = open.result;
      const store = db.transaction(db.objectStoreNames[0], 'readonly').objectStore(db.objectStoreNames[0]);
      const found = [];
      store.openCursor().onsuccess = (event) => {
        const cursor = event.target.result;
        if (!cursor) return resolve(found);
        const name = /^\/vantor\/Replays\/(\d+)-(\d+)\.vtreplay$/.exec(cursor.key);
        if (name && cursor.value.contents) {
          found.push({ name: name[0].slice(16), time: name[1], score: name[2], bytes: Array.from(cursor.value.contents) });
        }
        cursor.continue();
      };
    };
  }));
  if (replays.length === 0) fail('no replay of the round in IndexedDB');
  const newest = replays.reduce((a, b) => (BigInt(b.time) > BigInt(a.time) ? b : a));
  if (!after.split('\n').includes(`${newest.score} ${newest.time}`)) fail(`the replay ${newest.name} names no entry of the table`);
  writeFileSync(join(shots, 'round.vtreplay'), Buffer.from(newest.bytes));
  console.log(`the round's replay: ${newest.name} (${newest.bytes.length} bytes)`);
} finally {
  await browser.close();
  rmSync(profile, { recursive: true, force: true });
}
