// The simulated handheld: the operating system and hardware behind platform/gp2x/system.h, for
// the tests and for running the whole program on a PC. Device files are records; the /dev/mem
// mappings are ordinary memory blocks (the 64 KB register block, which the test can pre-load and
// read, the upper memory, the cursor and video-layer buffers); the frame buffers are two blocks
// whose physical addresses the test chooses; every open, mapping, device request, write, sleep,
// thread, exit handler, directory change and exec is recorded, and the exec is not performed.
//
// Time passes only when the adapter polls the registers (sys_register_poll): by a fixed number
// of counter steps, or, in a program run, by 100 us of simulated time with the button script
// driving the input ports and the run ending at a given time, as the headless back end's
// virtual clock does. The audio device takes writes freely or, for the tests that step the
// audio thread, one granted write at a time.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

enum class SimOp {
    OPEN,
    CLOSE,
    READ,
    MMAP,
    MUNMAP,
    IOCTL,
    WRITE,
    SLEEP,
    THREAD_START,
    THREAD_WAIT,
    ATEXIT,
    EXIT,
    CHDIR,
    EXECL
};

struct SimEvent {
    SimOp op = SimOp::OPEN;
    std::string path;              // OPEN, CHDIR, EXECL (the program), and the device of a handle
    std::string argument;          // EXECL: the argument list's first entry
    int fd = -1;                   // the handle used, OPEN's result, THREAD_WAIT's thread
    uint32_t request = 0;          // IOCTL
    int64_t value = 0; // IOCTL: the integer passed in; WRITE: bytes; SLEEP, THREAD_WAIT: microseconds
    uint32_t offset = 0;           // MMAP: the device offset
    uint32_t length = 0;           // MMAP, MUNMAP
    const void* address = nullptr; // MMAP's result, MUNMAP's argument
};

// One scripted press of a program run: `mask` (button word bits) held from start_ms up to,
// not including, end_ms of simulated time.
struct SimPress {
    uint16_t mask;
    uint32_t start_ms;
    uint32_t end_ms;
};

struct SimConfig {
    std::string card_folder;             // stands for "/mnt/sd/"
    std::string cpuinfo;                 // what /proc/cpuinfo reads (a GP2X's by default)
    std::set<std::string> failing_opens; // device paths whose open fails
    std::set<uint32_t> failing_mem_maps; // /dev/mem physical addresses whose mapping fails
    bool failing_fb_maps[2] = {false, false};
    uint32_t fb_phys[2] = {0x03101000, 0x03381000}; // reported by FBIOGET_FSCREENINFO
    int32_t dsp_fragment = 128;                     // reported as fragsize by SNDCTL_DSP_GETOSPACE
    bool dsp_stepped = false;                       // writes wait for sim_dsp_grant
    bool real_atexit = false;                       // also register exit handlers with the process
    uint32_t counter_step = 0;                      // counter steps per poll outside a program run
    uint64_t clock_origin_us = 0;                   // the system clock (sys_clock_us) at time 0
    std::function<void()> on_poll;                  // called at every poll, after time moved

    // A program run: 100 us of simulated time per poll, the script on the ports, and at run_ms
    // (0 = never) `at_end` runs and the process exits with status 0.
    bool program_run = false;
    std::vector<SimPress> presses;
    uint32_t run_ms = 0;
    std::function<void()> at_end;
};

// Puts the simulated handheld back to a fresh machine with this configuration. Threads started
// through it must be on their way to their end: it waits for them.
void sim_reset(const SimConfig& config);
// Waits for every thread started through the simulated handheld that nothing waited for.
void sim_threads_finish();
SimConfig& sim_config();

// The register block and its 16/32-bit registers.
uint8_t* sim_registers();
uint16_t sim_reg16(uint32_t offset);
uint32_t sim_reg32(uint32_t offset);
void sim_set_reg16(uint32_t offset, uint16_t value);
void sim_set_reg32(uint32_t offset, uint32_t value);
// The register block as it was when the adapter unmapped it (empty before).
const std::vector<uint8_t>& sim_registers_at_unmap();

// The frame buffers (320 x 240 RGB565), and the one the RGB layer's address registers show
// (nullptr when they name neither).
uint16_t* sim_frame_buffer(int index);
const uint16_t* sim_shown_buffer();
// Another /dev/mem region by its physical address (empty when never mapped).
std::vector<uint8_t>& sim_memory(uint32_t phys);

// What happened so far, in order.
std::vector<SimEvent> sim_events();
std::vector<SimEvent> sim_events(SimOp op);
// The values written to one data-port register (sys_write_port16), in order.
std::vector<uint16_t> sim_port_writes(uint32_t offset);
// The bytes of each write to /dev/dsp, in order.
std::vector<std::vector<uint8_t>> sim_dsp_writes();
// Lets `writes` more writes to /dev/dsp through (stepped mode), and waits until that many
// writes have finished (or the time-out in milliseconds passed); returns whether they did.
bool sim_dsp_grant(uint32_t writes, uint32_t timeout_ms = 5000);
// Waits until a write to /dev/dsp is blocked for want of a grant (or the time-out passed);
// returns whether one is.
bool sim_dsp_wait_blocked(uint32_t timeout_ms = 5000);
// Ends stepped mode: writes go through at once from now on.
void sim_dsp_free();
// Simulated time of a program run, in microseconds.
uint64_t sim_time_us();
