// One thin adapter per browser engine, so that a test written once runs in
// all three: Chromium through playwright-core, Firefox ESR through
// puppeteer-core (WebDriver BiDi), WebKit through WebKitWebDriver driving
// MiniBrowser (selenium-webdriver; MiniBrowser needs a display: run under
// xvfb-run). Each uses the browser Debian installs; none downloads one.
//
// An adapter: open(url) (and waits until the page is ready), choose(path)
// (and waits for the run's end; given several paths, for the collection's
// end), evaluate(fn, ...args) in the page,
// focus(selector), press(key), close(); and download(selector), the bytes
// behind a link, where the driver can read them (Chromium only), else null.
import { spawn } from 'node:child_process';
import { existsSync } from 'node:fs';
import { createServer } from 'node:net';
import { launchBrowser } from './harness.mjs';

const isReady = () => document.body.dataset.state === 'ready';
const isFinished = () => ['done', 'error'].includes(document.body.dataset.state);
const isCollected = () => document.body.dataset.collection === 'finished';
const untilOf = (paths) => (Array.isArray(paths) ? isCollected : isFinished);
// What the page said of the image or collection before is forgotten first.
const forget = () => {
  document.body.dataset.state = 'working';
  delete document.body.dataset.collection;
};

async function chromium() {
  const browser = await launchBrowser();
  const page = await browser.newPage({ acceptDownloads: true, locale: 'en-US' });
  return {
    async open(url) { await page.goto(url); await page.waitForFunction(isReady); },
    async choose(path) { await page.setInputFiles('#image', path); await page.waitForFunction(untilOf(path)); },
    evaluate: (fn, ...args) => page.evaluate(fn, ...args),
    focus: (selector) => page.focus(selector),
    press: (key) => page.keyboard.press(key),
    async download(selector) {
      const { readFileSync } = await import('node:fs');
      const [file] = await Promise.all([page.waitForEvent('download'), page.click(selector)]);
      return readFileSync(await file.path());
    },
    close: () => browser.close(),
  };
}

const FirefoxPath = '/usr/bin/firefox-esr';

async function firefox() {
  const { default: puppeteer } = await import('puppeteer-core');
  const browser = await puppeteer.launch({ browser: 'firefox', executablePath: FirefoxPath, headless: true,
    extraPrefsFirefox: { 'intl.accept_languages': 'en-US' } });
  const page = await browser.newPage();
  return {
    async open(url) { await page.goto(url); await page.waitForFunction(isReady, { timeout: 30000 }); },
    async choose(path) {
      await page.evaluate(forget);
      await (await page.$('#image')).uploadFile(...[path].flat());
      await page.waitForFunction(untilOf(path), { timeout: 60000 });
    },
    evaluate: (fn, ...args) => page.evaluate(fn, ...args),
    focus: (selector) => page.focus(selector),
    press: (key) => page.keyboard.press(key),
    download: async () => null,  // puppeteer's BiDi side gives no download's bytes
    close: () => browser.close(),
  };
}

const MiniBrowserPath = '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser';

// A free port on the loopback interface for WebKitWebDriver.
const freePort = () => new Promise((done) => {
  const server = createServer();
  server.listen(0, '127.0.0.1', () => {
    const { port } = server.address();
    server.close(() => done(port));
  });
});

async function webkit() {
  const { Builder, By, Key } = await import('selenium-webdriver');
  const port = await freePort();
  const driverProcess = spawn('WebKitWebDriver', [`--port=${port}`], { stdio: 'ignore' });
  const capabilities = { browserName: 'MiniBrowser',
    'webkitgtk:browserOptions': { binary: MiniBrowserPath, args: ['--automation'] } };
  let driver;
  for (let attempt = 0; !driver; ++attempt) {
    try {
      driver = await new Builder().usingServer(`http://127.0.0.1:${port}`).withCapabilities(capabilities).build();
    } catch (error) {
      if (attempt === 50) { driverProcess.kill(); throw error; }
      await new Promise((done) => setTimeout(done, 100));
    }
  }
  const until = (condition, timeout) => driver.wait(() => driver.executeScript(condition), timeout);
  const keys = { ArrowDown: Key.ARROW_DOWN, ArrowUp: Key.ARROW_UP, ArrowLeft: Key.ARROW_LEFT,
    ArrowRight: Key.ARROW_RIGHT, Enter: Key.ENTER, Tab: Key.TAB, Home: Key.HOME, End: Key.END };
  return {
    async open(url) { await driver.get(url); await until(isReady, 30000); },
    async choose(path) {
      await driver.executeScript(forget);
      await driver.findElement(By.id('image')).sendKeys([path].flat().join('\n'));
      await until(untilOf(path), 60000);
    },
    evaluate: (fn, ...args) => driver.executeScript(fn, ...args),
    focus: (selector) => driver.executeScript((chosen) => document.querySelector(chosen).focus(), selector),
    press: (key) => driver.actions().sendKeys(keys[key] || key).perform(),
    download: async () => null,  // WebDriver classic gives no download's bytes
    async close() {
      try { await driver.quit(); } finally { driverProcess.kill(); }
    },
  };
}

// The engines, each with what it needs installed (and, for WebKit, a
// display), and whether that is there.
export const Engines = [
  { name: 'chromium', start: chromium, available: () => existsSync(process.env.CHROMIUM || '/usr/bin/chromium') },
  { name: 'firefox', start: firefox, available: () => existsSync(FirefoxPath) },
  { name: 'webkit', start: webkit, available: () => existsSync(MiniBrowserPath) && Boolean(process.env.DISPLAY) },
];
