// Drives the web page in Debian's headless Firefox ESR over WebDriver BiDi (a WebSocket), with
// the same calls as the Chromium driver in page_driver.mjs: open, evaluate, waitFor, key, close,
// and the page's exceptions and console lines. Needs node's WebSocket
// (node --experimental-websocket on node 20).
import { spawn } from 'node:child_process';
import { mkdtempSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

import { BrowserProcess } from './page_driver.mjs';

// Preferences of the throwaway profile: sound without a gesture, WebGL in software, no
// first-run pages or updates.
const kPreferences = {
  'media.autoplay.default': 0,
  'media.autoplay.blocking_policy': 0,
  'webgl.force-enabled': true,
  'webgl.disable-fail-if-major-performance-caveat': true,
  'browser.shell.checkDefaultBrowser': false,
  'browser.startup.homepage_override.mstone': 'ignore',
  'app.update.disabledForTesting': true,
  'datareporting.policy.dataSubmissionEnabled': false,
  'toolkit.telemetry.reportingpolicy.firstRun': false,
};

// WebDriver's names of the keys the tests press.
const kKeys = { Escape: '\uE00C', Enter: '\uE007', Alt: '\uE00A' };

// A value as WebDriver BiDi serialises it, back into plain JavaScript.
function plain(remote) {
  if (remote === undefined || remote === null) return undefined;
  switch (remote.type) {
    case 'undefined': return undefined;
    case 'null': return null;
    case 'string': case 'boolean': return remote.value;
    case 'number':
      if (typeof remote.value === 'number') return remote.value;
      return { NaN: NaN, '-0': -0, Infinity: Infinity, '-Infinity': -Infinity }[remote.value];
    case 'array': return (remote.value || []).map(plain);
    case 'object': return Object.fromEntries((remote.value || []).map(([k, v]) => [typeof k === 'string' ? k : plain(k), plain(v)]));
    default: return remote.value === undefined ? `[${remote.type}]` : remote.value;
  }
}

// The program's exit unwinds out of its wait for the browser's next frame as a rejected
// promise, which the page handles (it prevents the default report); Firefox logs it even so.
function exitUnwinding(entry) {
  const frames = (entry.stackTrace && entry.stackTrace.callFrames) || [];
  return entry.text === 'uncaught exception: Object' && frames.length > 0 && frames[0].functionName.startsWith('handleSleep');
}

export class FirefoxBrowser extends BrowserProcess {
  static async launch() {
    if (typeof WebSocket === 'undefined') throw new Error('the Firefox driver needs node --experimental-websocket');
    const profile = mkdtempSync(join(tmpdir(), 'vellumite-firefox-'));
    writeFileSync(join(profile, 'user.js'),
      Object.entries(kPreferences).map(([k, v]) => `user_pref(${JSON.stringify(k)}, ${JSON.stringify(v)});`).join('\n') + '\n');
    const executable = process.env.VELLUMITE_FIREFOX || '/usr/bin/firefox-esr';
    // Headless Firefox finds no GL without a display: given one (a virtual X display), it
    // renders WebGL through Mesa.
    const headless = !process.env.DISPLAY;
    const child = spawn(executable, [...(headless ? ['--headless'] : []), '--no-remote', '--profile', profile, '--remote-debugging-port=0',
      '--width=1024', '--height=768', 'about:blank'], { stdio: ['ignore', 'ignore', 'pipe'],
      env: process.env });
    const browser = new FirefoxBrowser(child, profile);
    try {
      await browser.attach();
    } catch (error) {
      await browser.close();
      throw error;
    }
    return browser;
  }

  constructor(child, profile) {
    super(child, profile);
    this.address = new Promise((resolve, reject) => {
      child.stderr.on('data', (d) => {
        this.stderr = (this.stderr + d).slice(-20000);
        const found = /WebDriver BiDi listening on (ws:\/\/[^\s]+)/.exec(this.stderr);
        if (found) resolve(found[1]);
      });
      child.once('exit', (code) => reject(new Error(`firefox ended (${code}) before listening: ${this.stderr.slice(-2000)}`)));
      setTimeout(() => reject(new Error('firefox did not start listening within 60 s')), 60000);
    });
  }

  send(method, params = {}) {
    const id = this.nextId++;
    this.socket.send(JSON.stringify({ id, method, params }));
    return new Promise((resolve, reject) => this.pending.set(id, { resolve, reject }));
  }

  async attach() {
    const base = await this.address;
    this.socket = new WebSocket(`${base.replace(/\/$/, '')}/session`);
    await new Promise((resolve, reject) => {
      this.socket.onopen = resolve;
      this.socket.onerror = () => reject(new Error(`cannot connect to ${base}`));
    });
    this.socket.onmessage = (event) => {
      const message = JSON.parse(event.data);
      if (message.id !== undefined && this.pending.has(message.id)) {
        const { resolve, reject } = this.pending.get(message.id);
        this.pending.delete(message.id);
        if (message.type === 'error') reject(new Error(`${message.error}: ${message.message}`));
        else resolve(message.result);
      } else if (message.method === 'log.entryAdded') {
        const entry = message.params;
        if (entry.type === 'javascript' && entry.level === 'error' && !exitUnwinding(entry)) this.exceptions.push({ text: entry.text });
        else if (entry.type === 'console') this.console.push(entry.text);
      }
    };
    await this.send('session.new', { capabilities: {} });
    const { contexts } = await this.send('browsingContext.getTree', {});
    this.context = contexts[0].context;
    await this.send('session.subscribe', { events: ['log.entryAdded'] });
  }

  async open(url) {
    await this.send('browsingContext.navigate', { context: this.context, url, wait: 'complete' });
  }

  async evaluate(expression) {
    const result = await this.send('script.evaluate',
      { expression, target: { context: this.context }, awaitPromise: true, resultOwnership: 'none' });
    if (result.type === 'exception') throw new Error(`page: ${result.exceptionDetails.text}`);
    return plain(result.result);
  }

  async key(key) {
    const value = kKeys[key] || key;
    await this.send('input.performActions', { context: this.context, actions: [
      { type: 'key', id: 'keyboard', actions: [{ type: 'keyDown', value }, { type: 'keyUp', value }] }] });
  }

  async close() {
    await this.end(this.socket ? () => this.send('browser.close', {}) : null);
  }
}
