// Loading a game: a failure says why in load_error and leaves what was created for
// release_machine.
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
char load_error[LOAD_ERROR_BYTES] = "";
bool bios_named = false;
uint32_t games_run = 0;
uint32_t loads_failed = 0;

Z80State cpu_state;

static_assert(CARTRIDGE_FILE_MAX_BYTES == MEGACART_MAX_BYTES, "the largest file taken is the largest MegaCart");

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

bool has_signature(const uint8_t* bytes) {
    return (bytes[0] == 0x55 && bytes[1] == 0xAA) || (bytes[0] == 0xAA && bytes[1] == 0x55);
}

// A file over 32 KB: accepted only as a whole MegaCart, read once into a block of its size.
bool load_megacart(FILE* f, const char* name) {
    long bytes = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) bytes = std::ftell(f);
    if (bytes < 0 || std::fseek(f, 0, SEEK_SET) != 0) return fail("Cartridge not found", name);
    if (bytes > long(CARTRIDGE_FILE_MAX_BYTES)) return fail("Cartridge too large", name);
    if (!megacart_size_ok(bytes)) return fail("MegaCart size not a power of two", name);
    megacart.image = static_cast<uint8_t*>(program_alloc(size_t(bytes)));
    if (!megacart.image) return fail("Not enough memory", name);
    if (read_fully(f, megacart.image, size_t(bytes)) != size_t(bytes)) return fail("Cartridge too short", name);
    if (!has_signature(megacart.image + bytes - Z80_BANK_BYTES))
        return fail("Not a MegaCart (no 55 AA header in its last bank)", name);
    megacart_start(uint32_t(bytes));
    return true;
}

bool load_cartridge(const char* path) {
    const char* name = file_name(path);
    FILE* f = platform_fopen(path, "rb");
    if (!f) return fail("Cartridge not found", name);
    uint8_t* cart = cpu_memory + 0x8000;
    size_t got = read_fully(f, cart, CARTRIDGE_MAX_BYTES);
    uint8_t more;
    if (read_fully(f, &more, 1) != 0) {
        bool ok = load_megacart(f, name);
        std::fclose(f);
        return ok;
    }
    std::fclose(f);
    if (got < 2) return fail("Cartridge too short", name);
    if (!has_signature(cart)) return fail("Not a cartridge (no 55 AA header)", name);
    if (got < CARTRIDGE_MIN_BYTES) return fail("Cartridge too short", name);
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
    megacart.image = nullptr;
    load_error[0] = '\0';
    cpu_memory = static_cast<uint8_t*>(program_alloc(CPU_MEMORY_BYTES));
    if (!cpu_memory) return fail("Not enough memory", "the console's memory"), load_failed();
    std::memset(cpu_memory, 0xFF, CPU_MEMORY_BYTES);
    sgm_reset();
    vdp.vram = static_cast<uint8_t*>(program_alloc(VDP_VRAM_BYTES));
    if (!vdp.vram) return fail("Not enough memory", "the video memory"), load_failed();
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
