// The page around the compiled show: the setup form, the loading of the data (the archive into the
// show's in-memory file system, the rendered song decoded for Web Audio), the sound, and the
// messages. Test hook: ?frames=N,M,... (ascending) runs the show on a virtual clock, 60 frames a
// second, and leaves those frames' pixels in Module.tavTestFrames instead of playing it.
'use strict';

const byId = (id) => document.getElementById(id);
const params = new URLSearchParams(location.search);
const testFrames = /^[0-9]+(,[0-9]+)*$/.test(params.get('frames') || '') ? params.get('frames') : '';
const state = { runtime: false, data: false, running: false, stopped: false };

function showMessage(text) {
  byId('setup').hidden = true;
  byId('canvas').hidden = true;
  const message = byId('message');
  message.textContent = text;
  message.hidden = false;
}

function enableStart() {
  byId('start').disabled = !(state.runtime && state.data) || state.running || state.stopped;
}

// The song and its clock: the song plays from a buffer; the show reads the seconds heard so far.
// Volume steps of the fade are scheduled on the audio clock, each pause moving the next one later.
const tavAudio = {
  context: null,
  buffer: null,
  source: null,
  gain: null,
  startTime: 0,
  lastSeconds: 0,
  cursor: 0,
  ready() { return !!(this.context && this.buffer) && this.context.state !== 'closed'; },
  play() {
    this.stop();
    this.source = this.context.createBufferSource();
    this.source.buffer = this.buffer;
    this.gain = this.context.createGain();
    this.source.connect(this.gain).connect(this.context.destination);
    this.startTime = this.context.currentTime + 0.05;
    this.source.start(this.startTime);
  },
  seconds() {
    if (!this.source) return 0;
    this.lastSeconds = this.context.currentTime - (this.context.outputLatency || 0) - this.startTime;
    return this.lastSeconds;
  },
  volume(level) {
    if (!this.gain) return;
    const at = Math.max(this.context.currentTime, this.cursor);
    this.gain.gain.setValueAtTime(level, at);
    this.cursor = at;
  },
  wait(ms) {
    if (this.context) this.cursor = Math.max(this.context.currentTime, this.cursor) + ms / 1000;
  },
  stop() {
    if (this.source) this.source.stop(Math.max(this.context.currentTime, this.cursor));
    this.source = null;
    this.cursor = 0;
  },
};

var Module = {
  canvas: byId('canvas'),
  tavAudio,
  print: (text) => console.log(text),
  printErr: (text) => console.warn(text),
  onShowMessage: showMessage,
  // The compiled show could not be fetched or started (an old browser, a broken site).
  onAbort: (what) => showMessage(`The show cannot run in this browser: ${what}`),
  onRuntimeInitialized() {
    state.runtime = true;
    flushFiles();
    enableStart();
  },
  // Each frame's position, with the song's time it was read at (for tests and the benchmark).
  onFrame(order, row) {
    const frames = (Module.tavPosition ? Module.tavPosition.frames : 0) + 1;
    Module.tavPosition = { order, row, frames, seconds: tavAudio.lastSeconds, at: performance.now() };
  },
  onShowEnded() {
    state.running = false;
    if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
    byId('canvas').hidden = true;
    byId('setup').hidden = false;
    Module.tavShowsEnded = (Module.tavShowsEnded || 0) + 1;
    enableStart();
  },
};

// Files fetched before the runtime is up wait here.
const files = [];
function flushFiles() {
  if (!state.runtime) return;
  while (files.length) {
    const [name, bytes] = files.shift();
    Module.FS.writeFile(name, bytes);
  }
}

// Fetches with the bytes so far reported; null when the server has no such file.
async function fetchBytes(url, onProgress) {
  const response = await fetch(url);
  if (!response.ok) return null;
  const total = Number(response.headers.get('Content-Length')) || 0;
  const reader = response.body.getReader();
  const parts = [];
  let got = 0;
  for (;;) {
    const { done, value } = await reader.read();
    if (done) break;
    parts.push(value);
    got += value.length;
    onProgress(got, total);
  }
  const bytes = new Uint8Array(got);
  let at = 0;
  for (const part of parts) {
    bytes.set(part, at);
    at += part.length;
  }
  return bytes;
}

async function loadData() {
  const names = ['tavremon.yip', 'tavremon-music.tbl', 'tavremon-music.ogg'];
  const progress = names.map(() => [0, 0]);
  const bar = byId('loading');
  const report = (i) => (got, total) => {
    progress[i] = [got, total];
    const all = progress.reduce((sum, p) => [sum[0] + p[0], sum[1] + Math.max(p[0], p[1])], [0, 0]);
    bar.value = all[1] ? all[0] / all[1] : 0;
  };
  try {
    tavAudio.context = new AudioContext({ sampleRate: 44100 });
  } catch (error) {
    console.warn('no audio: ' + error);
  }
  const [archive, table, song] = await Promise.all(
    names.map((name, i) => fetchBytes(name, report(i)).catch(() => null)));
  // What is missing is missing for the show too, which then says what the desktop program says.
  if (archive) files.push(['tavremon.yip', archive]);
  if (table) files.push(['tavremon-music.tbl', table]);
  if (song && tavAudio.context) {
    try {
      tavAudio.buffer = await tavAudio.context.decodeAudioData(song.buffer);
    } catch (error) {
      console.warn('the song cannot be decoded: ' + error);
    }
  }
  bar.value = 1;
  state.data = true;
  flushFiles();
  enableStart();
}

function fillModes() {
  const select = byId('mode');
  for (const text of ['320x240 16bit', '400x300 16bit', '512x384 16bit', '640x480 16bit', '800x600 16bit',
    '1024x768 16bit', '320x240 32bit', '400x300 32bit', '512x384 32bit', '640x480 32bit', '800x600 32bit',
    '1024x768 32bit']) {
    select.add(new Option(text, String(select.length)));
  }
  select.selectedIndex = 3;
  byId('setup').hidden = false;
}

byId('setup').addEventListener('submit', (event) => {
  event.preventDefault();
  if (byId('start').disabled) return;
  const fullscreen = byId('fullscreen').checked;
  state.running = true;
  enableStart();
  byId('setup').hidden = true;
  const canvas = byId('canvas');
  canvas.hidden = false;
  // Both need this click: browsers allow full screen and sound only in answer to the user.
  if (fullscreen && canvas.requestFullscreen) canvas.requestFullscreen().catch(() => {});
  if (tavAudio.context && !testFrames) tavAudio.context.resume().catch(() => {});
  try {
    Module.ccall('webStart', null, ['number', 'number', 'string'],
      [byId('mode').selectedIndex, fullscreen ? 1 : 0, testFrames]);
  } catch (error) {
    // A fatal message ends the show's program as it ends the desktop one; the page keeps the text.
    if (!(error && error.name === 'ExitStatus')) throw error;
    state.stopped = true;
  }
});

byId('exit').addEventListener('click', () => {
  state.stopped = true;
  enableStart();
  showMessage('Closed. Reload the page to see the show.');
});

fillModes();
loadData();
