// The headless back end's own controls: what the runner's options and the tests set before the
// program starts. The display is a pair of 320 x 240 RGB565 buffers in memory, the clock is
// either the host's milliseconds or a virtual clock, the buttons follow a script, and the audio
// thread pulls samples at the clock's pace and keeps them. Everything here is owned by the
// back end and lives until the process ends.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

// Spinners a scripted press turns (SPINR, SPINL, P2SPINR, P2SPINL), SPINNER_KEY_STEPS steps a
// frame each.
constexpr uint8_t SPIN_FIRST_RIGHT = 0x01;
constexpr uint8_t SPIN_FIRST_LEFT = 0x02;
constexpr uint8_t SPIN_SECOND_RIGHT = 0x04;
constexpr uint8_t SPIN_SECOND_LEFT = 0x08;

// One scripted press: `mask` (button word bits), and what a PC adds (the second player's
// button bits, a keypad key of either controller, spinners), held from `start_ms` up to, not
// including, `end_ms` of clock time.
struct ScriptedPress {
    uint16_t mask;
    uint32_t start_ms;
    uint32_t end_ms;
    uint16_t second_mask = 0;
    uint8_t keypad = KEYPAD_NONE;
    uint8_t second_keypad = KEYPAD_NONE;
    uint8_t spin = 0; // SPIN_* bits
};

struct HeadlessConfig {
    std::string card_folder;            // stands for "/mnt/sd/"; empty = the current folder
    bool real_clock = false;            // false: the virtual clock
    uint32_t run_ms = 0;                // end the run at this clock time; 0 = no limit
    uint32_t run_frames = 0;            // end the run after this many frames; 0 = no limit
    std::vector<ScriptedPress> presses; // the button script
    std::string screenshot_path;        // PNG of the shown buffer at the end; empty = none
    std::string wav_path;               // WAV of the recorded audio at the end; empty = none
    bool record_audio = false;          // keep the audio pulled from the program in memory
    bool report = false;                // print what the run did at its end (the runner)
    bool unpaced = false;               // virtual clock only: every clock read jumps a second,
                                        // so that no pacing wait ever holds the program up
    // A cartridge opened outside the manager at start-up, as a PC's command line opens one, and
    // its BIOS; handed to the program once. Empty = none.
    std::string opened_cartridge;
    std::string opened_bios;
    // Told of display_show_game: the play cycle calls it just before and after each game.
    void (*on_show_game)(int32_t playing) = nullptr;
    // Told of every platform_frame_end, before the end of a run is checked.
    void (*on_frame_end)() = nullptr;
};

extern HeadlessConfig headless_config;

// How far the virtual clock moves each time the program polls the clock or the buttons: it
// advances only while the program waits on it, so a run is repeatable and as fast as the host.
constexpr uint32_t VIRTUAL_POLL_US = 100;
// How far an unpaced virtual clock moves at each timer_ticks call.
constexpr uint32_t UNPACED_STEP_US = 1000000;

// Parses a button script: entries "NAME:START-END" (milliseconds), separated by commas,
// semicolons or new lines; NAME is a button (UP, LEFT, A, START, ...), a keypad key (KEY0 ..
// KEY9, KEYSTAR, KEYHASH), a spinner (SPINR, SPINL), any of them with the prefix P2 for the
// second player, or several joined by '+'; '#' starts a comment. Returns false and sets `error` for a malformed script.
bool parse_button_script(const std::string& text, std::vector<ScriptedPress>& out, std::string& error);

// Resets the back end to a fresh state with the given configuration (tests call this between
// cases; the runner once, from platform_configure).
void headless_reset(const HeadlessConfig& config);

// The buffer currently shown (what a screenshot captures), 320 x 240 pixels, pitch 320.
const uint16_t* headless_shown_buffer();

// Frames ended so far (platform_frame_end calls).
uint32_t headless_frames();

// The current clock time in milliseconds, without advancing the virtual clock.
uint32_t headless_clock_ms();

// --- Audio (audio.cpp) ---

// The device format: 44100 frames per second, 16-bit, stereo; the thread pulls chunks of this
// many frames (about 11.6 ms each).
constexpr uint32_t HEADLESS_AUDIO_RATE = 44100;
constexpr uint32_t HEADLESS_AUDIO_CHUNK_FRAMES = 512;

// Samples recorded so far (interleaved stereo, 44100 Hz), when recording is on. Read them while
// no fill can run: on the virtual clock (every chunk the clock made due is filled before the
// clock returns), or after audio_set_paused(1) and audio_wait_paused().
const std::vector<int16_t>& headless_audio();

// The volume word the handheld would give its mixer device for the last audio_set_volume.
uint32_t headless_audio_volume();

// Writes interleaved 16-bit stereo samples as a 44100 Hz PCM WAV file. Returns false on failure.
bool write_wav_stereo16(const std::string& path, const std::vector<int16_t>& samples);

// Used by the back end itself: start the audio thread (paused) if it is not running; pause and
// stop it; pause it and take a new configuration (clock kind, recording, an empty recording);
// let it fill the chunks the virtual clock has reached at `now_us`.
void headless_audio_start();
void headless_audio_stop();
void headless_audio_reset(const HeadlessConfig& config);
void headless_audio_clock(uint64_t now_us);

// Writes 320 x 240 RGB565 pixels as an 8-bit RGB PNG. Returns false on failure.
bool write_png_rgb565(const std::string& path, const uint16_t* pixels, int width, int height, int pitch);

// Reads an 8-bit RGB or RGBA PNG into 0xRRGGBB values. Returns false on failure.
bool read_png_rgb(const std::string& path, std::vector<uint32_t>& rgb, int& width, int& height);
