// Drives the web page in Debian's headless Chromium (software WebGL 2 through SwiftShader)
// over the DevTools protocol on a pipe, and serves the page from a folder on 127.0.0.1.
// Used by page_test.mjs and the page benchmark.
import { spawn } from 'node:child_process';
import { createServer } from 'node:http';
import { mkdtempSync, readFileSync, rmSync, statSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { extname, join, normalize } from 'node:path';

const kTypes = {
  '.html': 'text/html', '.js': 'text/javascript', '.mjs': 'text/javascript', '.css': 'text/css',
  '.wasm': 'application/wasm', '.jpg': 'image/jpeg', '.txt': 'text/plain', '.png': 'image/png',
};

// Serves `root` (and, under /data/, `dataRoot` when given) until close().
export function serve(root, dataRoot) {
  const server = createServer((request, response) => {
    const path = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    let base = root;
    let rest = path;
    if (dataRoot && path.startsWith('/data/')) {
      base = dataRoot;
      rest = path.slice('/data'.length);
    }
    const file = normalize(join(base, rest.endsWith('/') ? rest + 'index.html' : rest));
    if (!file.startsWith(normalize(base))) {
      response.writeHead(403).end();
      return;
    }
    try {
      if (!statSync(file).isFile()) throw new Error('not a file');
      response.writeHead(200, { 'Content-Type': kTypes[extname(file)] || 'application/octet-stream' });
      response.end(readFileSync(file));
    } catch {
      response.writeHead(404).end();
    }
  });
  return new Promise((resolve) => {
    server.listen(0, '127.0.0.1', () => resolve({ url: `http://127.0.0.1:${server.address().port}/`, close: () => server.close() }));
  });
}

// What both browsers' drivers share: the browser's process and throwaway profile, waiting for
// the page, and ending the browser.
export class BrowserProcess {
  constructor(child, profile) {
    this.child = child;
    this.profile = profile;
    this.nextId = 1;
    this.pending = new Map();
    this.exceptions = [];
    this.console = [];
    this.stderr = '';
  }

  // Polls `expression` until it is truthy; its value, or an error after `seconds`.
  async waitFor(expression, seconds, what) {
    const until = Date.now() + seconds * 1000;
    for (;;) {
      const value = await this.evaluate(expression);
      if (value) return value;
      if (Date.now() > until) throw new Error(`timed out after ${seconds} s waiting for ${what || expression}`);
      await new Promise((r) => setTimeout(r, 100));
    }
  }

  // Asks the browser to close (`ask`: the protocol's call), then ends it and removes its profile.
  async end(ask) {
    const exited = new Promise((r) => { if (this.child.exitCode !== null) r(); else this.child.once('exit', r); });
    if (ask) {
      try { await Promise.race([ask(), new Promise((r) => setTimeout(r, 3000))]); } catch { /* gone */ }
    }
    await Promise.race([exited, new Promise((r) => setTimeout(r, 5000))]);
    this.child.kill('SIGKILL');
    try { rmSync(this.profile, { recursive: true, force: true, maxRetries: 5 }); } catch { /* left in the temporary folder */ }
  }
}

// A headless Chromium with one page, spoken to over --remote-debugging-pipe. Frames come as
// fast as the page asks for them, unless paced: then at most 60 a second and no faster than
// the browser draws them, as in a browser on a display.
export class Browser extends BrowserProcess {
  static async launch({ paced = false } = {}) {
    const profile = mkdtempSync(join(tmpdir(), 'vellumite-chromium-'));
    const executable = process.env.VELLUMITE_CHROMIUM || '/usr/bin/chromium';
    const unpaced = paced ? [] : ['--disable-gpu-vsync', '--disable-frame-rate-limit'];
    const child = spawn(executable, [
      '--headless=new', '--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--no-sandbox',
      '--autoplay-policy=no-user-gesture-required', '--remote-debugging-pipe', '--no-first-run',
      ...unpaced, '--disable-background-timer-throttling',
      '--disable-renderer-backgrounding', '--window-size=1024,768', `--user-data-dir=${profile}`, 'about:blank',
    ], { stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'] });
    const browser = new Browser(child, profile);
    await browser.attach();
    return browser;
  }

  constructor(child, profile) {
    super(child, profile);
    this.listeners = [];
    this.buffer = '';
    child.stderr.on('data', (d) => { this.stderr = (this.stderr + d).slice(-20000); });
    child.stdio[4].on('data', (data) => {
      this.buffer += data.toString('utf8');
      let end;
      while ((end = this.buffer.indexOf('\0')) >= 0) {
        const message = JSON.parse(this.buffer.slice(0, end));
        this.buffer = this.buffer.slice(end + 1);
        if (message.id !== undefined && this.pending.has(message.id)) {
          const { resolve, reject } = this.pending.get(message.id);
          this.pending.delete(message.id);
          if (message.error) reject(new Error(`${message.error.message} ${message.error.data || ''}`));
          else resolve(message.result);
        } else if (message.method) {
          for (const listener of this.listeners) listener(message);
        }
      }
    });
  }

  send(method, params = {}, sessionId = this.sessionId) {
    const id = this.nextId++;
    const message = { id, method, params };
    if (sessionId) message.sessionId = sessionId;
    this.child.stdio[3].write(JSON.stringify(message) + '\0');
    return new Promise((resolve, reject) => this.pending.set(id, { resolve, reject }));
  }

  on(method, listener) {
    this.listeners.push((m) => { if (m.method === method && (!m.sessionId || m.sessionId === this.sessionId)) listener(m.params); });
  }

  async attach() {
    const { targetInfos } = await this.send('Target.getTargets', {}, null);
    const page = targetInfos.find((t) => t.type === 'page');
    const { sessionId } = await this.send('Target.attachToTarget', { targetId: page.targetId, flatten: true }, null);
    this.sessionId = sessionId;
    this.exceptions = [];
    this.console = [];
    this.on('Runtime.exceptionThrown', (p) => this.exceptions.push(p.exceptionDetails));
    this.on('Runtime.consoleAPICalled', (p) => this.console.push(p.args.map((a) => a.value).join(' ')));
    await this.send('Runtime.enable');
    await this.send('Page.enable');
  }

  async open(url) {
    const loaded = new Promise((resolve) => this.on('Page.loadEventFired', resolve));
    await this.send('Page.navigate', { url });
    await loaded;
  }

  async evaluate(expression) {
    const result = await this.send('Runtime.evaluate', { expression, awaitPromise: true, returnByValue: true });
    if (result.exceptionDetails) throw new Error(`page: ${result.exceptionDetails.text} ${JSON.stringify(result.exceptionDetails.exception || '')}`);
    return result.result.value;
  }

  async key(key, code, keyCode) {
    for (const type of ['keyDown', 'keyUp'])
      await this.send('Input.dispatchKeyEvent', { type, key, code, windowsVirtualKeyCode: keyCode, nativeVirtualKeyCode: keyCode });
  }

  async close() {
    await this.end(() => this.send('Browser.close', {}, null));
  }
}
