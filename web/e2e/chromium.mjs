// What the browser checks share: Debian's Chromium started headless on a
// throwaway profile (never a downloaded browser), and small waiting helpers.
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import puppeteer from 'puppeteer-core';

export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

export function fail(text) {
  throw new Error(text);
}

// Calls test every 250 ms until it returns something true (returned), for
// at most the given seconds.
export async function waitFor(what, test, seconds) {
  for (let i = 0; i < seconds * 4; ++i) {
    const value = await test();
    if (value) return value;
    await sleep(250);
  }
  fail(`timed out waiting for ${what}`);
}

// Starts the system Chromium (CHROMIUM overrides its path) with software
// WebGL and nothing reaching the network; viewport as puppeteer takes it
// (null: the window's own size), args added to the common ones. close()
// ends it and removes its profile.
export async function launchChromium({ viewport, args = [] }) {
  const profile = mkdtempSync(join(tmpdir(), 'vantor-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    userDataDir: profile,
    defaultViewport: viewport,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
           ...args],
  });
  return {
    browser,
    async close() {
      await browser.close();
      rmSync(profile, { recursive: true, force: true });
    },
  };
}
