// The web build in headless Chromium (WebGL 2 on SwiftShader), served from a small server of our
// own that can also hand out a damaged archive or a song that ends early:
//  - the form, the show starting, 10 s without page or console errors, Esc back to the form;
//  - the show's clock against the native player's at two moments of those 10 s;
//  - a song that ends early ends the show; a damaged archive gives the desktop program's text;
//  - five frames against the native capture tool's.
// Usage: node browser_test.mjs SITE_DIR NATIVE_BUILD_DIR SOURCE_DIR WORK_DIR
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import puppeteer from 'puppeteer-core';
import { PNG } from 'pngjs';

const [site, build, source, work] = process.argv.slice(2);
const failures = [];
const check = (ok, what) => {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
  if (!ok) failures.push(what);
};
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const started = Date.now();
const elapsed = () => `${((Date.now() - started) / 1000).toFixed(1)} s`;

// --- What the page is served -------------------------------------------------------------------
const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm' };
const archive = fs.readFileSync(path.join(site, 'tavremon.yip'));
const table = fs.readFileSync(path.join(site, 'tavremon-music.tbl'));
// Damaged: the archive cut off inside the song's member, as an interrupted download leaves it.
const songAt = archive.indexOf(Buffer.from('zlt!qmv.mo3', 'latin1'));
const damaged = archive.subarray(0, songAt + 200);
// A song that ends two seconds in: the table says so (the show then ends on its own).
const shortTable = Buffer.from(table);
shortTable.writeUInt32LE(2 * 44100, 4);
const variants = { damaged: { 'tavremon.yip': damaged }, short: { 'tavremon-music.tbl': shortTable } };

const server = http.createServer((request, response) => {
  const parts = new URL(request.url, 'http://x').pathname.split('/').filter(Boolean);
  const variant = variants[parts[0]] ? variants[parts.shift()] : {};
  const name = parts.join('/') || 'index.html';
  let body = variant[name];
  if (!body && /^[\w.!-]+$/.test(name) && fs.existsSync(path.join(site, name))) body = fs.readFileSync(path.join(site, name));
  if (!body) {
    response.writeHead(404);
    response.end();
    return;
  }
  response.writeHead(200, { 'Content-Type': types[path.extname(name)] || 'application/octet-stream',
    'Content-Length': body.length });
  response.end(body);
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const base = `http://127.0.0.1:${server.address().port}`;

// --- The native side ---------------------------------------------------------------------------
function run(program, args) {
  return new Promise((resolve, reject) => {
    const child = spawn(program, args, { stdio: ['ignore', 'ignore', 'pipe'] });
    let errors = '';
    child.stderr.on('data', (d) => { errors += d; });
    child.on('close', (code) => (code === 0 ? resolve() : reject(new Error(`${program} ${args.join(' ')}: ${errors}`))));
  });
}
// Frame F (at F/60 s) as the capture tool renders it at 640x480, and the position it had.
async function nativeFrame(frame) {
  const out = path.join(work, `native-${frame}`);
  await run(path.join(build, 'tavremon-capture'),
    ['--out', out, '--from', ((frame - 0.5) / 60).toFixed(6), '--to', ((frame + 0.5) / 60).toFixed(6)]);
  const line = fs.readFileSync(path.join(out, 'timeline.csv'), 'utf8').trim().split('\n')[1].split(',');
  const file = path.join(out, `frame-${String(line[0]).padStart(6, '0')}.png`);
  return { frame: Number(line[0]), order: Number(line[2]), row: Number(line[3]), png: file };
}
// The song's rows in play order, to count how many rows apart two positions are.
const rowIndex = new Map();
for (let i = 0; i < table.readUInt32LE(0); i++) {
  const word = table.readUInt32LE(8 + i * 8 + 4);
  if (!rowIndex.has(word)) rowIndex.set(word, rowIndex.size);
}
const rowsApart = (a, b) => Math.abs(rowIndex.get(a.order | (a.row << 16)) - rowIndex.get(b.order | (b.row << 16)));

// --- The browser -------------------------------------------------------------------------------
const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium',
  headless: true,
  protocolTimeout: 600000,
  args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
    '--autoplay-policy=no-user-gesture-required'],
});

async function openPage(url, errors) {
  const page = await browser.newPage();
  page.on('pageerror', (error) => errors.push(`page error: ${error.message}`));
  page.on('console', (message) => {
    if (message.type() === 'error') errors.push(`console error: ${message.text()}`);
  });
  await page.goto(url);
  await page.waitForFunction(() => !document.getElementById('start').disabled, { timeout: 60000 });
  return page;
}

async function startShow(page, { mode = 3, fullscreen = false } = {}) {
  await page.evaluate((m, f) => {
    document.getElementById('mode').selectedIndex = m;
    document.getElementById('fullscreen').checked = f;
  }, mode, fullscreen);
  await page.click('#start');
}

const formVisible = () => !document.getElementById('setup').hidden && document.getElementById('canvas').hidden;

try {
  // The frames test's captures run beside the browser's first pages.
  const moments = [['opening', 480], ['flare', 1800], ['cave', 3600], ['knot scene', 5400], ['sphere hall', 9600]];
  const nativeFrames = (async () => {
    const frames = [];
    for (const [, frame] of moments) frames.push(await nativeFrame(frame));
    return frames;
  })();
  nativeFrames.catch(() => {});

  // 1. The form, the show, 10 s without errors; 4. Esc ends it.
  {
    const errors = [];
    const page = await openPage(`${base}/`, errors);
    const form = await page.evaluate(() => ({
      heading: document.querySelector('#setup h1').textContent.trim(),
      modes: Array.from(document.getElementById('mode').options, (o) => o.textContent),
      selected: document.getElementById('mode').selectedOptions[0].textContent,
      fullscreen: document.getElementById('fullscreen').parentElement.textContent.trim(),
      buttons: Array.from(document.querySelectorAll('#setup button'), (b) => b.textContent),
    }));
    const listed = [...fs.readFileSync(path.join(source, 'core/setup_dialog.cpp'), 'utf8')
      .matchAll(/\{"(\d+x\d+ \d+bit)"/g)].map((m) => m[1]);
    check(form.heading === 'Tavremon:54 setup.', `form heading "${form.heading}"`);
    check(listed.length === 12 && JSON.stringify(form.modes) === JSON.stringify(listed),
      `the twelve modes in the desktop dialog's order: ${form.modes.join(', ')}`);
    check(form.selected === '640x480 16bit', `"${form.selected}" selected`);
    check(form.fullscreen === 'Fullscreen' && JSON.stringify(form.buttons) === '["Start","Exit"]',
      'Fullscreen box, Start and Exit');

    const clicked = Date.now();
    await startShow(page);
    await page.waitForFunction(() => Module.tavPosition, { timeout: 60000 });
    const firstFrame = Date.now();
    console.log(`     first frame ${firstFrame - clicked} ms after Start`);
    const samples = [];
    while (Date.now() - firstFrame < 10000) {
      samples.push(await page.evaluate(() => Module.tavPosition));
      await sleep(100);
    }
    const first = samples[0];
    const last = samples[samples.length - 1];
    console.log(`     ${last.frames} frames in 10 s, at order ${last.order} row ${last.row}, ${last.seconds.toFixed(2)} s of the song`);
    check(last.seconds > 5 && last.frames > 5 && rowsApart(first, last) > 40,
      `the show plays: ${rowsApart(first, last)} rows in 10 s`);
    check(errors.length === 0, `no page or console error in 10 s of the show ${errors.join('; ')}`);

    await page.keyboard.press('Escape');
    await page.waitForFunction(formVisible, { timeout: 10000 }).catch(() => {});
    check(await page.evaluate(formVisible), 'Esc ends the show and the form comes back');

    // Started again, the show starts from its beginning.
    await page.evaluate(() => { Module.tavPosition = null; });
    await startShow(page);
    await page.waitForFunction(() => Module.tavPosition && Module.tavPosition.frames >= 3, { timeout: 60000 });
    const again = await page.evaluate(() => Module.tavPosition);
    check(again.order === 0 && again.row < 32, `started again: order ${again.order} row ${again.row}`);
    await page.keyboard.press('Escape');
    await page.waitForFunction(formVisible, { timeout: 10000 }).catch(() => {});

    // 3. The clock: the position the page drew with, against the native player's at that moment.
    for (const target of [last.seconds * 0.3, last.seconds * 0.9]) {
      const nearest = samples.reduce((a, b) => (Math.abs(b.seconds - target) < Math.abs(a.seconds - target) ? b : a));
      const native = await nativeFrame(Math.round(nearest.seconds * 60));
      const apart = rowsApart(nearest, native);
      check(apart <= 1, `clock at ${nearest.seconds.toFixed(3)} s: page order ${nearest.order} row ${nearest.row}, ` +
        `native order ${native.order} row ${native.row} (${apart} rows apart)`);
    }
    await page.close();
  }

  // 4. The song's end ends the show.
  {
    const page = await openPage(`${base}/short/`, []);
    await startShow(page);
    await page.waitForFunction(() => Module.tavShowsEnded === 1, { timeout: 20000 }).catch(() => {});
    check(await page.evaluate(formVisible), 'a song that ends after 2 s ends the show; the form comes back');
    await page.close();
  }

  // 5. A damaged archive: the desktop program's text on the page.
  {
    const page = await openPage(`${base}/damaged/`, []);
    await startShow(page);
    await page.waitForFunction(() => !document.getElementById('message').hidden, { timeout: 20000 }).catch(() => {});
    const text = await page.evaluate(() => (document.getElementById('message').hidden ? '' : document.getElementById('message').textContent));
    check(text === "BASS can't music load file.", `damaged archive: "${text}" on the page`);
    await page.close();
  }

  // 2. Five frames at 640x480 (32-bit, as the capture tool draws) against the native ones.
  {
    const page = await openPage(`${base}/?frames=${moments.map((m) => m[1]).join(',')}`, []);
    await startShow(page, { mode: 9 });
    await page.waitForFunction((n) => (Module.tavTestFrames || []).length === n, { timeout: 240000, polling: 500 },
      moments.length);
    const frames = await page.evaluate(() => Module.tavTestFrames.map((f) => ({ ...f, rgba: Array.from(f.rgba) })));
    const natives = await nativeFrames;
    moments.forEach(([name, frame], i) => {
      const web = frames[i];
      const native = natives[i];
      const png = PNG.sync.read(fs.readFileSync(native.png));
      const diffs = [[], [], []];
      for (let y = 0; y < web.height; y++) {
        for (let x = 0; x < web.width; x++) {
          const w = ((web.height - 1 - y) * web.width + x) * 4; // GL rows count from the bottom
          const n = (y * png.width + x) * 4;
          for (let c = 0; c < 3; c++) diffs[c].push(Math.abs(web.rgba[w + c] - png.data[n + c]));
        }
      }
      const stats = diffs.map((d) => {
        d.sort((a, b) => a - b);
        return { mean: d.reduce((s, v) => s + v, 0) / d.length, p99: d[Math.floor(d.length * 0.99)] };
      });
      const worstMean = Math.max(...stats.map((s) => s.mean));
      const worstP99 = Math.max(...stats.map((s) => s.p99));
      check(web.index === frame && native.frame === frame && worstMean <= 4 && worstP99 <= 48,
        `${name} (frame ${frame}, order ${web.order} row ${web.row}): mean difference ${worstMean.toFixed(2)}, ` +
        `99th percentile ${worstP99} (limits 4 and 48)`);
      if (worstMean > 4 || worstP99 > 48) {
        const out = new PNG({ width: web.width, height: web.height });
        for (let y = 0; y < web.height; y++) {
          for (let x = 0; x < web.width; x++) {
            for (let c = 0; c < 4; c++) out.data[(y * web.width + x) * 4 + c] = web.rgba[((web.height - 1 - y) * web.width + x) * 4 + c];
          }
        }
        fs.writeFileSync(path.join(work, `web-${frame}.png`), PNG.sync.write(out));
      }
    });
    await page.close();
  }
} catch (error) {
  check(false, `the test itself: ${error.stack || error}`);
} finally {
  await browser.close();
  server.close();
}
console.log(`${failures.length ? 'FAILED' : 'passed'} in ${elapsed()}`);
process.exit(failures.length ? 1 : 0);
