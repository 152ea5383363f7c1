// Plays one round of the browser build in the system's headless Chromium, as
// a player would: opens the page, clicks through the "click to play" layer,
// taps New Game where it is drawn (a touch screen), fires a few shots with
// the mouse and a few with taps, waits for the results page, reads Scores.vtr
// back from IndexedDB, reloads the page and checks the table came back
// unchanged. On the way, the round must stand still while the page is out of
// focus, and the save must be written out once, not for ever.
//
// On the results page: the page's fullscreen (its button, F11, Alt+Enter)
// keeps the picture 4:3 over the whole screen; the round's replay downloads
// from the "Replays" list byte for byte as IndexedDB holds it, and verifies
// with the native build; a truncated and a random file given to the page are
// refused with the very line the native `vantor --verify` prints, and the good
// replay dropped on the page then plays in the canvas. Last, on a page of its
// own, the packed Content answered 404 shows the page's message.
//
//   node play.mjs URL SHOTS_FOLDER     (scripts/web e2e starts the server)
// VANTOR_NATIVE names the native game (build/vantor).
import { execFileSync } from 'node:child_process';
import { existsSync, mkdirSync, readdirSync, readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { fail, launchChromium, sleep, waitFor } from './chromium.mjs';

const [url, shots] = process.argv.slice(2);
const native = process.env.VANTOR_NATIVE;
if (!url || !shots || !native) {
  console.error('usage: VANTOR_NATIVE=build/vantor node play.mjs URL SHOTS_FOLDER');
  process.exit(2);
}

// The window's own size, no emulated viewport, so that fullscreen really
// takes the (wide) screen and the page's picture must keep 4:3 with bars.
const chromium = await launchChromium({
  viewport: null,
  args: ['--autoplay-policy=no-user-gesture-required', '--window-size=1200,800', '--screen-info={1280x720}'],
});
const browser = chromium.browser;

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

// A tap of the touch screen at the picture's point (x, y).
async function tapAt(page, x, y) {
  const p = await pagePoint(page, x, y);
  await page.touchscreen.tap(p.x, p.y);
}

// A file of the game's folder as IndexedDB holds it (the files are kept there
// under their paths, each record with its bytes in `contents`): a Buffer, or
// null when there is none.
async function storedFile(page, path) {
  const bytes = await page.evaluate((path) => new Promise((resolve, reject) => {
    const open = indexedDB.open('/vantor');
    open.onerror = () => reject(new Error('cannot open the game files database'));
    open.onsuccess = () => {
      const db = open.result;
      const names = Array.from(db.objectStoreNames);
      if (names.length === 0) return resolve(null);
      const store = db.transaction(names[0], 'readonly').objectStore(names[0]);
      const get = store.get(path);
      get.onerror = () => reject(new Error(`cannot read ${path}`));
      get.onsuccess = () => {
        const record = get.result;
        resolve(record && record.contents ? Array.from(record.contents) : null);
      };
    };
  }), path);
  return bytes === null ? null : Buffer.from(bytes);
}

async function storedScores(page) {
  const bytes = await storedFile(page, '/vantor/Scores.vtr');
  return bytes === null ? null : bytes.toString('utf8');
}

// The native game's `--verify FILE`: its exit status and its one line.
function nativeVerify(file) {
  const env = { ...process.env, SDL_VIDEODRIVER: 'dummy', SDL_AUDIODRIVER: 'dummy' };
  try {
    return { status: 0, line: execFileSync(native, ['--verify', file], { env, encoding: 'utf8', timeout: 120000 }).trim() };
  } catch (error) {
    if (typeof error.status !== 'number') throw error;
    return { status: error.status, line: String(error.stdout).trim() };
  }
}

// A file dropped on the canvas, as a file manager's drag would deliver it.
async function dropFile(page, name, bytes) {
  await page.evaluate((name, data) => {
    const transfer = new DataTransfer();
    transfer.items.add(new File([new Uint8Array(data)], name));
    const canvas = document.getElementById('canvas');
    for (const type of ['dragenter', 'dragover', 'drop']) {
      canvas.dispatchEvent(new DragEvent(type, { bubbles: true, cancelable: true, dataTransfer: transfer }));
    }
  }, name, Array.from(bytes));
}

// The page's line to the player, once shown.
async function noticeAfter(page, what, action) {
  await page.evaluate(() => { document.getElementById('notice').hidden = true; });
  await action();
  return waitFor(what, () => page.evaluate(() => {
    const notice = document.getElementById('notice');
    return notice.hidden ? null : notice.textContent;
  }), 10);
}

// Where the page's fullscreen stands, and the canvas in it.
async function screenState(page) {
  return page.evaluate(() => {
    const canvas = document.getElementById('canvas');
    const box = canvas.getBoundingClientRect();
    return { full: document.fullscreenElement === document.documentElement, width: innerWidth, height: innerHeight,
             screenWidth: screen.width, screenHeight: screen.height, box: { x: box.x, y: box.y, w: box.width, h: box.height },
             pixels: { w: canvas.width, h: canvas.height }, ratio: devicePixelRatio };
  });
}

// Fullscreen on (or off) after action, and the picture 4:3, centred, as large
// as the window allows and drawn at the size shown.
async function expectFullscreen(page, on, how, action) {
  await action();
  let last = null;
  const state = await waitFor(`fullscreen ${on ? 'on' : 'off'} after ${how}`, async () => {
    const state = last = await screenState(page);
    const { box, pixels } = state;
    // Whole pixels: 3/4 of the width may round down by one.
    const fits = Math.abs(box.w * 3 - box.h * 4) <= 4 && (box.w === state.width || state.height - box.h <= 1) &&
                 Math.abs(box.x - (state.width - box.w) / 2) <= 1 && Math.abs(box.y - (state.height - box.h) / 2) <= 1;
    const sharp = Math.abs(pixels.w - box.w * state.ratio) <= 2 && Math.abs(pixels.h - box.h * state.ratio) <= 2;
    return state.full === on && fits && sharp ? state : null;
  }, 10).catch((error) => fail(`${error.message}; last seen ${JSON.stringify(last)}`));
  if (on && (state.width !== state.screenWidth || state.height !== state.screenHeight)) {
    fail(`fullscreen after ${how} does not cover the screen: ${JSON.stringify(state)}`);
  }
  return state;
}

// Every stored replay as the "Replays" list offers it: clicked, downloaded by
// the browser into folder. Returns [{ name, bytes }].
async function downloadReplays(page, folder) {
  mkdirSync(folder, { recursive: true });
  const session = await page.createCDPSession();
  await session.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: folder });
  await page.click('#replays-link');
  const names = await page.$$eval('#replays a', (links) => links.map((a) => a.download));
  if (names.length === 0) fail('the Replays list offers no replay after a saved round');
  await page.screenshot({ path: join(shots, '6-replays.png') });
  for (const name of names) {
    await page.click(`#replays a[download="${name}"]`);
  }
  await waitFor('the downloads', () => names.every((name) => existsSync(join(folder, name))) &&
                readdirSync(folder).every((file) => !file.endsWith('.crdownload')), 10);
  await page.click('#replays-link');  // closes the list
  await session.detach();
  return names.map((name) => ({ name, bytes: readFileSync(join(folder, name)) }));
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

// Opens the page and starts the game through the "click to play" layer, with
// a click, or a tap on a touch screen.
async function openGame(page, tap = false) {
  await page.goto(url, { waitUntil: 'load' });
  // Counts the page's write-outs of the game files to IndexedDB.
  await page.evaluate(() => {
    window.vantorWriteOuts = 0;
    Module.onFilesSaved = () => ++window.vantorWriteOuts;
  });
  await waitFor('the "Click to play" layer',
                () => page.evaluate(() => document.getElementById('layer').textContent === 'Click to play'), 60);
  if (tap) {
    await page.tap('#layer');
  } else {
    await page.click('#layer');
  }
  await waitFor('the game to start', () => page.evaluate(() => document.getElementById('layer').hidden), 10);
}

try {
  const page = await browser.newPage();
  // A touch screen besides the mouse, as on a tablet.
  const touch = await page.createCDPSession();
  await touch.send('Emulation.setTouchEmulationEnabled', { enabled: true, maxTouchPoints: 5 });
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  page.on('console', (message) => { if (message.type() === 'error') errors.push(message.text()); });

  await openGame(page);
  await sleep(500);
  await page.screenshot({ path: join(shots, '1-splash.png') });
  await sleep(2500);  // the splash lasts 1.5 s and fades
  await page.screenshot({ path: join(shots, '2-menu.png') });

  const before = await storedScores(page);
  await tapAt(page, 512, 315);  // New Game, the middle of its line, tapped
  await sleep(1500);
  for (const [x, y] of [[300, 250], [512, 200], [700, 300]]) {
    await clickAt(page, x, y);
    await sleep(700);
  }
  for (const [x, y] of [[450, 400], [600, 150], [350, 300]]) {
    await tapAt(page, x, y);
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

  // A second tab while this one is open plays but saves nothing, and says
  // so: writing its copy of the folder out would replace this tab's rounds.
  const second = await browser.newPage();
  await second.goto(url, { waitUntil: 'load' });
  await waitFor('the second tab\'s line', () => second.evaluate(() => {
    const notice = document.getElementById('notice');
    return !notice.hidden && notice.textContent.includes('open in another tab');
  }), 60);
  if (!(await page.evaluate(() => Module.savesFiles())) || (await second.evaluate(() => Module.savesFiles()))) {
    fail('the first tab should save and the second not');
  }
  await second.waitForFunction(() => typeof FS !== 'undefined' && FS.readdir('/vantor').includes('Scores.vtr'), { timeout: 60000 });
  await second.evaluate(() => FS.writeFile('/vantor/Scores.vtr', '0\n'));
  await sleep(1500);
  if ((await storedScores(page)) !== after) fail('the second tab wrote over the first tab\'s scores');
  await second.close();

  // Fullscreen, the page's: from its button, then F11 and Alt+Enter.
  await expectFullscreen(page, true, 'the button', () => page.click('#fullscreen'));
  await sleep(300);
  await page.screenshot({ path: join(shots, '5-fullscreen.png') });
  await expectFullscreen(page, false, 'F11', () => page.keyboard.press('F11'));
  await expectFullscreen(page, true, 'Alt+Enter', async () => {
    await page.keyboard.down('Alt');
    await page.keyboard.press('Enter');
    await page.keyboard.up('Alt');
  });
  await expectFullscreen(page, false, 'leaving it', () => page.evaluate(() => document.exitFullscreen()));

  // The round's replay, downloaded from the page as IndexedDB holds it; the
  // native build finds the browser's round as recorded.
  const downloads = await downloadReplays(page, join(shots, 'downloads'));
  for (const { name, bytes } of downloads) {
    const stored = await storedFile(page, `/vantor/Replays/${name}`);
    if (stored === null || !stored.equals(bytes)) {
      fail(`${name} downloaded (${bytes.length} bytes) is not IndexedDB's copy (${stored && stored.length} bytes)`);
    }
  }
  const replay = downloads[downloads.length - 1];
  const replayPath = join(shots, 'downloads', replay.name);
  const verified = nativeVerify(replayPath);
  if (verified.status !== 0) fail(`the native build does not verify the browser's round: ${verified.line}`);

  // Files the game cannot take: refused in the reader's own line, the same
  // the native build prints; the game goes on and plays a good one after.
  let seed = 12345;
  const random = Buffer.from(Array.from({ length: 600 }, () => (seed = (seed * 1103515245 + 12345) >>> 0) >>> 24));
  const bad = [
    { name: 'truncated.vtreplay', bytes: replay.bytes.subarray(0, Math.floor(replay.bytes.length / 2)), how: 'dropped' },
    { name: 'random.vtreplay', bytes: random, how: 'chosen' },
  ];
  for (const file of bad) {
    const path = join(shots, file.name);
    writeFileSync(path, file.bytes);
    const expected = nativeVerify(path);
    if (expected.status !== 2 || expected.line.includes('\n')) fail(`native --verify of ${file.name}: ${expected.status} ${expected.line}`);
    const shown = await noticeAfter(page, `the refusal of ${file.name}`, async () => {
      if (file.how === 'dropped') {
        await dropFile(page, file.name, file.bytes);
      } else {
        await (await page.$('#replay-file')).uploadFile(path);
      }
    });
    if (shown !== `${file.name}: ${expected.line}`) fail(`${file.name} ${file.how}: the page says\n${shown}\nnative --verify says\n${expected.line}`);
    console.log(`${file.name} ${file.how}: refused with ${expected.line}`);
  }
  await page.screenshot({ path: join(shots, '7-refused.png') });
  if (await page.evaluate(() => Module.watching())) fail('a refused file is playing');

  await dropFile(page, replay.name, replay.bytes);
  await waitFor('the dropped replay to play', () => page.evaluate(() => Module.watching()), 5);
  const watching = await page.evaluate(() => document.getElementById('notice').textContent);
  if (watching !== `Watching ${replay.name} (Escape leaves it)`) fail(`the page says while the replay plays: ${watching}`);
  await sleep(1500);
  const watched = await canvasShot(page);
  await page.screenshot({ path: join(shots, '8-watching.png') });
  await sleep(1000);
  if (watched.equals(await canvasShot(page))) fail('the dropped replay does not move in the canvas');
  // Escape leaves the playback, and the next file plays as the first did.
  for (let again = 0; again < 2; ++again) {
    if (again) {
      await dropFile(page, replay.name, replay.bytes);
      await waitFor('the replay dropped again to play', () => page.evaluate(() => Module.watching()), 5);
    }
    await page.keyboard.press('Escape');
    await waitFor('the playback to end on Escape', () => page.evaluate(() =>
      !Module.watching() && document.getElementById('notice').hidden), 5);
  }

  // Started again with a tap, as on a phone.
  await page.reload({ waitUntil: 'load' });
  await openGame(page, true);
  await sleep(500);
  const reloaded = await storedScores(page);
  await sleep(3000);
  await page.screenshot({ path: join(shots, '9-after-reload.png') });
  if (reloaded !== after) fail(`Scores.vtr changed across a reload:\n${after}\n---\n${reloaded}`);
  const lines = after.trim().split('\n');
  if (!(Number(lines[0]) >= 1) || lines.length !== Number(lines[0]) + 1) fail(`Scores.vtr is not a table:\n${after}`);

  // A replay dropped during a round: the round waits, set aside, and goes on
  // once the playback is left.
  await tapAt(page, 512, 315);  // New Game
  await sleep(1500);
  await dropFile(page, replay.name, replay.bytes);
  await waitFor('the replay dropped during a round to play', () => page.evaluate(() => Module.watching()), 5);
  await sleep(500);
  await page.keyboard.press('Escape');
  await waitFor('the playback to end on Escape', async () => !(await page.evaluate(() => Module.watching())), 5);
  await sleep(500);
  const resumed = await canvasShot(page);
  await sleep(1000);
  await page.screenshot({ path: join(shots, '9-round-after-watching.png') });
  if (resumed.equals(await canvasShot(page))) fail('the round stood still after the replay dropped into it');
  if (errors.length > 0) fail(`the page reported errors:\n${errors.join('\n')}`);
  console.log(`played a round in Chromium (${await browser.version()}); Scores.vtr kept across a reload:`);
  console.log(after.trim());

  // The round's replay, as stored beside the table, kept with the screenshots:
  // the newest one, named "<time>-<score>.vtreplay", names an entry of the
  // table (its download verified natively above).
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
  console.log(`its replay ${replay.name} downloads as stored and verifies natively: ${verified.line}`);

  // The packed Content missing (a server that hides it): the page says so
  // instead of showing a blank canvas.
  const bare = await browser.newPage();
  await bare.setRequestInterception(true);
  bare.on('request', (request) => {
    if (new URL(request.url()).pathname.endsWith('/vantor.data')) {
      request.respond({ status: 404, contentType: 'text/plain', body: 'Not Found' });
    } else {
      request.continue();
    }
  });
  await bare.goto(url, { waitUntil: 'load' });
  const said = await waitFor('the message for the missing Content', () => bare.evaluate(() => {
    const message = document.getElementById('message');
    return !message.hidden && document.getElementById('layer').hidden ? message.textContent : null;
  }), 30);
  await bare.screenshot({ path: join(shots, '10-missing-content.png') });
  if (!/could not be loaded/.test(said)) fail(`the page's message for the missing Content: ${said}`);
  console.log(`with Content answered 404 the page says: ${said}`);
} finally {
  await chromium.close();
}
