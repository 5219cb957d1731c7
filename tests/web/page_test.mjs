// The web page in headless Chromium (or Firefox with VELLUMITE_BROWSER=firefox): the show
// plays 5 s and ends on Escape without an exception, and a show folder that lacks a file names
// it on the page as the native program names it on stderr.
//   node tests/web/page_test.mjs PAGE_DIR
import { cpSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { FirefoxBrowser } from './firefox_driver.mjs';
import { Browser, serve } from './page_driver.mjs';

const pageDir = process.argv[2];
if (!pageDir) {
  console.error('usage: page_test.mjs PAGE_DIR');
  process.exit(2);
}

let failures = 0;
function check(condition, what) {
  console.log(`${condition ? 'ok  ' : 'FAIL'} ${what}`);
  if (!condition) failures += 1;
}

async function startShow(browser, url) {
  await browser.open(url);
  await browser.waitFor("!document.getElementById('play').disabled", 120, 'the program and the show to load');
  await browser.evaluate("document.getElementById('play').click()");
  await browser.waitFor("document.title.startsWith('[VELLUMITE]')", 60, 'the show window');
}

async function endShow(browser) {
  await browser.evaluate("document.getElementById('canvas').focus()");
  await browser.key('Escape', 'Escape', 27);
  await browser.waitFor("!document.getElementById('end').hidden", 60, 'the end of the program after Escape');
}

const messages = "Array.from(document.querySelectorAll('#messages li')).map((li) => li.textContent)";

async function playsAndEnds(browser, server) {
  await startShow(browser, `${server.url}?mode=640x480`);
  await new Promise((r) => setTimeout(r, 5000));
  const shown = await browser.evaluate("!document.getElementById('canvas').hidden");
  check(shown, 'the canvas shows the show after 5 s');
  await endShow(browser);
  const said = await browser.evaluate(messages);
  check(browser.exceptions.length === 0,
    `no exception in the page (${browser.exceptions.map((e) => `${e.text} ${e.exception ? e.exception.description || e.exception.value : ''}`).join('; ')})`);
  check(!said.some((m) => m.includes('stopped') || m.includes('exit code')), `the program ended cleanly (${said.join('; ')})`);
}

async function namesMissingFile(browser, server) {
  await startShow(browser, `${server.url}?mode=640x480&data=/data/`);
  await browser.waitFor(`${messages}.some((m) => m.includes('env.jpg'))`, 60, 'the missing file on the page');
  const said = await browser.evaluate(messages);
  check(said.includes('vellumite: missing show file env.jpg (the show goes on without it)'),
    `the page names the missing file as the program does (${said.join('; ')})`);
  await endShow(browser);
}

const dataDir = mkdtempSync(join(tmpdir(), 'vellumite-web-data-'));
cpSync(join(pageDir, 'show'), dataDir, { recursive: true });
rmSync(join(dataDir, 'env.jpg'));
check(readFileSync(join(dataDir, 'files.txt'), 'utf8').includes('env.jpg'), 'the list still names env.jpg');

const server = await serve(pageDir, dataDir);
const firefox = process.env.VELLUMITE_BROWSER === 'firefox';
console.log(`-- in ${firefox ? 'Firefox' : 'Chromium'}`);
const browser = await (firefox ? FirefoxBrowser : Browser).launch();
try {
  for (const [name, test] of [['plays 5 s and ends on Escape', playsAndEnds], ['names a missing file', namesMissingFile]]) {
    console.log(`-- ${name}`);
    try {
      browser.exceptions.length = 0;
      await test(browser, server);
    } catch (error) {
      check(false, `${name}: ${error.message}`);
      console.log(browser.console.slice(-20).join('\n'));
    }
  }
} finally {
  await browser.close();
  server.close();
  rmSync(dataDir, { recursive: true, force: true });
}
writeFileSync(1, failures === 0 ? 'page tests passed\n' : `${failures} page checks failed\n`);
process.exit(failures === 0 ? 0 : 1);
