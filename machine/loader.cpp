// Loading a game: every failure is silent and leaves what was created for release_machine.
#include "machine/loader.h"
#include "cpu/z80.h"
#include "machine/driver.h"
#include "machine/heap.h"
#include "machine/memory.h"
#include "machine/ports.h"
#include "platform/platform.h"
#include "sound/ay.h"
#include "sound/psg.h"
#include "video/vdp.h"

#include <cstdio>
#include <cstring>

char bios_path[PATH_BUFFER_BYTES] = "/mnt/sd/roms/colecovision/coleco.rom";
uint32_t games_run = 0;
uint32_t loads_failed = 0;

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

bool has_signature(const uint8_t* bytes) {
    return (bytes[0] == 0x55 && bytes[1] == 0xAA) || (bytes[0] == 0xAA && bytes[1] == 0x55);
}

// A file over 32 KB: accepted only as a whole MegaCart, read once into a block of its size.
bool load_megacart(FILE* f) {
    long bytes = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) bytes = std::ftell(f);
    if (!megacart_size_ok(bytes) || std::fseek(f, 0, SEEK_SET) != 0) return false;
    megacart.image = static_cast<uint8_t*>(program_alloc(size_t(bytes)));
    if (!megacart.image) return false;
    if (read_fully(f, megacart.image, size_t(bytes)) != size_t(bytes)) return false;
    if (!has_signature(megacart.image + bytes - Z80_BANK_BYTES)) return false;
    megacart_start(uint32_t(bytes));
    return true;
}

bool load_cartridge(const char* path) {
    FILE* f = platform_fopen(path, "rb");
    if (!f) return false;
    uint8_t* cart = cpu_memory + 0x8000;
    size_t got = read_fully(f, cart, CARTRIDGE_MAX_BYTES);
    uint8_t more;
    bool ok = read_fully(f, &more, 1) == 0 ? got >= CARTRIDGE_MIN_BYTES && has_signature(cart) : load_megacart(f);
    std::fclose(f);
    return ok;
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
    megacart.image = nullptr;
    cpu_memory = static_cast<uint8_t*>(program_alloc(CPU_MEMORY_BYTES));
    if (!cpu_memory) return load_failed();
    std::memset(cpu_memory, 0xFF, CPU_MEMORY_BYTES);
    sgm_reset();
    vdp.vram = static_cast<uint8_t*>(program_alloc(VDP_VRAM_BYTES));
    if (!vdp.vram) return load_failed();
    std::memset(vdp.vram, 0xFF, VDP_VRAM_BYTES);

    if (!load_bios() || !load_cartridge(path)) return load_failed();

    vdp_reset();
    controller_mode = 0;
    scanline = 0;
    controller_words[0] = controller_words[1] = 0xFFFF;
    spinners_reset();

    psg_init(&psg, mixer_set_channel);
    psg_flush(&psg, 1);
    ay_reset(&ay);

    cpu_reset(&cpu_state);
    cpu_run_game(&cpu_state);
    ++games_run;
    return 1;
}

void release_machine() {
    program_free(cpu_memory);
    cpu_memory = nullptr;
    program_free(vdp.vram);
    vdp.vram = nullptr;
    megacart_release();
}
