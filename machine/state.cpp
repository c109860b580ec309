// The state record: header, the subsystems' parts in a fixed order, checksum. A load checks the
// header, the checksum and the cartridge first, then reads every part once only to check it, and
// only when all of them hold puts them in place; so a refused record changes nothing.
#include "machine/state.h"
#include "cpu/z80.h"
#include "machine/driver.h"
#include "machine/loader.h"
#include "machine/memory.h"
#include "machine/ports.h"
#include "machine/record.h"
#include "sound/ay.h"
#include "sound/psg.h"
#include "video/vdp.h"

const char* const STATE_NO_GAME = "No game is running";
const char* const STATE_NOT_A_STATE = "Not a Velkoro state";
const char* const STATE_OTHER_VERSION = "State is from another version of Velkoro";
const char* const STATE_TRUNCATED = "State is cut short";
const char* const STATE_TOO_LONG = "State is longer than it should be";
const char* const STATE_CORRUPT = "State is damaged";
const char* const STATE_OTHER_CARTRIDGE = "State is from another cartridge";
const char* const STATE_OTHER_BIOS = "State was made with another BIOS";

namespace {

constexpr uint8_t MAGIC[4] = {'V', 'K', 'S', 'T'};
constexpr uint32_t HEADER_BYTES = 4 + 4 + 4 + 4 + 8 + 8 + 8;
constexpr uint32_t CHECKSUM_BYTES = 8;
constexpr uint8_t FRAME_END = VDP_VISIBLE_LINES;

// 64-bit FNV-1a: the checksum, and the names of the cartridge and the BIOS.
constexpr uint64_t FNV_START = 0xCBF29CE484222325ull;
uint64_t fnv1a(const uint8_t* p, size_t n, uint64_t h = FNV_START) {
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 0x100000001B3ull;
    return h;
}

// The cartridge's and the BIOS's hashes, made once per game on the first save or load.
struct Identity {
    uint32_t game; // cartridges_loaded when made; 0 = none yet
    uint32_t cartridge_bytes;
    uint64_t cartridge_hash;
    uint64_t bios_hash;
};
Identity identity;

const Identity& game_identity() {
    if (identity.game != cartridges_loaded) {
        identity.game = cartridges_loaded;
        identity.cartridge_bytes = cartridge_size;
        identity.cartridge_hash = fnv1a(megacart.image ? megacart.image : cpu_memory + 0x8000, cartridge_size);
        identity.bios_hash = fnv1a(bios_image(), BIOS_BYTES);
    }
    return identity;
}

bool game_present() { return cpu_memory && vdp.vram && cartridges_loaded != 0; }

void write_parts(RecordWriter* w) {
    driver_save(w);
    cpu_save(w, &cpu_state);
    memory_save(w);
    ports_save(w);
    vdp_save(w);
    psg_save(w, &psg);
    ay_save(w, &ay);
    mixer_save(w);
}

bool read_parts(RecordReader* r, bool commit) {
    return driver_load(r, commit) && cpu_load(r, &cpu_state, commit) && memory_load(r, commit) &&
           ports_load(r, commit) && vdp_load(r, commit) && psg_load(r, &psg, commit) && ay_load(r, &ay, commit) &&
           mixer_load(r, commit) && r->at == r->size;
}

const char* load(const uint8_t* data, size_t size, uint64_t* clock_us, bool before_run) {
    if (!game_present() || (!before_run && scanline != FRAME_END)) return STATE_NO_GAME;
    if (size < sizeof MAGIC || data[0] != MAGIC[0] || data[1] != MAGIC[1] || data[2] != MAGIC[2] ||
        data[3] != MAGIC[3])
        return STATE_NOT_A_STATE;
    if (size < HEADER_BYTES) return STATE_TRUNCATED;
    RecordReader header{data, HEADER_BYTES, sizeof MAGIC, true};
    if (read_u32(&header) != STATE_VERSION) return STATE_OTHER_VERSION;
    uint32_t declared = read_u32(&header);
    if (declared != state_record_bytes()) return STATE_CORRUPT;
    if (size < declared) return STATE_TRUNCATED;
    if (size > declared) return STATE_TOO_LONG;
    RecordReader tail{data, declared, declared - CHECKSUM_BYTES, true};
    if (read_u64(&tail) != fnv1a(data, declared - CHECKSUM_BYTES)) return STATE_CORRUPT;
    const Identity& id = game_identity();
    uint32_t cart_bytes = read_u32(&header);
    uint64_t cart_hash = read_u64(&header);
    if (cart_bytes != id.cartridge_bytes || cart_hash != id.cartridge_hash) return STATE_OTHER_CARTRIDGE;
    if (read_u64(&header) != id.bios_hash) return STATE_OTHER_BIOS;
    uint64_t clock = read_u64(&header);
    RecordReader check{data, declared - CHECKSUM_BYTES, HEADER_BYTES, true};
    if (!read_parts(&check, false)) return STATE_CORRUPT;
    RecordReader body{data, declared - CHECKSUM_BYTES, HEADER_BYTES, true};
    read_parts(&body, true);
    if (before_run) driver_enter_loaded_frame(&cpu_state);
    if (clock_us) *clock_us = clock;
    return nullptr;
}

} // namespace

uint32_t state_record_bytes() {
    // Counted once, by writing a record that keeps nothing; the parts read the running game.
    static uint32_t bytes = 0;
    if (bytes == 0 && game_present()) {
        RecordWriter counter{nullptr, 0, 0};
        write_parts(&counter);
        bytes = HEADER_BYTES + counter.at + CHECKSUM_BYTES;
    }
    return bytes;
}

uint32_t state_save(uint8_t* out, uint32_t room, uint64_t clock_us) {
    if (!game_present() || scanline != FRAME_END) return 0;
    uint32_t bytes = state_record_bytes();
    if (room < bytes) return 0;
    const Identity& id = game_identity();
    RecordWriter w{out, bytes, 0};
    record_bytes(&w, MAGIC, sizeof MAGIC);
    record_u32(&w, STATE_VERSION);
    record_u32(&w, bytes);
    record_u32(&w, id.cartridge_bytes);
    record_u64(&w, id.cartridge_hash);
    record_u64(&w, id.bios_hash);
    record_u64(&w, clock_us);
    write_parts(&w);
    record_u64(&w, fnv1a(out, w.at));
    return w.at == bytes ? bytes : 0;
}

uint64_t state_checksum(const uint8_t* data, size_t bytes) { return fnv1a(data, bytes); }

const char* state_load(const uint8_t* data, size_t size, uint64_t* clock_us) {
    return load(data, size, clock_us, false);
}

const char* state_load_before_run(const uint8_t* data, size_t size, uint64_t* clock_us) {
    return load(data, size, clock_us, true);
}
