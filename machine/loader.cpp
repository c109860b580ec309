// Loading a game: every failure is silent and leaves what was created for release_machine.
#include "machine/loader.h"
#include "cpu/z80.h"
#include "machine/driver.h"
#include "machine/heap.h"
#include "machine/memory.h"
#include "machine/ports.h"
#include "platform/platform.h"
#include "sound/psg.h"
#include "video/vdp.h"

#include <cstdio>
#include <cstring>

char bios_path[PATH_BUFFER_BYTES] = "/mnt/sd/roms/colecovision/coleco.rom";
uint32_t games_run = 0;
uint32_t loads_failed = 0;
uint32_t cartridge_size = 0;
uint32_t cartridges_loaded = 0;

Z80State cpu_state;

namespace {

// Reads up to n bytes, looping over short reads; returns the count read.
size_t read_fully(FILE* f, uint8_t* dst, size_t n) {
    size_t total = 0;
    while (total < n) {
        size_t got = std::fread(dst + total, 1, n - total, f);
        if (got == 0) break;
        total += got;
    }
    return total;
}

bool load_bios() {
    FILE* f = platform_fopen(bios_path, "rb");
    if (!f) return false;
    size_t got = read_fully(f, cpu_memory, BIOS_BYTES);
    std::fclose(f);
    return got == BIOS_BYTES;
}

bool load_cartridge(const char* path) {
    FILE* f = platform_fopen(path, "rb");
    if (!f) return false;
    uint8_t* cart = cpu_memory + 0x8000;
    if (read_fully(f, cart, 2) < 2) {
        std::fclose(f);
        return false;
    }
    bool header_ok = (cart[0] == 0x55 && cart[1] == 0xAA) || (cart[0] == 0xAA && cart[1] == 0x55);
    if (!header_ok) {
        std::fclose(f);
        return false;
    }
    size_t rest = read_fully(f, cart + 2, CARTRIDGE_MAX_BYTES - 2);
    std::fclose(f);
    cartridge_size = uint32_t(2 + rest);
    ++cartridges_loaded;
    return cartridge_size >= CARTRIDGE_MIN_BYTES;
}

int load_failed() {
    ++loads_failed;
    return 0;
}

} // namespace

int run_cartridge(const char* path) {
    if (frame_skip == 0) frame_skip = 1;
    if (cycles_per_frame / cycles_per_line <= 255) cycles_per_frame = cycles_per_line * 256;
    quit_request = 0;
    cpu_state.cycle_period = cycles_per_line;
    cpu_state.irq_auto_reset = 0;

    cpu_memory = nullptr;
    vdp.vram = nullptr;
    cpu_memory = static_cast<uint8_t*>(program_alloc(CPU_MEMORY_BYTES));
    if (!cpu_memory) return load_failed();
    std::memset(cpu_memory, 0xFF, CPU_MEMORY_BYTES);
    vdp.vram = static_cast<uint8_t*>(program_alloc(VDP_VRAM_BYTES));
    if (!vdp.vram) return load_failed();
    std::memset(vdp.vram, 0xFF, VDP_VRAM_BYTES);

    if (!load_bios() || !load_cartridge(path)) return load_failed();

    vdp_reset();
    controller_mode = 0;
    scanline = 0;
    controller_words[0] = controller_words[1] = 0xFFFF;

    psg_init(&psg, mixer_set_channel);
    psg_flush(&psg, 1);

    cpu_reset(&cpu_state);
    platform_game_ready();
    cpu_run(&cpu_state);
    ++games_run;
    return 1;
}

void release_machine() {
    program_free(cpu_memory);
    cpu_memory = nullptr;
    program_free(vdp.vram);
    vdp.vram = nullptr;
}
