// The run report's script: reads the run's data from the page and draws it with uPlot. Every chart
// shares one time axis and one zoom; the recording's position is a cursor on every chart, and a
// click on a chart moves the recording there.
(function () {
  'use strict';

  const run = JSON.parse(document.getElementById('run-data').textContent);
  const times = run.t;
  const S = run.series;
  const dpr = () => uPlot.pxRatio || 1;
  const LEFT_AXIS = 70;
  const RIGHT_AXIS = 70;
  const charts = []; // {name, u}
  let position = null; // the cursor, in seconds of the run
  let syncing = false;

  const fullMin = Math.min(0, times.length ? times[0] : 0);
  const fullMax = Math.max(fullMin + 0.001, times.length ? times[times.length - 1] : 1);
  const view = { min: fullMin, max: fullMax };

  // ---- Small helpers ----------------------------------------------------------------------------

  function el(tag, attrs, ...children) {
    const e = document.createElement(tag);
    for (const [k, v] of Object.entries(attrs || {})) {
      if (k === 'class') e.className = v;
      else if (k === 'text') e.textContent = v;
      else e.setAttribute(k, v);
    }
    for (const c of children) if (c != null) e.append(c);
    return e;
  }
  const trim = (v) => String(+v.toFixed(6));
  const fixed = (d, unit) => (u, v) => (v == null ? '–' : v.toFixed(d) + (unit ? ' ' + unit : ''));
  const hasData = (key) => Array.isArray(S[key]) && S[key].some((v) => v != null);
  // The earlier run that --compare named: its series lie on this run's time axis.
  const before = run.compare;
  const B = before ? before.series : {};
  const hasEarlier = (key) => Array.isArray(B[key]) && B[key].some((v) => v != null);
  // The earlier run's line beside this run's: the same colour, faded and dotted.
  const earlier = (def) => ({ ...def, label: 'earlier: ' + def.label, color: def.color + '80', dash: [2, 3], width: 1.3, show: def.show });
  const clamp = (v, lo, hi) => Math.min(hi, Math.max(lo, v));

  // ---- Page frame: the bar with the player, the summary --------------------------------------------

  const bar = el('header', { id: 'bar' });
  bar.append(el('div', {}, el('h1', { text: run.title || 'cabhost run' }), el('div', { class: 'sub', text: 'cabhost run report' })));
  let player = null;
  const audioStart = run.audio ? run.audio.startS : 0;
  if (run.audio) {
    player = el('audio', { id: 'player', controls: '', preload: 'auto', src: run.audio.file });
    bar.append(player);
  } else {
    const note = run.audioNote || 'no recording in this run';
    bar.append(el('div', { class: 'note', text: note.charAt(0).toUpperCase() + note.slice(1) }));
  }
  const readout = el('div', { class: 'position', id: 'position', text: 'cursor: –' });
  const resetButton = el('button', { type: 'button', text: 'Show the whole run' });
  resetButton.addEventListener('click', () => setView(fullMin, fullMax));
  bar.append(readout, resetButton);
  bar.append(el('div', { class: 'hint', text: player ? 'Drag across a chart to zoom · double-click to zoom out · click to move the recording there · space plays and pauses' : 'Drag across a chart to zoom · double-click to zoom out · click to place the cursor' }));
  document.body.append(bar);

  const main = el('main');
  document.body.append(main);

  const summary = el('section', { class: 'card', id: 'summary' });
  summary.append(el('div', {}, el('h2', { text: 'Summary' }), el('pre', { text: run.summary })));
  const eventsBox = el('div', {}, el('h2', { text: 'Events' }));
  if (run.events.length) {
    const table = el('table');
    for (const e of run.events) {
      const row = el('tr', { class: 'event', title: 'move the recording here' }, el('td', { class: 'time', text: e.t.toFixed(2) + ' s' }), el('td', { text: e.text }));
      row.addEventListener('click', () => seek(e.t));
      table.append(row);
    }
    eventsBox.append(table);
  } else {
    eventsBox.append(el('p', { class: 'missing', text: 'No timeline event fired.' }));
  }
  summary.append(eventsBox);
  main.append(summary);

  const numberText = (v, f) => (v == null ? '–' : v.toFixed(f.decimals) + (f.unit ? ' ' + f.unit : ''));
  function changeText(f) {
    if (f.before == null || f.after == null) return f.after == null ? 'only the earlier run' : 'only this run';
    if (f.before.toFixed(f.decimals) === f.after.toFixed(f.decimals)) return 'same';
    const d = +f.after.toFixed(f.decimals) - +f.before.toFixed(f.decimals);
    const sign = d > 0 ? '+' : '−';
    const percent = Math.abs(f.before) > 1e-9 ? (100 * Math.abs(d)) / Math.abs(f.before) : 0;
    return sign + Math.abs(d).toFixed(f.decimals) + (f.unit ? ' ' + f.unit : '') + (percent >= 0.5 ? ' (' + sign + percent.toFixed(0) + ' %)' : '');
  }

  // This run against the earlier one, figure by figure.
  (function comparisonTable() {
    if (!before) return;
    const c = el('section', { class: 'card', id: 'comparison' });
    c.append(el('h2', { text: 'Compared with ' + before.label }));
    c.append(el('p', { class: 'explain', text: 'On every chart the earlier run is drawn in the same colour, faded and dotted, named "earlier: …" in the legend.' }));
    for (const note of before.notes) c.append(el('p', { class: 'note', text: note.charAt(0).toUpperCase() + note.slice(1) + '.' }));
    const table = el('table', { class: 'figures' });
    table.append(el('tr', {}, el('th', { text: 'figure' }), el('th', { text: 'before' }), el('th', { text: 'after' }), el('th', { text: 'change' })));
    for (const f of before.figures) {
      const change = changeText(f);
      table.append(el('tr', { class: change === 'same' ? 'same' : 'changed' }, el('td', { text: f.name }), el('td', { class: 'number', text: numberText(f.before, f) }), el('td', { class: 'number', text: numberText(f.after, f) }), el('td', { class: 'number', text: change })));
    }
    c.append(table);
    main.append(c);
  })();

  // What the scenario expects of the run; each is marked on the charts (green met, red not).
  const expectations = run.expectations || [];
  (function expectationTable() {
    if (!expectations.length) return;
    const met = expectations.filter((e) => e.met).length;
    const c = el('section', { class: 'card', id: 'expectations' });
    c.append(el('h2', { text: 'Expectations: ' + met + ' of ' + expectations.length + ' met' }));
    const table = el('table', { class: 'figures' });
    table.append(el('tr', {}, el('th', { text: '' }), el('th', { text: 'line' }), el('th', { text: 'expected' }), el('th', { text: 'happened' })));
    for (const e of expectations) {
      const row = el('tr', { class: e.met ? 'met' : 'unmet' }, el('td', { text: e.met ? 'met' : 'NOT MET' }), el('td', { text: String(e.line) }), el('td', { text: (e.label ? e.label + ': ' : '') + e.expected }), el('td', { text: e.happened }));
      const at = e.t != null ? e.t : e.from;
      if (at != null) {
        row.title = 'move the recording here';
        row.addEventListener('click', () => seek(at));
      }
      table.append(row);
    }
    c.append(table);
    main.append(c);
  })();

  function card(parent, title, unit, explain) {
    const c = el('section', { class: 'card' });
    const h = el('h2', {}, title);
    if (unit) h.append(' ', el('span', { class: 'unit', text: unit }));
    c.append(h);
    if (explain) c.append(el('p', { class: 'explain', text: explain }));
    const body = el('div', { class: 'chart' });
    c.append(body);
    parent.append(c);
    return { card: c, heading: h, body };
  }

  // ---- Charts -------------------------------------------------------------------------------------

  const axisStyle = {
    stroke: '#4d5666',
    font: '12px system-ui, sans-serif',
    labelFont: '12px system-ui, sans-serif',
    grid: { stroke: '#eceff3', width: 1 },
    ticks: { stroke: '#d0d5dd', width: 1, size: 4 },
  };
  const xAxis = () => ({ ...axisStyle, size: 28, values: (u, splits) => splits.map((v) => (v == null ? '' : trim(v) + ' s')) });
  // Every left axis has a label (maybe empty) and one size, so every plot starts at the same x.
  const leftAxis = (label, extra) => ({ ...axisStyle, scale: 'y', size: LEFT_AXIS, label: label || '', labelSize: 18, ...(extra || {}) });
  const rightAxis = (scale, label, extra) => ({ ...axisStyle, scale, side: 1, size: RIGHT_AXIS, label, labelSize: 18, grid: { show: false }, ...(extra || {}) });
  // Charts without a second scale keep the same margin, so every time axis lines up.
  const blankRightAxis = () => ({ scale: 'y', side: 1, size: RIGHT_AXIS, grid: { show: false }, ticks: { show: false }, values: () => [] });

  function timeSeries(opts) {
    return {
      label: opts.label,
      stroke: opts.color,
      width: opts.width || 1.6,
      dash: opts.dash,
      scale: opts.scale || 'y',
      show: opts.show !== false,
      spanGaps: false,
      paths: opts.stepped ? uPlot.paths.stepped({ align: 1 }) : undefined,
      value: opts.value || fixed(opts.digits == null ? 1 : opts.digits, opts.unit),
      points: { show: false },
    };
  }

  function drawEvents(u) {
    if (!run.events.length) return;
    const ctx = u.ctx;
    const { left, top, width, height } = u.bbox;
    ctx.save();
    ctx.beginPath();
    ctx.rect(left, top, width, height);
    ctx.clip();
    ctx.strokeStyle = 'rgba(70, 80, 100, 0.5)';
    ctx.lineWidth = dpr();
    ctx.setLineDash([4 * dpr(), 4 * dpr()]);
    ctx.beginPath();
    for (const e of run.events) {
      const x = Math.round(u.valToPos(e.t, 'x', true)) + 0.5;
      ctx.moveTo(x, top);
      ctx.lineTo(x, top + height);
    }
    ctx.stroke();
    ctx.restore();
  }

  function drawExpectations(u) {
    if (!expectations.length) return;
    const ctx = u.ctx;
    const { left, top, width, height } = u.bbox;
    ctx.save();
    ctx.beginPath();
    ctx.rect(left, top, width, height);
    ctx.clip();
    for (const e of expectations) {
      const colour = e.met ? '46, 158, 68' : '208, 52, 44';
      if (e.t != null) {
        const x = Math.round(u.valToPos(e.t, 'x', true)) + 0.5;
        ctx.strokeStyle = 'rgba(' + colour + ', 0.8)';
        ctx.lineWidth = 2 * dpr();
        ctx.beginPath();
        ctx.moveTo(x, top);
        ctx.lineTo(x, top + height);
        ctx.stroke();
      } else if (e.from != null && e.to != null) {
        const x0 = u.valToPos(e.from, 'x', true);
        const x1 = u.valToPos(e.to, 'x', true);
        // A window: its two edges, and a light wash between them.
        ctx.fillStyle = 'rgba(' + colour + ', 0.05)';
        ctx.fillRect(x0, top, Math.max(dpr(), x1 - x0), height);
        ctx.fillStyle = 'rgba(' + colour + ', 0.6)';
        ctx.fillRect(x0, top, dpr(), height);
        ctx.fillRect(x1 - dpr(), top, dpr(), height);
      }
    }
    ctx.restore();
  }

  function placePlayhead(u) {
    const head = u.root.querySelector('.playhead');
    if (!head) return;
    if (position == null || position < u.scales.x.min || position > u.scales.x.max) {
      head.style.display = 'none';
      return;
    }
    head.style.left = u.valToPos(position, 'x') + 'px';
    head.style.display = 'block';
  }

  // The cursor of the recording on this chart, and a click that seeks there.
  function playheadPlugin() {
    return {
      hooks: {
        init: (u) => {
          u.over.append(el('div', { class: 'playhead' }));
          let downX = null;
          u.over.addEventListener('mousedown', (e) => {
            downX = e.clientX;
          });
          u.over.addEventListener('click', (e) => {
            if (downX != null && Math.abs(e.clientX - downX) > 3) return; // that was a zoom
            const r = u.over.getBoundingClientRect();
            seek(u.posToVal(e.clientX - r.left, 'x'));
          });
        },
        setScale: [(u, key) => key === 'x' && placePlayhead(u)],
        setSize: [(u) => placePlayhead(u)],
      },
    };
  }

  function makeChart(name, parent, height, series, data, opts) {
    const o = opts || {};
    const u = new uPlot(
      {
        width: Math.max(300, parent.clientWidth),
        height,
        cursor: {
          sync: { key: 'run' },
          drag: { x: true, y: false, setScale: true },
          points: { size: 7 },
          // Double-click shows the whole run on every chart, not this chart's data range.
          bind: { dblclick: () => () => (setView(fullMin, fullMax), null) },
        },
        scales: { x: { time: false, auto: false, min: view.min, max: view.max }, ...(o.scales || {}) },
        axes: [xAxis(), ...(o.axes || [leftAxis(o.yLabel), blankRightAxis()])],
        series: [{ label: 'time', value: fixed(2, 's') }, ...series],
        legend: { show: o.legend !== false, live: true },
        hooks: {
          setScale: [
            (self, key) => {
              if (key === 'x' && !syncing) followZoom(self);
            },
          ],
          draw: [...(o.draw || []), drawEvents, drawExpectations],
          setCursor: o.setCursor ? [o.setCursor] : [],
        },
        plugins: [playheadPlugin()],
      },
      data,
      parent,
    );
    u.setScale('x', { min: view.min, max: view.max });
    charts.push({ name, u });
    return u;
  }

  function followZoom(src) {
    setView(src.scales.x.min, src.scales.x.max, src);
  }

  function setView(min, max, src) {
    if (!(max > min)) return;
    view.min = min;
    view.max = max;
    syncing = true;
    for (const { u } of charts) if (u !== src) u.setScale('x', { min, max });
    syncing = false;
    for (const { u } of charts) placePlayhead(u);
  }

  function setPosition(p) {
    position = p;
    readout.textContent = p == null ? 'cursor: –' : 'cursor: ' + p.toFixed(2) + ' s';
    for (const { u } of charts) placePlayhead(u);
  }

  function seek(time) {
    if (!Number.isFinite(time)) return;
    const p = clamp(time, fullMin, fullMax);
    setPosition(p);
    if (player) {
      const d = Number.isFinite(player.duration) ? player.duration : Infinity;
      player.currentTime = clamp(p - audioStart, 0, d);
    }
  }

  if (player) {
    const follow = () => setPosition(player.currentTime + audioStart);
    player.addEventListener('seeked', follow);
    player.addEventListener('timeupdate', follow);
    const tick = () => {
      if (player.paused) return;
      follow();
      // A zoomed view turns the page when the cursor runs off it.
      const w = view.max - view.min;
      if (w < fullMax - fullMin && (position > view.max || position < view.min)) {
        const min = clamp(position - 0.02 * w, fullMin, fullMax - w);
        setView(min, min + w);
      }
      requestAnimationFrame(tick);
    };
    player.addEventListener('play', () => requestAnimationFrame(tick));
    player.addEventListener('error', () => {
      player.replaceWith(el('div', { class: 'note', text: run.audio.file + ' could not be played: keep it in the folder beside report.html' }));
      player = null;
    });
  }

  // Labels of the timeline's events in lanes: each goes right of its mark (left of it where it would
  // run off the right edge) into the first lane where it overlaps nothing. xs and widths in one unit.
  function placeLabels(xs, widths, right, lanes) {
    const ends = [];
    return xs.map((x, i) => {
      const w = widths[i];
      const leftward = x + w > right && x - w > 0;
      const from = leftward ? x - w : x;
      let lane = ends.findIndex((end) => end < from);
      if (lane < 0 && ends.length < lanes) lane = ends.push(-Infinity) - 1;
      if (lane < 0) lane = ends.indexOf(Math.min(...ends));
      ends[lane] = from + w;
      return { lane, leftward };
    });
  }

  // The timeline: a mark and a label for every fired event.
  function timelineChart() {
    if (!run.events.length) return;
    const c = card(main, 'Timeline events', '', '');
    // Enough lanes that the labels of the whole run do not overlap (within reason).
    const measure = document.createElement('canvas').getContext('2d');
    measure.font = '12px system-ui, sans-serif';
    const plotWidth = Math.max(300, main.clientWidth - 2 * 14 - LEFT_AXIS - 18 - RIGHT_AXIS);
    const placed = placeLabels(
      run.events.map((e) => ((e.t - fullMin) / (fullMax - fullMin)) * plotWidth),
      run.events.map((e) => measure.measureText(e.text).width + 14),
      plotWidth,
      8,
    );
    const lanes = Math.max(1, ...placed.map((p) => p.lane + 1));
    const draw = (u) => {
      const ctx = u.ctx;
      const { left, top, width, height } = u.bbox;
      const laneH = height / lanes;
      ctx.save();
      ctx.beginPath();
      ctx.rect(left, top, width, height);
      ctx.clip();
      ctx.font = 12 * dpr() + 'px system-ui, sans-serif';
      ctx.textBaseline = 'middle';
      const xs = run.events.map((e) => u.valToPos(e.t, 'x', true) - left);
      const spots = placeLabels(xs, run.events.map((e) => ctx.measureText(e.text).width + 14 * dpr()), width, lanes);
      run.events.forEach((e, i) => {
        const x = xs[i] + left;
        const { lane, leftward } = spots[i];
        const y = top + laneH * (lane + 0.5);
        ctx.fillStyle = '#26303f';
        ctx.beginPath();
        ctx.moveTo(x, y - 5 * dpr());
        ctx.lineTo(x + 5 * dpr(), y);
        ctx.lineTo(x, y + 5 * dpr());
        ctx.closePath();
        ctx.fill();
        ctx.fillStyle = '#1d2430';
        ctx.textAlign = leftward ? 'right' : 'left';
        ctx.fillText(e.text, leftward ? x - 3 * dpr() : x + 7 * dpr(), y);
      });
      ctx.restore();
    };
    makeChart('timeline', c.body, 36 + 20 * lanes, [{ label: 'event', scale: 'y', show: false }], [times, times.map(() => null)], {
      legend: false,
      scales: { y: { auto: false, range: [0, 1] } },
      axes: [leftAxis('', { values: () => [], ticks: { show: false }, grid: { show: false } }), blankRightAxis()],
      draw: [draw],
    });
  }

  function lineChart(name, title, unit, explain, defs, opts) {
    const present = defs.filter((d) => hasData(d.key));
    const c = card(main, title, unit, explain);
    if (!present.length) {
      c.body.append(el('p', { class: 'missing', text: (opts && opts.missing) || 'Nothing to show in this run.' }));
      return null;
    }
    const then = present.filter((d) => hasEarlier(d.key));
    const series = [...present.map(timeSeries), ...then.map((d) => timeSeries(earlier(d)))];
    const data = [times, ...present.map((d) => S[d.key]), ...then.map((d) => B[d.key])];
    return makeChart(name, c.body, (opts && opts.height) || 220, series, data, opts);
  }

  const corvaneOnly = 'Only Corvane linked in (a run without --plugin) shows its main circuit.';

  timelineChart();
  lineChart('speed', 'Speed', 'km/h', '', [
    { key: 'speed', label: 'speed', color: '#1f6fb4', digits: 2, unit: 'km/h', width: 2 },
    { key: 'motorSpeed', label: 'motor speed', color: '#8e5cc2', digits: 2, unit: 'km/h', dash: [6, 4] },
  ]);
  lineChart('current', 'Current', 'A', hasData('motorCurrent') ? 'The host\u2019s current and Corvane\u2019s motor current.' : 'The host\u2019s current. ' + corvaneOnly, [
    { key: 'current', label: 'host current', color: '#1f6fb4', digits: 0, unit: 'A' },
    { key: 'motorCurrent', label: 'motor current', color: '#d0342c', digits: 0, unit: 'A' },
  ]);
  lineChart('notches', 'Notches', '', 'What the driver set (dashed) and what the plug-in returned to the host (solid).', [
    { key: 'driverPower', label: 'driver power', color: '#2e9e44', digits: 0, dash: [6, 4], stepped: true },
    { key: 'outPower', label: 'returned power', color: '#1b6e2d', digits: 0, stepped: true, width: 2 },
    { key: 'driverBrake', label: 'driver brake', color: '#e07b39', digits: 0, dash: [6, 4], stepped: true },
    { key: 'outBrake', label: 'returned brake', color: '#b03a1e', digits: 0, stepped: true, width: 2 },
  ], { axes: [leftAxis('notch', { incrs: [1, 2, 5, 10] }), blankRightAxis()] });

  // The main-circuit mode as named steps: power modes above "no current" (100), brake modes below;
  // by number, each ladder is in the order a rising voltage ratio passes through it.
  (function modeChart() {
    const ladder = [...run.modes].sort((a, b) => b - a);
    const c = card(main, 'Main-circuit mode', 'pulseMode', 'Power modes above 100 (no current), brake modes below, each in the order a rising voltage ratio passes through them.');
    if (!hasData('pulseMode')) {
      c.body.append(el('p', { class: 'missing', text: corvaneOnly }));
      return;
    }
    const earlierModes = hasEarlier('pulseMode') ? B.pulseMode : [];
    const seen = new Set([...S.pulseMode, ...earlierModes].filter((v) => v != null));
    const extra = [...seen].filter((v) => !ladder.includes(v)).sort((a, b) => a - b);
    const cats = [...extra, ...ladder.filter((v) => seen.has(v))];
    const index = new Map(cats.map((v, i) => [v, i]));
    const name = (v) => String(v);
    const steps = (values) => values.map((v) => (v == null ? null : index.get(v)));
    const mode = { label: 'pulseMode', color: '#5a3ea8', stepped: true, width: 2, value: (u, v) => (v == null ? '–' : name(cats[v])) };
    const series = [timeSeries(mode)];
    const data = [times, steps(S.pulseMode)];
    if (earlierModes.length) {
      series.push(timeSeries(earlier(mode)));
      data.push(steps(earlierModes));
    }
    makeChart('mode', c.body, Math.max(140, 40 + 18 * cats.length), series, data, {
      scales: { y: { auto: false, range: [-0.5, cats.length - 0.5] } },
      axes: [leftAxis('', { splits: () => cats.map((_, i) => i), values: (u, splits) => splits.map((i) => name(cats[i])) }), blankRightAxis()],
    });
  })();

  lineChart('voltageRatio', 'Voltage ratio', 'motor voltage ÷ line voltage', '', [
    { key: 'voltageRatio', label: 'voltageRatio', color: '#b5651d', digits: 4, width: 2 },
  ], { scales: { y: { auto: false, range: [0, 1.05] } }, missing: corvaneOnly, height: 180 });
  lineChart('pressures', 'Pressures', 'kPa', 'Click a name in the legend to show or hide it.', [
    { key: 'bc', label: 'brake cylinder', color: '#d0342c', digits: 1, unit: 'kPa', width: 2 },
    { key: 'sap', label: 'straight air pipe', color: '#e8912d', digits: 1, unit: 'kPa' },
    { key: 'displayedSap', label: 'displayed SAP', color: '#c05aa0', digits: 1, unit: 'kPa', dash: [6, 4] },
    { key: 'bp', label: 'brake pipe', color: '#2e9e44', digits: 1, unit: 'kPa' },
    { key: 'er', label: 'equalizing reservoir', color: '#8c6d46', digits: 1, unit: 'kPa', show: false },
    { key: 'mr', label: 'main reservoir', color: '#1f6fb4', digits: 1, unit: 'kPa' },
  ], { height: 240 });
  lineChart('lineVoltage', 'Line voltage', 'V', '', [
    { key: 'lineVoltage', label: 'lineVoltage', color: '#2b7a78', digits: 0, unit: 'V', width: 2 },
  ], { missing: corvaneOnly, height: 180 });

  // Each needle: the value the plug-in wrote into the panel beside the quantity it shows.
  (function gaugeCharts() {
    if (!run.gauges.length) return;
    const grid = el('div', { class: 'gauges' });
    main.append(grid);
    // Every card first, so the grid has its columns before a chart takes its width.
    const cards = run.gauges.map((g) => {
      const physical = g.physical && hasData(g.physical);
      return card(grid, 'Panel ' + g.panel + ' · ' + g.name, '',
        physical ? 'The needle value written into the panel (left) beside the ' + g.physicalLabel + ' (right).' : 'The needle value written into the panel.');
    });
    run.gauges.forEach((g, i) => {
      const key = 'panel' + g.panel;
      const physical = g.physical && hasData(g.physical);
      const c = cards[i];
      const needle = { key, label: 'panel ' + g.panel, color: '#26303f', digits: 0, width: 2 };
      const series = [timeSeries(needle)];
      const data = [times, S[key]];
      if (hasEarlier(key)) {
        series.push(timeSeries(earlier(needle)));
        data.push(B[key]);
      }
      const axes = [leftAxis('panel value')];
      if (physical) {
        series.push(timeSeries({ label: g.physicalLabel, color: '#e8912d', digits: 1, unit: g.unit, scale: 'phys', dash: [6, 4] }));
        data.push(g.physical === 'speedAbs' ? S.speedAbs : S[g.physical]);
        axes.push(rightAxis('phys', g.unit));
      } else {
        axes.push(blankRightAxis());
      }
      makeChart('panel' + g.panel, c.body, 170, series, data, { axes });
    });
  })();

  // ---- The sound layers as a heat map ---------------------------------------------------------------

  // Volume → colour: white through yellow and orange to deep red; a negative volume (the engine
  // plays it inverted) in blue by its size; a voice that does not sound in grey.
  const RAMP = [
    [0, [252, 252, 250]],
    [0.15, [255, 237, 160]],
    [0.4, [254, 178, 76]],
    [0.65, [240, 59, 32]],
    [1, [128, 0, 38]],
  ];
  function colour(v) {
    if (v == null) return [226, 229, 234];
    if (v < 0) {
      const a = clamp(-v, 0, 1);
      return [252 - 200 * a, 252 - 140 * a, 250 - 60 * a];
    }
    const x = clamp(v, 0, 1);
    for (let i = 1; i < RAMP.length; i++) {
      if (x <= RAMP[i][0]) {
        const [x0, c0] = RAMP[i - 1];
        const [x1, c1] = RAMP[i];
        const f = (x - x0) / (x1 - x0);
        return c0.map((c, k) => Math.round(c + (c1[k] - c) * f));
      }
    }
    return RAMP[RAMP.length - 1][1];
  }

  (function heatMap() {
    const L = run.levels;
    const c = card(main, 'Sound layers', 'volume over time',
      'The 41 motor-noise layers and the three air sounds as the software audio engine applied them; hover for the volume and the pitch (frequency ratio). ' +
      'Blue is a negative volume: some of Corvane\u2019s fade lines run below 0 at the edge of their band (layer 17 while braking electrically, for one), and the engine then plays the layer inverted, as loud as the size of the volume.');
    if (!L) {
      c.body.append(el('p', { class: 'missing', text: 'No sound layers in this run: ' + (run.levelsNote || 'none were collected') + '.' }));
      return;
    }
    const scale = el('canvas', { width: 120, height: 10 });
    const sctx = scale.getContext('2d');
    for (let i = 0; i < 120; i++) {
      sctx.fillStyle = 'rgb(' + colour(i / 119).join(',') + ')';
      sctx.fillRect(i, 0, 1, 10);
    }
    const negative = el('canvas', { width: 14, height: 10 });
    const nctx = negative.getContext('2d');
    nctx.fillStyle = 'rgb(' + colour(-0.8).join(',') + ')';
    nctx.fillRect(0, 0, 14, 10);
    c.heading.append(el('span', { class: 'scale-bar' }, 'volume 0', scale, '1', negative, 'negative'));

    const rows = L.rows.length;
    const cols = L.volume[0].length;
    const image = document.createElement('canvas');
    image.width = cols;
    image.height = rows;
    const ictx = image.getContext('2d');
    const pixels = ictx.createImageData(cols, rows);
    for (let r = 0; r < rows; r++) {
      for (let k = 0; k < cols; k++) {
        const [red, green, blue] = colour(L.volume[r][k]);
        const p = 4 * (r * cols + k);
        pixels.data[p] = red;
        pixels.data[p + 1] = green;
        pixels.data[p + 2] = blue;
        pixels.data[p + 3] = 255;
      }
    }
    ictx.putImageData(pixels, 0, 0);
    const endS = L.startS + cols * L.cellS;

    const draw = (u) => {
      const ctx = u.ctx;
      const { left, top, width, height } = u.bbox;
      const x0 = u.valToPos(L.startS, 'x', true);
      const x1 = u.valToPos(endS, 'x', true);
      ctx.save();
      ctx.beginPath();
      ctx.rect(left, top, width, height);
      ctx.clip();
      ctx.imageSmoothingEnabled = false;
      ctx.drawImage(image, 0, 0, cols, rows, x0, top, x1 - x0, height);
      // Lines between the motor-noise layers and the air sounds, and every fifth layer.
      ctx.strokeStyle = 'rgba(255, 255, 255, 0.9)';
      ctx.lineWidth = dpr();
      ctx.beginPath();
      for (let r = 5; r < rows; r += 5) {
        if (r >= 41) break;
        const y = Math.round(top + (height * r) / rows) + 0.5;
        ctx.moveTo(left, y);
        ctx.lineTo(left + width, y);
      }
      ctx.stroke();
      // The line between layer 40 and the air sounds lies wholly in the air sounds' first row, so
      // that it covers none of layer 40.
      ctx.strokeStyle = '#26303f';
      ctx.lineWidth = 2 * dpr();
      ctx.beginPath();
      const y41 = Math.round(top + (height * 41) / rows) + dpr();
      ctx.moveTo(left, y41);
      ctx.lineTo(left + width, y41);
      ctx.stroke();
      ctx.restore();
    };

    const heatReadout = el('div', { class: 'heat-readout', id: 'heat-readout', text: 'Hover over a row for its volume and pitch.' });
    const onCursor = (u) => {
      const { left, top } = u.cursor;
      if (left == null || left < 0 || top == null || top < 0) return;
      const h = u.bbox.height / dpr();
      const r = Math.floor((top / h) * rows);
      const t = u.posToVal(left, 'x');
      const k = Math.floor((t - L.startS) / L.cellS);
      if (r < 0 || r >= rows || k < 0 || k >= cols) return;
      const v = L.volume[r][k];
      const f = L.ratio[r][k];
      const who = r < 41 ? 'layer ' + L.rows[r] : L.rows[r];
      heatReadout.textContent =
        who + ' at ' + t.toFixed(2) + ' s: ' +
        (v == null ? 'not sounding' : 'volume ' + v.toFixed(3) + ', pitch ' + f.toFixed(3) + ' × recorded (frequency ratio)');
    };

    // Rows top to bottom: layers 0 to 40, then the air sounds; row r's centre sits at rows − r − 0.5.
    const labelled = [0, 5, 10, 15, 20, 25, 30, 35, 40, 41, 42, 43].filter((r) => r < rows);
    const xs = [];
    for (let k = 0; k < cols; k++) xs.push(L.startS + k * L.cellS);
    makeChart('soundLayers', c.body, rows * 11 + 40, [{ label: 'layers', scale: 'y', show: false }], [xs, xs.map(() => null)], {
      legend: false,
      scales: { y: { auto: false, range: [0, rows] } },
      axes: [
        leftAxis('layer', {
          grid: { show: false },
          font: '11px system-ui, sans-serif',
          splits: () => labelled.map((r) => rows - r - 0.5),
          values: (u, splits) => splits.map((y) => L.rows[Math.round(rows - y - 0.5)]),
        }),
        blankRightAxis(),
      ],
      draw: [draw],
      setCursor: onCursor,
    });
    c.body.append(heatReadout);
  })();

  // Which layers sound differently from the earlier run: red where this run is louder, blue where
  // it is quieter, by how much.
  (function layerDifference() {
    const D = before && before.layers;
    if (!D) return;
    const names = run.levels ? run.levels.rows : D.difference.map((_, r) => String(r));
    const who = (r) => (r < 41 ? 'layer ' + names[r] : names[r]);
    const c = card(main, 'Sound layers against the earlier run', 'this run − earlier run',
      'Red where a layer is louder in this run, blue where it is quieter; white where the two sound alike. Hover for the difference.');
    const list = D.changes.length
      ? D.changes.map((l) => who(l.row) + ' ' + (l.difference > 0 ? 'louder' : 'quieter') + ' by up to ' + Math.abs(l.difference).toFixed(2) + ' from ' + l.from.toFixed(1) + ' s to ' + l.to.toFixed(1) + ' s')
      : ['Every layer sounds as in the earlier run.'];
    const details = el('details', {}, el('summary', { text: D.changes.length ? new Set(D.changes.map((l) => l.row)).size + ' layers sound differently: when, and by how much' : list[0] }));
    if (D.changes.length) details.append(el('ul', { class: 'layer-changes' }, ...list.map((text) => el('li', { text }))));
    c.card.append(details);
    const rows = D.difference.length;
    const cols = rows ? D.difference[0].length : 0;
    const image = document.createElement('canvas');
    image.width = Math.max(1, cols);
    image.height = Math.max(1, rows);
    const ictx = image.getContext('2d');
    const pixels = ictx.createImageData(image.width, image.height);
    for (let r = 0; r < rows; r++) {
      for (let k = 0; k < cols; k++) {
        const d = clamp(D.difference[r][k] || 0, -1, 1);
        const a = Math.abs(d) < 0.05 ? 0 : Math.abs(d);
        const p = 4 * (r * cols + k);
        const rgb = d > 0 ? [255, 255 - 200 * a, 255 - 210 * a] : [255 - 210 * a, 255 - 150 * a, 255];
        pixels.data.set([...rgb.map(Math.round), 255], p);
      }
    }
    ictx.putImageData(pixels, 0, 0);
    const endS = D.startS + cols * D.cellS;
    const draw = (u) => {
      const { left, top, width, height } = u.bbox;
      const x0 = u.valToPos(D.startS, 'x', true);
      const x1 = u.valToPos(endS, 'x', true);
      u.ctx.save();
      u.ctx.beginPath();
      u.ctx.rect(left, top, width, height);
      u.ctx.clip();
      u.ctx.imageSmoothingEnabled = false;
      u.ctx.drawImage(image, 0, 0, cols, rows, x0, top, x1 - x0, height);
      u.ctx.restore();
    };
    const readout = el('div', { class: 'heat-readout', id: 'difference-readout', text: 'Hover over a row for the difference.' });
    const onCursor = (u) => {
      const { left, top } = u.cursor;
      if (left == null || left < 0 || top == null || top < 0) return;
      const r = Math.floor((top / (u.bbox.height / dpr())) * rows);
      const t = u.posToVal(left, 'x');
      const k = Math.floor((t - D.startS) / D.cellS);
      if (r < 0 || r >= rows || k < 0 || k >= cols) return;
      const d = D.difference[r][k];
      readout.textContent = who(r) + ' at ' + t.toFixed(2) + ' s: ' + (Math.abs(d) < 0.05 ? 'as in the earlier run' : (d > 0 ? 'louder' : 'quieter') + ' by ' + Math.abs(d).toFixed(2));
    };
    const labelled = [0, 5, 10, 15, 20, 25, 30, 35, 40, 41, 42, 43].filter((r) => r < rows);
    const xs = [];
    for (let k = 0; k < cols; k++) xs.push(D.startS + k * D.cellS);
    makeChart('layerDifference', c.body, rows * 8 + 40, [{ label: 'difference', scale: 'y', show: false }], [xs, xs.map(() => null)], {
      legend: false,
      scales: { y: { auto: false, range: [0, rows] } },
      axes: [
        leftAxis('layer', {
          grid: { show: false },
          font: '11px system-ui, sans-serif',
          splits: () => labelled.map((r) => rows - r - 0.5),
          values: (u, splits) => splits.map((y) => names[Math.round(rows - y - 0.5)]),
        }),
        blankRightAxis(),
      ],
      draw: [draw],
      setCursor: onCursor,
    });
    c.body.append(readout);
  })();

  // ---- The other panel and sound elements, value by value -----------------------------------------

  (function elementChart() {
    const E = run.elements;
    const steady = run.steadyElements;
    if (!E.length && !steady.length) return;
    const c = card(main, 'Panel and sound elements', '',
      'The other elements the plug-in wrote that changed during the run, one row each: a panel element coloured by its value (0 in grey), a sound by what the host does with it; hover for the value.');
    const readout = el('div', { class: 'heat-readout', id: 'element-readout', text: E.length ? 'Hover over a row for its value.' : '' });
    const keptValue = (e) => e.name + ' = ' + e.value + (e.first == null ? '' : ' (' + e.first + ' in the first frame)');
    const kept = steady.length ? el('p', { class: 'explain', text: 'Kept one value throughout: ' + steady.map(keptValue).join(', ') + '.' }) : null;
    if (!E.length) {
      c.body.append(el('p', { class: 'missing', text: 'No other element changed during the run.' }));
      if (kept) c.card.append(kept);
      return;
    }
    // One colour per value on every panel row (0 in grey); the sound rows by what the host does.
    const PALETTE = ['#4e79a7', '#f28e2b', '#59a14f', '#e15759', '#76b7b2', '#edc948', '#b07aa1', '#ff9da7', '#9c755f', '#86bcb6'];
    const SOUND = new Map([[1, ['play once', '#d9480f']], [2, ['continue', '#f4b183']], [-10000, ['stop', '#dfe4ea']], [0, ['loop', '#4e79a7']]]);
    const isSound = E.map((e) => e.name.startsWith('sound'));
    const panelValues = [...new Set(E.filter((e, r) => !isSound[r]).flatMap((e) => e.v))].filter((v) => v !== 0).sort((a, b) => a - b);
    const panelColour = new Map(panelValues.map((v, i) => [v, PALETTE[i % PALETTE.length]]));
    panelColour.set(0, '#dfe4ea');
    const colourOf = (r, v) => (isSound[r] ? (SOUND.get(v) || [null, '#8e5cc2'])[1] : panelColour.get(v));
    const meaning = (r, v) => (isSound[r] && SOUND.has(v) ? v + ' (' + SOUND.get(v)[0] + ')' : String(v));
    const light = (r, v) => v === 0 ? !isSound[r] : (isSound[r] && (v === 2 || v === -10000));
    const rows = E.length;
    const endOf = (e, i) => (i + 1 < e.t.length ? e.t[i + 1] : fullMax);
    const draw = (u) => {
      const ctx = u.ctx;
      const { left, top, width, height } = u.bbox;
      const rowH = height / rows;
      ctx.save();
      ctx.beginPath();
      ctx.rect(left, top, width, height);
      ctx.clip();
      ctx.font = 11 * dpr() + 'px system-ui, sans-serif';
      ctx.textBaseline = 'middle';
      E.forEach((e, r) => {
        const y = top + r * rowH + 2 * dpr();
        const h = rowH - 4 * dpr();
        const playedOnce = [];
        for (let i = 0; i < e.t.length; i++) {
          const start = u.valToPos(e.t[i], 'x', true);
          if (isSound[r] && e.v[i] === 1 && start >= left && start <= left + width) playedOnce.push(start);
          const x0 = Math.max(left, start);
          const x1 = Math.min(left + width, u.valToPos(endOf(e, i), 'x', true));
          if (x1 <= left || x0 >= left + width || x1 - x0 < 0.1) continue;
          ctx.fillStyle = colourOf(r, e.v[i]);
          ctx.fillRect(x0, y, Math.max(dpr(), x1 - x0 - dpr()), h);
          const label = meaning(r, e.v[i]);
          if (x1 - x0 > ctx.measureText(label).width + 8 * dpr()) {
            ctx.fillStyle = light(r, e.v[i]) ? '#3b4350' : '#ffffff';
            ctx.fillText(label, x0 + 4 * dpr(), y + h / 2);
          }
        }
        // A play-once request lasts one frame: marked over the frames around it, so that it shows
        // at any zoom, however many frames share a pixel.
        ctx.fillStyle = SOUND.get(1)[1];
        for (const x of playedOnce) ctx.fillRect(x - 1.5 * dpr(), y - 2 * dpr(), 3 * dpr(), h + 4 * dpr());
      });
      ctx.restore();
    };
    const onCursor = (u) => {
      const { left, top } = u.cursor;
      if (left == null || left < 0 || top == null || top < 0) return;
      const r = Math.floor((top / (u.bbox.height / dpr())) * rows);
      const t = u.posToVal(left, 'x');
      const e = E[r];
      if (!e || t < e.t[0]) return;
      let lo = 0;
      let hi = e.t.length - 1;
      while (lo < hi) {
        const mid = (lo + hi + 1) >> 1;
        if (e.t[mid] <= t) lo = mid;
        else hi = mid - 1;
      }
      readout.textContent = e.name + ' at ' + t.toFixed(2) + ' s: ' + meaning(r, e.v[lo]) + ', since ' + e.t[lo].toFixed(2) + ' s';
    };
    makeChart('elements', c.body, rows * 18 + 40, [{ label: 'elements', scale: 'y', show: false }], [times, times.map(() => null)], {
      legend: false,
      scales: { y: { auto: false, range: [0, rows] } },
      axes: [
        leftAxis('', {
          grid: { show: false },
          font: '11px system-ui, sans-serif',
          splits: () => E.map((_, r) => rows - r - 0.5),
          values: (u, splits) => splits.map((y) => E[Math.round(rows - y - 0.5)].name),
        }),
        blankRightAxis(),
      ],
      draw: [draw],
      setCursor: onCursor,
    });
    c.body.append(readout);
    if (kept) c.card.append(kept);
  })();

  // Space plays and pauses, as in a media player, unless a control has the keyboard.
  document.addEventListener('keydown', (e) => {
    if (!player || e.key !== ' ' || e.target !== document.body) return;
    e.preventDefault();
    if (player.paused) player.play().catch(() => {});
    else player.pause();
  });

  let resizeTimer = null;
  window.addEventListener('resize', () => {
    clearTimeout(resizeTimer);
    resizeTimer = setTimeout(() => {
      for (const { u } of charts) u.setSize({ width: Math.max(300, u.root.parentElement.clientWidth), height: u.height });
    }, 100);
  });

  // For the report's own test, and for anyone scripting the page.
  window.cabhostReport = {
    charts,
    seek,
    position: () => position,
    view: () => ({ ...view }),
    setView,
    heatRows: run.levels ? run.levels.rows.length : 0,
    compared: !!before,
  };
})();
