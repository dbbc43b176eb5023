// The page of bessel-recurrence-web: reads the controls, asks the server for the lab's
// JSON and summary, and shows them as a chart, the summary's sentences and a paged table.
// The table and the readout show every number with the characters the lab printed.
// Opened as static files (scripts/static-site), the page asks the same of the laboratory
// compiled to WebAssembly, in a worker of its own: lab.js, loaded before this file, carries it.
'use strict';

(() => {
  // The parameters, in the order of the URL and of the command line; formats is a list.
  const PARAMS = ['function', 'x', 'orders', 'formats', 'arithmetic', 'seeds'];
  const SINGLE = PARAMS.filter((name) => name !== 'formats');
  const DEFAULTS = {
    function: 'J', x: '1', orders: '10',
    formats: ['binary32', 'binary64', 'binary128'], arithmetic: 'binary128', seeds: 'rounded',
  };
  // One colour and one marker shape per format, told apart without colour too; the pictures of
  // --plot draw each format in the same colour (FormatColour, picture/gnuplot.cpp).
  const STYLE = {
    binary16: { colour: '#d55e00', shape: 'circle', glyph: '○' },
    bfloat16: { colour: '#cc79a7', shape: 'square', glyph: '□' },
    binary32: { colour: '#c48a00', shape: 'triangle', glyph: '△' },
    binary64: { colour: '#0072b2', shape: 'diamond', glyph: '◇' },
    x87: { colour: '#009e73', shape: 'cross', glyph: '×' },
    binary128: { colour: '#7b3fb0', shape: 'plus', glyph: '+' },
    binary256: { colour: '#4d4d4d', shape: 'down', glyph: '▽' },
  };
  const BACKWARD_COLOUR = '#111111';
  const BOUND_COLOUR = '#666666';
  const NO_POINTS = { show: false };  // a series drawn as a line alone
  const ROWS_PER_PAGE = 100;
  const TYPING_DELAY_MS = 300;

  const $ = (id) => document.getElementById(id);
  // A number that is not finite (null in the JSON) is shown as a dash.
  const shownText = (value) => (value === null ? '—' : value);
  const form = $('controls');

  let shown = null;        // the result on screen: {query, params, data, layout, lanes}
  let chart = null;        // the uPlot instance
  let page = 1;
  let loading = null;      // AbortController of the request in flight
  let typingTimer = 0;
  let requested = '';      // the query of the last load asked for

  // ---- Parameters, the URL and the command line ----

  // A typed text (x, orders) without the blanks around it; a list's value has none.
  function readControls() {
    const params = {};
    for (const name of SINGLE) params[name] = form.elements[name].value.trim();
    params.formats = [...form.querySelectorAll('input[name="formats"]:checked')].map((box) => box.value);
    return params;
  }

  function writeControls(params) {
    for (const name of SINGLE) form.elements[name].value = params[name];
    for (const box of form.querySelectorAll('input[name="formats"]')) {
      box.checked = params.formats.includes(box.value);
    }
  }

  function paramsFromUrl(search) {
    const query = new URLSearchParams(search);
    const params = { ...DEFAULTS };
    for (const name of SINGLE) {
      if (query.has(name)) params[name] = query.get(name);
    }
    if (query.has('formats')) params.formats = query.get('formats').split(',').filter(Boolean);
    return params;
  }

  // A parameter's value as one text: the formats' list joined with commas.
  function valueText(params, name) {
    return name === 'formats' ? params.formats.join(',') : params[name];
  }

  // The query string of the API and of the page's own URL; commas stay readable.
  function queryString(params) {
    return PARAMS.map((name) =>
      name + '=' + encodeURIComponent(valueText(params, name)).replace(/%2C/g, ',')).join('&');
  }

  function shellWord(word) {
    return /^[A-Za-z0-9_.,+=-]+$/.test(word) ? word : "'" + word.replace(/'/g, "'\\''") + "'";
  }

  function commandLine(params) {
    const words = PARAMS.flatMap((name) => ['--' + name, valueText(params, name)]);
    return ['bessel-recurrence-lab', ...words].map(shellWord).join(' ');
  }

  function showCommandAndLinks(params, query) {
    // One span per word, so that a narrow screen wraps the line between words, or after a
    // comma of the formats' list.
    $('command').replaceChildren(...commandLine(params).split(' ').flatMap((word, i) => {
      const span = document.createElement('span');
      word.split(',').forEach((part, j) => {
        if (j > 0) span.append(',', document.createElement('wbr'));
        span.append(part);
      });
      return i === 0 ? [span] : [' ', span];
    }));
    const name = ('bessel-recurrence-' + params.function + '-x' + params.x + '-M' + params.orders)
      .replace(/[^A-Za-z0-9_.+-]/g, '_');
    Object.assign($('download-csv'), { href: 'api/run.csv?' + query, download: name + '.csv' });
    Object.assign($('download-json'), { href: 'api/run?' + query, download: name + '.json' });
  }

  // ---- The laboratory: the server, or a worker in this browser ----

  // JSON.parse with every number kept as the text the lab printed: each number is quoted
  // first. Every value of JSON follows ':', ',' or '[', so the quick pattern finds them all; a
  // match inside a string would break the string, and JSON.parse with it: then strings are
  // matched whole, which is exact but slower.
  function parseKeepingNumberTexts(text) {
    try {
      return JSON.parse(text.replace(/([:,[]\s*)(-?\d[\d.eE+-]*)/g, '$1"$2"'));
    } catch (error) {
      return JSON.parse(text.replace(/"(?:[^"\\]|\\.)*"|-?\d[\d.eE+-]*/g,
        (token) => (token[0] === '"' ? token : '"' + token + '"')));
    }
  }

  class ServerError extends Error {}

  function pause(ms, signal) {
    return new Promise((resolve, reject) => {
      const timer = setTimeout(resolve, ms);
      signal.addEventListener('abort', () => {
        clearTimeout(timer);
        reject(new DOMException('aborted', 'AbortError'));
      }, { once: true });
    });
  }

  // The laboratory compiled to WebAssembly, where lab.js brought it: the source of a worker that
  // answers the API's paths ({id, path, query} -> {id, status, type, body}). One worker per
  // lane (the run, the check), so that ending one lane's run leaves the other's alone.
  const WORKER_SOURCE = typeof BESSEL_LAB_WORKER === 'string' ? BESSEL_LAB_WORKER : null;
  const lanes = {};
  let asked = 0;

  function workerLane(name) {
    if (lanes[name]) return lanes[name];
    // A blob, so that a page opened from disk (file://) can start it too.
    const source = URL.createObjectURL(new Blob([WORKER_SOURCE], { type: 'text/javascript' }));
    const lane = { worker: new Worker(source), waiting: new Map() };
    lane.worker.onmessage = ({ data }) => {
      const waiter = lane.waiting.get(data.id);
      lane.waiting.delete(data.id);
      if (waiter) waiter.resolve(data);
      if (data.ended) endLane(name, lane, new ServerError(complaintOf(data.body, 'the laboratory stopped')));
    };
    // The module failed to start, or ran out of memory: every request waiting on it fails.
    lane.worker.onerror = (event) => {
      event.preventDefault();
      endLane(name, lane, new ServerError('The laboratory stopped: ' + (event.message || 'it failed to start') +
        '. Ask for fewer orders, or run bessel-recurrence-lab.'));
    };
    lanes[name] = lane;
    return lane;
  }

  // A run cannot be stopped inside the worker: the worker itself is ended, with what it was
  // asked, and the lane's next request starts another.
  function endLane(name, lane, reason) {
    if (lanes[name] === lane) delete lanes[name];
    lane.worker.terminate();
    for (const waiter of lane.waiting.values()) waiter.reject(reason);
  }

  // {status, type, body} of one path of the API, from the lane's worker.
  function askWorker(lane, path, query, signal) {
    if (signal.aborted) return Promise.reject(new DOMException('aborted', 'AbortError'));
    const running = workerLane(lane);
    const id = ++asked;
    return new Promise((resolve, reject) => {
      running.waiting.set(id, { resolve, reject });
      signal.addEventListener('abort', () => {
        if (running.waiting.has(id)) endLane(lane, running, new DOMException('aborted', 'AbortError'));
      }, { once: true });
      running.worker.postMessage({ id, path, query });
    });
  }

  // The body of an API path ('api/run') for a query, from the worker or the server; the
  // answer's own complaint where it is refused.
  async function askLab(lane, path, query, signal) {
    if (!WORKER_SOURCE) return fetchText(path + '?' + query, signal);
    const answer = await askWorker(lane, '/' + path, query, signal);
    if (answer.status === 200) return answer.body;
    throw new ServerError(complaintOf(answer.body, `${answer.status}`));
  }

  // The complaint of a refusal's body ({"error": "..."}); `otherwise` where it has none.
  function complaintOf(body, otherwise) {
    try {
      return JSON.parse(body).error || otherwise;
    } catch (ignored) {
      return otherwise;  // not JSON
    }
  }

  // The body of a GET; a busy server (503) is asked again after its Retry-After.
  async function fetchText(url, signal) {
    for (;;) {
      const response = await fetch(url, { signal });
      if (response.status === 503) {
        const seconds = Math.max(1, parseInt(response.headers.get('Retry-After'), 10) || 1);
        setStatus(`The server is busy, retrying in ${seconds} s…`);
        await pause(seconds * 1000, signal);
        setStatus('Computing…');
        continue;
      }
      const body = await response.text();
      if (response.ok) return body;
      throw new ServerError(complaintOf(body, `${response.status} ${response.statusText}`));
    }
  }

  async function load(params) {
    const query = queryString(params);
    requested = query;
    showCommandAndLinks(params, query);
    if (loading) loading.abort();
    const controller = new AbortController();
    loading = controller;
    document.body.dataset.state = 'loading';
    $('chart').setAttribute('aria-busy', 'true');
    setStatus('Computing…');
    // A long run says how long it has taken so far, and can be stopped.
    const began = Date.now();
    const ticker = setInterval(() => {
      $('stop').hidden = false;
      // A busy server's message stays until its retry.
      if ($('status').textContent.startsWith('Computing')) {
        setStatus(`Computing… ${Math.round((Date.now() - began) / 1000)} s`);
      }
    }, 1000);
    try {
      // One after the other: the server keeps the summary of the run it has just computed.
      const json = await askLab('run', 'api/run', query, controller.signal);
      const summary = await askLab('run', 'api/summary', query, controller.signal);
      let data;
      try {
        data = parseKeepingNumberTexts(json);
      } catch (error) {
        throw new ServerError("The server's answer could not be read: " + error.message);
      }
      if (controller.signal.aborted) return;
      showMessage('message', '');
      shown = { query, params, data };
      page = 1;
      drawChart();
      showSummary(summary);
      showTable();
      setStatus(`Showing ${data.parameters.function}, x = ${data.parameters.x}, ` +
        `M = ${data.parameters.orders}, in ${data.parameters.arithmetic}.`);
      document.body.dataset.state = 'ready';
    } catch (error) {
      if (error.name === 'AbortError' || controller.signal.aborted) return;
      showMessage('message', error instanceof ServerError ? error.message
        : 'The server could not be reached: ' + error.message);
      setStatus(shown ? 'Still showing the last result that could be computed.' : '');
      document.body.dataset.state = 'error';
    } finally {
      clearInterval(ticker);
      if (loading === controller) {
        loading = null;
        $('stop').hidden = true;
        $('chart').removeAttribute('aria-busy');
      }
    }
  }

  // The run in flight abandoned (in this browser, its worker ended); the last result stays.
  function stopLoading() {
    if (!loading) return;
    loading.abort();
    requested = '';  // the same parameters may be asked for again
    setStatus(shown ? 'Stopped; still showing the last result.' : 'Stopped.');
    document.body.dataset.state = 'stopped';
  }

  // In this browser there is no server to download from: a link's bytes are asked of the
  // worker and saved from memory under the link's name.
  async function downloadFromWorker(event) {
    if (!WORKER_SOURCE) return;
    event.preventDefault();
    const link = event.currentTarget;
    const [path, query] = link.getAttribute('href').split('?');
    try {
      const body = await askLab('download', path, query, new AbortController().signal);
      const type = path.endsWith('.csv') ? 'text/csv' : 'application/json';
      const saved = Object.assign(document.createElement('a'), {
        href: URL.createObjectURL(new Blob([body], { type })), download: link.download,
      });
      saved.click();
      setTimeout(() => URL.revokeObjectURL(saved.href), 60 * 1000);
    } catch (error) {
      showMessage('message', error.message);
    }
  }

  function setStatus(text) {
    $('status').textContent = text;
  }

  // A message in the element `id`, hidden while there is none.
  function showMessage(id, text) {
    Object.assign($(id), { textContent: text, hidden: text === '' });
  }

  // ---- The chart ----

  // log10 |value| from the value's text: the lab's numbers can lie far outside a double's
  // range (1e+373344), so the exponent is added apart. null for 0 and for null.
  function log10Abs(text) {
    if (text === null) return null;
    const [mantissa, exponent] = text.split(/[eE]/);
    const size = Math.abs(Number(mantissa));
    if (!(size > 0) || !Number.isFinite(size)) return null;
    return Math.log10(size) + (exponent === undefined ? 0 : Number(exponent));
  }

  // The rounding bound depends on the arithmetic, not on the seeds: one dashed line serves
  // every format unless their bounds differ somewhere (a null is an overflowed row).
  function sharedBound(data) {
    const formats = data.parameters.formats;
    const bound = [];
    for (const row of data.rows) {
      let value = null;
      for (const format of formats) {
        const text = row.formats[format].rounding_bound;
        if (text === null) continue;
        if (value !== null && text !== value) return null;
        value = text;
      }
      bound.push(log10Abs(value));
    }
    return bound;
  }

  // uPlot's columns: m, then per format measured and predicted, then the rounding bound
  // (once, or per format), then backward. `layout` names each column for the series.
  function chartColumns(data) {
    const formats = data.parameters.formats;
    const rows = data.rows;
    const columns = [rows.map((row) => Number(row.m))];
    const layout = [{ kind: 'm' }];
    const add = (kind, format, values) => {
      columns.push(values);
      layout.push({ kind, format });
    };
    const column = (format, key) => rows.map((row) => log10Abs(row.formats[format][key]));
    for (const format of formats) {
      add('measured', format, column(format, 'measured'));
      add('predicted', format, column(format, 'predicted'));
    }
    const bound = sharedBound(data);
    if (bound) add('bound', null, bound);
    else for (const format of formats) add('bound', format, column(format, 'rounding_bound'));
    add('backward', null, rows.map((row) => log10Abs(row.backward)));
    return { columns, layout };
  }

  function backwardName(fn) {
    return 'JIj'.includes(fn) ? 'backward (Miller)' : 'backward (unstable direction)';
  }

  function chartSeries(layout, fn) {
    return layout.map(({ kind, format }) => {
      const colour = format ? STYLE[format].colour : BOUND_COLOUR;
      switch (kind) {
        case 'm': return { label: 'm' };
        case 'measured': return { label: format + ' measured', stroke: colour, paths: () => null, points: NO_POINTS };
        case 'predicted': return { label: format + ' predicted', stroke: colour, width: 2, points: NO_POINTS };
        case 'bound': return { label: (format ? format + ' ' : '') + 'rounding bound', stroke: colour, width: 2, dash: [8, 5], points: NO_POINTS };
        default: return { label: backwardName(fn), stroke: BACKWARD_COLOUR, width: 1.5, points: NO_POINTS };
      }
    });
  }

  const LANE_HEIGHT = 16;   // CSS pixels of one lane of marks along the bottom

  // The marks a row may carry, as the table writes them; those the rows carry are each drawn in a
  // lane of their own.
  const MARKS = [['near_zero', '*'], ['below_range', 'u'], ['overflowed', 'o']];

  // Whole decades, 0 always in sight, and room below the data for the lanes of marks.
  function yRange(u, min, max) {
    if (min === null || max === null) return [-20, 2];
    const low = Math.min(min, 0);
    const high = Math.max(max, 0);
    const span = Math.max(1, high - low);
    const plotHeight = Math.max(100, u.height - 90);
    const lanes = shown.lanes.length * LANE_HEIGHT + 4;
    const below = shown.lanes.length ? span * lanes / (plotHeight - lanes) : span * 0.05;
    return [Math.floor(low - Math.max(0.5, below)), Math.ceil(high + Math.max(0.5, span * 0.05))];
  }

  function tracePoint(ctx, shape, x, y, r) {
    switch (shape) {
      case 'circle': ctx.moveTo(x + r, y); ctx.arc(x, y, r, 0, 2 * Math.PI); break;
      case 'square': ctx.rect(x - r * 0.85, y - r * 0.85, r * 1.7, r * 1.7); break;
      case 'triangle': ctx.moveTo(x, y - r); ctx.lineTo(x + r, y + r * 0.8); ctx.lineTo(x - r, y + r * 0.8); ctx.closePath(); break;
      case 'down': ctx.moveTo(x, y + r); ctx.lineTo(x + r, y - r * 0.8); ctx.lineTo(x - r, y - r * 0.8); ctx.closePath(); break;
      case 'diamond': ctx.moveTo(x, y - r); ctx.lineTo(x + r, y); ctx.lineTo(x, y + r); ctx.lineTo(x - r, y); ctx.closePath(); break;
      case 'cross': ctx.moveTo(x - r, y - r); ctx.lineTo(x + r, y + r); ctx.moveTo(x + r, y - r); ctx.lineTo(x - r, y + r); break;
      default: ctx.moveTo(x - r, y); ctx.lineTo(x + r, y); ctx.moveTo(x, y - r); ctx.lineTo(x, y + r);
    }
  }

  // Text on a white halo, legible over grid and lines.
  function label(ctx, text, x, y, px) {
    ctx.save();
    ctx.setLineDash([]);
    ctx.lineWidth = 4 * px;
    ctx.strokeStyle = '#fff';
    ctx.lineJoin = 'round';
    ctx.strokeText(text, x, y);
    ctx.restore();
    ctx.fillText(text, x, y);
  }

  // What uPlot does not draw: the measured points (one hollow shape per format), the lines
  // at log10 = 0 and m = x, and the table's marks along the bottom.
  function drawOverlay(u) {
    const { data } = shown;
    const ctx = u.ctx;
    const px = uPlot.pxRatio || window.devicePixelRatio || 1;
    const { left, top, width, height } = u.bbox;
    const right = left + width;
    const bottom = top + height;
    const visible = (pos) => pos >= left - 1 && pos <= right + 1;
    ctx.save();
    ctx.beginPath();
    ctx.rect(left, top, width, height);
    ctx.clip();
    ctx.font = `${Math.round(14 * px)}px system-ui, sans-serif`;
    ctx.fillStyle = '#222';
    ctx.strokeStyle = '#555';
    ctx.lineWidth = 1.5 * px;

    ctx.textBaseline = 'alphabetic';
    ctx.textAlign = 'left';
    const y0 = u.valToPos(0, 'y', true);
    ctx.setLineDash([3 * px, 3 * px]);
    ctx.beginPath(); ctx.moveTo(left, y0); ctx.lineTo(right, y0); ctx.stroke();
    // "m = x" along the top, beside its line; "every digit lost" above its line at the left,
    // or at the right where the two would meet.
    const xPos = u.valToPos(Number(data.parameters.x_used.decimal), 'x', true);
    let taken = null;
    if (visible(xPos)) {
      ctx.beginPath(); ctx.moveTo(xPos, top); ctx.lineTo(xPos, bottom); ctx.stroke();
      const onTheLeft = xPos > left + width * 0.8;
      const textWidth = ctx.measureText('m = x').width;
      const start = onTheLeft ? xPos - 5 * px - textWidth : xPos + 5 * px;
      label(ctx, 'm = x', start, top + 16 * px, px);
      taken = { start, end: start + textWidth, bottom: top + 20 * px };
    }
    const lostWidth = ctx.measureText('every digit lost').width;
    const lostY = Math.max(top + 16 * px, y0 - 5 * px);
    const meets = taken && lostY - 16 * px < taken.bottom && taken.start < left + 10 * px + lostWidth;
    label(ctx, 'every digit lost', meets ? right - 6 * px - lostWidth : left + 6 * px, lostY, px);
    ctx.setLineDash([]);

    const ms = u.data[0];
    const first = Math.max(0, Math.floor(u.scales.x.min));
    const last = Math.min(ms.length - 1, Math.ceil(u.scales.x.max));
    const spacing = width / px / Math.max(1, last - first);
    const radius = Math.max(2, Math.min(4.5, spacing * 0.6)) * px;
    shown.layout.forEach(({ kind, format }, s) => {
      if (kind !== 'measured' || !u.series[s].show) return;
      const values = u.data[s];
      ctx.strokeStyle = STYLE[format].colour;
      ctx.beginPath();
      let lastX = NaN;
      let lastY = NaN;
      for (let i = first; i <= last; i++) {
        if (values[i] === null) continue;
        const x = Math.round(u.valToPos(ms[i], 'x', true));
        const y = Math.round(u.valToPos(values[i], 'y', true));
        if (x === lastX && y === lastY) continue;
        lastX = x; lastY = y;
        tracePoint(ctx, STYLE[format].shape, x, y, radius);
      }
      ctx.stroke();
    });

    // A mark on every row that has it; a run of rows closer than a mark's width is drawn
    // as the mark followed by a line to the run's end.
    ctx.fillStyle = '#000';
    ctx.strokeStyle = '#000';
    ctx.lineWidth = 2 * px;
    ctx.textAlign = 'center';
    ctx.font = `bold ${Math.round(15 * px)}px system-ui, sans-serif`;
    const near = 8 * px;
    shown.lanes.forEach(([key, mark], lane) => {
      const y = bottom - (5 + lane * LANE_HEIGHT) * px;
      const runs = [];
      for (let i = first; i <= last; i++) {
        if (!data.rows[i][key]) continue;
        const x = Math.round(u.valToPos(ms[i], 'x', true));
        const run = runs[runs.length - 1];
        if (run && x - run.end < near) run.end = x;
        else runs.push({ start: x, end: x });
      }
      for (const { start, end } of runs) {
        ctx.fillText(mark, start, y);
        if (end - start > near) {
          ctx.beginPath();
          ctx.moveTo(start + near * 0.7, y - 4 * px);
          ctx.lineTo(end, y - 4 * px);
          ctx.stroke();
        }
      }
    });
    ctx.restore();
    $('chart').dataset.drawn = shown.query;
  }

  function showReadout(u) {
    const i = u.cursor.idx;
    if (i === null || i === undefined || !shown) {
      $('readout').textContent = '';
      return;
    }
    const row = shown.data.rows[i];
    const parts = shown.data.parameters.formats.map((format) => format + ' ' + shownText(row.formats[format].measured));
    parts.push('backward ' + shownText(row.backward));
    $('readout').textContent = `m = ${row.m}: ` + parts.join(', ');
  }

  function chartSize() {
    const width = Math.max(280, $('chart').clientWidth);
    return { width, height: Math.round(Math.min(420, Math.max(300, width * 0.5))) };
  }

  // Room for the axes' numbers, at about 9 CSS pixels a character of the 15 px font.
  const CHAR_WIDTH = 9;

  function xTickSpace(u, axis, min, max) {
    const widest = Math.round(Math.max(Math.abs(min), Math.abs(max))).toLocaleString().length;
    return Math.max(50, (widest + 3) * CHAR_WIDTH);
  }

  function yAxisSize(u, values) {
    const widest = Math.max(2, ...(values || []).map((value) => String(value).length));
    return 34 + widest * CHAR_WIDTH;
  }

  function drawChart() {
    const { data } = shown;
    const { columns, layout } = chartColumns(data);
    shown.layout = layout;
    shown.lanes = MARKS.filter(([key]) => data.rows.some((row) => row[key]));
    if (chart) chart.destroy();
    const axisFont = '15px system-ui, sans-serif';
    const labelFont = 'bold 16px system-ui, sans-serif';
    const grid = { stroke: '#e3e3e3' };
    chart = new uPlot({
      ...chartSize(),
      padding: [12, 32, 0, 0],
      scales: { x: { time: false }, y: { range: yRange } },
      axes: [
        { label: 'order m', font: axisFont, labelFont, stroke: '#222', grid, space: xTickSpace },
        { label: 'log₁₀ |relative error|', font: axisFont, labelFont, stroke: '#222', grid, size: yAxisSize },
      ],
      series: chartSeries(layout, data.parameters.function),
      legend: { show: false },
      cursor: { points: { show: false }, drag: { x: true, y: false } },
      hooks: { draw: [drawOverlay], setCursor: [showReadout] },
    }, columns, $('chart'));
    showLegend(layout, data.parameters.function);
  }

  function swatch(colour, dashed) {
    const line = document.createElement('span');
    line.className = dashed ? 'swatch dashed' : 'swatch';
    line.style.borderTopColor = colour;
    return line;
  }

  function showLegend(layout, fn) {
    const perFormatBound = layout.some(({ kind, format }) => kind === 'bound' && format);
    const item = (...parts) => {
      const li = document.createElement('li');
      li.append(...parts);
      return li;
    };
    const items = layout.filter(({ kind }) => kind === 'measured').map(({ format }) => {
      const { colour, glyph } = STYLE[format];
      const mark = cell('span', glyph);
      mark.className = 'glyph';
      mark.style.color = colour;
      const bound = perFormatBound ? [swatch(colour, true)] : [];
      return item(mark, swatch(colour, false), ...bound, ' ' + format + ' seeds');
    });
    if (!perFormatBound) items.push(item(swatch(BOUND_COLOUR, true), ' rounding bound'));
    items.push(item(swatch(BACKWARD_COLOUR, false), ' ' + backwardName(fn)));
    $('legend').replaceChildren(...items);
  }

  // ---- The summary and the table ----

  // The summary's lines as the lab wraps them at 80 columns, one sentence per item.
  function showSummary(text) {
    const items = [];
    for (const line of text.split('\n').slice(1)) {
      if (/^ {2}\S/.test(line)) items.push(line.trim());
      else if (line.trim() && items.length) items[items.length - 1] += ' ' + line.trim();
    }
    $('summary').replaceChildren(...items.map((sentence) => cell('li', sentence)));
  }

  function cell(tag, text, key) {
    const element = document.createElement(tag);
    element.textContent = text;
    if (key) element.dataset.key = key;
    return element;
  }

  function tableHead(data) {
    const fn = data.parameters.function;
    const top = document.createElement('tr');
    const bottom = document.createElement('tr');
    const spanning = (text) => Object.assign(cell('th', text), { rowSpan: 2, scope: 'col' });
    top.append(spanning('m'), spanning(fn + '_m(x)'), spanning('marks'));
    for (const format of data.parameters.formats) {
      top.append(Object.assign(cell('th', format + ' seeds'), { colSpan: 4, scope: 'colgroup' }));
      for (const name of ['measured', 'predicted', 'rounding', 'bound']) bottom.append(cell('th', name));
    }
    top.append(cell('th', 'JIj'.includes(fn) ? 'Miller' : 'unstable'));
    bottom.append(cell('th', 'backward'));
    return [top, bottom];
  }

  function marksOf(row) {
    return MARKS.filter(([key]) => row[key]).map(([, mark]) => mark).join('');
  }

  function pageCount() {
    return Math.max(1, Math.ceil(shown.data.rows.length / ROWS_PER_PAGE));
  }

  function showTable() {
    const { data } = shown;
    const valueKey = data.parameters.function + '_m';
    $('table').tHead.replaceChildren(...tableHead(data));
    const start = (page - 1) * ROWS_PER_PAGE;
    const rows = data.rows.slice(start, start + ROWS_PER_PAGE).map((row) => {
      const tr = document.createElement('tr');
      tr.append(cell('th', row.m, 'm'), cell('td', shownText(row[valueKey]), 'value'), cell('td', marksOf(row), 'marks'));
      tr.firstChild.scope = 'row';
      for (const format of data.parameters.formats) {
        const errors = row.formats[format];
        for (const key of ['measured', 'predicted', 'rounding', 'rounding_bound']) {
          tr.append(cell('td', shownText(errors[key]), format + '.' + key));
        }
      }
      tr.append(cell('td', shownText(row.backward), 'backward'));
      return tr;
    });
    $('table').tBodies[0].replaceChildren(...rows);
    const count = pageCount();
    Object.assign($('page'), { max: String(count), value: String(page) });
    $('page-count').textContent = `of ${count}`;
    $('page-first').disabled = $('page-prev').disabled = page <= 1;
    $('page-next').disabled = $('page-last').disabled = page >= count;
  }

  function goToPage(wanted) {
    if (!shown) return;
    page = Math.min(pageCount(), Math.max(1, Math.round(wanted) || 1));
    showTable();
  }

  // ---- Checking a student's own values ----

  // What this page sends of a student's values: they travel in the request's query, which
  // the server takes up to 8 KiB; the command line takes files of any size.
  const MAX_CHECK_QUERY = 7800;
  const CHECK_COLUMNS = ['m', 'yours', 'lab', 'ulps_apart', 'step', 'measured', 'predicted', 'rounding'];
  let checkChart = null;
  let checking = null;   // AbortController of the check in flight

  async function openValuesFile() {
    const file = $('values-file').files[0];
    if (!file) return;
    if (file.size > MAX_CHECK_QUERY) {
      showMessage('check-message', `${file.name} holds ${file.size} bytes; this page sends at most ` +
        `${MAX_CHECK_QUERY}. For more, run: bessel-recurrence-lab --check ${file.name}`);
      return;
    }
    $('values').value = await file.text();
    showMessage('check-message', '');
  }

  function checkQuery() {
    const params = readControls();
    const pairs = ['function', 'x', 'arithmetic', 'seeds'].map((name) => [name, params[name]]);
    pairs.push(['values', $('values').value]);
    const column = $('column').value.trim();
    if (column) pairs.push(['column', column]);
    return pairs.map(([name, value]) => name + '=' + encodeURIComponent(value)).join('&');
  }

  async function check() {
    const query = checkQuery();
    if (query.length > MAX_CHECK_QUERY) {
      showMessage('check-message', `Your values take ${query.length} bytes in the request; this page sends ` +
        `at most ${MAX_CHECK_QUERY}. Send fewer orders, or run bessel-recurrence-lab --check.`);
      return;
    }
    if (checking) checking.abort();
    const controller = new AbortController();
    checking = controller;
    document.body.dataset.check = 'loading';
    $('check-verdict').textContent = 'Checking…';
    try {
      const data = parseKeepingNumberTexts(await askLab('check', 'api/check', query, controller.signal));
      if (controller.signal.aborted) return;
      showMessage('check-message', '');
      $('check-verdict').textContent = 'Verdict: ' + data.verdict + '.';
      showCheckTable(data);
      drawCheckChart(data);
      document.body.dataset.check = 'ready';
    } catch (error) {
      if (error.name === 'AbortError' || controller.signal.aborted) return;
      showMessage('check-message', error instanceof ServerError ? error.message
        : 'The server could not be reached: ' + error.message);
      $('check-verdict').textContent = '';
      document.body.dataset.check = 'error';
    } finally {
      if (checking === controller) checking = null;
    }
  }

  function showCheckTable(data) {
    const head = document.createElement('tr');
    head.append(...CHECK_COLUMNS.map((key) => cell('th', key.replace('_', ' '))));
    $('check-table').tHead.replaceChildren(head);
    $('check-table').tBodies[0].replaceChildren(...data.rows.map((row) => {
      const tr = document.createElement('tr');
      if (!row.same) tr.className = 'differs';
      tr.append(...CHECK_COLUMNS.map((key) => cell('td', shownText(row[key]), key)));
      return tr;
    }));
  }

  // Your measured error as points, the part your seeds give as a line.
  function drawCheckChart(data) {
    $('check-chart').hidden = false;
    if (checkChart) checkChart.destroy();
    const colour = STYLE[data.parameters.arithmetic].colour;
    checkChart = new uPlot({
      width: Math.max(280, $('check-chart').clientWidth),
      height: 300,
      padding: [12, 32, 0, 0],
      scales: { x: { time: false } },
      // Whole orders only on the m axis.
      axes: [{ label: 'order m', incrs: [1, 2, 5, 10, 20, 50, 100, 200, 500, 1000, 2000, 5000, 10000] },
        { label: 'log₁₀ |relative error|' }],
      series: [{ label: 'm' },
        { label: 'your values, measured', stroke: colour, points: { show: true, size: 6 } },
        { label: 'predicted from your seeds', stroke: BOUND_COLOUR, width: 2, dash: [8, 5], points: NO_POINTS }],
      cursor: { drag: { x: true, y: false } },
    }, [data.rows.map((row) => Number(row.m)),
      data.rows.map((row) => log10Abs(row.measured)),
      data.rows.map((row) => log10Abs(row.predicted))], $('check-chart'));
  }

  // ---- Changes ----

  function commit() {
    clearTimeout(typingTimer);
    const params = readControls();
    const query = queryString(params);
    if (query === requested) return;
    history.pushState(null, '', location.pathname + '?' + query);
    load(params);
  }

  function start() {
    const params = paramsFromUrl(location.search);
    writeControls(params);
    history.replaceState(null, '', location.pathname + '?' + queryString(params));
    load(params);

    form.addEventListener('submit', (event) => { event.preventDefault(); commit(); });
    form.addEventListener('change', commit);
    form.addEventListener('keydown', (event) => {
      if (event.key === 'Enter' && event.target.type === 'text') {
        event.preventDefault();
        commit();
      }
    });
    form.addEventListener('input', (event) => {
      if (event.target.type !== 'text') return;
      clearTimeout(typingTimer);
      typingTimer = setTimeout(commit, TYPING_DELAY_MS);
    });
    window.addEventListener('popstate', () => {
      clearTimeout(typingTimer);
      const restored = paramsFromUrl(location.search);
      writeControls(restored);
      load(restored);
    });

    $('page-first').addEventListener('click', () => goToPage(1));
    $('page-prev').addEventListener('click', () => goToPage(page - 1));
    $('page-next').addEventListener('click', () => goToPage(page + 1));
    $('page-last').addEventListener('click', () => goToPage(Infinity));
    $('page').addEventListener('change', () => goToPage(Number($('page').value)));
    $('copy').addEventListener('click', copyCommand);
    $('stop').addEventListener('click', stopLoading);
    $('download-csv').addEventListener('click', downloadFromWorker);
    $('download-json').addEventListener('click', downloadFromWorker);
    $('values-file').addEventListener('change', openValuesFile);
    $('check-form').addEventListener('submit', (event) => { event.preventDefault(); check(); });
    new ResizeObserver(() => {
      if (chart) chart.setSize(chartSize());
    }).observe($('chart'));
  }

  async function copyCommand() {
    const text = $('command').textContent;
    try {
      await navigator.clipboard.writeText(text);
      setStatus('The command line is copied.');
    } catch (error) {
      const range = document.createRange();
      range.selectNodeContents($('command'));
      getSelection().removeAllRanges();
      getSelection().addRange(range);
      setStatus('The command line is selected: copy it with Ctrl+C.');
    }
  }

  start();
})();
