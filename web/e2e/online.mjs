// Today's challenge played online in the browser build, as a new player at a
// world table's site would: opens the page the server serves at /play/,
// turns online play on from the page's "World table" panel under a name,
// starts the game, plays today's challenge (D) with a few shots until its
// minute is up, and waits for the server's table to rank the round. Then W
// on the results page shows the world table in the game and 1 watches its
// first line, fetched from the server. Last, a reload keeps online play on
// with the key the game made on its first send, and "Stop playing online"
// turns it off.
//
//   node online.mjs SERVER SHOTS_FOLDER   (SERVER: a vantor-server started
//                                         with --web, as scripts/web e2e does)
import { join } from 'node:path';
import { fail, launchChromium, sleep, waitFor } from './chromium.mjs';

const [server, shots] = process.argv.slice(2);
if (!server || !shots) {
  console.error('usage: node online.mjs SERVER SHOTS_FOLDER');
  process.exit(2);
}
const name = 'carol';

const chromium = await launchChromium({ viewport: { width: 1024, height: 768 }, args: ['--autoplay-policy=no-user-gesture-required'] });

async function clickAt(page, x, y) {
  const box = await (await page.$('#canvas')).boundingBox();
  await page.mouse.click(box.x + x * box.width / 1024, box.y + y * box.height / 768);
}

// The server's table of today, as its API gives it.
async function table() {
  const day = new Date().toISOString().slice(0, 10);
  const response = await fetch(`${server}/api/v1/table?date=${day}&limit=10`);
  if (!response.ok) fail(`the table answered ${response.status}`);
  return (await response.json()).rounds;
}

// Online.vtr as the page's IndexedDB holds it ("" when there is none).
async function onlineFile(page) {
  return page.evaluate(() => new Promise((resolve, reject) => {
    const open = indexedDB.open('/vantor');
    open.onerror = () => reject(new Error('cannot open the game files database'));
    open.onsuccess = () => {
      const db = open.result;
      const names = Array.from(db.objectStoreNames);
      if (names.length === 0) return resolve('');
      const get = db.transaction(names[0], 'readonly').objectStore(names[0]).get('/vantor/Online.vtr');
      get.onsuccess = () => resolve(get.result && get.result.contents ? new TextDecoder().decode(get.result.contents) : '');
      get.onerror = () => reject(new Error('cannot read Online.vtr'));
    };
  }));
}

async function openPage(page) {
  await page.goto(`${server}/play/`, { waitUntil: 'load' });
  await waitFor('the "Click to play" layer',
                () => page.evaluate(() => document.getElementById('layer').textContent === 'Click to play'), 60);
  await waitFor('the "World table" button', () => page.evaluate(() => !document.getElementById('world').hidden), 10);
}

try {
  const page = await chromium.browser.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));

  await openPage(page);
  if ((await table()).length !== 0) fail('the table is not empty before the round');
  // Online play on, before the game starts.
  await page.click('#world');
  await page.type('#online-name', ' bad:name');
  await page.click('#online-form button');
  const refused = await page.$eval('#online-why', (line) => line.textContent);
  if (!refused.startsWith('a name is 1 to 32')) fail(`a name with a colon was not refused: "${refused}"`);
  await page.$eval('#online-name', (input) => { input.value = ''; });
  await page.type('#online-name', name);
  await page.click('#online-form button');
  await waitFor('online play on', () => page.$eval('#world', (b) => b.textContent === 'Online: carol'), 5);
  if (!(await onlineFile(page)).includes('Name carol')) {
    await sleep(1000);  // the write-out to IndexedDB follows the frame that wrote the file
    if (!(await onlineFile(page)).includes('Name carol')) fail('Online.vtr was not kept');
  }

  await page.click('#layer');
  await waitFor('the game to start', () => page.evaluate(() => document.getElementById('layer').hidden), 10);
  await sleep(3000);  // the splash
  await page.keyboard.press('KeyD');
  await sleep(1500);
  for (const [x, y] of [[300, 250], [512, 200], [700, 300], [450, 400], [600, 150], [350, 300]]) {
    await clickAt(page, x, y);
    await sleep(600);
  }
  await page.screenshot({ path: join(shots, 'online-1-round.png') });
  // The minute of the round, then its sending and the server's playing it.
  const ranked = await waitFor('the round in the server\'s table', async () => {
    const lines = await table();
    return lines.find((line) => line.name === name);
  }, 120);
  if (ranked.rank !== 1) fail(`carol's round is ranked ${ranked.rank}`);
  await sleep(1500);  // the answer reaches the results page
  await page.screenshot({ path: join(shots, 'online-2-results.png') });

  // The world table in the game, and its first line watched.
  await page.keyboard.press('KeyW');
  await sleep(2000);
  await page.screenshot({ path: join(shots, 'online-3-world.png') });
  await page.keyboard.press('Digit1');
  await waitFor('the world line\'s round to play', () => page.evaluate(() => Module.watching()), 15);
  await sleep(2000);
  await page.screenshot({ path: join(shots, 'online-4-watching.png') });
  await page.keyboard.press('Escape');

  // The key made on the first send was kept, and online play stays on.
  await waitFor('the key in Online.vtr', async () => /^Key [0-9a-f]{32}$/m.test(await onlineFile(page)), 10);
  await openPage(page);
  const button = await page.$eval('#world', (b) => b.textContent);
  if (button !== 'Online: carol') fail(`after a reload the page says "${button}"`);
  await page.click('#world');
  await page.click('#online-stop');
  await waitFor('online play off', () => page.$eval('#world', (b) => b.textContent === 'World table'), 5);
  await waitFor('Online.vtr removed', async () => (await onlineFile(page)) === '', 10);
  if (errors.length > 0) fail(`the page reported errors: ${errors.join('; ')}`);
  console.log(`online in the browser: ${name}'s round ranked ${ranked.rank} with ${ranked.score}, watched from the ` +
              `world table; the key kept; online play turned off again`);
} finally {
  await chromium.close();
}
