// The dashboard page: shows the state Glimrow sends over its WebSocket and sends the user's
// actions back. Everything is written as text, never as HTML: descriptions and messages come
// from files and servers.
'use strict';

const state = {};
let socket = null;
let retryMs = 500;
let lostAt = null; // when Glimrow was lost, while it is

const GRIDS = ['PLED64-1', 'PLED64-2', 'P01616-1', 'P01616-2', 'PTLED-1', 'PTLED-2',
  'PTLCD-1', 'PTLCD-2', 'SKITS', 'EPICAnalogs'];
const LAMP_COLUMN = 2;

// Control and format characters (a right-to-left override turns a line round) shown as the
// log shows them: \x1B, \u202E, and \x{01} before a hex digit ("\x013" would read as one).
function printable(text) {
  return String(text).replace(/[^\P{C}\n\t\p{Cs}](?=([0-9A-Fa-f]?))/gu, (character, hexAfter) => {
    const code = character.codePointAt(0);
    const digits = code.toString(16).toUpperCase().padStart(code < 0x100 ? 2 : 4, '0');
    const kind = code < 0x100 ? '\\x' : '\\u';
    return hexAfter ? kind + '{' + digits + '}' : kind + digits;
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

// Writes only what changed: a screen reader's live regions speak on every write, and a
// rewritten node loses a selection in it.
function setText(node, text) {
  if (node.textContent !== text)
    node.textContent = text;
}

function setAttribute(node, name, value) {
  if (value === '' || value === undefined)
    node.removeAttribute(name);
  else if (node.getAttribute(name) !== value)
    node.setAttribute(name, value);
}

// The `index`th child `tag` of `parent`, made when missing: rows and cells stay the same
// elements while their line exists, so focus and a screen reader's place survive updates.
function child(parent, index, tag) {
  while (parent.children.length <= index)
    parent.append(element(tag));
  return parent.children[index];
}

function trimChildren(parent, count) {
  while (parent.children.length > count)
    parent.lastElementChild.remove();
}

function underTest(key, line) {
  const tested = state.status && state.status.underTest;
  return tested && tested.section === key && tested.line === line;
}

function headerText(grid, column) {
  const header = grid.headers[column] || (grid.kind === 'lamps' && column === LAMP_COLUMN ? 'Lamp' : '');
  return printable(header);
}

function updateValueCell(cell, grid, row, column) {
  const lamp = grid.kind === 'lamps' && column === LAMP_COLUMN;
  setText(cell, lamp ? row.lamp : printable(row.cells[column]));
  const classes = [];
  if (lamp)
    classes.push('lamp-' + row.lamp);
  else if (grid.kind === 'text' && column > 0)
    classes.push('text-row');
  const colour = row.colours && row.colours[String(column)];
  if (colour)
    classes.push('colour-' + colour);
  const stale = grid.stale[String(column)];
  if (stale)
    classes.push('stale');
  setAttribute(cell, 'class', classes.join(' '));
  // The tip says "last seen: " and why; the device colours say what they mean.
  setAttribute(cell, 'title', stale || (grid.kind === 'devices' && column === row.cells.length - 1
    ? row.meaning : ''));
  setAttribute(cell, 'data-label', headerText(grid, column));
}

function updateTestButton(cell, key, line, description) {
  const button = child(cell, 0, 'button');
  const testing = underTest(key, line);
  button.type = 'button';
  button.className = testing ? 'test ending' : 'test';
  setText(button, testing ? 'End the Test' : 'Test');
  setAttribute(button, 'aria-label', testing ? 'End the Test of ' + description
                                             : 'Test ' + description);
  button.dataset.action = testing ? 'endTest' : 'test';
  button.dataset.section = key;
  button.dataset.line = String(line);
  button.disabled = lostAt !== null;
}

// The grid's table, made once; its caption and head are kept up to date.
function gridTable(key, grid) {
  const holder = key === 'Devices' ? document.getElementById('devices')
                                   : document.getElementById('section-' + key);
  let table = holder.querySelector('table');
  if (!table) {
    table = element('table', { id: 'grid-' + key });
    table.append(element('caption'), element('thead'), element('tbody'));
    holder.append(table);
  }
  table.className = grid.kind === 'lamps' ? '' : 'stack';
  setText(table.caption, printable(grid.caption));
  const head = child(table.tHead, 0, 'tr');
  const headers = grid.headers.map((_, column) => {
    const stale = grid.stale[String(column)];
    return headerText(grid, column) + (stale ? ' (last seen)' : '');
  });
  if (grid.testable)
    headers.push('Test');
  headers.forEach((text, column) => {
    const cell = child(head, column, 'th');
    cell.scope = 'col';
    setText(cell, text);
  });
  trimChildren(head, headers.length);
  return table;
}

function renderGrid(key) {
  const grid = state[key];
  if (!grid)
    return;
  const table = gridTable(key, grid);
  const body = table.tBodies[0];
  grid.rows.forEach((row, line) => {
    const tr = child(body, line, 'tr');
    setAttribute(tr, 'class', row.colours && Object.keys(row.colours).length === row.cells.length
      ? 'colour-' + row.colours['0'] : '');
    row.cells.forEach((_, column) => updateValueCell(child(tr, column, 'td'), grid, row, column));
    let cells = row.cells.length;
    if (grid.testable) {
      const cell = child(tr, cells++, 'td');
      cell.className = 'test-cell';
      updateTestButton(cell, key, line, printable(row.cells[1] || ''));
    }
    trimChildren(tr, cells);
  });
  trimChildren(body, grid.rows.length);
  // An empty section has nothing to show on a small screen.
  if (key !== 'Devices')
    table.parentElement.hidden = grid.rows.length === 0;
}

function renderLabels() {
  for (const [name, label] of Object.entries(state.labels || {})) {
    const shown = document.getElementById('label-' + name);
    if (!shown)
      continue;
    setText(shown, printable(label.text.replace(/\r/g, '\n')));
    shown.classList.toggle('stale', label.stale !== '');
    setAttribute(shown, 'title', label.stale);
  }
}

function renderConnection() {
  const connection = state.connection || {};
  setText(document.getElementById('server-state'), printable(connection.serverState || ''));
  setText(document.getElementById('connection-status'), printable(
    (connection.mode || '') + (connection.status ? ': ' + connection.status : '')));
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
  setText(document.getElementById('activity'), printable(outputsDo(status)));
  const tested = status.underTest;
  setText(document.getElementById('under-test'), tested
    ? printable(tested.caption + ' line ' + (tested.line + 1) + ': ' + tested.description)
    : 'none');
  document.getElementById('all-lamps-on').checked = !!status.allLampsOn;
  const brightness = document.getElementById('brightness');
  if (document.activeElement !== brightness)
    brightness.value = String(status.lampBrightness);
  for (const key of GRIDS) {
    if (state[key] && state[key].testable)
      renderGrid(key);
  }
}

// Only new lines are added (and the oldest dropped), so that a screen reader reads each
// message once; a list that starts anew (a reload) is written anew.
function renderMessages() {
  const list = document.getElementById('messages');
  const lines = (state.messages ? state.messages.lines : []).map(printable);
  const shown = [...list.children].map((item) => item.textContent);
  let dropped = 0;
  while (dropped < shown.length &&
         !shown.slice(dropped).every((line, index) => line === lines[index]))
    ++dropped;
  for (let item = 0; item < dropped; ++item)
    list.firstElementChild.remove();
  for (const line of lines.slice(shown.length - dropped))
    list.append(element('li', {}, line));
}

function render(parts) {
  Object.assign(state, parts);
  for (const name of Object.keys(parts)) {
    if (name === 'labels')
      renderLabels();
    else if (name === 'connection') {
      renderConnection();
      setText(document.getElementById('activity'), printable(outputsDo(state.status || {})));
    }
    else if (name === 'status')
      renderStatus();
    else if (name === 'messages')
      renderMessages();
    else
      renderGrid(name);
  }
}

// Glimrow has gone: nothing on the page is live any more. Every value is marked with when it
// was last seen, and nothing can be pressed until Glimrow is back and has sent its state.
function showGlimrowLost() {
  if (lostAt !== null)
    return;
  lostAt = new Date().toLocaleTimeString();
  const lastSeen = 'last seen: ' + lostAt + ', before Glimrow stopped';
  document.body.classList.add('glimrow-lost');
  for (const cell of document.querySelectorAll('main td, main pre')) {
    cell.dataset.lost = cell.title;
    cell.classList.add('stale');
    cell.title = lastSeen;
  }
  for (const head of document.querySelectorAll('main th')) {
    head.dataset.lost = head.textContent;
    head.textContent = head.textContent.replace(/ \(last seen\)$/, '') + ' (last seen ' + lostAt + ')';
  }
  setText(document.getElementById('server-state'), 'unknown (Glimrow is not running)');
  setText(document.getElementById('connection-status'), 'Glimrow is not running');
  setText(document.getElementById('activity'), 'unknown (Glimrow is not running)');
  for (const control of document.querySelectorAll('button, input'))
    control.disabled = true;
}

function showGlimrowBack() {
  lostAt = null;
  document.body.classList.remove('glimrow-lost');
  for (const control of document.querySelectorAll('button, input'))
    control.disabled = false;
  // What the page showed before; the state Glimrow sends next puts today's in its place.
  for (const marked of document.querySelectorAll('[data-lost]')) {
    if (marked.tagName === 'TH') {
      marked.textContent = marked.dataset.lost;
    } else {
      marked.classList.remove('stale');
      setAttribute(marked, 'title', marked.dataset.lost);
    }
    delete marked.dataset.lost;
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
    if (message.type === 'state') {
      showGlimrowBack();
      render(message.state.parts);
    } else {
      render(message.parts);
    }
  };
  socket.onclose = (event) => {
    link.textContent = 'Connection to Glimrow lost (' + (event.reason || event.code) +
      '); trying again';
    link.classList.add('lost');
    showGlimrowLost();
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
