'use strict';
// The web remote: the sender's list and its controls. Everything comes from the program itself.
const texts = {
  de: {
    prev: 'Zurück', pause: 'Pause', resume: 'Weiter', next: 'Vor',
    askText: 'Diese Seite zeigt die Liste erst, wenn der Sender zustimmt: tippen Sie auf „Zugang erbitten“ ' +
      'und lassen Sie am Sender-PC mit „Zulassen“ zu.',
    askBtn: 'Zugang erbitten', waiting: 'Warte auf „Zulassen“ am Sender …', denied: 'Der Sender hat abgelehnt.',
    busy: 'Der Sender ist beschäftigt; bitte später erneut versuchen.', gone: 'Keine Verbindung zum Sender …',
    empty: 'Die Liste ist leer.', nothing: 'Es läuft nichts.', paused: 'angehalten',
  },
  en: {
    prev: 'Previous', pause: 'Pause', resume: 'Resume', next: 'Next',
    askText: 'This page shows the list only once the sender agrees: tap “Ask for access” ' +
      'and allow it on the sending PC with “Allow”.',
    askBtn: 'Ask for access', waiting: 'Waiting for “Allow” on the sender …', denied: 'The sender said no.',
    busy: 'The sender is busy; please try again later.', gone: 'No connection to the sender …',
    empty: 'The list is empty.', nothing: 'Nothing plays.', paused: 'paused',
  },
};
const t = texts[document.documentElement.lang] || texts.de;
const $ = (id) => document.getElementById(id);
const state = { list: [], now: -1, paused: false, steerable: false };
let socket = null;

for (const el of document.querySelectorAll('[data-t]')) el.textContent = t[el.dataset.t];

function shortName(entry) {
  const cut = Math.max(entry.lastIndexOf('/'), entry.lastIndexOf('\\'));
  return cut >= 0 && cut < entry.length - 1 ? entry.slice(cut + 1) : entry;
}

function drawList() {
  const ol = $('list');
  const rows = document.createDocumentFragment();
  state.list.forEach((entry, i) => {
    const li = document.createElement('li');
    const b = document.createElement('button');
    b.type = 'button';
    b.title = entry;
    const n = document.createElement('span');
    n.className = 'n';
    n.textContent = i + 1;
    const name = document.createElement('span');
    name.className = 't';
    name.textContent = shortName(entry);
    b.append(n, name);
    b.addEventListener('click', () => send('/play', { index: i, entry }));
    li.append(b);
    rows.append(li);
  });
  ol.replaceChildren(rows);
  ol.hidden = false;
  $('empty').hidden = state.list.length > 0;
  drawNow();
}

function drawNow() {
  const rows = $('list').children;
  for (const li of $('list').querySelectorAll('li.playing')) li.classList.remove('playing');
  const playing = state.now >= 0 && state.now < rows.length ? rows[state.now] : null;
  if (playing) playing.classList.add('playing');
  $('now').textContent = state.now >= 0 && state.now < state.list.length
    ? '▶ ' + shortName(state.list[state.now]) + (state.paused ? ' (' + t.paused + ')' : '')
    : t.nothing;
  $('pause').textContent = state.paused ? t.resume : t.pause;
  for (const id of ['prev', 'pause', 'next']) $(id).disabled = !state.steerable;
  $('steer').hidden = false;
}

function take(message) {
  if ('list' in message) state.list = message.list;
  for (const k of ['now', 'paused', 'steerable']) if (k in message) state[k] = message[k];
  if ('list' in message) drawList(); else drawNow();
}

async function send(path, body) {
  const r = await fetch(path, {
    method: 'POST', credentials: 'same-origin', headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify(body || {}),
  });
  if (r.status === 403) location.reload();
}

function listen() {
  socket = new WebSocket((location.protocol === 'https:' ? 'wss://' : 'ws://') + location.host + '/ws');
  socket.onmessage = (e) => take(JSON.parse(e.data));
  socket.onclose = () => {
    $('now').textContent = t.gone;
    setTimeout(start, 1500);
  };
}

let asking = null;
async function ask() {
  $('askBtn').disabled = true;
  const r = await fetch('/ask', { method: 'POST', credentials: 'same-origin' });
  const answer = (await r.json()).state;
  if (answer === 'in') {
    clearInterval(asking);
    asking = null;
    start();
    return;
  }
  $('askState').textContent = t[answer] || answer;
  if (answer === 'waiting' && !asking) asking = setInterval(ask, 1500);
  if (answer !== 'waiting') {
    clearInterval(asking);
    asking = null;
    $('askBtn').disabled = false;
  }
}
$('askBtn').addEventListener('click', ask);

async function start() {
  let r;
  try {
    r = await fetch('/state', { credentials: 'same-origin' });
  } catch (e) {
    $('now').textContent = t.gone;
    setTimeout(start, 3000);
    return;
  }
  if (r.status === 403) {
    // not (or no longer) let in: nothing of the list stays on the page
    state.list = [];
    $('list').replaceChildren();
    $('ask').hidden = false;
    $('askBtn').disabled = false;
    $('list').hidden = true;
    $('empty').hidden = true;
    $('steer').hidden = true;
    $('now').textContent = '';
    return;
  }
  if (!r.ok) {
    setTimeout(start, 3000);
    return;
  }
  $('ask').hidden = true;
  take(await r.json());
  listen();
}

$('prev').addEventListener('click', () => send('/prev'));
$('pause').addEventListener('click', () => send('/pause'));
$('next').addEventListener('click', () => send('/next'));
start();
