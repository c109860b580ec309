// The browser back end. The program keeps its own shape: it waits by reading the clock or the
// buttons in a loop, as on the handheld. Here each such look may hand the page's thread back to
// the browser for a moment (an asyncify yield): a look that comes within SPIN_MS of the previous
// one belongs to a wait, and sleeps SLEEP_MS; a program that has not yielded for SLICE_MS (an
// unpaced run, a slow machine) yields without sleeping. While it is away the page paints, hands
// over keys and game controllers and pulls sound through the functions of web.h, so those never
// run beside the program, only between two of its looks.
#include "platform/web/web.h"
#include "frontend/font.h"
#include "frontend/panel.h"
#include "frontend/surface.h"
#include "machine/driver.h"
#include "platform/common/card.h"
#include "platform/common/screens.h"
#include "platform/platform.h"
#include "video/vdp.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <emscripten.h>
#include <string>

// Resolves after `ms` milliseconds (0: at once, after whatever the browser has waiting); the
// page's script says how (web/page.js, velkoroWait).
EM_ASYNC_JS(void, web_wait, (double ms), { await Module.velkoroWait(ms); });

namespace {

// Two looks at the clock or the buttons closer than this: the program is waiting.
constexpr double SPIN_MS = 1.0;
// How long a waiting program lets the browser have the thread.
constexpr double SLEEP_MS = 1.0;
// The longest the program runs without a turn for the browser: about a display refresh.
constexpr double SLICE_MS = 16.0;
// How often a held frame looks whether it may go on.
constexpr double HOLD_POLL_MS = 5.0;
// The highest keypad index, '#'.
constexpr uint32_t KEYPAD_LAST = 11;
// An unpaced clock jumps this far at every read, so that no wait of the program ever waits.
constexpr uint32_t UNPACED_STEP_MS = 1000;

bool initialised = false;
bool unpaced = false;
double origin_ms = 0;
double last_look_ms = 0;
double last_yield_ms = 0;
uint32_t unpaced_offset_ms = 0;

// The controls: what is held now, what was pressed since the program last read it, and what was
// held when a pause ended (kept from the game until let go).
uint16_t held[2] = {0, 0};
uint16_t pressed[2] = {0, 0};
uint16_t kept_back[2] = {0, 0};
// One press of SELECT for the game to see: a pause ended by its key, or a cartridge opened while
// a game runs, ends that game.
bool select_pulse = false;
uint8_t keypad_held[2] = {KEYPAD_NONE, KEYPAD_NONE};
uint8_t keypad_pressed[2] = {KEYPAD_NONE, KEYPAD_NONE};
int32_t spin[2] = {0, 0}; // the spinner keys held, by player (web_set_spinners)

// The screen as the page last took it, and its RGBA form.
bool game_view = false;
bool screen_dirty = true;
uint16_t screen_copy[DISPLAY_WIDTH * DISPLAY_HEIGHT];
uint8_t screen_rgba[DISPLAY_WIDTH * DISPLAY_HEIGHT * 4];

// Sound: the pause flag, the level per side in 1/256, and the buffers one pull goes through.
bool audio_paused = true;
int32_t gain = 0;
uint8_t audio_bytes[WEB_AUDIO_MAX_FRAMES * 4];
float audio_out[WEB_AUDIO_MAX_FRAMES];

uint32_t frames_ended = 0;
uint32_t hold_at = 0;

// The pause of a game (the page's pause key): asked for by the page, held at the next frame end
// until the page answers with another key.
bool pause_requested = false;
bool paused = false;
int32_t pause_answer = WEB_KEY_OTHER;
bool pause_answered = false;

// A cartridge the page opened, for platform_take_cartridge; its name comes through name_buffer.
char name_buffer[WEB_NAME_BYTES];
std::string opened_cartridge;

double now_ms() { return emscripten_get_now(); }

void yield_for(double ms) {
    web_wait(ms);
    last_yield_ms = now_ms();
}

// One look at the clock or the buttons.
void look() {
    double t = now_ms();
    if (!unpaced && t - last_look_ms < SPIN_MS)
        yield_for(SLEEP_MS);
    else if (t - last_yield_ms >= SLICE_MS)
        yield_for(0);
    last_look_ms = now_ms();
}

// The pause: a line over the picture says how to go on, the sound stops, and the game stands
// between two frames until the page answers. The pause key again, or SELECT's, ends the game; any
// other key or button plays on, and does not reach the game while it is held.
void run_pause() {
    pause_requested = false;
    paused = true;
    pause_answered = false;
    static uint16_t strip[DISPLAY_WIDTH * STATUS_STRIP_HEIGHT];
    const bool drawn = screen_surface.pixels && screen_surface.width == DISPLAY_WIDTH;
    if (drawn) {
        std::memcpy(strip, screen_surface.pixels, sizeof strip);
        draw_status_strip(&screen_surface, current_font, "Paused: Escape ends the game, a key plays on");
    }
    while (!pause_answered) yield_for(HOLD_POLL_MS);
    if (pause_answer != WEB_KEY_OTHER) select_pulse = true;
    if (drawn) std::memcpy(screen_surface.pixels, strip, sizeof strip);
    kept_back[0] = held[0];
    kept_back[1] = held[1];
    pressed[0] = pressed[1] = 0;
    paused = false;
}

// The controls of player `p` the program sees, once: a press since the last look counts.
uint16_t take_controls(int p) {
    kept_back[p] &= held[p];
    uint16_t word = uint16_t((held[p] | pressed[p]) & ~kept_back[p]);
    pressed[p] = 0;
    return word;
}

} // namespace

// --- What the page calls ---

extern "C" {

EMSCRIPTEN_KEEPALIVE void web_set_controls(uint32_t first, uint32_t second, uint32_t first_keypad,
                                           uint32_t second_keypad) {
    const uint32_t words[2] = {first, second};
    const uint32_t keys[2] = {first_keypad, second_keypad};
    for (int p = 0; p < 2; ++p) {
        held[p] = uint16_t(words[p]);
        pressed[p] |= held[p];
        keypad_held[p] = keys[p] <= KEYPAD_LAST ? uint8_t(keys[p]) : KEYPAD_NONE;
        if (keypad_held[p] != KEYPAD_NONE) keypad_pressed[p] = keypad_held[p];
    }
}

// Each spinner's held keys: -1 left, 1 right, 0 none or both.
EMSCRIPTEN_KEEPALIVE void web_set_spinners(int32_t first, int32_t second) {
    spin[0] = first < 0 ? -1 : first > 0 ? 1 : 0;
    spin[1] = second < 0 ? -1 : second > 0 ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE void web_key_down(int32_t kind) {
    if (paused) {
        pause_answer = kind;
        pause_answered = true;
    } else if (kind == WEB_KEY_PAUSE && game_view) {
        pause_requested = true;
    }
}

EMSCRIPTEN_KEEPALIVE char* web_name_buffer() { return name_buffer; }

EMSCRIPTEN_KEEPALIVE void web_open_cartridge() {
    name_buffer[WEB_NAME_BYTES - 1] = '\0';
    opened_cartridge = std::string("/mnt/sd/roms/colecovision/") + name_buffer;
    if (game_view) select_pulse = true;
}

EMSCRIPTEN_KEEPALIVE uint8_t* web_screen(int32_t force) {
    const uint16_t* shown = host_shown_screen();
    if (!force && !screen_dirty && std::memcmp(screen_copy, shown, sizeof screen_copy) == 0) return nullptr;
    screen_dirty = false;
    std::memcpy(screen_copy, shown, sizeof screen_copy);
    const int w = web_screen_width(), h = web_screen_height();
    uint8_t* out = screen_rgba;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x, out += 4) {
            expand_rgb565(screen_copy[y * DISPLAY_WIDTH + x], out);
            out[3] = 0xFF;
        }
    return screen_rgba;
}

EMSCRIPTEN_KEEPALIVE int32_t web_screen_width() { return game_view ? VDP_PICTURE_WIDTH : DISPLAY_WIDTH; }
EMSCRIPTEN_KEEPALIVE int32_t web_screen_height() { return game_view ? VDP_PICTURE_HEIGHT : DISPLAY_HEIGHT; }

EMSCRIPTEN_KEEPALIVE float* web_audio_render(uint32_t frames) {
    if (frames > WEB_AUDIO_MAX_FRAMES) frames = WEB_AUDIO_MAX_FRAMES;
    if (audio_paused || paused) {
        std::memset(audio_out, 0, frames * sizeof(float));
        return audio_out;
    }
    audio_fill(nullptr, audio_bytes, frames);
    // Each frame is the same little-endian sample on both sides; one side is enough.
    const float scale = float(gain) / (256.0f * 32768.0f);
    for (uint32_t i = 0; i < frames; ++i)
        audio_out[i] = float(int16_t(uint16_t(audio_bytes[4 * i] | (audio_bytes[4 * i + 1] << 8)))) * scale;
    return audio_out;
}

EMSCRIPTEN_KEEPALIVE uint32_t web_frames() { return frames_ended; }
EMSCRIPTEN_KEEPALIVE int32_t web_playing() { return game_view ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE void web_hold_frame(uint32_t frame) { hold_at = frame; }

} // extern "C"

// --- Start-up and shut-down ---

void platform_configure(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--unpaced") == 0)
            unpaced = true;
        else
            std::fprintf(stderr, "velkoro: unknown option %s\n", argv[i]);
    }
    // As on a PC: every frame drawn and presented.
    frame_skip = 1;
}

void platform_init(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) {
    host_screens_reset();
    display_flip(0);
    screen_dirty = true;
    if (initialised) return;
    initialised = true;
    origin_ms = now_ms();
    last_look_ms = last_yield_ms = origin_ms;
}

// The page stays; the program's end is its own business (the page says so).
void platform_shutdown() {}

void platform_frame_end() {
    ++frames_ended;
    if (pause_requested) run_pause();
    while (hold_at != 0 && hold_at == frames_ended) yield_for(HOLD_POLL_MS);
    if (now_ms() - last_yield_ms >= SLICE_MS) yield_for(0);
}

// No state records in the page; the picture keeps the fixed frame skip, as on the PC.
void platform_game_ready() {}
int32_t platform_auto_frame_skip() { return 0; }

// --- Display ---

void display_show_game(int32_t playing) {
    game_view = playing != 0;
    pause_requested = false;
    screen_dirty = true;
}

// --- Audio: fills run only while the program yields, so none is ever under way here ---

void audio_set_paused(int32_t flag) { audio_paused = flag != 0; }

void audio_wait_paused() {}

void audio_set_volume(int32_t left, int32_t right) {
    // As the handheld sets its mixer: 80 % of the percentage. The page plays one channel on both
    // sides, at the level of the left one.
    (void)right;
    int32_t p = left < 0 ? 0 : left > 100 ? 100 : left;
    gain = p * 80 / 100 * 256 / 100;
}

// --- Timer and buttons ---

uint32_t timer_ticks() {
    look();
    if (unpaced) unpaced_offset_ms += UNPACED_STEP_MS;
    return uint32_t(now_ms() - origin_ms) + unpaced_offset_ms;
}

void timer_delay(uint32_t n) {
    const double end = now_ms() + double(n);
    for (double t = now_ms(); t < end; t = now_ms()) yield_for(end - t);
    last_look_ms = now_ms();
}

uint32_t read_buttons() {
    look();
    uint16_t word = take_controls(0);
    if (select_pulse && game_view) word |= BTN_SELECT;
    select_pulse = false;
    return buttons_from_held(word);
}

uint16_t read_second_pad() { return uint16_t(buttons_from_held(take_controls(1))); }

int32_t read_spinner(int32_t controller) { return spin[controller & 1] * SPINNER_KEY_STEPS; }

uint8_t read_keypad(int32_t controller) {
    const int c = controller & 1;
    uint8_t key = keypad_held[c] != KEYPAD_NONE ? keypad_held[c] : keypad_pressed[c];
    keypad_pressed[c] = KEYPAD_NONE;
    return key;
}

// --- The card ---

bool platform_map_path(const char* path, char* out, size_t out_size) {
    return card_map_path(WEB_CARD_FOLDER, path, out, out_size);
}

// On the page the BIOS is always the card's: the bundled boot ROM, or the player's in its place.
bool platform_take_cartridge(char* cartridge, char* bios, size_t size) {
    if (opened_cartridge.empty()) return false;
    static const char card_bios[] = "/mnt/sd/roms/colecovision/coleco.rom";
    const bool fits = opened_cartridge.size() < size && sizeof card_bios <= size;
    if (fits) {
        std::memcpy(cartridge, opened_cartridge.c_str(), opened_cartridge.size() + 1);
        std::memcpy(bios, card_bios, sizeof card_bios);
    }
    opened_cartridge.clear();
    return fits;
}
