// The web page in Debian's Chromium, against the headless runner on the same card: the page loads
// without errors, shows the welcome screen, the cartridge manager and the bouncing balls' first
// seconds exactly as the runner does for the same presses, the pause holds a game, a held key and a game controller's
// button reach the controller test cartridge, the sound it then plays is its tone at the program's
// volume, and a cartridge opened on the page starts at once and is on the card after a reload.
//
// node --test page_test.mjs, with VELKORO_PAGE (the built page folder), VELKORO_HEADLESS (the
// runner), VELKORO_CARD (its card folder) and VELKORO_WORK (a folder for the pictures).
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';
import * as h from './harness.mjs';

const PAGE = path.resolve(process.env.VELKORO_PAGE);
const HEADLESS = process.env.VELKORO_HEADLESS;
const CARD = process.env.VELKORO_CARD;
const WORK = process.env.VELKORO_WORK;
const PICTURE_W = 272, PICTURE_H = 208; // the console's picture area, which a game shows
const PROGRAM_RATE = 44100;             // the program's sound, as the page's hook hands it over

// Frames of the first game to look at: the boot ROM's title, then the balls. Odd, because the
// runner draws every second frame starting with the first.
const TITLE_FRAME = 91;
const BALLS_FRAMES = [241, 301];
// The controller test's tone for player 1's left fire button.
const TONE_HZ = 440;

let server, browser, page, problems;

// The runner's screen for a button script, after `ms` milliseconds or `frames` frames.
function reference(name, buttons, end, card = CARD) {
  const file = path.join(WORK, name + '-headless.png');
  const args = ['--card', card, '--screenshot', file, ...end];
  if (buttons) args.push('--buttons', buttons);
  execFileSync(HEADLESS, args, { stdio: ['ignore', 'ignore', 'inherit'] });
  return h.readPng(file);
}

function assertSame(name, shown, expected) {
  const d = h.difference(shown, expected);
  if (d !== 0) {
    h.writePng(shown, path.join(WORK, name + '-page.png'));
    assert.fail(`${name}: the page's canvas and the runner's screen differ (${d} pixels; ${name}-page.png and ` +
                `${name}-headless.png in ${WORK})`);
  }
}

// A game shows its picture area; the runner's screen holds it in the top-left corner, on black.
function gamePicture(screen) {
  const black = { width: screen.width, height: screen.height, rgb: Buffer.alloc(screen.rgb.length) };
  const area = h.crop(screen, PICTURE_W, PICTURE_H);
  const outside = Buffer.from(screen.rgb);
  const blank = h.crop(black, PICTURE_W, PICTURE_H);
  for (let y = 0; y < PICTURE_H; y++) blank.rgb.copy(outside, y * screen.width * 3);
  assert.equal(h.difference({ ...screen, rgb: outside }, black), 0, 'the screen outside the picture area is black');
  return area;
}

// Frequency by rising zero crossings, and the level as the RMS, of samples from -1 to 1.
function tone(samples, rate) {
  let rises = 0, first = -1, last = -1, sum = 0;
  for (let i = 1; i < samples.length; i++) {
    sum += samples[i] * samples[i];
    if (samples[i - 1] < 0 && samples[i] >= 0) {
      if (first < 0) first = i;
      last = i;
      rises++;
    }
  }
  const hz = rises > 1 ? (rises - 1) * rate / (last - first) : 0;
  return { hz, rms: Math.sqrt(sum / samples.length) };
}

// The left side, from -1 to 1, of the last `seconds` of a 44100 Hz 16-bit stereo WAV file as the
// runner writes it (a 44-byte header; it records while a game runs).
function lastSeconds(bytes, seconds) {
  const last = (bytes.length - 44) >> 2, first = last - Math.round(seconds * PROGRAM_RATE);
  const out = new Float32Array(last - first);
  for (let i = first; i < last; i++) out[i - first] = bytes.readInt16LE(44 + 4 * i) / 32768;
  return out;
}

before(async () => {
  fs.mkdirSync(WORK, { recursive: true });
  // Served from a folder below the server's root, as on a web site.
  const served = await h.serve(path.dirname(PAGE));
  server = served.server;
  browser = await h.launch();
  ({ page, problems } = await h.open(browser.browser, `${served.base}/${path.basename(PAGE)}/index.html`));
  console.log(`first picture ${Math.round(await page.evaluate(() => window.velkoro.hooks.firstPictureMs))} ms after the page was opened`);
});

after(async () => {
  if (browser) await browser.close();
  if (server) server.close();
});

test('the welcome screen and the cartridge manager are the runner\'s', async () => {
  await h.sleep(300);
  assertSame('welcome', await h.canvas(page), reference('welcome', '', ['--ms', '250']));
  await h.tap(page, 'KeyB');
  await h.sleep(500);
  assertSame('manager', await h.canvas(page), reference('manager', 'B:300-400', ['--ms', '700']));
});

test('the bouncing balls\' first seconds are the runner\'s, frame for frame', async () => {
  await page.evaluate((f) => window.velkoro.holdFrame(f), TITLE_FRAME);
  await h.tap(page, 'KeyB');
  for (const frame of [TITLE_FRAME, ...BALLS_FRAMES]) {
    await h.holdAt(page, frame);
    const expected = gamePicture(reference('balls-' + frame, 'B:300-400,B:800-900', ['--frames', String(frame)]));
    assertSame('balls-' + frame, await h.canvas(page), expected);
  }
  await h.release(page);
});

test('a held key and a game controller reach the controller test cartridge, which plays its tone', async () => {
  // The pause key stops the game between two frames, and quiet; SELECT's key then ends it. Back in
  // the manager, one down, B: the controller test.
  await h.tap(page, 'Escape');
  await h.sleep(100);
  const stopped = await h.frames(page);
  const paused = await page.evaluate(() => window.velkoro.captureAudio(4410).then(Array.from));
  assert.equal(await h.frames(page), stopped, 'no frame runs in the pause');
  assert.ok(paused.every((s) => s === 0), 'no sound in the pause');
  assert.ok(await page.evaluate(() => window.velkoro.playing()), 'the game waits in the pause');
  await h.tap(page, 'Backspace');
  await page.waitForFunction(() => !window.velkoro.playing(), { timeout: 10000 });
  await h.sleep(300);
  await h.tap(page, 'ArrowDown');
  await h.sleep(200);
  const start = await h.frames(page);
  await h.tap(page, 'KeyB');
  // Past the boot ROM's title screen.
  await page.waitForFunction((f) => window.velkoro.frames() > f + 220, { timeout: 20000 }, start);
  const capture = (n) => page.evaluate((count) => window.velkoro.captureAudio(count).then(Array.from), n);
  const quiet = tone(await capture(PROGRAM_RATE / 4), PROGRAM_RATE);
  assert.ok(quiet.rms < 0.001, `silent before the key (RMS ${quiet.rms})`);

  await page.keyboard.down('KeyZ');
  await h.sleep(300);
  const held = await h.canvas(page);
  const sound = tone(await capture(PROGRAM_RATE / 2), PROGRAM_RATE);
  await page.keyboard.up('KeyZ');
  await h.sleep(200);
  // The same control from a game controller in the standard layout, whose left face button is A.
  await page.evaluate(() => {
    const pad = { connected: true, axes: [0, 0], buttons: Array.from({ length: 17 }, (_, i) => ({ pressed: i === 2 })) };
    navigator.getGamepads = () => [pad, null];
  });
  await h.sleep(300);
  const fromPad = await h.canvas(page);
  await page.evaluate(() => { delete navigator.getGamepads; });

  // The runner goes the short way: B past the welcome screen, one down, B; A from 5 s on, the
  // tone in the last second of its sound.
  const buttons = 'B:300-400,DOWN:600-700,B:900-1000,A:5000-6000';
  const picture = gamePicture(reference('controller', buttons, ['--ms', '5500']));
  assertSame('controller', held, picture);
  assertSame('controller-pad', fromPad, picture);
  const wav = path.join(WORK, 'controller-headless.wav');
  execFileSync(HEADLESS, ['--card', CARD, '--buttons', buttons, '--ms', '6000', '--wav', wav], { stdio: 'ignore' });
  const expected = tone(lastSeconds(fs.readFileSync(wav), 0.5), PROGRAM_RATE);
  console.log(`tone: ${sound.hz.toFixed(1)} Hz, RMS ${sound.rms.toFixed(4)} ` +
              `(the runner: ${expected.hz.toFixed(1)} Hz, RMS ${expected.rms.toFixed(4)} at full volume)`);
  assert.ok(Math.abs(sound.hz - TONE_HZ) < 2, `the tone is ${TONE_HZ} Hz (heard ${sound.hz.toFixed(1)} Hz)`);
  // The program's volume of 50 % is 40 % of the device's, as on the handheld's mixer.
  const level = sound.rms / expected.rms;
  assert.ok(Math.abs(level - 0.4) < 0.04, `the tone is at 40 % of the runner's level (${(100 * level).toFixed(1)} %)`);
});

test('a cartridge opened on the page starts at once, and stays on the card for the next visit', async () => {
  // The runner's card with the same file added.
  const card = path.join(WORK, 'own-card');
  fs.rmSync(card, { recursive: true, force: true });
  fs.cpSync(CARD, card, { recursive: true });
  const roms = path.join(card, 'roms', 'colecovision');
  fs.copyFileSync(path.join(roms, 'Bouncing balls.rom'), path.join(roms, 'My own.rom'));
  const expected = reference('own-manager', 'B:300-400', ['--ms', '700'], card);

  // Opened on the welcome screen, the cartridge is the first game once the player goes on: the
  // balls, frame for frame.
  const own = await h.open(browser.browser, page.url());
  const frame = BALLS_FRAMES[0];
  await own.page.evaluate((f) => window.velkoro.holdFrame(f), frame);
  await (await own.page.$('#files')).uploadFile(path.join(roms, 'My own.rom'));
  await own.page.waitForFunction(() => document.getElementById('status').textContent.startsWith('Added My own.rom'));
  await h.tap(own.page, 'KeyB');
  await h.holdAt(own.page, frame);
  assertSame('own-game', await h.canvas(own.page), gamePicture(h.readPng(path.join(WORK, `balls-${frame}-headless.png`))));
  await h.release(own.page);

  await own.page.reload();
  await own.page.waitForFunction(() => window.velkoro && window.velkoro.hooks.firstPictureMs !== null);
  await h.tap(own.page, 'KeyB');
  await h.sleep(500);
  assertSame('own-manager', await h.canvas(own.page), expected);
  problems.push(...own.problems);
  await own.page.close();
});

test('nothing went wrong in the page', () => {
  assert.deepEqual(problems, []);
});
