// A bare test machine for the processor alone: 64 KiB of flat RAM where every write stores,
// ports and hooks that the tests program and record. Linked with the processor library only;
// it supplies the callbacks the machine library would otherwise provide.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "cpu/z80.h"

struct PortAccess {
    uint16_t port;
    uint8_t value;
};

struct TestMachine {
    uint8_t ram[0x10000];
    std::vector<uint16_t> writes; // addresses, in write order (when record_writes is set)
    bool record_writes;
    std::vector<PortAccess> outs, ins;  // every port access
    uint8_t in_value;                   // what cpu_in returns
    std::vector<uint16_t> hook_results; // returned in turn; HOOK_STOP once they run out
    unsigned hook_calls;
    std::vector<int32_t> hook_cycles_left; // cycles_left seen at each hook call
    std::vector<uint16_t> hook_pc;         // PC seen at each hook call
    unsigned patch_calls;
    // When set, cpu_patch acts as the console-less CP/M host that runs the exerciser.
    bool cpm;
    bool cpm_done;
    std::string output;
};

extern TestMachine test_machine;

// Clears the machine, loads code at address, and resets the state with the given slice length.
void test_machine_reset(Z80State& s, int32_t cycle_period);
void load(uint16_t address, std::initializer_list<uint8_t> bytes);
