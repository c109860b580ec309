// The handheld's hardware adapter: the platform interface on the GP2X's own hardware. It opens
// the frame buffers, /dev/mem, the OSS audio device and mixer, maps the system-on-chip register
// block and the display memory, programs the display controller, runs the audio thread, reads
// the timer and the input ports, and at process exit puts everything back and hands the
// handheld to its menu program. Every operating-system call goes through platform/gp2x/system.h.
//
// This header is the adapter's inside, shared by its files and by the tests that check it on the
// simulated handheld. It owns the one PlatformState.
#pragma once
#include <atomic>
#include <cstdint>

// What the adapter maps through /dev/mem (physical addresses and lengths).
constexpr uint32_t REGISTER_BLOCK_PHYS = 0xC0000000;
constexpr uint32_t REGISTER_BLOCK_BYTES = 0x10000;
constexpr uint32_t UPPER_MEMORY_PHYS = 0x03000000;
constexpr uint32_t UPPER_MEMORY_BYTES = 0x00DA4000;
constexpr uint32_t CURSOR_PHYS = 0x03DA4000;
constexpr uint32_t CURSOR_BYTES = 0x4000;
constexpr uint32_t VIDEO_LAYER_PHYS = 0x03DA8000;
constexpr uint32_t VIDEO_LAYER_BYTES = 0x4B000; // two 320 x 240 16-bit frames
constexpr int VIDEO_LAYER_BUFFERS = 8;          // two for each of the four video layers
constexpr uint32_t RGB_BUFFER_BYTES = 0x25800;  // 320 x 240 x 2
constexpr uint32_t RGB_FRAME_BYTES = 0x25800;
constexpr uint32_t RGB_LINE_BYTES = 0x280;

// The system-on-chip's timer counter rate.
constexpr uint32_t TIMER_HZ = 7372800;

// Registers (byte offsets into the register block; 16-bit unless noted).
namespace reg {
constexpr uint32_t INTERRUPT_MASK = 0x0808; // 32-bit
constexpr uint32_t TIMER_COUNT = 0x0A00;    // 32-bit
constexpr uint32_t BUTTON_PORT = 0x1184;
constexpr uint32_t EXTRA_PORT = 0x1186;
constexpr uint32_t STICK_PORT = 0x1198;
constexpr uint32_t OVERLAY_CONTROL = 0x2880;
constexpr uint32_t RGB_CONTROL = 0x28DA;
constexpr uint32_t RGB_BLEND = 0x28DC;
constexpr uint32_t RGB_ALPHA = 0x28DE;
constexpr uint32_t RGB_ALPHA_REGION3 = 0x28E0;
constexpr uint32_t RGB_WINDOWS = 0x28E2; // four registers per region, 8 bytes apart
constexpr uint32_t RGB_ADDRESS_LOW_ODD = 0x290E;
constexpr uint32_t RGB_ADDRESS_HIGH_ODD = 0x2910;
constexpr uint32_t RGB_ADDRESS_LOW_EVEN = 0x2912;
constexpr uint32_t RGB_ADDRESS_HIGH_EVEN = 0x2914;
constexpr uint32_t RGB_LINE_WIDTH = 0x290C;
constexpr uint32_t RGB_HSCALE = 0x2906;
constexpr uint32_t RGB_VSCALE = 0x2908; // 32-bit
constexpr uint32_t CURSOR_SIZE = 0x291E;
constexpr uint32_t CURSOR_X = 0x2920;
constexpr uint32_t CURSOR_Y = 0x2922;
constexpr uint32_t CURSOR_ADDRESS = 0x292C; // low, high, low, high
constexpr uint32_t GAMMA_INDEX = 0x295C;
constexpr uint32_t GAMMA_DATA = 0x295E;
constexpr uint32_t PALETTE_INDEX = 0x2958;
constexpr uint32_t PALETTE_DATA = 0x295A;
} // namespace reg

// Device handle slots: the five devices, then three the program never fills.
enum DeviceSlot { DEV_FB0, DEV_FB1, DEV_MEM, DEV_DSP, DEV_MIXER, DEVICE_SLOTS = 8 };

// The audio ring's header; the samples start right after it. Eight chunk positions, `chunk`
// 16-bit units apart; each pass fills one position and writes the one after it.
struct AudioRing {
    uint16_t count; // what the device reported as its fragment size
    uint16_t chunk; // bytes written per pass, and the spacing of positions in 16-bit units
    uint16_t unused[2];
};
constexpr uint32_t AUDIO_RING_HEADER_BYTES = 8;
constexpr uint32_t AUDIO_RING_POSITIONS = 8;

// The words the two threads share. The handheld's one ARMv4T core has no barrier or exclusive
// instructions, and two threads on one core need none: there the words are plain 32-bit loads
// and stores, kept in order by the compiler alone. Elsewhere (the tests on a PC, with their
// sanitizers) they are acquire loads and release stores. Only one thread ever writes each word,
// so nothing needs a read-modify-write.
#if defined(__ARM_ARCH) && __ARM_ARCH < 6
constexpr bool SHARED_WORDS_ON_ONE_CORE = true;
#else
constexpr bool SHARED_WORDS_ON_ONE_CORE = false;
#endif
template <typename T> T shared_load(const std::atomic<T>& word) {
    if constexpr (SHARED_WORDS_ON_ONE_CORE) {
        T value = word.load(std::memory_order_relaxed);
        std::atomic_signal_fence(std::memory_order_acquire);
        return value;
    } else {
        return word.load(std::memory_order_acquire);
    }
}
template <typename T> void shared_store(std::atomic<T>& word, T value) {
    if constexpr (SHARED_WORDS_ON_ONE_CORE) {
        std::atomic_signal_fence(std::memory_order_release);
        word.store(value, std::memory_order_relaxed);
    } else {
        word.store(value, std::memory_order_release);
    }
}

struct PlatformState {
    int32_t handles[DEVICE_SLOTS];
    bool first_start;
    uint32_t ticks_per_ms;
    int32_t text_solid;

    // The register block: the mapping, or the adapter's own stand-in block when the mapping
    // failed (its input ports then read "nothing pressed" and the clock comes from the system).
    volatile uint8_t* registers;
    bool registers_mapped;
    uint8_t* upper_memory;
    uint8_t* cursor;
    uint8_t* video_layers[VIDEO_LAYER_BUFFERS];
    // The two RGB frame buffers: physical addresses and what the program draws into (the
    // mapping, or a stand-in buffer nobody sees when the device or its mapping failed).
    uint32_t rgb_phys[2];
    uint16_t* rgb_mapped[2];
    uint16_t* rgb_pixels[2];
    uint16_t* save_area; // 32768 16-bit slots indexed by register index

    // The screen ring: entries fb0, fb1, fb0, fb1.
    uint32_t ring_phys[4];
    uint16_t* ring_pixels[4];
    int ring_index;
    uint16_t* drawing_pointer;
    uint8_t layer_index[4];
    uint8_t layer_flags[4];

    // The timer, extended past the counter's wrap.
    uint32_t last_counter;
    uint64_t counter_wraps;

    // Audio, shared with the audio thread.
    std::atomic<int32_t> audio_paused;
    std::atomic<uint32_t> audio_stop;
    std::atomic<uint32_t> paused_looks; // counted by the thread each time it finds the pause flag
    int audio_thread;
    AudioRing* audio_ring;
    uint32_t audio_fill_frames; // stereo 16-bit frames rendered per pass (chunk / 4)
};

extern PlatformState platform_state;

// Puts the adapter back to how a fresh process finds it. For tests, after platform_shutdown (or
// before anything started); the audio thread must not be running.
void platform_state_reset();

// --- Display (display.cpp) ---

void display_set_rgb_regions(int32_t region_0, int32_t region_1, int32_t region_2, int32_t region_3,
                             int32_t split_x, int32_t split_y);
void display_set_video_layers(int32_t a, int32_t b, int32_t c, int32_t d, int32_t split_x, int32_t split_y);
void display_set_cursor();
// Loads the identity ramp into the gamma table.
void display_set_gamma_identity();
// Start-up's display programming, after the frame buffers are mapped.
void display_program(int32_t bits_per_pixel, bool first_start);

// The 16 x 16 arrow the cursor registers point at, 2 bits per pixel (0 background colour,
// 1 foreground colour, 2 transparent), as written into the cursor bitmap area.
extern const uint8_t (&CURSOR_BITMAP)[64];

// --- Audio (audio.cpp) ---

// The device's format and fragment set-up; the first start also makes the ring and the thread.
void audio_device_setup(int32_t sample_rate, int32_t sample_bits, int32_t stereo, bool first_start);
void audio_device_volume(uint32_t word);
// Tells the audio thread to stop (pause flag and stop word) and waits about a second for it to
// leave. False when it has not: it may be blocked for ever in a write to the device, which is
// then best left alone.
bool audio_thread_stop();

// --- Register access ---

inline volatile uint16_t& reg16(uint32_t offset) {
    return *reinterpret_cast<volatile uint16_t*>(platform_state.registers + offset);
}
inline volatile uint32_t& reg32(uint32_t offset) {
    return *reinterpret_cast<volatile uint32_t*>(platform_state.registers + offset);
}

// --- Device requests (Linux frame buffer and OSS) ---

constexpr uint32_t FBIOGET_FSCREENINFO = 0x4602;
constexpr uint32_t SNDCTL_DSP_SPEED = 0xC0045002;
constexpr uint32_t SNDCTL_DSP_SETFMT = 0xC0045005;
constexpr uint32_t SNDCTL_DSP_STEREO = 0xC0045003;
constexpr uint32_t SNDCTL_DSP_SETFRAGMENT = 0xC004500A;
constexpr uint32_t SNDCTL_DSP_GETOSPACE = 0x8010500C;
constexpr uint32_t SOUND_MIXER_WRITE_PCM = 0xC0044D04;
constexpr int32_t AUDIO_FRAGMENTS = 0x00080007; // 8 fragments of 2^7 bytes

// The frame buffer's fixed screen information as the handheld's 32-bit kernel lays it out.
struct FbFixScreenInfo {
    char id[16];
    uint32_t smem_start; // physical address of the frame buffer
    uint32_t smem_len;
    uint32_t type, type_aux, visual;
    uint16_t xpanstep, ypanstep, ywrapstep;
    uint32_t line_length;
    uint32_t mmio_start;
    uint32_t mmio_len;
    uint32_t accel;
    uint16_t reserved[3];
};
static_assert(sizeof(FbFixScreenInfo) == 68, "the kernel's layout on 32-bit ARM");

// The OSS output-space record.
struct AudioBufferInfo {
    int32_t fragments, fragstotal, fragsize, bytes;
};

// The handheld's processor check: true when /proc/cpuinfo names an ARM920T.
bool running_on_handheld();
