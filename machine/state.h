// The machine's state record: the whole console of the running game in one binary record, and
// back. The record holds the processor, RAM, the video chip with its memory, both sound chips and
// the mixer's generators, the MegaCart's bank, the module's RAM and mapping, the controllers
// with the spinners and the frame driver, each part written by its own
// subsystem field by field (machine/record.h), so that it is the same on every host. It starts
// with a magic word, the format version and the cartridge and BIOS it belongs to (sizes and
// hashes of their bytes) and ends with a checksum; nothing of the host (pointers, the picture on
// the screen) is in it.
//
// The hosted back ends call these at a frame end, from inside platform_frame_end, where the
// emulation stands between two frames (the headless runner also loads into a game that has not
// run yet, from platform_game_ready). The mixer's part is read and written there too: the caller
// holds the audio thread off meanwhile. The handheld's program never calls them.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr uint32_t STATE_VERSION = 1;
// No record of any version is larger: a file over this is refused without being read whole.
constexpr uint32_t STATE_MAX_BYTES = 1u << 20;

// Why a record was refused (or could not be made), one line each.
extern const char* const STATE_NO_GAME;
extern const char* const STATE_NOT_A_STATE;
extern const char* const STATE_OTHER_VERSION;
extern const char* const STATE_TRUNCATED;
extern const char* const STATE_TOO_LONG;
extern const char* const STATE_CORRUPT;
extern const char* const STATE_OTHER_CARTRIDGE;
extern const char* const STATE_OTHER_BIOS;

// The size of a record (the same for every game); 0 while no game is loaded.
uint32_t state_record_bytes();

// The checksum a record ends with, of its first `bytes` bytes (for tools and tests that mend a
// record they changed).
uint64_t state_checksum(const uint8_t* data, size_t bytes);

// Writes the running game's record into `out`. `clock_us` is the back end's clock now, kept in
// the record so that a run loading it may go on on the same clock. Returns the record's size, or
// 0 when no game stands at a frame end or `room` is too small.
uint32_t state_save(uint8_t* out, uint32_t room, uint64_t clock_us);

// Loads a record into the running game at a frame end. Returns nullptr once it is loaded, or the
// reason it was refused; a refused record has changed nothing. `clock_us`, when given, receives
// the clock the saving program stood at.
const char* state_load(const uint8_t* data, size_t size, uint64_t* clock_us);

// The same for a game whose machine is built but has not run (platform_game_ready): the game
// then starts where the record stands.
const char* state_load_before_run(const uint8_t* data, size_t size, uint64_t* clock_us);
