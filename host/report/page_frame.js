// The run report's frame: the bar with the player, the page's one time axis and zoom, the cursor
// of the recording on every chart, and the chart machinery that every part of the page draws with.
// createPage holds the page's state; the parts (page_tables.js, page_charts.js, page_sound.js) draw
// through what it returns.

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
const clamp = (v, lo, hi) => Math.min(hi, Math.max(lo, v));

// Draws fn(ctx, box) on a chart's canvas, clipped to its plot area.
function inPlot(u, fn) {
  const ctx = u.ctx;
  const box = u.bbox;
  ctx.save();
  ctx.beginPath();
  ctx.rect(box.left, box.top, box.width, box.height);
  ctx.clip();
  fn(ctx, box);
  ctx.restore();
}

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

function createPage(run) {
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

  const hasData = (key) => Array.isArray(S[key]) && S[key].some((v) => v != null);
  // The earlier run that --compare named: its series lie on this run's time axis.
  const before = run.compare;
  const B = before ? before.series : {};
  const hasEarlier = (key) => Array.isArray(B[key]) && B[key].some((v) => v != null);
  // The earlier run's line beside this run's: the same colour, faded and dotted.
  const earlier = (def) => ({ ...def, label: 'earlier: ' + def.label, color: def.color + '80', dash: [2, 3], width: 1.3, show: def.show });
  // What the scenario expects of the run; each is marked on the charts (green met, red not).
  const expectations = run.expectations || [];

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
    inPlot(u, (ctx, { top, height }) => {
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
    });
  }

  function drawExpectations(u) {
    if (!expectations.length) return;
    inPlot(u, (ctx, { top, height }) => {
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
    });
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

  // Once every part is drawn: the keys, the resizing, and the page's handle for scripts.
  function finish() {
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
  }

  return {
    run, times, S, B, before, expectations, main, charts, fullMin, fullMax, LEFT_AXIS, RIGHT_AXIS, dpr,
    hasData, hasEarlier, earlier, card, makeChart, timeSeries, leftAxis, rightAxis, blankRightAxis, seek, setView, finish,
  };
}
