// Loads a run report in headless Chromium and checks what an author sees: no console error, no
// request off the machine, every chart drawn, the heat map's rows, one zoom for all charts, and a
// cursor that follows the recording both ways (seeking the audio moves it; a click seeks the audio).
//
//   node browser_test.mjs REPORT [--levels] [--audio] [--compare] [--screenshot FILE]
//
// --levels: the run is Corvane linked in, so the heat map must have the 41 layers and 3 air sounds;
// otherwise the page must say why it has none. --audio: the run has a recording. --compare: the run
// was compared with an earlier one (a faster departure): its lines, its table and the layers that
// sound differently must show. Expectations in the run's data must show as a table and as marks.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import puppeteer from 'puppeteer-core';

const args = process.argv.slice(2);
const report = path.resolve(args[0]);
const expectLevels = args.includes('--levels');
const expectAudio = args.includes('--audio');
const expectCompare = args.includes('--compare');
const shotAt = args.indexOf('--screenshot');
const screenshot = shotAt >= 0 ? path.resolve(args[shotAt + 1]) : null;

const failures = [];
const fail = (what) => failures.push(what);

const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'cabhost-report-chromium-'));
const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  headless: true,
  userDataDir: profile,
  args: [
    '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
    '--disable-component-update', '--disable-sync', '--autoplay-policy=no-user-gesture-required',
  ],
});

try {
  const page = await browser.newPage();
  await page.setViewport({ width: 1400, height: 1000, deviceScaleFactor: 1 });
  page.on('console', (m) => {
    if (m.type() === 'error') fail('console error: ' + m.text());
  });
  page.on('pageerror', (e) => fail('script error: ' + e.message));
  page.on('request', (r) => {
    if (!/^(file|data|blob):/.test(r.url())) fail('the page requested ' + r.url());
  });
  page.on('requestfailed', (r) => {
    // A media element drops its first request once it knows the file's length; that is no fault.
    const why = r.failure()?.errorText || '';
    if (!(r.resourceType() === 'media' && why === 'net::ERR_ABORTED')) fail('a request failed: ' + r.url() + ' ' + why);
  });

  await page.goto(pathToFileURL(report).href, { waitUntil: 'load' });
  await page.waitForFunction(() => window.cabhostReport, { timeout: 10000 });

  // Every chart holds data and shows it: its plot area has more than a couple of colours.
  const charts = await page.evaluate(() =>
    window.cabhostReport.charts.map(({ name, u }) => {
      const { left, top, width, height } = u.bbox;
      const pixels = u.ctx.getImageData(left, top, Math.max(1, width), Math.max(1, height)).data;
      const colours = new Set();
      let warm = 0, sampled = 0;
      for (let i = 0; i < pixels.length; i += 4 * 7) {
        if (colours.size < 50) colours.add((pixels[i] << 16) | (pixels[i + 1] << 8) | pixels[i + 2]);
        // The heat map's colours run from yellow to dark red.
        if (pixels[i + 3] > 0 && pixels[i] > pixels[i + 2] + 60) ++warm;
        ++sampled;
      }
      const values = u.data.slice(1).some((s) => s.some((v) => v != null && Number.isFinite(v)));
      return { name, points: u.data[0].length, values, colours: colours.size, warm: warm / sampled, width, height };
    }),
  );
  for (const c of charts) {
    if (c.points === 0 || c.width < 100 || c.height < 50) fail('chart ' + c.name + ' is empty or collapsed');
    const drawnOnly = ['timeline', 'soundLayers', 'elements', 'layerDifference'].includes(c.name);
    if (!drawnOnly && !c.values) fail('chart ' + c.name + ' has no values');
    if (c.colours < 3) fail('chart ' + c.name + ' draws nothing (' + c.colours + ' colours)');
    if (c.name === 'soundLayers' && c.warm < 0.02) fail('the heat map shows no sounding layer');
  }
  // The charts that the run's data calls for.
  const wanted = await page.evaluate(() => {
    const data = JSON.parse(document.getElementById('run-data').textContent);
    const names = ['speed', 'current', 'notches', 'pressures'];
    if (data.events.length) names.push('timeline');
    if (data.elements.length) names.push('elements');
    if (data.series.pulseMode) names.push('mode', 'voltageRatio', 'lineVoltage');
    for (const g of data.gauges) names.push('panel' + g.panel);
    return names;
  });
  for (const name of wanted) {
    if (!charts.some((c) => c.name === name)) fail('no ' + name + ' chart');
  }

  const heat = await page.evaluate(() => {
    const r = window.cabhostReport;
    const chart = r.charts.find((c) => c.name === 'soundLayers');
    const data = JSON.parse(document.getElementById('run-data').textContent);
    return {
      chart: !!chart,
      rows: data.levels ? data.levels.rows : [],
      columns: data.levels ? data.levels.volume.map((row) => row.length) : [],
      loud: data.levels ? data.levels.volume.slice(0, 41).filter((row) => row.some((v) => v > 0.05)).length : 0,
      text: document.body.innerText,
    };
  });
  if (expectLevels) {
    const layers = heat.rows.filter((name) => /^\d+$/.test(name));
    if (!heat.chart) fail('no heat map of the sound layers');
    if (layers.length !== 41 || layers.join() !== [...Array(41).keys()].join()) {
      fail('the heat map has ' + layers.length + ' layer rows, not 41');
    }
    if (heat.rows.slice(41).join() !== 'bc,sap,sapHigh') fail('the heat map lacks the three air sounds: ' + heat.rows.slice(41));
    if (new Set(heat.columns).size !== 1) fail('the heat map rows differ in length');
    if (heat.loud < 5) fail('only ' + heat.loud + ' layers ever sound in the heat map');
  } else {
    if (heat.chart) fail('a heat map in a run without sound levels');
    if (!/No sound layers in this run: .{20,}/.test(heat.text)) fail('the page does not say why it has no sound layers');
  }

  // The earlier run beside this one, and the scenario's expectations.
  const extra = await page.evaluate(() => {
    const data = JSON.parse(document.getElementById('run-data').textContent);
    const chart = (name) => window.cabhostReport.charts.find((c) => c.name === name);
    const labels = (name) => (chart(name) ? chart(name).u.series.map((s) => s.label) : []);
    const speed = chart('speed');
    const earlierSpeed = speed ? speed.u.series.findIndex((s) => s.label === 'earlier: speed') : -1;
    const rows = [...document.querySelectorAll('#comparison tr')].map((r) => [...r.cells].map((c) => c.textContent));
    return {
      expectations: data.expectations.length,
      expectationRows: document.querySelectorAll('#expectations tr.met, #expectations tr.unmet').length,
      speedLabels: labels('speed'),
      modeLabels: labels('mode'),
      earlierSpeed: earlierSpeed > 0 ? speed.u.data[earlierSpeed].filter((v) => v != null).length : 0,
      sixty: rows.find((r) => r[0] === 'time to 60 km/h'),
      layerChanges: document.querySelectorAll('ul.layer-changes li').length,
      difference: !!chart('layerDifference'),
      gaugeEarlier: labels('panel26').includes('earlier: panel 26'),
    };
  });
  if (extra.expectations && extra.expectationRows !== extra.expectations) fail('the expectations table has ' + extra.expectationRows + ' of ' + extra.expectations + ' rows');
  if (expectCompare) {
    if (!(extra.earlierSpeed > 100)) fail('the speed chart does not draw the earlier run: ' + extra.speedLabels);
    if (!extra.modeLabels.includes('earlier: pulseMode')) fail('the mode chart does not draw the earlier run');
    if (!extra.gaugeEarlier) fail('the ammeter chart does not draw the earlier run');
    // The tuned run reaches 60 km/h sooner: the table says by how much.
    if (!extra.sixty || !/^−\d+\.\d\d s \(−\d+ %\)$/.test(extra.sixty[3])) fail('the table does not show the change of the time to 60 km/h: ' + extra.sixty);
    if (!extra.difference || extra.layerChanges < 1) fail('the layers that sound differently are not shown');
  } else if (extra.speedLabels.some((l) => l.startsWith('earlier'))) {
    fail('an earlier run drawn in a run without one');
  }

  // One zoom: a drag across the speed chart narrows every chart to the same range.
  const over = await page.$('.uplot .u-over');
  const box = await (await page.evaluateHandle(() => {
    const over = window.cabhostReport.charts.find((c) => c.name === 'speed').u.over;
    over.scrollIntoView({ block: 'center' });
    return over;
  })).boundingBox();
  await page.mouse.move(box.x + box.width * 0.3, box.y + box.height / 2);
  await page.mouse.down();
  await page.mouse.move(box.x + box.width * 0.6, box.y + box.height / 2, { steps: 5 });
  await page.mouse.up();
  const ranges = await page.evaluate(() => window.cabhostReport.charts.map(({ u }) => [u.scales.x.min, u.scales.x.max]));
  const [min0, max0] = ranges[0];
  if (!(max0 - min0 > 0) || ranges.some(([a, b]) => Math.abs(a - min0) > 1e-6 || Math.abs(b - max0) > 1e-6)) {
    fail('the charts did not zoom together: ' + JSON.stringify(ranges.slice(0, 4)));
  }
  const full = await page.evaluate(() => {
    const { u } = window.cabhostReport.charts[0];
    u.over.dispatchEvent(new MouseEvent('dblclick', { bubbles: true }));
    return window.cabhostReport.view();
  });
  if (!(full.max - full.min > max0 - min0)) fail('a double-click did not show the whole run again');
  void over;

  // The cursor of every chart, in CSS pixels from its plot's left edge, and where it should be.
  const cursorsAt = (time) =>
    page.evaluate((t) => window.cabhostReport.charts.map(({ name, u }) => {
      const head = u.root.querySelector('.playhead');
      return { name, shown: head.style.display === 'block', left: parseFloat(head.style.left), want: u.valToPos(t, 'x') };
    }), time);
  const checkCursors = async (time, how) => {
    for (const c of await cursorsAt(time)) {
      if (!c.shown || !(Math.abs(c.left - c.want) < 1.5)) fail(how + ': the cursor of chart ' + c.name + ' is not at ' + time.toFixed(2) + ' s');
    }
  };

  if (expectAudio) {
    const ready = await page.waitForFunction(() => {
      const a = document.getElementById('player');
      return a && a.readyState >= 1 && Number.isFinite(a.duration);
    }, { timeout: 10000 }).then(() => true, () => false);
    if (!ready) {
      fail('the recording beside the report did not load');
    } else {
      // Seeking the audio moves the cursor on every chart.
      const audioStart = await page.evaluate(() => JSON.parse(document.getElementById('run-data').textContent).audio.startS);
      await page.evaluate(() => new Promise((done) => {
        const a = document.getElementById('player');
        a.addEventListener('seeked', () => done(), { once: true });
        a.currentTime = 20;
      }));
      await checkCursors(20 + audioStart, 'after seeking the audio to 20 s');
      // A click on a chart seeks the audio there.
      const clickAt = await page.evaluate(() => {
        const { u } = window.cabhostReport.charts.find((c) => c.name === 'current');
        // A click lands only inside the window: the chart is brought into view first.
        u.over.scrollIntoView({ block: 'center' });
        const r = u.over.getBoundingClientRect();
        return { x: r.left + u.valToPos(31.5, 'x'), y: r.top + r.height / 2 };
      });
      await page.mouse.click(clickAt.x, clickAt.y);
      const heard = await page.evaluate(() => new Promise((done) => {
        const a = document.getElementById('player');
        if (!a.seeking) done(a.currentTime);
        else a.addEventListener('seeked', () => done(a.currentTime), { once: true });
      }));
      if (Math.abs(heard + audioStart - 31.5) > 0.1) fail('a click at 31.5 s seeked the audio to ' + (heard + audioStart).toFixed(2) + ' s');
      await checkCursors(heard + audioStart, 'after a click on a chart');
    }
  } else {
    if (await page.$('#player')) fail('an audio player in a run without a recording');
    await page.evaluate(() => window.cabhostReport.seek(12));
    await checkCursors(12, 'after a seek');
  }

  // The heat map's read-out, as an author hovering over the loudest layer at the cursor sees it.
  const readout = await page.evaluate(() => {
    const c = window.cabhostReport.charts.find((x) => x.name === 'soundLayers');
    if (!c) return null;
    const { u } = c;
    const levels = JSON.parse(document.getElementById('run-data').textContent).levels;
    const t = window.cabhostReport.position();
    const k = Math.floor((t - levels.startS) / levels.cellS);
    let row = 0;
    levels.volume.forEach((v, r) => {
      if (v[k] > (levels.volume[row][k] ?? -1)) row = r;
    });
    const rows = levels.rows.length;
    u.setCursor({ left: u.valToPos(t, 'x'), top: (u.bbox.height / (window.devicePixelRatio || 1)) * ((row + 0.5) / rows) });
    return document.getElementById('heat-readout').textContent;
  });
  if (expectLevels && !/^layer \d+ at [\d.]+ s: volume -?\d+\.\d{3}, pitch \d+\.\d{3}/.test(readout || '')) {
    fail('hovering over the heat map does not show a layer\'s volume and pitch: ' + readout);
  }

  if (screenshot) {
    fs.mkdirSync(path.dirname(screenshot), { recursive: true });
    await page.screenshot({ path: screenshot, fullPage: true });
  }
} catch (e) {
  fail('the test itself failed: ' + (e.stack || e));
} finally {
  await browser.close();
  fs.rmSync(profile, { recursive: true, force: true });
}

if (failures.length) {
  for (const f of failures) console.log('FAIL: ' + f);
  process.exit(1);
}
console.log('report ok: ' + report + (screenshot ? '; screenshot ' + screenshot : ''));
