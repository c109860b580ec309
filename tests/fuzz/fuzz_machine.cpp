// Fuzz targets of the console: cartridge and BIOS loading, whole frames of emulation with any
// program (plain cartridges and MegaCarts, with the spinners turning or not), and streams of
// port accesses (the Super Game Module's among them) with the frame driver rendering every
// line. Besides the sanitizers' checks: a load succeeds exactly when its files are acceptable,
// and every game comes back to its caller (libFuzzer's time limit catches one that does not).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cpu/z80.h"
#include "machine/driver.h"
#include "machine/loader.h"
#include "machine/memory.h"
#include "machine/ports.h"
#include "platform/headless/headless.h"
#include "sound/ay.h"
#include "sound/psg.h"
#include "tests/fuzz/fuzz_targets.h"
#include "video/vdp.h"

namespace {

constexpr const char* CARD_BIOS = "/mnt/sd/roms/colecovision/fuzzbios.rom";
constexpr const char* CARD_CARTRIDGE = "/mnt/sd/roms/colecovision/fuzzcart.rom";

// The back end on the virtual clock with the given presses; SELECT from `select_ms` on.
void start_headless(std::vector<ScriptedPress> presses, uint32_t select_ms) {
    HeadlessConfig config;
    config.card_folder = fuzz_card();
    config.presses = std::move(presses);
    config.presses.push_back({BTN_SELECT, select_ms, 0xFFFFFFFFu});
    headless_reset(config);
    skip_countdown = 0;
}

// What the play cycle does after every game.
void end_game() {
    mixer_reset();
    release_machine();
}

uint16_t word_at(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

} // namespace

int fuzz_cartridge(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    // The first two bytes split the rest into the BIOS file and the cartridge file; 0xFFFF
    // leaves the BIOS file out altogether.
    uint16_t split = word_at(data);
    size_t bios_size = split == 0xFFFF ? 0 : std::min<size_t>(split, size - 2);
    const uint8_t* cart = data + 2 + bios_size;
    size_t cart_size = size - 2 - bios_size;
    std::string bios_file = fuzz_write_card_file("fuzzbios.rom", data + 2, bios_size);
    if (split == 0xFFFF) std::remove(bios_file.c_str());
    fuzz_write_card_file("fuzzcart.rom", cart, cart_size);
    std::snprintf(bios_path, sizeof bios_path, "%s", CARD_BIOS);

    start_headless({}, 0); // a game that starts ends at its first frame end
    auto signed_at = [](const uint8_t* p) { return (p[0] == 0x55 && p[1] == 0xAA) || (p[0] == 0xAA && p[1] == 0x55); };
    bool plain = cart_size >= CARTRIDGE_MIN_BYTES && cart_size <= CARTRIDGE_MAX_BYTES && signed_at(cart);
    bool megacart = megacart_size_ok(long(cart_size)) && signed_at(cart + cart_size - Z80_BANK_BYTES);
    bool acceptable = split != 0xFFFF && bios_size >= BIOS_BYTES && (plain || megacart);
    int result = run_cartridge(CARD_CARTRIDGE);
    end_game();
    fuzz_check(result == (acceptable ? 1 : 0), "run_cartridge answered wrongly for its files");
    return 0;
}

// Input: the controllers (two button words, one for the first 50 ms and one after, the keypad
// keys of both controllers, the second player's buttons), the cartridge's kind, then the
// cartridge from 0x800A on: its start address, the restart and interrupt slots and the code. A
// cartridge of ours with its first ten bytes cut off is such an input. The kind: bit 0 makes it
// a MegaCart of 64 KB << (bits 1-3, at most 4: 1 MB), whose fixed last bank holds the program's
// first 16 KB less ten and banks 0, 1, ... the rest; bits 4-7 turn the spinners throughout
// (SPIN_* bits).
int fuzz_emulation(const uint8_t* data, size_t size) {
    constexpr size_t CONTROLS = 7;
    constexpr size_t PROGRAM_AT = 0x0A;
    // The boot ROM starts the game at once; ten frames take about this long on the clock.
    constexpr uint32_t RUN_MS = 160;
    if (size < CONTROLS) return 0;
    static bool bios_written = false;
    if (!bios_written) {
        std::vector<uint8_t> boot = fuzz_read_file(VELKORO_BOOT_ROM);
        fuzz_check(boot.size() == BIOS_BYTES, "the boot ROM is missing");
        fuzz_write_card_file("fuzzbios.rom", boot.data(), boot.size());
        bios_written = true;
    }
    std::snprintf(bios_path, sizeof bios_path, "%s", CARD_BIOS);

    const uint8_t kind = data[6];
    std::vector<uint8_t> cart;
    uint8_t* start; // the fixed part's first byte
    size_t program = size - CONTROLS;
    if (kind & 1) {
        cart.assign(MEGACART_MIN_BYTES << std::min((kind >> 1) & 7, 4), 0xFF);
        start = &cart[cart.size() - Z80_BANK_BYTES];
        size_t fixed = std::min<size_t>(program, Z80_BANK_BYTES - PROGRAM_AT);
        std::memcpy(start + PROGRAM_AT, data + CONTROLS, fixed);
        std::memcpy(&cart[0], data + CONTROLS + fixed, std::min(program - fixed, cart.size() - Z80_BANK_BYTES));
    } else {
        program = std::min<size_t>(program, CARTRIDGE_MAX_BYTES - PROGRAM_AT);
        cart.assign(std::max<size_t>(CARTRIDGE_MIN_BYTES, PROGRAM_AT + program), 0xFF);
        start = &cart[0];
        std::memcpy(start + PROGRAM_AT, data + CONTROLS, program);
    }
    start[0] = 0x55; // start at once
    start[1] = 0xAA;
    std::memset(start + 2, 0, 8);
    fuzz_write_card_file("fuzzcart.rom", cart.data(), cart.size());

    uint16_t not_select = uint16_t(~BTN_SELECT);
    ScriptedPress early{uint16_t(word_at(data) & not_select), 0, RUN_MS / 3};
    early.keypad = data[4] & 0x0F;
    early.second_keypad = data[4] >> 4;
    early.second_mask = uint16_t(data[5] << 8);
    early.spin = uint8_t(kind >> 4);
    ScriptedPress late{uint16_t(word_at(data + 2) & not_select), RUN_MS / 3, 0xFFFFFFFFu};
    late.second_mask = uint16_t(data[5]);
    late.spin = early.spin;
    start_headless({early, late}, RUN_MS);
    int result = run_cartridge(CARD_CARTRIDGE);
    uint32_t frames = headless_frames();
    end_game();
    fuzz_check(result == 1, "a valid cartridge did not run");
    fuzz_check(frames >= 5 && frames <= 20, "the game did not run about ten frames");
    return 0;
}

// Input: records of three bytes (kind, port, value). Kind 0 writes the value to the port, 1
// reads the port, 2 has the frame driver render line value % 192 (any line, in whatever state
// the ports left), 3 has it end the frame (controllers, sound delivery, presentation, status and
// interrupt), after which the mixer renders a frame's samples. An input renders at most 64
// lines and ends at most 4 frames, so that it costs about a millisecond; later records still
// reach the ports.
int fuzz_ports(const uint8_t* data, size_t size) {
    static uint8_t vram[VDP_VRAM_BYTES];
    static uint8_t memory[CPU_MEMORY_BYTES]; // the module's RAM trades places with it
    fuzz_card();
    std::memset(vram, 0xFF, sizeof vram);
    vdp.vram = vram;
    std::memset(memory, 0xFF, sizeof memory);
    cpu_memory = memory;
    sgm_reset();
    ay_reset(&ay);
    spinners_reset();
    vdp_reset();
    vdp.write_address = vdp.read_address = 0;
    vdp.latched_byte = 0;
    psg_init(&psg, mixer_set_channel);
    psg_flush(&psg, 1);
    mixer_reset();
    controller_mode = 0;
    controller_words[0] = controller_words[1] = 0xFFFF;
    frame_skip = 1; // every frame drawn
    skip_countdown = 0;
    int lines_left = 64, frames_left = 4;
    for (size_t i = 0; i + 3 <= size; i += 3) {
        uint8_t kind = data[i] & 3, port = data[i + 1], value = data[i + 2];
        switch (kind) {
        case 0: cpu_out(port, value); break;
        case 1: cpu_in(port); break;
        case 2:
            if (lines_left-- <= 0) break;
            // The driver renders the line after the one it last ran.
            scanline =
                uint8_t(value % VDP_VISIBLE_LINES == 0 ? VDP_VISIBLE_LINES : value % VDP_VISIBLE_LINES - 1);
            cpu_hook(&cpu_state);
            break;
        case 3:
            if (frames_left-- <= 0) break;
            scanline = VDP_VISIBLE_LINES - 1;
            cpu_hook(&cpu_state);
            mixer_generate(MIXER_SAMPLE_RATE / 60);
            break;
        }
    }
    vdp.vram = nullptr;
    cpu_memory = nullptr;
    frame_skip = 2;
    return 0;
}
