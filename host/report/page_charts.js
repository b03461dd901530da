// The run report's charts of the trace: the timeline's events, the quantities over time, the
// main-circuit mode, each needle beside what it shows, and the other panel and sound elements.

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
function drawTimeline(page) {
  const { run, times, main, fullMin, fullMax, LEFT_AXIS } = page;
  const { RIGHT_AXIS, card, makeChart, leftAxis, blankRightAxis, dpr } = page;
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
  const draw = (u) =>
    inPlot(u, (ctx, { left, top, width, height }) => {
      const laneH = height / lanes;
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
    });
  makeChart('timeline', c.body, 36 + 20 * lanes, [{ label: 'event', scale: 'y', show: false }], [times, times.map(() => null)], {
    legend: false,
    scales: { y: { auto: false, range: [0, 1] } },
    axes: [leftAxis('', { values: () => [], ticks: { show: false }, grid: { show: false } }), blankRightAxis()],
    draw: [draw],
  });
}

function drawTraceCharts(page) {
  const { run, times, S, B, main, card, makeChart } = page;
  const { timeSeries, leftAxis, rightAxis, blankRightAxis, hasData, hasEarlier, earlier } = page;
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
}

// The other panel and sound elements, value by value.
function drawElements(page) {
  const { run, times, main, fullMax, card, makeChart, leftAxis, blankRightAxis, dpr } = page;
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
  const draw = (u) =>
    inPlot(u, (ctx, { left, top, width, height }) => {
      const rowH = height / rows;
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
    });
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
}
