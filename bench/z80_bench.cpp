// Speed of the processor core against z80ex, an independent Z80 library, on the same
// workload: the first groups of the ZEXDOC exerciser, run on each core in turn, repeated.
// Prints each core's rate in million Z80 instructions per second and emulated MHz, and the ratio.
// Usage: velkoro_z80_bench [groups [rounds [both|core|z80ex [path]]]]; one core alone is for
// callgrind (host instructions per Z80 instruction).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cpu/z80.h"

extern "C" {
#include <z80ex.h>
}

namespace {

uint8_t ram[0x10000];
uint8_t image[0x10000];
size_t image_size;
int groups_wanted;
int lines_seen;
bool finished;
std::string output;

void print_char(char ch) {
    output += ch;
    if (ch == '\n' && ++lines_seen > groups_wanted) finished = true; // banner line first
}

void bdos(uint8_t c, uint8_t e, uint16_t de) {
    if (c == 2) print_char(char(e));
    if (c == 9)
        for (uint16_t a = de; ram[a] != '$'; a = uint16_t(a + 1)) print_char(char(ram[a]));
}

void load_machine() {
    std::memset(ram, 0, sizeof ram);
    std::memcpy(ram + 0x100, image, image_size);
    const uint8_t low[] = {0xED, 0xFE, 0x76, 0x00, 0x00, 0xC3, 0x00, 0xF0};
    std::memcpy(ram, low, sizeof low);
    const uint8_t entry[] = {0xED, 0xFE, 0xC9};
    std::memcpy(ram + 0xF000, entry, sizeof entry);
    lines_seen = 0;
    finished = false;
    output.clear();
}

// z80ex side: the BDOS and the end are caught at the opcode fetch.
Z80EX_BYTE ex_read(Z80EX_CONTEXT* cpu, Z80EX_WORD a, int m1, void*) {
    if (m1 && a == 0xF000) {
        uint16_t bc = z80ex_get_reg(cpu, regBC), de = z80ex_get_reg(cpu, regDE);
        bdos(uint8_t(bc), uint8_t(de), de);
    }
    if (m1 && a == 0x0000) finished = true;
    return ram[a];
}
void ex_write(Z80EX_CONTEXT*, Z80EX_WORD a, Z80EX_BYTE v, void*) { ram[a] = v; }
Z80EX_BYTE ex_in(Z80EX_CONTEXT*, Z80EX_WORD, void*) { return 0xFF; }
void ex_out(Z80EX_CONTEXT*, Z80EX_WORD, Z80EX_BYTE, void*) {}
Z80EX_BYTE ex_int(Z80EX_CONTEXT*, void*) { return 0xFF; }

struct Result {
    double seconds;
    uint64_t instructions;
    uint64_t cycles;
};

Result run_z80ex() {
    load_machine();
    Z80EX_CONTEXT* cpu =
        z80ex_create(ex_read, nullptr, ex_write, nullptr, ex_in, nullptr, ex_out, nullptr, ex_int, nullptr);
    z80ex_set_reg(cpu, regPC, 0x0100);
    z80ex_set_reg(cpu, regSP, 0xF000);
    Result r{0, 0, 0};
    auto t0 = std::chrono::steady_clock::now();
    while (!finished) {
        r.cycles += unsigned(z80ex_step(cpu));
        if (z80ex_last_op_type(cpu) == 0) ++r.instructions;
    }
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    z80ex_destroy(cpu);
    return r;
}

Z80State state;
uint64_t core_slices;
constexpr int32_t CORE_SLICE = 1000;

Result run_core() {
    load_machine();
    state = Z80State{};
    state.cycle_period = CORE_SLICE;
    cpu_reset(&state);
    state.PC = 0x0100;
    core_slices = 0;
    auto t0 = std::chrono::steady_clock::now();
    cpu_run(&state);
    Result r{0, 0, core_slices * CORE_SLICE};
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return r;
}

} // namespace

// The core's machine: flat RAM, no devices.
uint8_t* cpu_memory = ram;
void cpu_write(uint16_t a, uint8_t v) { ram[a] = v; }
uint8_t cpu_in(uint16_t) { return 0xFF; }
void cpu_out(uint16_t, uint8_t) {}
uint16_t cpu_hook(Z80State*) {
    ++core_slices;
    return finished ? HOOK_STOP : HOOK_NONE;
}
void cpu_patch(Z80State* s) {
    if (s->PC == 0x0002)
        finished = true;
    else
        bdos(s->BC.lo, s->DE.lo, s->DE.w());
}

int main(int argc, char** argv) {
    groups_wanted = argc > 1 ? std::atoi(argv[1]) : 5;
    int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    std::string which = argc > 3 ? argv[3] : "both";
    std::string path = argc > 4 ? argv[4] : VELKORO_SHARED_DIR "/z80/zexdoc.com";
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        return 1;
    }
    image_size = std::fread(image, 1, 0xE000, f);
    std::fclose(f);

    std::printf("workload: ZEXDOC, first %d groups; %d rounds\n", groups_wanted, rounds);
    double best_core = 1e30, best_ex = 1e30;
    uint64_t instructions = 0, ex_cycles = 0, core_cycles = 0;
    for (int round = 0; round < rounds; ++round) {
        Result ex{1e-9, 0, 0}, core{1e-9, 0, 0};
        if (which != "core") ex = run_z80ex();
        std::string ex_output = output;
        if (which != "z80ex") core = run_core();
        if (which == "both" && output != ex_output)
            std::printf("warning: the two cores printed different text\n");
        if (which != "core") instructions = ex.instructions;
        ex_cycles = ex.cycles;
        core_cycles = core.cycles;
        std::printf("round %d: z80ex %.3f s, core %.3f s\n", round + 1, ex.seconds, core.seconds);
        if (ex.seconds < best_ex) best_ex = ex.seconds;
        if (core.seconds < best_core) best_core = core.seconds;
    }
    std::printf("%s", output.c_str());
    std::printf("instructions: %llu\n", (unsigned long long)instructions);
    std::printf("z80ex: %.1f M instr/s, %.1f MHz (best of %d)\n", instructions / best_ex / 1e6,
                ex_cycles / best_ex / 1e6, rounds);
    std::printf("core:  %.1f M instr/s, %.1f MHz (best of %d)\n", instructions / best_core / 1e6,
                core_cycles / best_core / 1e6, rounds);
    std::printf("core / z80ex: %.2f\n", best_ex / best_core);
    return 0;
}
