// The state record's reader: any bytes loaded into a running game at a frame end. Besides the
// sanitizers' checks: a refused record leaves the machine as it was, a loaded one is saved again
// byte for byte, and the game then goes on from it (drawn frames and the mixer's samples).
#include <cstdio>
#include <cstring>
#include <vector>

#include "machine/driver.h"
#include "machine/loader.h"
#include "machine/state.h"
#include "platform/headless/headless.h"
#include "sound/psg.h"
#include "video/vdp.h"
#include "tests/fuzz/fuzz_targets.h"

namespace {

constexpr const char* CARD_CARTRIDGE = "/mnt/sd/roms/colecovision/statecart.rom";
// Where the driver's skip countdown stands in a record: the second byte after the header.
constexpr size_t COUNTDOWN_AT = 41;

const uint8_t* input;
size_t input_size;

void load_at_first_frame() {
    uint32_t frame = headless_frames();
    if (frame != 1) {
        mixer_generate(MIXER_SAMPLE_RATE / 60);
        return;
    }
    static std::vector<uint8_t> before, after;
    before.resize(state_record_bytes());
    after.resize(state_record_bytes());
    fuzz_check(state_save(before.data(), uint32_t(before.size()), 0) == before.size(), "the game cannot be saved");
    const char* why = state_load(input, input_size, nullptr);
    fuzz_check(state_save(after.data(), uint32_t(after.size()), 0) == after.size(), "the game cannot be saved");
    if (why) {
        fuzz_check(before == after, "a refused record changed the machine");
        return;
    }
    // Saved again as it was loaded, but for the clock (not kept) and a skip countdown longer
    // than this program's frame skip (shortened).
    fuzz_check(input_size == after.size(), "a record of the wrong size was loaded");
    for (size_t i = 0; i < after.size() - 8; ++i) {
        bool clock = i >= 32 && i < 40;
        if (!clock && i != COUNTDOWN_AT && after[i] != input[i]) fuzz_check(false, "a loaded record saves differently");
    }
}

} // namespace

// Input: a flag byte, then the record. With bit 0 of the flag set the record's checksum is made
// again first, so that changed records reach the checks behind it.
int fuzz_state(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static bool files_written = false;
    if (!files_written) {
        std::vector<uint8_t> boot = fuzz_read_file(VELKORO_BOOT_ROM);
        std::vector<uint8_t> cart = fuzz_read_file(VELKORO_STATE_CARTRIDGE);
        fuzz_check(boot.size() == BIOS_BYTES && !cart.empty(), "the boot ROM or the demo cartridge is missing");
        fuzz_write_card_file("statebios.rom", boot.data(), boot.size());
        fuzz_write_card_file("statecart.rom", cart.data(), cart.size());
        files_written = true;
    }
    static std::vector<uint8_t> record;
    record.assign(data + 1, data + size);
    if ((data[0] & 1) && record.size() > 8) {
        uint64_t h = state_checksum(record.data(), record.size() - 8);
        for (int i = 0; i < 8; ++i) record[record.size() - 8 + i] = uint8_t(h >> (8 * i));
    }
    input = record.data();
    input_size = record.size();
    std::snprintf(bios_path, sizeof bios_path, "%s", "/mnt/sd/roms/colecovision/statebios.rom");

    HeadlessConfig config;
    config.card_folder = fuzz_card();
    config.on_frame_end = load_at_first_frame;
    // About six frames: the load at the first frame end, then the loaded game.
    config.presses.push_back({BTN_SELECT, 100, 0xFFFFFFFFu});
    headless_reset(config);
    skip_countdown = 0;
    last_present_ms = last_present_sixtieths = 0;
    int result = run_cartridge(CARD_CARTRIDGE);
    mixer_reset();
    release_machine();
    fuzz_check(result == 1, "the game did not run");
    return 0;
}
