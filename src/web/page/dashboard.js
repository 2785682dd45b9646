// The dashboard page: shows the state Glimrow sends over its WebSocket and sends the user's
// actions back. Everything is written as text, never as HTML: descriptions and messages come
// from files and servers.
'use strict';

const state = {};
let socket = null;
let retryMs = 500;

const GRIDS = ['PLED64-1', 'PLED64-2', 'P01616-1', 'P01616-2', 'PTLED-1', 'PTLED-2',
  'PTLCD-1', 'PTLCD-2', 'SKITS', 'EPICAnalogs'];
const LAMP_COLUMN = 2;

// Control and format characters (a right-to-left override turns a line round) shown as the
// log shows them: \x1B, \u202E.
function printable(text) {
  return String(text).replace(/[^\P{C}\n\t\p{Cs}]/gu, (character) => {
    const code = character.codePointAt(0);
    return code < 0x100 ? '\\x' + code.toString(16).toUpperCase().padStart(2, '0')
      : '\\u' + code.toString(16).toUpperCase().padStart(4, '0');
  });
}

function element(tag, attributes, text) {
  const made = document.createElement(tag);
  for (const [name, value] of Object.entries(attributes || {}))
    made.setAttribute(name, value);
  if (text !== undefined)
    made.textContent = printable(text);
  return made;
}

function underTest(key, line) {
  const tested = state.status && state.status.underTest;
  return tested && tested.section === key && tested.line === line;
}

function valueCell(grid, row, column) {
  const text = row.cells[column];
  const cell = element('td');
  const stale = grid.stale[String(column)];
  if (grid.kind === 'lamps' && column === LAMP_COLUMN) {
    cell.textContent = row.lamp;
    cell.className = 'lamp-' + row.lamp;
  } else {
    cell.textContent = printable(text);
    if (grid.kind === 'text' && column > 0)
      cell.classList.add('text-row');
  }
  const colour = row.colours && row.colours[String(column)];
  if (colour)
    cell.classList.add('colour-' + colour);
  if (stale) {
    cell.classList.add('stale');
    cell.title = stale; // it says "last seen: " and why
  }
  return cell;
}

function testButton(key, line) {
  const testing = underTest(key, line);
  const button = element('button', { type: 'button' }, testing ? 'End the Test' : 'Test');
  if (testing) {
    button.className = 'ending';
    button.dataset.action = 'endTest';
  } else {
    button.dataset.action = 'test';
    button.dataset.section = key;
    button.dataset.line = String(line);
  }
  return button;
}

function gridTable(key, grid) {
  const table = element('table', { id: 'grid-' + key });
  table.append(element('caption', {}, grid.caption));
  const head = element('tr');
  grid.headers.forEach((header, column) => {
    const stale = grid.stale[String(column)];
    head.append(element('th', { scope: 'col' }, stale ? header + ' (last seen)' : header));
  });
  if (grid.testable)
    head.append(element('th', { scope: 'col' }, 'Test'));
  const thead = element('thead');
  thead.append(head);
  table.append(thead);
  const body = element('tbody');
  grid.rows.forEach((row, line) => {
    const tr = element('tr');
    if (row.colours && Object.keys(row.colours).length === row.cells.length)
      tr.className = 'colour-' + row.colours['0'];
    row.cells.forEach((_, column) => tr.append(valueCell(grid, row, column)));
    if (key === 'Devices' && row.meaning)
      tr.lastChild.title = row.meaning;
    if (grid.testable) {
      const cell = element('td');
      cell.append(testButton(key, line));
      tr.append(cell);
    }
    body.append(tr);
  });
  table.append(body);
  return table;
}

function renderGrid(key) {
  const grid = state[key];
  if (!grid)
    return;
  const holder = key === 'Devices' ? document.getElementById('devices')
                                   : document.getElementById('section-' + key);
  holder.replaceChildren(gridTable(key, grid));
  // An empty section has nothing to show on a small screen.
  if (key !== 'Devices')
    holder.hidden = grid.rows.length === 0;
}

function renderLabels() {
  for (const [name, label] of Object.entries(state.labels || {})) {
    const shown = document.getElementById('label-' + name);
    if (!shown)
      continue;
    shown.textContent = printable(label.text.replace(/\r/g, '\n'));
    shown.classList.toggle('stale', label.stale !== '');
    shown.title = label.stale;
  }
}

function renderConnection() {
  const connection = state.connection || {};
  document.getElementById('server-state').textContent = printable(connection.serverState || '');
  document.getElementById('connection-status').textContent = printable(
    (connection.mode || '') + (connection.status ? ': ' + connection.status : ''));
}

// What the outputs really do: a test, or the data while the server is active, or their last
// state while it is not.
function outputsDo(status) {
  if (status.activity)
    return status.activity;
  const connection = state.connection || {};
  return connection.serverState === 'Vantor-A' ? 'following the data'
    : 'holding their last state (the data server is inactive)';
}

function renderStatus() {
  const status = state.status || {};
  document.getElementById('activity').textContent = printable(outputsDo(status));
  const tested = status.underTest;
  document.getElementById('under-test').textContent = tested
    ? printable(tested.caption + ' line ' + (tested.line + 1) + ': ' + tested.description)
    : 'none';
  document.getElementById('all-lamps-on').checked = !!status.allLampsOn;
  const brightness = document.getElementById('brightness');
  if (document.activeElement !== brightness)
    brightness.value = String(status.lampBrightness);
  for (const key of GRIDS) {
    if (state[key] && state[key].testable)
      renderGrid(key);
  }
}

function renderMessages() {
  const list = document.getElementById('messages');
  list.replaceChildren(...(state.messages ? state.messages.lines : [])
    .map((line) => element('li', {}, line)));
}

function render(parts) {
  Object.assign(state, parts);
  for (const name of Object.keys(parts)) {
    if (name === 'labels')
      renderLabels();
    else if (name === 'connection') {
      renderConnection();
      document.getElementById('activity').textContent = printable(outputsDo(state.status || {}));
    }
    else if (name === 'status')
      renderStatus();
    else if (name === 'messages')
      renderMessages();
    else
      renderGrid(name);
  }
}

function send(action) {
  if (socket && socket.readyState === WebSocket.OPEN)
    socket.send(JSON.stringify(action));
}

function connect() {
  const link = document.getElementById('link');
  socket = new WebSocket((location.protocol === 'https:' ? 'wss://' : 'ws://') + location.host + '/ws');
  socket.onopen = () => {
    retryMs = 500;
    link.textContent = 'Live';
    link.classList.remove('lost');
  };
  socket.onmessage = (event) => {
    const message = JSON.parse(event.data);
    render(message.type === 'state' ? message.state.parts : message.parts);
  };
  socket.onclose = (event) => {
    link.textContent = 'Connection to Glimrow lost (' + (event.reason || event.code) +
      '); trying again';
    link.classList.add('lost');
    setTimeout(connect, retryMs);
    retryMs = Math.min(retryMs * 2, 5000);
  };
}

function start() {
  const sections = document.getElementById('sections');
  for (const key of GRIDS)
    sections.append(element('section', { id: 'section-' + key, hidden: '' }));
  // The token came once in the address; the cookie keeps it from here on.
  if (location.search.includes('token='))
    history.replaceState(null, '', location.pathname);
  document.addEventListener('click', (event) => {
    const button = event.target.closest('button[data-action]');
    if (!button)
      return;
    if (button.dataset.action === 'test')
      send({ action: 'test', section: button.dataset.section, line: Number(button.dataset.line) });
    else
      send({ action: button.dataset.action });
  });
  document.getElementById('all-lamps-on').addEventListener('change', (event) =>
    send({ action: 'allLampsOn', value: event.target.checked }));
  document.getElementById('brightness').addEventListener('change', (event) =>
    send({ action: 'brightness', value: Number(event.target.value) }));
  document.getElementById('reload').addEventListener('click', () => send({ action: 'reload' }));
  connect();
}

start();
