// Loading a game: a failure says why in load_error and leaves what was created for
// release_machine.
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
char load_error[LOAD_ERROR_BYTES] = "";
bool bios_named = false;
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

// The file name alone: the player knows which cartridge was chosen, the folder adds nothing.
const char* file_name(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

// The reason and the file, as the player should look for it: a BIOS by its place on the host.
bool fail(const char* reason, const char* what) {
    std::snprintf(load_error, sizeof load_error, "%s: %s", reason, what);
    return false;
}

bool load_bios() {
    char shown[PATH_BUFFER_BYTES];
    if (!platform_map_path(bios_path, shown, sizeof shown)) std::snprintf(shown, sizeof shown, "%s", bios_path);
    FILE* f = platform_fopen(bios_path, "rb");
    if (!f) return fail("BIOS not found", shown);
    size_t got = read_fully(f, cpu_memory, BIOS_BYTES);
    std::fclose(f);
    return got == BIOS_BYTES || fail("BIOS too short (needs 8192 bytes)", shown);
}

// Counts the bytes left in `f`, but stops looking once there are more than `limit`.
size_t bytes_left(FILE* f, size_t limit) {
    uint8_t scratch[512];
    size_t total = 0;
    while (total <= limit) {
        size_t got = std::fread(scratch, 1, sizeof scratch, f);
        if (got == 0) break;
        total += got;
    }
    return total;
}

bool load_cartridge(const char* path) {
    const char* name = file_name(path);
    FILE* f = platform_fopen(path, "rb");
    if (!f) return fail("Cartridge not found", name);
    uint8_t* cart = cpu_memory + 0x8000;
    size_t got = read_fully(f, cart, CARTRIDGE_MAX_BYTES);
    bool too_large = got == CARTRIDGE_MAX_BYTES && bytes_left(f, CARTRIDGE_FILE_MAX_BYTES - got) >
                                                        CARTRIDGE_FILE_MAX_BYTES - got;
    std::fclose(f);
    if (got < 2) return fail("Cartridge too short", name);
    bool header_ok = (cart[0] == 0x55 && cart[1] == 0xAA) || (cart[0] == 0xAA && cart[1] == 0x55);
    if (!header_ok) return fail("Not a cartridge (no 55 AA header)", name);
    if (got < CARTRIDGE_MIN_BYTES) return fail("Cartridge too short", name);
    if (too_large) return fail("Cartridge too large", name);
    return true;
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
    load_error[0] = '\0';
    cpu_memory = static_cast<uint8_t*>(program_alloc(CPU_MEMORY_BYTES));
    if (!cpu_memory) return fail("Not enough memory", "the console's memory"), load_failed();
    std::memset(cpu_memory, 0xFF, CPU_MEMORY_BYTES);
    vdp.vram = static_cast<uint8_t*>(program_alloc(VDP_VRAM_BYTES));
    if (!vdp.vram) return fail("Not enough memory", "the video memory"), load_failed();
    std::memset(vdp.vram, 0xFF, VDP_VRAM_BYTES);

    if (!load_bios() || !load_cartridge(path)) return load_failed();

    vdp_reset();
    controller_mode = 0;
    scanline = 0;
    controller_words[0] = controller_words[1] = 0xFFFF;

    psg_init(&psg, mixer_set_channel);
    psg_flush(&psg, 1);

    cpu_reset(&cpu_state);
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
