// Speed of the processor core on the first groups of the ZEXDOC exerciser, repeated: prints the
// emulated clock rate in MHz (Z80 cycles per second of host time) of the best round.
// Usage: velkoro_z80_bench [groups [rounds [path]]]; a single round is for callgrind (host
// instructions per emulated cycle).
//
// velkoro_z80_bench --instructions N [path]: the first N instructions of the exerciser, for
// host instructions per Z80 instruction under callgrind:
//   valgrind --tool=callgrind --toggle-collect='*measured_run*' velkoro_z80_bench --instructions 10000000
// A first pass ends a slice after every instruction to count them and the cycles they take; the
// measured pass, the only one callgrind collects, runs those cycles in ordinary slices.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cpu/z80.h"

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

struct Result {
    double seconds;
    uint64_t cycles;
};

Z80State state;
uint64_t core_slices;
constexpr int32_t CORE_SLICE = 1000;

// The instruction count's passes: instructions still to count (and, while counting, the cycles
// they took), or the cycles the measured pass has still to run.
bool counting;
uint64_t instructions_left, cycles_counted;
int64_t cycles_to_run;

Result run_core() {
    load_machine();
    state = Z80State{};
    state.cycle_period = CORE_SLICE;
    cpu_reset(&state);
    state.PC = 0x0100;
    core_slices = 0;
    auto t0 = std::chrono::steady_clock::now();
    cpu_run(&state);
    Result r{0, core_slices * CORE_SLICE};
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return r;
}

} // namespace

// The core's machine: flat RAM, no devices.
uint8_t* cpu_memory = ram;
void cpu_write(uint16_t a, uint8_t v) { ram[a] = v; }
uint8_t cpu_in(uint16_t) { return 0xFF; }
void cpu_out(uint16_t, uint8_t) {}
void cpu_out_run(uint16_t, uint16_t, int, uint32_t) {}
uint16_t cpu_hook(Z80State* s) {
    ++core_slices;
    if (counting) {
        // A slice of one cycle ends after every instruction; what it overshot is the cost.
        cycles_counted += uint64_t(s->cycle_period - s->cycles_left);
        return --instructions_left == 0 || finished ? HOOK_STOP : HOOK_NONE;
    }
    if (cycles_to_run > 0) {
        cycles_to_run -= s->cycle_period - s->cycles_left;
        if (cycles_to_run <= 0) return HOOK_STOP;
    }
    return finished ? HOOK_STOP : HOOK_NONE;
}
void cpu_patch(Z80State* s) {
    if (s->PC == 0x0002)
        finished = true;
    else
        bdos(s->BC.lo, s->DE.lo, s->DE.w());
}

namespace {

void start_exerciser(int32_t slice) {
    load_machine();
    state = Z80State{};
    state.cycle_period = slice;
    cpu_reset(&state);
    state.PC = 0x0100;
}

// Kept out of line, so that callgrind can collect this pass alone.
[[gnu::noinline]] void measured_run() { cpu_run(&state); }

int count_instructions(uint64_t wanted) {
    groups_wanted = 1 << 30;
    counting = true;
    instructions_left = wanted;
    cycles_counted = 0;
    start_exerciser(1);
    cpu_run(&state);
    counting = false;
    uint64_t done = wanted - instructions_left;
    cycles_to_run = int64_t(cycles_counted);
    start_exerciser(CORE_SLICE);
    measured_run();
    std::printf("Z80 instructions: %llu (%llu cycles) in the measured pass, measured_run\n",
                (unsigned long long)done, (unsigned long long)cycles_counted);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // --instructions N [path], or [groups [rounds [path]]].
    bool instruction_mode = argc > 2 && std::strcmp(argv[1], "--instructions") == 0;
    uint64_t instructions = instruction_mode ? std::strtoull(argv[2], nullptr, 0) : 0;
    groups_wanted = argc > 1 && !instruction_mode ? std::atoi(argv[1]) : 5;
    int rounds = argc > 2 && !instruction_mode ? std::atoi(argv[2]) : 3;
    std::string path = argc > 3 ? argv[3] : VELKORO_SHARED_DIR "/z80/zexdoc.com";
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        return 1;
    }
    image_size = std::fread(image, 1, 0xE000, f);
    std::fclose(f);
    if (instruction_mode) return count_instructions(instructions);

    std::printf("workload: ZEXDOC, first %d groups; %d rounds\n", groups_wanted, rounds);
    double best = 1e30;
    uint64_t cycles = 0;
    for (int round = 0; round < rounds; ++round) {
        Result r = run_core();
        cycles = r.cycles;
        std::printf("round %d: %.3f s\n", round + 1, r.seconds);
        if (r.seconds < best) best = r.seconds;
    }
    std::printf("%s", output.c_str());
    std::printf("emulated cycles: %llu\n", (unsigned long long)cycles);
    std::printf("core: %.1f MHz emulated (best of %d)\n", cycles / best / 1e6, rounds);
    return 0;
}
