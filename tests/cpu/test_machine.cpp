#include "tests/cpu/test_machine.h"

#include <cstring>

TestMachine test_machine;
uint8_t* cpu_memory = test_machine.ram;

void test_machine_reset(Z80State& s, int32_t cycle_period) {
    TestMachine& m = test_machine;
    std::memset(m.ram, 0, sizeof m.ram);
    m.writes.clear();
    m.record_writes = false;
    m.outs.clear();
    m.ins.clear();
    m.in_value = 0xFF;
    m.hook_results.clear();
    m.hook_calls = 0;
    m.hook_cycles_left.clear();
    m.hook_pc.clear();
    m.patch_calls = 0;
    m.cpm = false;
    m.cpm_done = false;
    m.output.clear();
    s = Z80State{};
    s.cycle_period = cycle_period;
    cpu_reset(&s);
}

void load(uint16_t address, std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) test_machine.ram[address++] = b;
}

void cpu_write(uint16_t address, uint8_t value) {
    test_machine.ram[address] = value;
    if (test_machine.record_writes) test_machine.writes.push_back(address);
}

uint8_t cpu_in(uint16_t port) {
    test_machine.ins.push_back({port, test_machine.in_value});
    return test_machine.in_value;
}

void cpu_out(uint16_t port, uint8_t value) { test_machine.outs.push_back({port, value}); }
void cpu_out_run(uint16_t port, uint16_t address, int step, uint32_t count) {
    cpu_out_each(port, address, step, count);
}

uint16_t cpu_hook(Z80State* s) {
    TestMachine& m = test_machine;
    m.hook_cycles_left.push_back(s->cycles_left);
    m.hook_pc.push_back(s->PC);
    unsigned call = m.hook_calls++;
    if (m.cpm) return m.cpm_done ? HOOK_STOP : HOOK_NONE;
    return call < m.hook_results.size() ? m.hook_results[call] : HOOK_STOP;
}

// The CP/M host: ED FE at 0x0000 ends the run, ED FE at the BDOS entry prints.
void cpu_patch(Z80State* s) {
    TestMachine& m = test_machine;
    ++m.patch_calls;
    if (!m.cpm) return;
    if (s->PC == 0x0002) {
        m.cpm_done = true;
        return;
    }
    if (s->BC.lo == 2) {
        m.output += char(s->DE.lo);
    } else if (s->BC.lo == 9) {
        for (uint16_t a = s->DE.w(); m.ram[a] != '$'; a = uint16_t(a + 1)) m.output += char(m.ram[a]);
    }
}
