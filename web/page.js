// The show's page: gathers the show's files (the page's own show, ?data=URL, or a folder the
// user picks or drops), starts the program on a click (browsers allow sound only after one),
// draws the program's setup dialog as page elements, and offers to play again at the end.
// URL parameters become the program's options: ?mode=WxH, ?aspect=fill, and ?screenshot=T,
// which starts at once, renders the show's frame at T seconds as the desktop program's
// --screenshot does, leaves it on the canvas with its pixels in the file system's
// /screenshot.bgra, and then sets the title to "vellumite: frame T".
'use strict';

const params = new URLSearchParams(location.search);
const screenshot = params.get('screenshot');
const screenshotFile = '/screenshot.bgra';
const page = {
  start: document.getElementById('start'),
  status: document.getElementById('start-status'),
  play: document.getElementById('play'),
  folder: document.getElementById('folder'),
  picture: document.getElementById('loading-picture'),
  canvas: document.getElementById('canvas'),
  dialog: document.getElementById('dialog'),
  end: document.getElementById('end'),
  again: document.getElementById('again'),
  messages: document.getElementById('messages'),
};

// The show's files: name -> Uint8Array, and where they came from.
let showFiles = null;
let showSource = '';
let runtimeReady = false;
let running = false;

function say(text) {
  const item = document.createElement('li');
  item.textContent = text;
  page.messages.appendChild(item);
}

function updateStart() {
  const ready = runtimeReady && showFiles !== null;
  page.play.disabled = !ready || running;
  // A screenshot plays no sound, so it needs no click to start.
  if (ready && screenshot !== null && !running) setTimeout(startShow);
  if (!runtimeReady) page.status.textContent = 'Loading the program…';
  else if (showFiles === null) page.status.textContent = 'Loading the show…';
  else page.status.textContent = `${Object.keys(showFiles).length} files from ${showSource}`;
}

// A show folder on a web server: its file names are listed in files.txt beside them (a web
// server does not list folders).
async function fetchShow(base) {
  if (!base.endsWith('/')) base += '/';
  const files = {};
  let names = [];
  try {
    const list = await fetch(base + 'files.txt');
    if (!list.ok) throw new Error(`HTTP ${list.status}`);
    names = (await list.text()).split('\n').map((n) => n.trim()).filter((n) => n && !n.includes('/'));
  } catch (error) {
    say(`vellumite: cannot read the list of show files ${base}files.txt: ${error.message}`);
  }
  await Promise.all(names.map(async (name) => {
    try {
      const response = await fetch(base + encodeURIComponent(name));
      if (!response.ok) throw new Error(`HTTP ${response.status}`);
      files[name] = new Uint8Array(await response.arrayBuffer());
    } catch (error) {
      // The program names what is missing as it starts.
    }
  }));
  return files;
}

async function readFileList(list) {
  const files = {};
  await Promise.all(Array.from(list).map(async (file) => {
    const name = file.name;
    try {
      files[name] = new Uint8Array(await file.arrayBuffer());
    } catch (error) {
      say(`vellumite: cannot read ${name}: ${error.message}`);
    }
  }));
  return files;
}

// The files directly inside a dropped folder.
function readDroppedFolder(entry) {
  return new Promise((resolve) => {
    const reader = entry.createReader();
    const entries = [];
    const next = () => reader.readEntries((batch) => {
      if (batch.length === 0) {
        const fileEntries = entries.filter((e) => e.isFile);
        Promise.all(fileEntries.map((e) => new Promise((done) => e.file(done, () => done(null)))))
          .then((list) => readFileList(list.filter((f) => f !== null)))
          .then(resolve);
        return;
      }
      entries.push(...batch);
      next();
    }, () => resolve({}));
    next();
  });
}

function useFolder(files, name) {
  showFiles = files;
  showSource = name;
  const picture = files['laddar.jpg'];
  if (picture) page.picture.src = URL.createObjectURL(new Blob([picture], { type: 'image/jpeg' }));
  updateStart();
}

page.folder.addEventListener('change', async () => {
  if (page.folder.files.length === 0) return;
  const first = page.folder.files[0].webkitRelativePath || page.folder.files[0].name;
  const files = await readFileList(page.folder.files);
  useFolder(files, `the folder ${first.split('/')[0]}`);
});

document.addEventListener('dragover', (event) => {
  if (running) return;
  event.preventDefault();
  document.body.classList.add('dropping');
});
document.addEventListener('dragleave', () => document.body.classList.remove('dropping'));
document.addEventListener('drop', async (event) => {
  document.body.classList.remove('dropping');
  if (running) return;
  event.preventDefault();
  const item = Array.from(event.dataTransfer.items).find((i) => i.kind === 'file');
  const entry = item && item.webkitGetAsEntry ? item.webkitGetAsEntry() : null;
  if (entry && entry.isDirectory) useFolder(await readDroppedFolder(entry), `the folder ${entry.name}`);
  else useFolder(await readFileList(event.dataTransfer.files), 'the dropped files');
});

// The program's options from the URL.
function programArguments() {
  const args = ['--data', '/show'];
  const mode = params.get('mode');
  if (mode) args.push('--mode', mode);
  const aspect = params.get('aspect');
  if (aspect) args.push('--aspect', aspect);
  if (screenshot !== null) args.push('--screenshot', screenshot, screenshotFile);
  return args;
}

function startShow() {
  if (running || !runtimeReady || showFiles === null) return;
  running = true;
  // Sound may start only from the user's gesture: the audio context the program's sound
  // output will use is made here.
  const AudioContextType = window.AudioContext || window.webkitAudioContext;
  if (AudioContextType && screenshot === null) {
    Module.SDL2 = Module.SDL2 || {};
    Module.SDL2.audioContext = new AudioContextType();
    Module.SDL2.audioContext.resume();
  }
  FS.mkdir('/show');
  for (const [name, bytes] of Object.entries(showFiles)) FS.writeFile('/show/' + name, bytes);
  page.start.hidden = true;
  page.canvas.hidden = false;
  page.canvas.focus();
  Module.callMain(programArguments());
}

page.play.addEventListener('click', startShow);
page.again.addEventListener('click', () => location.reload());

// Full screen is the browser's: F or Alt+Enter while the show runs.
document.addEventListener('keydown', (event) => {
  if (!running || !page.dialog.hidden) return;
  if ((event.key === 'f' || event.key === 'F') && !event.altKey && !event.ctrlKey && !event.metaKey) {
    toggleFullscreen();
  } else if (event.key === 'Enter' && event.altKey) {
    event.preventDefault();
    toggleFullscreen();
  }
});

function toggleFullscreen() {
  if (document.fullscreenElement) document.exitFullscreen();
  else page.canvas.requestFullscreen().catch(() => {});
}

// The program's setup dialog drawn as page elements (see win32_controls_web.cpp).
const dialog = {
  actions: [],
  description: null,
  show(text) {
    const d = JSON.parse(text);
    const focused = document.activeElement && document.activeElement.dataset
      ? document.activeElement.dataset.control : undefined;
    const box = page.dialog;
    box.replaceChildren();
    box.style.width = `${d.width}px`;
    const title = document.createElement('div');
    title.className = 'title';
    title.textContent = d.title;
    const client = document.createElement('div');
    client.className = 'client';
    client.style.height = `${d.height}px`;
    box.append(title, client);
    d.controls.forEach((c, index) => {
      if (!c.visible || c.kind === 'none') return;
      let element;
      if (c.kind === 'static') {
        element = document.createElement('div');
        element.textContent = c.text;
        element.style.textAlign = ['left', 'center', 'right'][c.align] || 'left';
      } else if (c.kind === 'button' || c.kind === 'default') {
        element = document.createElement('button');
        element.type = 'button';
        element.textContent = c.text;
        element.addEventListener('click', () => this.actions.push((index << 16) | 1));
      } else if (c.kind === 'check') {
        element = document.createElement('label');
        const box2 = document.createElement('input');
        box2.type = 'checkbox';
        box2.checked = c.checked;
        box2.dataset.control = String(index);
        box2.addEventListener('click', () => this.actions.push((index << 16) | 1));
        element.append(box2, document.createTextNode(c.text));
      } else if (c.kind === 'list') {
        element = document.createElement('select');
        c.items.forEach((text) => element.add(new Option(text)));
        element.selectedIndex = c.selection;
        element.addEventListener('change', () => this.actions.push((index << 16) | (element.selectedIndex + 2)));
        c.height = 22;  // the closed list; its height on the desktop includes the open list
      }
      element.dataset.control = element.dataset.control || String(index);
      element.disabled = !c.enabled;
      Object.assign(element.style, {
        left: `${c.x}px`, top: `${c.y}px`, width: `${c.width}px`, height: `${c.height}px`,
      });
      client.appendChild(element);
    });
    box.hidden = false;
    page.canvas.hidden = true;
    const again = focused !== undefined ? box.querySelector(`[data-control="${focused}"]`) : null;
    (again || box.querySelector('button')).focus();
  },
  hide() {
    page.dialog.hidden = true;
    page.dialog.replaceChildren();
    page.canvas.hidden = false;
    page.canvas.focus();
  },
  take() {
    return this.actions.length > 0 ? this.actions.shift() : -1;
  },
};

page.dialog.addEventListener('keydown', (event) => {
  if (event.key === 'Escape') {
    dialog.actions.push(0);  // closing the window
    event.preventDefault();
  } else if (event.key === 'Enter' && event.target.tagName !== 'BUTTON') {
    const button = page.dialog.querySelector('button');
    if (button) button.click();
    event.preventDefault();
  }
  event.stopPropagation();
});

// The program ends by exiting from inside a frame the browser resumed: the runtime's exit
// status travels up that frame's promise, which is how it ends, not a failure.
window.addEventListener('unhandledrejection', (event) => {
  if (event.reason && event.reason.name === 'ExitStatus') event.preventDefault();
});

function showEnd(code) {
  running = false;
  if (screenshot !== null && code === 0) {
    // The frame stays on the canvas.
    document.title = `vellumite: frame ${screenshot}`;
    document.dispatchEvent(new CustomEvent('vellumite-exit', { detail: code }));
    return;
  }
  page.canvas.hidden = true;
  page.dialog.hidden = true;
  page.end.hidden = screenshot !== null;
  if (document.fullscreenElement) document.exitFullscreen();
  if (code !== 0) say(`vellumite: the program ended with exit code ${code}`);
  document.dispatchEvent(new CustomEvent('vellumite-exit', { detail: code }));
}

var Module = {
  canvas: page.canvas,
  vellumiteDialog: dialog,
  print: (text) => console.log(text),
  printErr: (text) => {
    console.error(text);
    if (text.startsWith('vellumite:')) say(text);
  },
  preRun: [() => {
    // Keys reach the program only while its canvas has the focus, so the page keeps its own.
    ENV.SDL_EMSCRIPTEN_KEYBOARD_ELEMENT = '#canvas';
    // ?debug=1: the engine's debug output on the browser's console.
    if (params.get('debug')) ENV.VELLUMITE_DEBUG = '1';
  }],
  onRuntimeInitialized: () => {
    runtimeReady = true;
    updateStart();
  },
  onExit: (code) => showEnd(code),
  onAbort: (what) => {
    say(`vellumite: the program stopped: ${what}`);
    showEnd(1);
  },
};

(async () => {
  const data = params.get('data');
  const base = data || 'show/';
  if (data) page.picture.src = (data.endsWith('/') ? data : data + '/') + 'laddar.jpg';
  const files = await fetchShow(base);
  if (showFiles === null) useFolder(files, data ? data : 'the page');
})();
updateStart();
