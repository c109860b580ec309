// What the web page's checks and its benchmark share: a static file server on the loopback
// address, Debian's Chromium driven through its DevTools protocol (puppeteer-core), and the
// page's own hooks (window.velkoro, web/page.js) for frames, the canvas and the sound.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

const TYPES = {
  '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
  '.data': 'application/octet-stream',
};

export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Serves `root` on a free port of 127.0.0.1; the page is asked for from a folder below the
// server's root, as a web site would put it.
export async function serve(root) {
  const server = http.createServer((request, response) => {
    const url = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    const file = path.join(root, path.normalize(url));
    if (!file.startsWith(root) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { 'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream' });
    fs.createReadStream(file).pipe(response);
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return { server, base: `http://127.0.0.1:${server.address().port}` };
}

// Chromium without a display, a sandbox or any connection of its own, on a fresh profile.
export async function launch() {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'velkoro-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    userDataDir: profile,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  const close = async () => {
    await browser.close();
    fs.rmSync(profile, { recursive: true, force: true });
  };
  return { browser, close };
}

// Opens the page and collects what its console and the network say went wrong.
export async function open(browser, url) {
  const page = await browser.newPage();
  await page.setViewport({ width: 800, height: 640 });
  const problems = [];
  page.on('console', (m) => { if (m.type() === 'error') problems.push('console: ' + m.text()); });
  page.on('pageerror', (e) => problems.push('page error: ' + e.message));
  page.on('requestfailed', (r) => problems.push('request failed: ' + r.url()));
  page.on('response', (r) => { if (r.status() >= 400) problems.push(`HTTP ${r.status()}: ${r.url()}`); });
  await page.goto(url);
  await page.waitForFunction(() => window.velkoro && window.velkoro.hooks.firstPictureMs !== null,
                             { timeout: 30000 });
  return { page, problems };
}

export async function tap(page, code, ms = 100) {
  await page.keyboard.down(code);
  await sleep(ms);
  await page.keyboard.up(code);
}

export async function frames(page) { return page.evaluate(() => window.velkoro.frames()); }

// Holds the program at the end of frame `n` and waits until it is there.
export async function holdAt(page, n) {
  await page.evaluate((f) => window.velkoro.holdFrame(f), n);
  await page.waitForFunction((f) => window.velkoro.frames() === f, { timeout: 30000, polling: 20 }, n);
}

export async function release(page) { await page.evaluate(() => window.velkoro.holdFrame(0)); }

// The canvas as it is drawn, one pixel per console pixel: { width, height, rgb } with three bytes
// a pixel.
export async function canvas(page) {
  const { width, height, data } = await page.evaluate(() => {
    window.velkoro.paint();
    const c = document.getElementById('screen');
    const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
    let s = '';
    for (let i = 0; i < d.length; i += 4) s += String.fromCharCode(d[i], d[i + 1], d[i + 2]);
    return { width: c.width, height: c.height, data: btoa(s) };
  });
  return { width, height, rgb: Buffer.from(data, 'base64') };
}

// A PNG as { width, height, rgb }, through ImageMagick.
export function readPng(file) {
  const size = execFileSync('identify', ['-format', '%w %h', file]).toString().split(' ').map(Number);
  const rgb = execFileSync('convert', [file, '-depth', '8', 'rgb:-'], { maxBuffer: 1 << 24 });
  return { width: size[0], height: size[1], rgb };
}

export function writePng(picture, file) {
  execFileSync('convert', ['-size', `${picture.width}x${picture.height}`, '-depth', '8', 'rgb:-', file],
               { input: picture.rgb });
}

// The top-left `width` x `height` of a picture.
export function crop(picture, width, height) {
  const rgb = Buffer.alloc(width * height * 3);
  for (let y = 0; y < height; y++)
    picture.rgb.copy(rgb, y * width * 3, y * picture.width * 3, (y * picture.width + width) * 3);
  return { width, height, rgb };
}

// How many pixels differ (both the same size), or a reason they cannot be compared.
export function difference(a, b) {
  if (a.width !== b.width || a.height !== b.height) return `sizes ${a.width}x${a.height} and ${b.width}x${b.height}`;
  let differ = 0;
  for (let i = 0; i < a.rgb.length; i += 3)
    if (a.rgb[i] !== b.rgb[i] || a.rgb[i + 1] !== b.rgb[i + 1] || a.rgb[i + 2] !== b.rgb[i + 2]) differ++;
  return differ;
}
