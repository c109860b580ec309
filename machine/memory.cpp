// The memory map's write side, the MegaCart's banks and the Super Game Module's RAM.
#include "machine/memory.h"
#include "machine/heap.h"

#include <algorithm>
#include <cstring>

uint8_t* cpu_memory = nullptr;
Z80Banks megacart = {nullptr, 0, 0};
SgmState sgm;

namespace {

constexpr uint16_t CARTRIDGE_START = 0x8000;
constexpr uint16_t SGM_UPPER_START = 0x2000;

// Set while the module's upper RAM covers the console's RAM windows; kept with sgm.mapped. A
// byte of its own beside cpu_memory, so that a RAM write finds both from one address (on the
// handheld: two instructions more than before the module).
uint8_t ram_covered = 0;

// Every write but those to the console's RAM: only the module's RAM, where it is mapped, takes
// them.
[[gnu::noinline]] void module_write(uint16_t address, uint8_t value) {
    uint8_t part = address < SGM_UPPER_START ? SGM_BIOS_RAM : SGM_UPPER_RAM;
    if (address < CARTRIDGE_START && (sgm.mapped & part)) cpu_memory[address] = value;
}

} // namespace

void cpu_write(uint16_t address, uint8_t value) {
    // BIOS, expansion area and cartridge are read-only; RAM is mirrored on the write side so
    // that reads stay a plain index into the image.
    if (uint16_t(address - RAM_START) <= RAM_END - RAM_START && !ram_covered) {
        uint8_t* ram = cpu_memory + RAM_START + (address & RAM_MIRROR_MASK);
        for (unsigned window = 0; window < 8; ++window) ram[window * 0x400] = value;
        return;
    }
    module_write(address, value);
}

bool megacart_size_ok(long bytes) {
    return bytes >= long(MEGACART_MIN_BYTES) && bytes <= long(MEGACART_MAX_BYTES) && (bytes & (bytes - 1)) == 0;
}

void megacart_start(uint32_t bytes) {
    std::memcpy(cpu_memory + CARTRIDGE_START, megacart.image + bytes - Z80_BANK_BYTES, Z80_BANK_BYTES);
    // The banked run loop never reads the image's top quarter: it reads empty.
    std::memset(cpu_memory + Z80_BANK_WINDOW, 0xFF, Z80_BANK_BYTES);
    megacart.mask = bytes / Z80_BANK_BYTES - 1;
    megacart.bank = 0;
}

void megacart_release() {
    program_free(megacart.image);
    megacart = {nullptr, 0, 0};
}

uint16_t cpu_run_game(Z80State* s) { return megacart.image ? cpu_run_banked(s, &megacart) : cpu_run(s); }

void sgm_reset() {
    sgm.mapped = 0;
    ram_covered = 0;
    std::memset(sgm.hidden, 0, sizeof sgm.hidden);
}

void sgm_map(uint8_t mapped) {
    if (!cpu_memory) return; // no game loaded
    uint8_t change = uint8_t((mapped ^ sgm.mapped) & (SGM_UPPER_RAM | SGM_BIOS_RAM));
    // The module and what it covers trade places: nothing is copied while it stays as it is.
    if (change & SGM_BIOS_RAM)
        std::swap_ranges(cpu_memory, cpu_memory + SGM_UPPER_START, sgm.hidden);
    if (change & SGM_UPPER_RAM)
        std::swap_ranges(cpu_memory + SGM_UPPER_START, cpu_memory + CARTRIDGE_START, sgm.hidden + SGM_UPPER_START);
    sgm.mapped ^= change;
    ram_covered = sgm.mapped & SGM_UPPER_RAM;
}
