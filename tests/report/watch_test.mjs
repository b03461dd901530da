// cabhost watch in headless Chromium: a saved table reruns and the open page reloads at its zoom; a
// configuration error takes the report's place with its file and line, and the report comes back
// (still at that zoom) once the file is mended; the server hands out nothing but the run's files.
//
//   node watch_test.mjs URL VEHICLE_DIR
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

const [url, vehicle] = process.argv.slice(2);
const base = new URL(url);
const failures = [];
const fail = (what) => failures.push(what);
const table = path.join(vehicle, 'plugin', 'notch', 'PowerCurrent.csv');
const original = fs.readFileSync(table, 'utf8');
// The table's first row of numbers: a bad value there is the error the page must point at.
const badLine = original.split('\n').findIndex((l) => l.startsWith('0,')) + 1;

// A request exactly as written (a browser would tidy the path first): its status.
const status = (p) =>
  new Promise((done) => http.get({ host: base.hostname, port: base.port, path: p }, (r) => (r.resume(), done(r.statusCode))));

const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'cabhost-watch-chromium-'));
const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  headless: true,
  userDataDir: profile,
  args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking', '--disable-sync'],
});
try {
  const page = await browser.newPage();
  page.on('pageerror', (e) => fail('script error: ' + e.message));
  const zoomKept = async (when) => {
    await page.waitForFunction(() => window.cabhostReport, { timeout: 20000 });
    const ok = await page
      .waitForFunction(() => { const v = window.cabhostReport.view(); return v.min === 3 && v.max === 7; }, { timeout: 5000 })
      .then(() => true, () => false);
    if (!ok) fail('the zoom was not kept ' + when + ': ' + JSON.stringify(await page.evaluate(() => window.cabhostReport.view())));
  };
  const saving = async (text) => {
    const reload = page.waitForNavigation({ timeout: 20000 });
    fs.writeFileSync(table, text);
    await reload;
  };

  await page.goto(url, { waitUntil: 'load' });
  await page.waitForFunction(() => window.cabhostReport, { timeout: 10000 });
  await page.evaluate(() => window.cabhostReport.setView(3, 7));

  await saving(original + '\n');
  await zoomKept('over a rerun');

  await saving(original.replace(/^0,/m, '0,abc'));
  const shown = await page.$eval('#run-error', (e) => e.textContent).catch(() => '');
  if (!shown.includes('PowerCurrent.csv" line ' + badLine + ':')) fail('the page does not show the error with its file and line: ' + shown);

  await saving(original);
  await zoomKept('over a failed run');

  if ((await status('/summary.txt')) !== 200) fail('a file of the run is not served');
  for (const p of ['/../report.html', '/%2e%2e/report.html', '/..%2Fout/report.html', '/.cabhost-copies',
                   '/a%5c..%5creport.html', '/C:/Windows/win.ini', '//etc/passwd']) {
    const code = await status(p);
    if (code !== 404) fail(p + ' answered ' + code);
  }
} finally {
  await browser.close();
  fs.rmSync(profile, { recursive: true, force: true });
}
for (const f of failures) console.log('FAIL: ' + f);
process.exit(failures.length ? 1 : 0);
