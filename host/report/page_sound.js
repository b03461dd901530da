// The run report's sound: the layers as a heat map, and how they differ from an earlier run.


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

// A chart of the sound rows (layers 0 to 40 from the top, then the air sounds) over even time cells:
// each cell in the colour colourOf(row, cell) gives it, the rows named on the left. over(ctx, box)
// draws on top; readRow(row, cell) is the read-out's text for the cell under the pointer.
function layerGrid(page, name, parent, rowHeight, grid, colourOf, over, readRow) {
  const { makeChart, leftAxis, blankRightAxis, dpr } = page;
  const { names, startS, cellS, cols } = grid;
  const rows = names.length;
  const image = document.createElement('canvas');
  image.width = Math.max(1, cols);
  image.height = Math.max(1, rows);
  const ictx = image.getContext('2d');
  const pixels = ictx.createImageData(image.width, image.height);
  for (let r = 0; r < rows; r++) {
    for (let k = 0; k < cols; k++) pixels.data.set([...colourOf(r, k), 255], 4 * (r * cols + k));
  }
  ictx.putImageData(pixels, 0, 0);
  const draw = (u) =>
    inPlot(u, (ctx, box) => {
      const x0 = u.valToPos(startS, 'x', true);
      const x1 = u.valToPos(startS + cols * cellS, 'x', true);
      ctx.imageSmoothingEnabled = false;
      ctx.drawImage(image, 0, 0, cols, rows, x0, box.top, x1 - x0, box.height);
      if (over) over(ctx, box);
    });
  const readout = el('div', { class: 'heat-readout', id: grid.readoutId, text: grid.hint });
  const onCursor = (u) => {
    const { left, top } = u.cursor;
    if (left == null || left < 0 || top == null || top < 0) return;
    const r = Math.floor((top / (u.bbox.height / dpr())) * rows);
    const t = u.posToVal(left, 'x');
    const k = Math.floor((t - startS) / cellS);
    if (r < 0 || r >= rows || k < 0 || k >= cols) return;
    readout.textContent = (r < 41 ? 'layer ' + names[r] : names[r]) + ' at ' + t.toFixed(2) + ' s: ' + readRow(r, k);
  };
  // Row r's centre sits at rows − r − 0.5.
  const labelled = [0, 5, 10, 15, 20, 25, 30, 35, 40, 41, 42, 43].filter((r) => r < rows);
  const xs = [];
  for (let k = 0; k < cols; k++) xs.push(startS + k * cellS);
  makeChart(name, parent, rows * rowHeight + 40, [{ label: name, scale: 'y', show: false }], [xs, xs.map(() => null)], {
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
  parent.append(readout);
}

// The 41 motor-noise layers and the three air sounds, volume over time.
function drawHeatMap(page) {
  const { run, main, card, dpr } = page;
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
  const separators = (ctx, { left, top, width, height }) => {
    // Lines between the motor-noise layers and the air sounds, and every fifth layer.
    ctx.strokeStyle = 'rgba(255, 255, 255, 0.9)';
    ctx.lineWidth = dpr();
    ctx.beginPath();
    for (let r = 5; r < rows && r < 41; r += 5) {
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
  };
  const grid = { names: L.rows, startS: L.startS, cellS: L.cellS, cols: L.volume[0].length, readoutId: 'heat-readout', hint: 'Hover over a row for its volume and pitch.' };
  layerGrid(page, 'soundLayers', c.body, 11, grid, (r, k) => colour(L.volume[r][k]), separators, (r, k) => {
    const v = L.volume[r][k];
    return v == null ? 'not sounding' : 'volume ' + v.toFixed(3) + ', pitch ' + L.ratio[r][k].toFixed(3) + ' × recorded (frequency ratio)';
  });
}

// Which layers sound differently from the earlier run: red where this run is louder, blue where
// it is quieter, by how much.
function drawLayerDifference(page) {
  const { run, before, main, card } = page;
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
  const alike = (d) => Math.abs(d) < 0.05;
  const colourOf = (r, k) => {
    const d = clamp(D.difference[r][k] || 0, -1, 1);
    const a = alike(d) ? 0 : Math.abs(d);
    return (d > 0 ? [255, 255 - 200 * a, 255 - 210 * a] : [255 - 210 * a, 255 - 150 * a, 255]).map(Math.round);
  };
  const cols = D.difference.length ? D.difference[0].length : 0;
  const grid = { names, startS: D.startS, cellS: D.cellS, cols, readoutId: 'difference-readout', hint: 'Hover over a row for the difference.' };
  layerGrid(page, 'layerDifference', c.body, 8, grid, colourOf, null, (r, k) => {
    const d = D.difference[r][k];
    return alike(d) ? 'as in the earlier run' : (d > 0 ? 'louder' : 'quieter') + ' by ' + Math.abs(d).toFixed(2);
  });
}
