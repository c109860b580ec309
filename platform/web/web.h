// The browser back end (web.cpp, built with emscripten): the program runs on the page's only
// thread, and each of its waits on the clock or the buttons becomes a yield to the browser
// (asyncify), during which the page paints the screen, passes on keys and game controllers and
// pulls sound. These are the functions the page's script (web/page.js) calls, between two
// turns of the program; the back end owns the screen's RGBA copy, the held controls and the
// sound buffer it hands over, and everything lives until the page is closed.
#pragma once
#include <cstdint>

extern "C" {

// The controls held now, as the page sees its keyboard and game controllers: the button words
// of both players (read_pad's layout) and the keypad key of each controller (KEYPAD_NONE for
// none). A control that comes and goes between two reads of the program still counts for one.
void web_set_controls(uint32_t first, uint32_t second, uint32_t first_keypad, uint32_t second_keypad);

// A key (or game controller button) went down: WEB_KEY_PAUSE the page's pause key, WEB_KEY_SELECT
// one that is SELECT, WEB_KEY_OTHER any other. In a game the pause key pauses it at the next
// frame end; in the pause the next key answers (the pause key or SELECT end the game).
void web_key_down(int32_t kind);

// A cartridge the page has put on the card starts at once (a game that runs ends first): the page
// writes its name on the card's roms/colecovision/ into the buffer (WEB_NAME_BYTES with the
// closing NUL) and calls web_open_cartridge.
char* web_name_buffer();
void web_open_cartridge();

// The screen as 8-bit RGBA, when it has changed since the last call (or `force` is set): a
// pointer to web_screen_width() x web_screen_height() pixels, or 0. While a game runs it is the
// console's picture area, otherwise the whole 320 x 240 screen.
uint8_t* web_screen(int32_t force);
int32_t web_screen_width();
int32_t web_screen_height();

// `frames` mono samples at 44100 Hz as floats from -1 to 1, at the volume the program set; silence
// while the sound is paused. At most WEB_AUDIO_MAX_FRAMES a call.
float* web_audio_render(uint32_t frames);

// Frames ended since the page opened (every emulated frame of every game).
uint32_t web_frames();

// Whether a game runs now.
int32_t web_playing();

// Makes the program stop at the end of frame `frame` (counted as web_frames counts) and wait
// there, yielding, until web_hold_frame is called with another frame; 0 holds nowhere. For
// checks that look at one exact frame.
void web_hold_frame(uint32_t frame);
}

constexpr int32_t WEB_KEY_OTHER = 0;
constexpr int32_t WEB_KEY_PAUSE = 1;
constexpr int32_t WEB_KEY_SELECT = 2;
constexpr uint32_t WEB_NAME_BYTES = 160;
constexpr uint32_t WEB_AUDIO_MAX_FRAMES = 8192;
// The sample rate the program renders at; the page asks the browser for it, and converts when the
// browser gives another.
constexpr uint32_t WEB_AUDIO_RATE = 44100;
// Where the page puts the card: what the program calls "/mnt/sd/".
constexpr const char* WEB_CARD_FOLDER = "/card";
