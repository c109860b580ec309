// The memory map's write side, the MegaCart's banks and the Super Game Module's RAM.
#include "machine/memory.h"
#include "machine/heap.h"
#include "machine/record.h"

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

// Where the console's RAM and the two parts of the module's RAM are now: in the image where
// they are mapped, in the module's record where they are covered.
const uint8_t* console_ram() { return (sgm.mapped & SGM_UPPER_RAM ? sgm.hidden : cpu_memory) + RAM_START; }
const uint8_t* module_lower() { return sgm.mapped & SGM_BIOS_RAM ? cpu_memory : sgm.hidden; }
const uint8_t* module_upper() { return (sgm.mapped & SGM_UPPER_RAM ? cpu_memory : sgm.hidden) + SGM_UPPER_START; }

const uint8_t* bios_image() { return sgm.mapped & SGM_BIOS_RAM ? sgm.hidden : cpu_memory; }

void memory_save(RecordWriter* w) {
    record_u8(w, sgm.mapped);
    record_u32(w, megacart.bank);
    record_bytes(w, console_ram(), RAM_MIRROR_MASK + 1);
    record_bytes(w, module_lower(), SGM_UPPER_START);
    record_bytes(w, module_upper(), SGM_RAM_BYTES - SGM_UPPER_START);
}

bool memory_load(RecordReader* r, bool commit) {
    uint8_t mapped = read_u8_upto(r, SGM_UPPER_RAM | SGM_BIOS_RAM);
    // A plain cartridge's mask is 0: its record can only name bank 0.
    uint32_t bank = read_ranged(r, read_u32(r), 0, megacart.mask);
    const uint8_t* ram = read_span(r, RAM_MIRROR_MASK + 1);
    const uint8_t* lower = read_span(r, SGM_UPPER_START);
    const uint8_t* upper = read_span(r, SGM_RAM_BYTES - SGM_UPPER_START);
    if (!r->ok || !commit) return r->ok;
    // With the module off the image holds the console's own bytes and the record the module's.
    sgm_map(0);
    for (uint32_t window = RAM_START; window < RAM_END; window += RAM_MIRROR_MASK + 1)
        std::memcpy(cpu_memory + window, ram, RAM_MIRROR_MASK + 1);
    std::memcpy(sgm.hidden, lower, SGM_UPPER_START);
    std::memcpy(sgm.hidden + SGM_UPPER_START, upper, SGM_RAM_BYTES - SGM_UPPER_START);
    sgm_map(mapped);
    megacart.bank = bank;
    return true;
}
