// The headless back end's audio device: a real thread that pulls chunks of samples from the
// program through audio_fill, at the pace of the back end's clock, and keeps them when recording.
//
// Pacing. On the real clock the thread sleeps until each chunk is due (one chunk every
// HEADLESS_AUDIO_CHUNK_FRAMES / 44100 s after the resume) and fills it then, free-running beside
// the emulation as on the handheld. On the virtual clock, which moves only when the main thread
// polls it, the main thread tells the thread how many chunk boundaries the clock has passed and
// waits until they are filled; the fill itself still runs on the audio thread, so each chunk is
// rendered at a fixed point of emulated time and a run records the same samples every time.
//
// Pause. The thread looks at the pause flag between passes and counts every pass that found it
// set. audio_wait_paused waits for that count to move, so when it returns the thread has seen
// the flag and no fill is under way until the flag is cleared. Unlike the handheld's thread, a
// paused thread sleeps (real clock) or blocks (virtual clock) instead of spinning: the host's
// cores are shared.
#include "platform/headless/headless.h"
#include "platform/platform.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

// The pause flag, the pass count and the stop flag order the threads: the main thread's writes
// to the mixer before a resume reach the next fill, and a fill finished before a counted paused
// pass is complete when audio_wait_paused returns. They keep the default sequentially consistent
// order, which also makes sure a pass counted after the flag went up sees it.
std::atomic<int32_t> audio_paused{1};
std::atomic<uint32_t> paused_passes{0};
// Set while the main thread works on the mixer's state: the thread stands still as when paused,
// but keeps its schedule, and catches up afterwards.
std::atomic<int32_t> audio_held{0};
std::atomic<uint32_t> audio_stop{0};
// Counted up, with a wake-up, whenever the thread has something new to look at.
std::atomic<uint32_t> doorbell{0};

// Virtual clock: chunks the clock has made due, and chunks the thread has filled.
std::atomic<uint32_t> chunks_requested{0};
std::atomic<uint32_t> chunks_done{0};

// Set by headless_reset while the thread is paused; read by the thread.
std::atomic<bool> virtual_pacing{true};
std::atomic<bool> recording{false};

// Written by the thread's fills; read by the main thread only while no fill can run.
std::vector<int16_t> recorded;

// The main thread's own bookkeeping.
std::thread worker;
bool running = false;
bool paused_here = true;     // the main thread's last audio_set_paused
bool resync = true;          // next clock poll starts counting chunks afresh
uint64_t last_due_chunk = 0; // chunk boundaries already passed on the virtual clock
uint32_t volume_word = 0;

constexpr uint32_t CHUNK_BYTES = HEADLESS_AUDIO_CHUNK_FRAMES * 4;
// A virtual clock that jumps further than this at once drops the rest, like a device that ran dry.
constexpr uint64_t MAX_CATCH_UP_CHUNKS = 10 * HEADLESS_AUDIO_RATE / HEADLESS_AUDIO_CHUNK_FRAMES;

// Chunk boundaries the clock has passed since its start.
uint64_t due_chunks(uint64_t now_us) { return now_us * HEADLESS_AUDIO_RATE / 1000000 / HEADLESS_AUDIO_CHUNK_FRAMES; }

void ring() {
    doorbell.fetch_add(1);
    doorbell.notify_all();
}

// Waits for a pass of the thread that found it paused or held: no fill is under way afterwards.
void wait_for_paused_pass() {
    uint32_t seen = paused_passes.load();
    ring();
    for (uint32_t now = paused_passes.load(); now == seen; now = paused_passes.load())
        paused_passes.wait(now);
}

void fill_chunk(uint8_t* chunk) {
    audio_fill(nullptr, chunk, HEADLESS_AUDIO_CHUNK_FRAMES);
    if (!recording.load(std::memory_order_relaxed)) return;
    for (uint32_t i = 0; i < CHUNK_BYTES; i += 2)
        recorded.push_back(int16_t(uint16_t(chunk[i] | (chunk[i + 1] << 8))));
}

std::chrono::microseconds chunk_due(uint64_t index) {
    return std::chrono::microseconds((index + 1) * HEADLESS_AUDIO_CHUNK_FRAMES * 1000000 /
                                     HEADLESS_AUDIO_RATE);
}

void audio_thread() {
    static uint8_t chunk[CHUNK_BYTES];
    bool resumed = true;
    uint64_t filled = 0;
    std::chrono::steady_clock::time_point origin;
    for (;;) {
        uint32_t bell = doorbell.load();
        if (audio_stop.load() != 0) return;
        bool virtual_clock = virtual_pacing.load(std::memory_order_relaxed);
        bool paused = audio_paused.load() != 0;
        if (paused || audio_held.load() != 0) {
            paused_passes.fetch_add(1);
            paused_passes.notify_all();
            if (paused) resumed = true;
            if (virtual_clock)
                doorbell.wait(bell);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        if (virtual_clock) {
            if (chunks_done.load(std::memory_order_relaxed) !=
                chunks_requested.load(std::memory_order_acquire)) {
                fill_chunk(chunk);
                chunks_done.fetch_add(1, std::memory_order_release);
                chunks_done.notify_all();
            } else {
                doorbell.wait(bell);
            }
            continue;
        }
        auto now = std::chrono::steady_clock::now();
        if (resumed) {
            origin = now;
            filled = 0;
            resumed = false;
        }
        auto due = origin + chunk_due(filled);
        if (now < due) {
            std::this_thread::sleep_for(
                std::min<std::chrono::steady_clock::duration>(due - now, std::chrono::milliseconds(2)));
            continue;
        }
        fill_chunk(chunk);
        ++filled;
        // A host that stalled the thread for long starts a fresh schedule instead of rushing.
        if (now - due > std::chrono::milliseconds(200)) resumed = true;
    }
}

} // namespace

void headless_audio_start() {
    if (running) return;
    audio_stop.store(0);
    worker = std::thread(audio_thread);
    running = true;
}

void headless_audio_stop() {
    if (!running) return;
    audio_set_paused(1);
    audio_wait_paused();
    audio_stop.store(1);
    ring();
    worker.join();
    running = false;
}

void headless_audio_reset(const HeadlessConfig& config) {
    audio_set_paused(1);
    audio_wait_paused();
    virtual_pacing.store(!config.real_clock, std::memory_order_relaxed);
    recording.store(config.record_audio, std::memory_order_relaxed);
    recorded.clear();
    resync = true;
    volume_word = 0;
}

void headless_audio_clock(uint64_t now_us) {
    if (!running || paused_here) return;
    uint64_t due = due_chunks(now_us);
    if (resync) {
        resync = false;
        last_due_chunk = due;
        return;
    }
    if (due <= last_due_chunk) return;
    uint64_t n = due - last_due_chunk;
    if (n > MAX_CATCH_UP_CHUNKS) n = MAX_CATCH_UP_CHUNKS;
    last_due_chunk = due;
    uint32_t target = chunks_requested.load(std::memory_order_relaxed) + uint32_t(n);
    chunks_requested.store(target, std::memory_order_release);
    ring();
    for (uint32_t done = chunks_done.load(std::memory_order_acquire); done != target;
         done = chunks_done.load(std::memory_order_acquire))
        chunks_done.wait(done, std::memory_order_acquire);
}

void headless_audio_hold(bool held) {
    if (!running || virtual_pacing.load(std::memory_order_relaxed)) return;
    audio_held.store(held ? 1 : 0);
    if (held)
        wait_for_paused_pass();
    else
        ring();
}

void headless_audio_rebase(uint64_t now_us) {
    if (!running || paused_here) return;
    last_due_chunk = due_chunks(now_us);
    resync = false;
}

const std::vector<int16_t>& headless_audio() { return recorded; }

uint32_t headless_audio_volume() { return volume_word; }

bool write_wav_stereo16(const std::string& path, const std::vector<int16_t>& samples) {
    const uint64_t data_bytes = uint64_t(samples.size()) * 2;
    if (data_bytes > 0xFFFFFFFFull - 36) return false;
    std::vector<uint8_t> out;
    out.reserve(size_t(44 + data_bytes));
    auto tag = [&](const char* t) { out.insert(out.end(), t, t + 4); };
    auto u16 = [&](uint32_t v) {
        out.push_back(uint8_t(v & 0xFF));
        out.push_back(uint8_t((v >> 8) & 0xFF));
    };
    auto u32 = [&](uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    tag("RIFF");
    u32(uint32_t(36 + data_bytes));
    tag("WAVE");
    tag("fmt ");
    u32(16);
    u16(1); // PCM
    u16(2); // stereo
    u32(HEADLESS_AUDIO_RATE);
    u32(HEADLESS_AUDIO_RATE * 4); // bytes per second
    u16(4);                       // bytes per frame
    u16(16);                      // bits per sample
    tag("data");
    u32(uint32_t(data_bytes));
    for (int16_t s : samples) u16(uint16_t(s));
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    return std::fclose(f) == 0 && ok;
}

// --- The platform interface's audio side ---

void audio_set_paused(int32_t flag) {
    if (flag == 0 && paused_here) resync = true;
    paused_here = flag != 0;
    audio_paused.store(flag);
    ring();
}

void audio_wait_paused() {
    if (!running || audio_paused.load() == 0) return;
    wait_for_paused_pass();
}

void audio_set_volume(int32_t left, int32_t right) {
    // As the handheld encodes it for its mixer device: 80 % of each percentage, the first in
    // the high byte.
    auto scaled = [](int32_t p) { return uint32_t(p * 80 / 100) & 0xFF; };
    volume_word = scaled(right) | (scaled(left) << 8);
}
