// Start-up and shut-down of the handheld: devices, mappings, the register save and restore, the
// return to the menu program; also the timer, the buttons and the card.
#include "platform/gp2x/gp2x.h"
#include "platform/gp2x/system.h"
#include "platform/platform.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

PlatformState platform_state;

namespace {

constexpr const char* DEVICE_PATHS[5] = {"/dev/fb0", "/dev/fb1", "/dev/mem", "/dev/dsp", "/dev/mixer"};
constexpr int DEVICE_FLAGS[5] = {SYS_O_RDWR, SYS_O_RDWR, SYS_O_RDWR, SYS_O_WRONLY, SYS_O_RDWR};
constexpr uint32_t DEFAULT_TICKS_PER_MS = TIMER_HZ / 1000;

// Where things go when the handheld refuses them: a register block whose input ports read
// "nothing pressed", and two frame buffers nobody sees. The program draws and polls as usual.
alignas(8) uint8_t stand_in_registers[REGISTER_BLOCK_BYTES];
uint16_t stand_in_rgb[2][RGB_BUFFER_BYTES / 2];

// The display registers kept over the program's run and put back for the menu, as inclusive
// ranges of register indices. Index i is the 16-bit register at byte offset 2 x i, the way the
// display registers are addressed everywhere else (0x1440..0x1499 are 0x2880..0x2932).
struct IndexRange {
    uint16_t first, last;
};
constexpr IndexRange SAVED_REGISTERS[] = {{0x1440, 0x1457}, {0x1458, 0x146C}, {0x146D, 0x1474},
                                          {0x1486, 0x1486}, {0x148F, 0x1499}, {0, 0}};
constexpr uint32_t SAVE_AREA_SLOTS = 0x8000;
// Interrupts the save and the restore run under.
constexpr uint32_t SAVE_INTERRUPT_MASK = 0xFF8FFFE7;

bool usable(int32_t handle) { return handle > 0; }

void* map_memory(uint32_t phys, uint32_t length) {
    int32_t mem = platform_state.handles[DEV_MEM];
    if (!usable(mem)) return nullptr;
    return sys_mmap(length, SYS_PROT_READ | SYS_PROT_WRITE, SYS_MAP_SHARED, mem, phys);
}

template <typename T> void unmap(T*& address, uint32_t length) {
    if (address) sys_munmap(static_cast<void*>(address), length);
    address = nullptr;
}

void unmap_registers() {
    PlatformState& p = platform_state;
    if (p.registers_mapped) sys_munmap(const_cast<uint8_t*>(p.registers), REGISTER_BLOCK_BYTES);
    p.registers_mapped = false;
    p.registers = stand_in_registers;
}

// A second start-up maps the regions again; the earlier mappings go first, so none leaks.
void map_regions() {
    PlatformState& p = platform_state;
    unmap(p.cursor, CURSOR_BYTES);
    p.cursor = static_cast<uint8_t*>(map_memory(CURSOR_PHYS, CURSOR_BYTES));
    for (int k = 0; k < VIDEO_LAYER_BUFFERS; ++k) {
        unmap(p.video_layers[k], VIDEO_LAYER_BYTES);
        p.video_layers[k] = static_cast<uint8_t*>(
            map_memory(VIDEO_LAYER_PHYS + uint32_t(k) * VIDEO_LAYER_BYTES, VIDEO_LAYER_BYTES));
    }
    unmap(p.upper_memory, UPPER_MEMORY_BYTES);
    p.upper_memory = static_cast<uint8_t*>(map_memory(UPPER_MEMORY_PHYS, UPPER_MEMORY_BYTES));
    unmap_registers();
    if (void* block = map_memory(REGISTER_BLOCK_PHYS, REGISTER_BLOCK_BYTES)) {
        p.registers = static_cast<volatile uint8_t*>(block);
        p.registers_mapped = true;
    }
}

void map_frame_buffers() {
    PlatformState& p = platform_state;
    for (int b = 0; b < 2; ++b) {
        unmap(p.rgb_mapped[b], RGB_BUFFER_BYTES);
        int32_t fb = p.handles[DEV_FB0 + b];
        if (usable(fb)) {
            FbFixScreenInfo info{};
            if (sys_ioctl(fb, FBIOGET_FSCREENINFO, &info) >= 0) p.rgb_phys[b] = info.smem_start;
            p.rgb_mapped[b] =
                static_cast<uint16_t*>(sys_mmap(RGB_BUFFER_BYTES, SYS_PROT_WRITE, SYS_MAP_SHARED, fb, 0));
        }
        p.rgb_pixels[b] = p.rgb_mapped[b] ? p.rgb_mapped[b] : stand_in_rgb[b];
    }
}

// Both the save and the restore run with most interrupts masked, as the display controller's
// registers are also touched by the system's own interrupt handlers.
template <typename Step> void with_interrupts_masked(Step step) {
    uint32_t previous = reg32(reg::INTERRUPT_MASK);
    reg32(reg::INTERRUPT_MASK) = SAVE_INTERRUPT_MASK;
    for (const IndexRange* r = SAVED_REGISTERS; r->first != 0; ++r)
        for (uint32_t i = r->first; i <= r->last; ++i) step(i);
    reg32(reg::INTERRUPT_MASK) = previous;
}

void save_registers() {
    PlatformState& p = platform_state;
    p.save_area = static_cast<uint16_t*>(std::calloc(SAVE_AREA_SLOTS, sizeof(uint16_t)));
    if (!p.save_area) return;
    with_interrupts_masked([&](uint32_t i) { p.save_area[i] = reg16(2 * i); });
}

void restore_registers() {
    PlatformState& p = platform_state;
    if (!p.save_area) return;
    with_interrupts_masked([&](uint32_t i) { reg16(2 * i) = p.save_area[i]; });
    std::free(p.save_area);
    p.save_area = nullptr;
}

void refuse_to_start() {
    static const char message[] =
        "velkoro: this build drives the GP2X's hardware and runs only on the GP2X\n";
    sys_write(2, message, sizeof message - 1);
    sys_exit(1);
}

// The wrap-extended timer counter: the 32-bit counter wraps every 582.5 s, so each read that
// finds it below the previous one counts a wrap. Without the register block, the system clock
// stands in: it may be the time of day, whose microseconds times the counter's rate would not
// fit 64 bits, so whole seconds and the rest are turned into counts apart.
uint64_t counter_now() {
    PlatformState& p = platform_state;
    if (!p.registers_mapped) {
        uint64_t us = sys_clock_us();
        return us / 1000000 * TIMER_HZ + us % 1000000 * TIMER_HZ / 1000000;
    }
    uint32_t c = reg32(reg::TIMER_COUNT);
    if (c < p.last_counter) ++p.counter_wraps;
    p.last_counter = c;
    return (p.counter_wraps << 32) | c;
}

uint32_t ticks_per_ms() {
    uint32_t t = platform_state.ticks_per_ms;
    return t ? t : DEFAULT_TICKS_PER_MS;
}

} // namespace

bool running_on_handheld() {
    int fd = sys_open("/proc/cpuinfo", SYS_O_RDONLY);
    if (fd < 0) return false;
    char text[4096];
    int32_t n = sys_read(fd, text, sizeof text - 1);
    sys_close(fd);
    if (n <= 0) return false;
    text[n] = '\0';
    for (int32_t i = 0; i < n; ++i) text[i] = char(text[i] >= 'A' && text[i] <= 'Z' ? text[i] + 32 : text[i]);
    return std::strstr(text, "arm920") != nullptr;
}

void platform_state_reset() {
    PlatformState& p = platform_state;
    std::memset(p.handles, 0, sizeof p.handles);
    p.first_start = true;
    p.ticks_per_ms = 0;
    p.text_solid = 0;
    p.registers = stand_in_registers;
    p.registers_mapped = false;
    p.upper_memory = p.cursor = nullptr;
    for (uint8_t*& v : p.video_layers) v = nullptr;
    for (int b = 0; b < 2; ++b) {
        p.rgb_phys[b] = 0;
        p.rgb_mapped[b] = nullptr;
        p.rgb_pixels[b] = stand_in_rgb[b];
    }
    std::free(p.save_area);
    p.save_area = nullptr;
    for (int e = 0; e < 4; ++e) {
        p.ring_phys[e] = 0;
        p.ring_pixels[e] = stand_in_rgb[e & 1];
        p.layer_index[e] = p.layer_flags[e] = 0;
    }
    p.ring_index = 0;
    p.drawing_pointer = stand_in_rgb[0];
    p.last_counter = 0;
    p.counter_wraps = 0;
    // No audio thread runs yet (or any more).
    p.audio_paused.store(1, std::memory_order_relaxed);
    p.audio_stop.store(0, std::memory_order_relaxed);
    p.paused_looks.store(0, std::memory_order_relaxed);
    p.audio_thread = 0;
    std::free(p.audio_ring);
    p.audio_ring = nullptr;
    p.audio_fill_frames = 0;
    std::memset(stand_in_registers, 0, sizeof stand_in_registers);
    for (uint32_t port : {reg::BUTTON_PORT, reg::EXTRA_PORT, reg::STICK_PORT})
        std::memset(stand_in_registers + port, 0xFF, 2);
}

namespace {
// A fresh process starts here.
const bool state_ready = (platform_state_reset(), true);
} // namespace

// --- Start-up and shut-down ---

void platform_configure(int, char**) {}

namespace {

// Start-up, and its repetition at shut-down; `sound_device` false leaves the sound device's
// format alone.
void start_up(int32_t ticks_per_second, int32_t bits_per_pixel, int32_t sample_rate, int32_t sample_bits,
              int32_t stereo, int32_t text_solid, bool sound_device) {
    (void)state_ready;
    PlatformState& p = platform_state;
    if (p.first_start) {
        if (!running_on_handheld()) refuse_to_start();
        p.audio_paused.store(1, std::memory_order_relaxed);
        p.audio_thread = 0;
        p.audio_stop.store(0, std::memory_order_relaxed);
        p.ticks_per_ms = ticks_per_second > 0 && uint32_t(ticks_per_second) <= TIMER_HZ
                             ? TIMER_HZ / uint32_t(ticks_per_second)
                             : DEFAULT_TICKS_PER_MS;
    }
    p.text_solid = text_solid;
    for (int d = 0; d < 5; ++d)
        if (p.handles[d] == 0) p.handles[d] = sys_open(DEVICE_PATHS[d], DEVICE_FLAGS[d]);
    map_regions();
    if (p.first_start) {
        save_registers();
        reg16(0x3B48) = 0x0083;
        reg16(0x0904) = uint16_t(reg16(0x0904) & ~1u);
        audio_device_volume(0x5050);
        reg16(0x0F16) = 0x830A;
        sys_sleep_us(100000);
        reg16(0x0F58) = 0x100C;
        sys_sleep_us(100000);
    }
    map_frame_buffers();
    display_program(bits_per_pixel, p.first_start);
    if (sound_device) audio_device_setup(sample_rate, sample_bits, stereo, p.first_start);
    if (p.first_start) {
        sys_atexit(platform_shutdown);
        p.first_start = false;
    }
}

} // namespace

void platform_init(int32_t ticks_per_second, int32_t bits_per_pixel, int32_t sample_rate, int32_t sample_bits,
                   int32_t stereo, int32_t, int32_t text_solid) {
    start_up(ticks_per_second, bits_per_pixel, sample_rate, sample_bits, stereo, text_solid, true);
}

// Always ends in the menu program. The audio thread is stopped before anything touches the sound
// device: it may be blocked in a write, and a device reprogrammed under a write can stop playing
// and never return it. A thread that has not left after its bounded wait keeps the device as it
// is, and its ring.
void platform_shutdown() {
    PlatformState& p = platform_state;
    bool audio_stopped = audio_thread_stop();
    start_up(1000, 16, 44100, 16, 1, 1, audio_stopped);
    restore_registers();
    reg16(0x3B48) = 0x0083;
    reg16(0x0904) = uint16_t(reg16(0x0904) & ~1u);
    reg16(0x2946) = 2;
    reg16(0x2934) = 0;
    reg16(reg::OVERLAY_CONTROL) = uint16_t(reg16(reg::OVERLAY_CONTROL) & ~(1u << 12));
    display_set_gamma_identity();
    reg16(reg::OVERLAY_CONTROL) = uint16_t(reg16(reg::OVERLAY_CONTROL) & ~(1u << 9));
    reg16(reg::RGB_HSCALE) = 0x0400;
    reg32(reg::RGB_VSCALE) = ((reg16(reg::RGB_CONTROL) >> 9) & 3u) * 320u;
    reg16(0x2902) = 0;
    reg16(0x2904) = 0;
    display_set_rgb_regions(0x11, -1, -1, -1, 319, 239);
    display_set_video_layers(-1, -1, -1, -1, 319, 239);

    unmap(p.upper_memory, UPPER_MEMORY_BYTES);
    unmap_registers();
    for (uint8_t*& v : p.video_layers) unmap(v, VIDEO_LAYER_BYTES);
    for (uint16_t*& b : p.rgb_mapped) unmap(b, RGB_BUFFER_BYTES);
    unmap(p.cursor, CURSOR_BYTES);
    for (int32_t& h : p.handles) {
        if (usable(h)) sys_close(h);
        h = 0;
    }
    // The menu program inherits the standard streams; what is still buffered goes out first.
    std::fflush(nullptr);
    if (audio_stopped) {
        std::free(p.audio_ring);
        p.audio_ring = nullptr;
    }
    sys_chdir("/usr/gp2x");
    sys_execl("gp2xmenu", "gp2xmenu");
}

void platform_frame_end() {}

void platform_game_ready() {}
int32_t platform_auto_frame_skip() { return 1; }

// --- Timer and buttons ---

uint32_t timer_ticks() {
    sys_register_poll();
    return uint32_t(counter_now() / ticks_per_ms());
}

// Waits the full time even when the counter wraps during the wait.
void timer_delay(uint32_t n) {
    uint64_t target = counter_now() + uint64_t(n) * ticks_per_ms();
    while (counter_now() < target) sys_register_poll();
}

uint32_t read_buttons() {
    sys_register_poll();
    // A screen waiting for a press with no time limit reads only the buttons; reading the
    // counter here too keeps its wrap count current however long the wait.
    if (platform_state.registers_mapped) counter_now();
    return buttons_from_ports(reg16(reg::STICK_PORT), reg16(reg::BUTTON_PORT), reg16(reg::EXTRA_PORT));
}

// The handheld has no keypad, no second controller and no spinner.
uint8_t read_keypad(int32_t) { return KEYPAD_NONE; }
uint16_t read_second_pad() { return 0; }
int32_t read_spinner(int32_t) { return 0; }

// --- The card: the handheld's paths are real paths ---

// The handheld starts cartridges from its manager only.
bool platform_take_cartridge(char*, char*, size_t) { return false; }

bool platform_map_path(const char* path, char* out, size_t out_size) {
    size_t n = std::strlen(path);
    if (n + 1 > out_size) {
        if (out_size) out[0] = '\0';
        return false;
    }
    std::memcpy(out, path, n + 1);
    return true;
}

FILE* platform_fopen(const char* path, const char* mode) { return sys_fopen(path, mode); }
DIR* platform_opendir(const char* path) { return sys_opendir(path); }
