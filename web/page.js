// The page around the emulator: it sets up emscripten's Module before velkoro.js loads, then
// paints the screen on the canvas, hands keys and game controllers to the program, plays its
// sound through Web Audio and puts the player's own files on the card. The program runs on this
// page's only thread and yields to it whenever it waits (platform/web/web.cpp); everything here
// runs in those gaps.
'use strict';

(function () {
  const CARD_ROMS = '/card/roms/colecovision/';
  const PROGRAM_RATE = 44100; // what the program renders
  const AUDIO_CHUNK = 1024;   // frames per pull of the browser's audio node

  const canvas = document.getElementById('screen');
  const context = canvas.getContext('2d', { alpha: false });
  const statusLine = document.getElementById('status');
  const fileInput = document.getElementById('files');

  let running = false;     // the program has started and not ended
  let started = false;     // main has handed the thread back for the first time
  let keptFiles = [];      // the player's files from earlier visits, until the card exists

  const hooks = {          // what checks of the page (and the curious) can look at
    firstPictureMs: null,  // page time of the first picture that is not all black
    paints: 0,
    audioFramesRendered: 0,
    audioRate: null,
    captures: [],
    ended: null,
  };

  const SOUND_HINT = 'Press a key or click to start the sound.';
  function say(text) { statusLine.textContent = text; }

  // --- Waiting: the program's yields ---

  // Timers started from a timer's own callback are held back to 4 ms or more once they nest; a
  // message starts each wait afresh, so that a 1 ms wait is 1 ms.
  const channel = new MessageChannel();
  const waits = [];
  channel.port1.onmessage = () => {
    const w = waits.shift();
    if (w.ms > 0) setTimeout(w.resolve, w.ms); else w.resolve();
  };
  function wait(ms) {
    return new Promise((resolve) => { waits.push({ ms, resolve }); channel.port2.postMessage(0); });
  }

  // --- The screen ---

  let scaleDirty = true;

  // Whole multiples of the console's pixels, in the display's own pixels, so that every pixel is
  // as large as the next.
  function fitCanvas() {
    const stage = canvas.parentElement;
    const ratio = window.devicePixelRatio || 1;
    const across = Math.floor(stage.clientWidth * ratio / canvas.width);
    const down = Math.floor(stage.clientHeight * ratio / canvas.height);
    const scale = Math.max(1, Math.min(across, down));
    canvas.style.width = (canvas.width * scale / ratio) + 'px';
    canvas.style.height = (canvas.height * scale / ratio) + 'px';
    scaleDirty = false;
  }
  window.addEventListener('resize', () => { scaleDirty = true; });

  function paint(force) {
    const pointer = Module._web_screen(force ? 1 : 0);
    if (pointer) {
      const w = Module._web_screen_width(), h = Module._web_screen_height();
      if (canvas.width !== w || canvas.height !== h) {
        canvas.width = w;
        canvas.height = h;
        scaleDirty = true;
      }
      const pixels = new Uint8ClampedArray(Module.HEAPU8.buffer, pointer, w * h * 4);
      context.putImageData(new ImageData(pixels, w, h), 0, 0);
      hooks.paints++;
      if (hooks.firstPictureMs === null && !allBlack(pixels)) hooks.firstPictureMs = performance.now();
    }
    if (scaleDirty) fitCanvas();
  }

  function allBlack(rgba) {
    for (let i = 0; i < rgba.length; i += 4) if (rgba[i] | rgba[i + 1] | rgba[i + 2]) return false;
    return true;
  }

  function frame() {
    if (!running) return;
    pollGamepads();
    paint(false);
    requestAnimationFrame(frame);
  }

  // --- Controls ---

  // Button word bits, as the program's read_pad has them.
  const UP = 0x0001, LEFT = 0x0004, DOWN = 0x0010, RIGHT = 0x0040, START = 0x0100, SELECT = 0x0200;
  const L = 0x0400, R = 0x0800, A = 0x1000, B = 0x2000, X = 0x4000, Y = 0x8000;
  const KEYPAD_NONE = 15;

  // The PC program's keys: letters by what the keyboard says on them (KeyboardEvent.key), the
  // others by their place (KeyboardEvent.code); [player, bit]. Left Ctrl is left to the browser:
  // held as A, it would turn W and Q (R and L) into the browser's own closing of the tab and the
  // window, which no page can stop.
  const KEYS = {
    ArrowUp: [0, UP], ArrowDown: [0, DOWN], ArrowLeft: [0, LEFT], ArrowRight: [0, RIGHT],
    A: [0, A], Z: [0, A], B: [0, B], Space: [0, B], X: [0, X], ShiftLeft: [0, X], Y: [0, Y],
    Q: [0, L], W: [0, R], Enter: [0, START], Backspace: [0, SELECT],
    I: [1, UP], K: [1, DOWN], J: [1, LEFT], L: [1, RIGHT], U: [1, A], O: [1, B],
  };
  const PAUSE_KEY = 'Escape';
  // Keypad keys: index 0-9 the digits, 10 '*', 11 '#'. The number row is the first controller's
  // keypad, the numeric keypad the second's.
  const KEYPADS = [{ Minus: 10, Equal: 11 }, { NumpadMultiply: 10, NumpadDivide: 11 }];
  for (let d = 0; d <= 9; d++) {
    KEYPADS[0]['Digit' + d] = d;
    KEYPADS[1]['Numpad' + d] = d;
  }
  // Spinner keys, as on the PC: [player, direction]; a held key turns SPINNER_KEY_STEPS a frame.
  const SPINNERS = { Comma: [0, -1], Period: [0, 1], N: [1, -1], M: [1, 1] };
  // What web_key_down is told of a key.
  const KEY_OTHER = 0, KEY_PAUSE = 1, KEY_SELECT = 2;

  const down = new Map(); // KeyboardEvent.code -> the name the key goes by while it is down
  let padWords = [0, 0];
  let sent = '';

  // A letter by its label; where the label is no Latin letter, by the letter of its place.
  function keyName(e) {
    if (/^[a-z]$/i.test(e.key)) return e.key.toUpperCase();
    if (/^Key[A-Z]$/.test(e.code)) return e.code.slice(3);
    return e.code;
  }

  function lowestKey(table) {
    let key = KEYPAD_NONE;
    for (const name of down.values()) if (name in table && table[name] < key) key = table[name];
    return key;
  }

  function sendControls() {
    if (!running) return;
    const words = [padWords[0], padWords[1]];
    for (const name of down.values()) if (name in KEYS) words[KEYS[name][0]] |= KEYS[name][1];
    const keypads = [lowestKey(KEYPADS[0]), lowestKey(KEYPADS[1])];
    const spins = [0, 0];
    for (const name of down.values()) if (name in SPINNERS) spins[SPINNERS[name][0]] += SPINNERS[name][1];
    const now = words.join() + ',' + keypads.join() + ',' + spins.join();
    if (now === sent) return;
    sent = now;
    Module._web_set_controls(words[0], words[1], keypads[0], keypads[1]);
    Module._web_set_spinners(spins[0], spins[1]);
  }

  function mapped(name) {
    return name in KEYS || name in KEYPADS[0] || name in KEYPADS[1] || name in SPINNERS || name === PAUSE_KEY;
  }

  window.addEventListener('keydown', (e) => {
    startSound();
    if (e.ctrlKey || e.metaKey || e.altKey) return; // the browser's own shortcuts
    const name = keyName(e);
    if (mapped(name)) e.preventDefault();
    if (e.repeat || !running) return;
    Module._web_key_down(name === PAUSE_KEY ? KEY_PAUSE : name in KEYS && KEYS[name][1] === SELECT ? KEY_SELECT : KEY_OTHER);
    down.set(e.code, name);
    sendControls();
  });
  window.addEventListener('keyup', (e) => {
    if (!down.has(e.code)) return;
    if (mapped(down.get(e.code))) e.preventDefault();
    down.delete(e.code);
    sendControls();
  });
  // Keys let go while the page had no focus would stay held.
  window.addEventListener('blur', () => { down.clear(); sendControls(); });

  // Game controllers in the browser's standard layout: face buttons 0 bottom, 1 right, 2 left,
  // 3 top, as on the handheld left A, right B, bottom X, top Y; 4 and 5 the shoulders (L, R);
  // 8 Back (SELECT), 9 Start; 12-15 the d-pad. The left stick counts past half way.
  const PAD_BUTTONS = [[0, X], [1, B], [2, A], [3, Y], [4, L], [5, R], [8, SELECT], [9, START],
                       [12, UP], [13, DOWN], [14, LEFT], [15, RIGHT]];

  function padWord(pad) {
    let word = 0;
    for (const [index, bit] of PAD_BUTTONS) if (pad.buttons[index] && pad.buttons[index].pressed) word |= bit;
    const x = pad.axes[0] || 0, y = pad.axes[1] || 0;
    if (x <= -0.5) word |= LEFT;
    if (x >= 0.5) word |= RIGHT;
    if (y <= -0.5) word |= UP;
    if (y >= 0.5) word |= DOWN;
    return word;
  }

  function pollGamepads() {
    if (!navigator.getGamepads) return;
    const pads = Array.from(navigator.getGamepads()).filter((p) => p && p.connected);
    const words = [pads[0] ? padWord(pads[0]) : 0, pads[1] ? padWord(pads[1]) : 0];
    for (let p = 0; p < 2; p++) {
      const fresh = words[p] & ~padWords[p];
      // Only the first player's SELECT ends a game.
      if (fresh) Module._web_key_down(p === 0 && fresh & SELECT ? KEY_SELECT : KEY_OTHER);
    }
    padWords = words;
    sendControls();
  }

  // --- Sound ---

  let audio = null;
  let pending = new Float32Array(0); // converting: program samples not yet used up
  let position = 0;                  // where the next output frame falls in them

  // Browsers start sound only after the player has done something on the page.
  function startSound() {
    if (audio || !running) return;
    try {
      audio = new AudioContext({ sampleRate: PROGRAM_RATE });
    } catch (e) {
      audio = new AudioContext();
    }
    hooks.audioRate = audio.sampleRate;
    const node = audio.createScriptProcessor(AUDIO_CHUNK, 0, 2);
    node.onaudioprocess = (e) => pull(e.outputBuffer);
    node.connect(audio.destination);
    audio.resume();
    if (statusLine.textContent === SOUND_HINT) say('');
  }

  // A hidden page gets few turns from the browser, too few for the program to keep up with the
  // sound, which would go on with its last notes: it is quiet until it is shown again.
  document.addEventListener('visibilitychange', () => {
    if (!audio) return;
    if (document.hidden) audio.suspend(); else audio.resume();
  });

  // The next `count` samples of the program, handed to any capture that waits for them.
  function render(count) {
    const at = Module._web_audio_render(count) >> 2;
    const samples = Module.HEAPF32.slice(at, at + count);
    hooks.audioFramesRendered += count;
    for (const c of hooks.captures) {
      const n = Math.min(count, c.data.length - c.filled);
      c.data.set(samples.subarray(0, n), c.filled);
      c.filled += n;
      if (c.filled === c.data.length) c.resolve(c.data);
    }
    hooks.captures = hooks.captures.filter((c) => c.filled < c.data.length);
    return samples;
  }

  function pull(out) {
    const left = out.getChannelData(0), right = out.getChannelData(1);
    if (!running) { left.fill(0); right.fill(0); return; }
    if (out.sampleRate === PROGRAM_RATE) {
      const samples = render(left.length);
      left.set(samples);
      right.set(samples);
      return;
    }
    // A browser that would not run at the program's rate: straight lines between its samples.
    const step = PROGRAM_RATE / out.sampleRate;
    const need = Math.floor(position + (left.length - 1) * step) + 2;
    if (pending.length < need) {
      const more = render(need - pending.length), joined = new Float32Array(need);
      joined.set(pending);
      joined.set(more, pending.length);
      pending = joined;
    }
    for (let i = 0; i < left.length; i++) {
      const x = position + i * step, whole = Math.floor(x);
      left[i] = right[i] = pending[whole] + (pending[whole + 1] - pending[whole]) * (x - whole);
    }
    position += left.length * step;
    const used = Math.floor(position);
    pending = pending.slice(used);
    position -= used;
  }

  // --- The player's files ---

  // Kept in the browser's IndexedDB for the next visit; forgotten on request.
  function database() {
    return new Promise((resolve, reject) => {
      const open = indexedDB.open('velkoro', 1);
      open.onupgradeneeded = () => open.result.createObjectStore('files', { keyPath: 'name' });
      open.onsuccess = () => resolve(open.result);
      open.onerror = () => reject(open.error);
    });
  }

  async function storeFile(name, bytes) {
    const db = await database();
    await new Promise((resolve, reject) => {
      const t = db.transaction('files', 'readwrite');
      t.objectStore('files').put({ name, bytes });
      t.oncomplete = resolve;
      t.onerror = () => reject(t.error);
    });
    db.close();
  }

  async function loadFiles() {
    const db = await database();
    const all = await new Promise((resolve, reject) => {
      const r = db.transaction('files').objectStore('files').getAll();
      r.onsuccess = () => resolve(r.result);
      r.onerror = () => reject(r.error);
    });
    db.close();
    return all;
  }

  function isCartridge(bytes) {
    return bytes.length >= 2 && ((bytes[0] === 0x55 && bytes[1] === 0xAA) || (bytes[0] === 0xAA && bytes[1] === 0x55));
  }

  // The name a file goes by on the card: a BIOS is coleco.rom (named so, or 8 KB without a
  // cartridge's first bytes); a cartridge keeps its name, ending in .rom so that the manager
  // lists it, without characters a path cannot hold.
  function cardName(name, bytes) {
    if (/^coleco\.rom$/i.test(name) || (bytes.length === 8192 && !isCartridge(bytes))) return 'coleco.rom';
    let base = name.replace(/[\/\\\x00-\x1f]/g, '_').replace(/\.(rom|col|bin)$/i, '');
    if (!base || base === '.' || base === '..') base = 'cartridge';
    // Short enough for the program's path buffers (web.h's WEB_NAME_BYTES).
    while (new TextEncoder().encode(base).length > 120) base = base.slice(0, -1);
    return base + '.rom';
  }

  function putOnCard(name, bytes) {
    Module.FS.writeFile(CARD_ROMS + name, bytes);
  }

  async function addFiles(list) {
    const added = [];
    for (const file of list) {
      const bytes = new Uint8Array(await file.arrayBuffer());
      if (bytes.length > 1 << 20) {
        say(file.name + ' is too large for a cartridge (over 1 MB); left out.');
        continue;
      }
      const name = cardName(file.name, bytes);
      putOnCard(name, bytes);
      added.push(name);
      storeFile(name, bytes).catch(() => say('Added ' + name + ' for this visit (the browser keeps no files).'));
    }
    if (!added.length) return;
    const bios = added.includes('coleco.rom');
    const cartridges = added.filter((name) => name !== 'coleco.rom');
    // One cartridge starts at once; of several, the player chooses in the cartridge manager.
    if (cartridges.length === 1) {
      const name = new TextEncoder().encode(cartridges[0]);
      Module.HEAPU8.set(name, Module._web_name_buffer());
      Module.HEAPU8[Module._web_name_buffer() + name.length] = 0;
      Module._web_open_cartridge();
    }
    say('Added ' + added.join(', ') + '. ' + (bios ? 'The BIOS is used from the next game on. ' : '') +
        (cartridges.length > 1 ? 'The cartridge manager lists the card each time it opens (leave a game with Backspace).' : ''));
  }

  document.getElementById('open').addEventListener('click', (e) => { e.target.blur(); fileInput.click(); });
  fileInput.addEventListener('change', () => { addFiles(Array.from(fileInput.files)); fileInput.value = ''; });
  document.getElementById('forget').addEventListener('click', async (e) => {
    e.target.blur();
    try {
      const db = await database();
      db.transaction('files', 'readwrite').objectStore('files').clear();
      db.close();
    } catch (error) { /* nothing was kept */ }
    location.reload();
  });
  document.addEventListener('dragover', (e) => { e.preventDefault(); document.body.classList.add('dragging'); });
  document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
  document.addEventListener('drop', (e) => {
    e.preventDefault();
    document.body.classList.remove('dragging');
    startSound();
    if (running) addFiles(Array.from(e.dataTransfer.files));
  });
  document.addEventListener('pointerdown', startSound);

  // --- The program ---

  const query = new URLSearchParams(location.search);

  window.Module = {
    // ?unpaced: no waits at all, for measuring the emulation's speed.
    arguments: query.has('unpaced') ? ['--unpaced'] : [],
    velkoroWait: wait,
    preRun: [() => {
      Module.addRunDependency('kept-files');
      loadFiles().then((files) => { keptFiles = files; }, () => {})
        .finally(() => Module.removeRunDependency('kept-files'));
    }],
    onRuntimeInitialized: () => {
      for (const f of keptFiles) putOnCard(f.name, new Uint8Array(f.bytes));
      if (keptFiles.length) say('Your files from before are on the card: ' + keptFiles.map((f) => f.name).join(', ') + '.');
      else say(SOUND_HINT);
      keptFiles = [];
      running = true;
      requestAnimationFrame(frame);
    },
    // The first wait of main hands the thread back through emscripten's end of main, which
    // passes here too: only a later call is the program's end (Y in the cartridge manager). The
    // page then says so and keeps the last picture.
    postRun: [() => { started = true; }],
    quit: (status, toThrow) => {
      if (!started) throw toThrow;
      if (running) paint(true);
      running = false;
      hooks.ended = status;
      say('Velkoro has ended. Reload the page to start again.');
      throw toThrow;
    },
    onAbort: (what) => {
      running = false;
      say('Velkoro stopped: ' + what);
    },
  };

  window.velkoro = {
    hooks,
    frames: () => (running ? Module._web_frames() : null),
    playing: () => running && Module._web_playing() === 1,
    holdFrame: (frame) => Module._web_hold_frame(frame),
    paint: () => paint(true),
    // The next `frames` samples the program renders, at its own rate.
    captureAudio: (frames) => new Promise((resolve) => {
      hooks.captures.push({ data: new Float32Array(frames), filled: 0, resolve });
    }),
  };
})();
