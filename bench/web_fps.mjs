// Frames per second of the web version in headless Chromium (WebGL 2 on SwiftShader), per scene,
// over a real-time run of the show, and the time from Start to the first frame.
//   bash scripts/run-web --build-only && node bench/web_fps.mjs [SECONDS] [MODE_INDEX]
// SECONDS (default: the whole show) cuts the run short; MODE_INDEX is the form's entry (3: 640x480
// 16bit). Uses the browser tests' Node modules (npm ci in tests/web).
import { spawn } from 'node:child_process';
import { createRequire } from 'node:module';
import { fileURLToPath } from 'node:url';

const require = createRequire(new URL('../tests/web/package.json', import.meta.url));
const puppeteer = require('puppeteer-core');
const site = fileURLToPath(new URL('../build-web/site', import.meta.url));
const seconds = Number(process.argv[2] || 200);
const mode = Number(process.argv[3] || 3);
const port = 8000 + Math.floor(Math.random() * 1000);

// The scene each order belongs to, as the show's dispatch has them.
const scenes = [[0, 2, 'opening'], [3, 3, 'opening build-up'], [4, 6, 'flare'], [7, 7, 'flare ending'],
  [8, 11, 'cave'], [12, 17, 'knot scene'], [18, 21, 'greetings'], [22, 27, 'sphere hall'], [28, 99, 'end']];
const sceneOf = (order) => scenes.find(([first, last]) => order >= first && order <= last)[2];

const server = spawn('python3', ['-m', 'http.server', String(port), '--bind', '127.0.0.1', '--directory', site],
  { stdio: 'ignore' });
await new Promise((resolve) => setTimeout(resolve, 1000));
const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium',
  headless: true,
  protocolTimeout: 600000,
  args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
    '--autoplay-policy=no-user-gesture-required'],
});
try {
  const page = await browser.newPage();
  const loadStart = Date.now();
  await page.goto(`http://127.0.0.1:${port}/`);
  await page.waitForFunction(() => !document.getElementById('start').disabled, { timeout: 60000 });
  console.log(`page load to Start enabled: ${Date.now() - loadStart} ms`);
  await page.evaluate((m) => {
    document.getElementById('mode').selectedIndex = m;
    document.getElementById('fullscreen').checked = false;
    window.benchFrames = [];
    const shown = Module.onFrame;
    Module.onFrame = (order, row) => {
      shown(order, row);
      window.benchFrames.push([performance.now(), order]);
    };
  }, mode);
  const clicked = await page.evaluate(() => performance.now());
  await page.click('#start');
  const over = (s) => Module.tavShowsEnded || (window.benchFrames.length > 0 &&
    performance.now() - window.benchFrames[0][0] > s * 1000);
  while (!(await page.evaluate(over, seconds))) await new Promise((resolve) => setTimeout(resolve, 1000));
  const frames = await page.evaluate(() => window.benchFrames);
  console.log(`Start to first frame: ${(frames[0][0] - clicked).toFixed(0)} ms`);
  const per = new Map();
  for (let i = 1; i < frames.length; i++) {
    const name = sceneOf(frames[i][1]);
    const entry = per.get(name) || { frames: 0, ms: 0 };
    entry.frames += 1;
    entry.ms += frames[i][0] - frames[i - 1][0];
    per.set(name, entry);
  }
  for (const [name, { frames: n, ms }] of per) console.log(`${name.padEnd(18)} ${(n * 1000 / ms).toFixed(1)} fps (${n} frames)`);
} finally {
  await browser.close();
  server.kill();
}
