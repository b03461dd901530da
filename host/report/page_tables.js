// The run report's tables: the summary and the timeline's events, the comparison with an earlier
// run, and the scenario's expectations.

function drawSummary(page) {
  const { run, main, seek } = page;
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
}

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
function drawComparisonTable(page) {
  const { before, main } = page;
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
}

// What the scenario expects of the run, met or not.
function drawExpectationTable(page) {
  const { expectations, main, seek } = page;
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
}
